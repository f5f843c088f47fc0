#pragma once

// The device-independent bitmap core shared by the BMP, icon/cursor and animated-cursor readers:
// the information header with its colour table, one decoder per row layout, and the icon image
// (bitmap plus AND mask, or an embedded PNG stream).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "image/buffered_input.h"
#include "image/image_page.h"
#include "image/image_reader.h"
#include "image/result.h"

namespace kalder::image {

struct DibHeaderOptions {
    bool requireOnePlane = true;  // files must say one plane; icon images are laxer
    bool iconImage = false;       // the height field covers the XOR rows and the AND mask
    std::uint64_t pixelOffset =
        0;  // absolute start of the pixel data from a file header, 0 if none
};

// A bit field of 16- and 32-bit pixels, scaled to 0..255.
struct DibField {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    static DibField fromMask(std::uint32_t mask);
    std::uint8_t operator()(std::uint32_t v) const {
        if (bits == 0) return 0;
        const std::uint64_t x = (v & mask) >> shift;
        const std::uint64_t max = (std::uint64_t{1} << bits) - 1;
        return static_cast<std::uint8_t>(x * 255 / max);
    }
};

class DibDecoder {
public:
    enum Compression : std::uint32_t {
        kRgb = 0,
        kRle8 = 1,
        kRle4 = 2,
        kBitFields = 3,
        kAlphaBitFields = 6,  // four masks after a 40-byte header
    };

    // Reads the information header (12-byte core header or 40 bytes and more), the bit-field masks
    // and the colour table from the input's position, and leaves the input at the pixel data.
    Status readHeader(BufferedInput& in, const DibHeaderOptions& options);

    std::int32_t width() const { return m_width; }
    // Rows of pixels (for icon images the XOR part only).
    std::int32_t height() const { return m_height; }
    bool bottomUp() const { return m_bottomUp; }
    std::uint32_t bitCount() const { return m_bitCount; }
    std::uint32_t compression() const { return m_compression; }
    bool isRunLength() const {
        return (m_compression == kRle8 && m_bitCount == 8) ||
               (m_compression == kRle4 && m_bitCount == 4);
    }
    // Pixels carry their own opacity (32-bit icons, bit fields with an alpha mask).
    bool hasAlphaChannel() const;
    // The file itself says its pixels have an alpha field: a non-zero alpha mask in a header
    // large enough to hold one, or four masks after the basic header. Plain 32-bit bitmaps
    // leave the fourth byte undefined (usually zero), so a bitmap file trusts it only then.
    bool declaresAlpha() const { return m_alphaDeclared && hasAlphaChannel(); }
    bool isCoreHeader() const { return m_core; }
    std::int32_t xPelsPerMeter() const { return m_xPels; }
    std::int32_t yPelsPerMeter() const { return m_yPels; }
    const Palette& palette() const { return m_palette; }
    std::uint32_t paletteEntries() const { return m_paletteEntries; }
    // Depth reported to the document: palette depths as they are, deeper ones as 24.
    std::uint32_t reportedBits() const { return m_bitCount <= 8 ? m_bitCount : 24; }
    std::size_t stride() const;
    std::size_t maskStride() const;

    // Starts a new pass over the pixel data.
    void beginFrame();
    // Decodes the next row into rgb (width * 3 bytes) and, when alpha is given, the opacity of
    // each pixel (255 when the pixels carry none).
    Status decodeRow(BufferedInput& in, std::uint8_t* rgb, std::uint8_t* alpha);
    // Advances past the next row, seeking over uncompressed data.
    Status skipRow(BufferedInput& in);
    // Reads one row of the AND mask as opacities: a set bit is 0 (transparent), a clear one 255.
    Status readMaskRow(BufferedInput& in, std::uint8_t* opacity);

private:
    Status decodeRunLengthRow(BufferedInput& in);
    void indexesToRgb(std::uint8_t* rgb) const;

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    bool m_bottomUp = true;
    bool m_core = false;
    bool m_alphaDeclared = false;
    std::uint32_t m_bitCount = 0;
    std::uint32_t m_compression = 0;
    std::int32_t m_xPels = 0;
    std::int32_t m_yPels = 0;
    DibField m_red, m_green, m_blue, m_alpha;
    Palette m_palette{};
    std::uint32_t m_paletteEntries = 0;

    std::vector<std::uint8_t> m_rowBytes;  // one stride of raw input
    std::vector<std::uint8_t> m_indexes;   // run-length rows as palette indexes

    // Run-length state: the stream's position as column and file row, and whether it ended.
    std::int32_t m_row = 0;
    std::int32_t m_rleX = 0;
    std::int32_t m_rleY = 0;
    bool m_rleDone = false;
};

// One image of an icon or cursor: a bitmap with its AND mask, or an embedded PNG stream.
class IconImage {
public:
    // The most pixels one icon image may have; icons are small, and this bounds what a hostile
    // run-length or PNG image can make us allocate.
    static constexpr std::int64_t kMaxPixels = 4096 * 4096;

    IconImage();
    ~IconImage();
    IconImage(IconImage&&) noexcept;
    IconImage& operator=(IconImage&&) noexcept;

    // Reads the image header of the data at [offset, offset + size) of the input.
    Status probe(BufferedInput& in, std::uint64_t offset, std::uint64_t size);
    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    std::uint32_t bitsPerPixel() const;
    const Palette& palette() const;
    bool isPng() const { return m_png != nullptr; }

    // Decodes the pixels into rgb() (rows bottom row first). The opacity of each pixel goes to
    // alpha() when the image has a 32-bit alpha channel, or from the AND mask when wantMask is
    // set. rowDone is asked after every decoded row.
    Status decode(BufferedInput& in, bool wantMask, const std::function<Status()>& rowDone);
    const std::vector<std::uint8_t>& rgb() const { return m_rgb; }
    std::vector<std::uint8_t>& rgb() { return m_rgb; }
    const std::vector<std::uint8_t>& alpha() const { return m_alpha; }  // empty when none
    // The opacities are 0 or 255 from a mask rather than a blended alpha channel.
    bool alphaIsMask() const { return m_alphaIsMask; }
    void release();

private:
    Status decodePng(const std::function<Status()>& rowDone);

    DibDecoder m_dib;
    std::uint64_t m_pixelStart = 0;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::vector<std::uint8_t> m_pngBytes;
    std::unique_ptr<ImageReader> m_png;
    Palette m_pngPalette{};
    std::vector<std::uint8_t> m_rgb;
    std::vector<std::uint8_t> m_alpha;
    bool m_alphaIsMask = false;
};

// What the icon and animated-cursor readers share: the current image, decoded whole (its AND
// mask follows the colour rows), then delivered bottom row first.
class IconFamilyReader : public ImageReader {
public:
    bool IsSingleImage() const override { return false; }
    bool IsBottomUp() const override { return true; }
    Status ReadRow(std::uint8_t* out, bool skip) override;

protected:
    // Decodes m_image, composites its opacity over the background colour when blending and
    // fills the alpha plane when extracting.
    Status decodeCurrent();
    // Frees the decoded pixels (the alpha plane stays for the document to copy).
    void releaseCurrent();
    std::int32_t decodedRows() const { return m_decoded ? m_image.height() : 0; }

    IconImage m_image;

private:
    std::int32_t m_row = 0;
    bool m_decoded = false;
};

}  // namespace kalder::image
