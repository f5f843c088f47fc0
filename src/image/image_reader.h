#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "image/buffered_input.h"
#include "image/image_page.h"
#include "image/load_options.h"
#include "image/result.h"

namespace kalder::image {

class Bitmap32;
class CancelSink;
class ExifBlock;
class ProgressSink;
struct ColorSpace;

// What OpenFile hands every reader besides the path.
struct ReaderSettings {
    std::int32_t requestedWidth = 100;  // the viewer's limit box; vector and JPEG readers use it
    std::int32_t requestedHeight = 100;
    const CancelSink* cancel = nullptr;
    ProgressSink* progress = nullptr;
    bool blendAlpha = false;
    ColorRef backgroundColour = 0;
    bool extractAlpha = false;
    ExifBlock* exif = nullptr;
    std::vector<std::string>* comments = nullptr;
    std::mutex* commentsLock = nullptr;
};

// The abstract reader. A reader is opened once, then passes through ReadHeader and, per frame,
// BeginDecode -> ReadRow x Height -> EndDecode. Rows are delivered as Width * 3 bytes red, green,
// blue. Any failure ends the operation; the reader remembers it and fails every later call.
class ImageReader {
public:
    ImageReader();
    virtual ~ImageReader();
    ImageReader(const ImageReader&) = delete;
    ImageReader& operator=(const ImageReader&) = delete;

    virtual Status OpenFile(const std::filesystem::path& path, const ReaderSettings& settings);
    // Reads from a block the caller keeps alive; requested size 100 x 100, no sinks.
    virtual Status OpenMemory(std::span<const std::uint8_t> bytes);
    // OpenMemory with the caller's settings (a reader embedded in another format's file).
    Status openMemoryWith(std::span<const std::uint8_t> bytes, const ReaderSettings& settings);

    virtual bool IsSingleImage() const { return true; }
    virtual Status ReadHeader() { return {}; }
    virtual std::int32_t Width() const { return 0; }
    virtual std::int32_t Height() const { return 0; }
    virtual std::uint32_t BitsPerPixel() const { return 0; }
    // Fills the palette when there is one; false means the reader cannot deliver pixels.
    virtual bool GetPalette(Palette& palette) const;
    virtual std::int32_t TransparentIndex() const { return -1; }
    virtual bool GetIsGray() const;
    virtual bool GetColorSpace(ColorSpace& space) const;
    virtual void GetHotSpot(std::int32_t& x, std::int32_t& y) const;
    virtual bool IsVector() const { return false; }
    virtual std::string Description() const { return {}; }
    virtual std::int32_t DpiX() const { return -1; }
    virtual std::int32_t DpiY() const { return -1; }
    virtual bool IsBottomUp() const { return false; }
    // The page a viewer shows first, known after ReadHeader: the best of several pictures of
    // one thing (an icon's largest entry) rather than whatever comes first in the file.
    virtual std::int32_t PreferredPage() const { return 0; }
    // Starts (the next) frame; returns its delay in hundredths of a second.
    virtual Result<std::uint32_t> BeginDecode() { return 0u; }
    // Delivers the next row into out (Width * 3 bytes). With skip set the reader may advance
    // without decoding, leaving out undefined.
    virtual Status ReadRow(std::uint8_t* out, bool skip);
    virtual void EndDecode() {}
    // After EndDecode: the source row where the frame's data ended early (the rows from there
    // on were filled in, not decoded), or -1 when the frame was whole.
    virtual std::int32_t dataEndsAtRow() const { return -1; }
    // Tells the reader before BeginDecode that the frame will be shown at width x height (in
    // its own orientation). A reader that can decode a reduced size cheaply may then deliver
    // any size no smaller than that; Width and Height say which after BeginDecode.
    virtual void hintDecodeSize(std::int32_t width, std::int32_t height) {
        (void)width;
        (void)height;
    }
    // Asked before BeginDecode: rows may come as blue, green, red, unused (Width * 4 bytes),
    // ready for a page, instead of red, green, blue. True when this reader will deliver them so;
    // only a reader that gets them at no cost agrees.
    virtual bool deliverBgrx() { return false; }
    // Makes a thumbnail no larger than needed for size (the caller scales further).
    virtual Status MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap,
                                 std::int32_t size, ColorRef backgroundColour,
                                 const CancelSink* cancel);

    // Opacity of each source pixel, filled by readers that produce alpha when asked to.
    const std::vector<std::uint8_t>& alphaPlane() const { return m_alphaPlane; }

protected:
    // Asks the cancel sink and reports progress after row `done` of `total`.
    Status rowDelivered(std::int64_t total, std::int64_t done);
    // Composites colour channel s with opacity a over background channel c (0 red, 1 green, 2
    // blue).
    std::uint8_t blend(std::uint8_t s, std::uint8_t a, int c) const {
        return static_cast<std::uint8_t>((m_blendTable[c][a] + s * a) >> 8);
    }
    void buildBlendTables();
    // Adds a text comment (leading blanks removed, empty ones dropped) when comments are collected.
    void appendComment(std::string text);
    bool isCancelled() const;
    // Records a failure; every later Status-returning call should return it.
    DecodeError fail(DecodeError error);

    BufferedInput m_input;
    ReaderSettings m_settings;
    std::array<std::array<std::uint32_t, 256>, 3> m_blendTable{};
    std::vector<std::uint8_t> m_alphaPlane;
    bool m_failed = false;
    DecodeError m_error = DecodeError::Corrupt;
};

// The generic thumbnail, for readers with an OpenFile/ReadHeader/ReadRow cycle: decimates by the
// largest whole factor that keeps the longer side at least `size`.
Status makeDecimatedThumbnail(ImageReader& reader, const std::filesystem::path& path,
                              Bitmap32& bitmap, std::int32_t size, ColorRef backgroundColour,
                              const CancelSink* cancel);

// The second half of it, for a reader opened by openForThumbnail: begins the decode and
// decimates whatever size the reader then delivers.
Status decimateIntoThumbnail(ImageReader& reader, Bitmap32& bitmap, std::int32_t size,
                             const CancelSink* cancel);

// Opens a reader the way every thumbnail maker does: requested size x size, alpha blended over
// the background colour, no progress, then the header.
Status openForThumbnail(ImageReader& reader, const std::filesystem::path& path, std::int32_t size,
                        ColorRef backgroundColour, const CancelSink* cancel);

// The decimation step for a longer side of `longer` pixels at thumbnail size `size`.
std::int32_t thumbnailStep(std::int32_t longer, std::int32_t size);

// The most pixels the generic thumbnail decodes.
inline constexpr std::int64_t kMaxGenericThumbnailPixels = 0x300000;

}  // namespace kalder::image
