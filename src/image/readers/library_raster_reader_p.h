#pragma once

// The reader behind the codec modules' whole-picture decoders (WebP, HEIF/AVIF, JPEG XL): the
// library decodes a frame into RGBA, and this reader hands it to the row pipeline.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/limits.h"
#include "cdx/cdx_api.h"
#include "image/color_space.h"
#include "image/image_reader.h"

namespace kalder::image {

struct LibraryRasterFormat {
    const CdxRasterApi* (*api)();  // nullptr when the format's module is missing
    std::string (*describe)(std::span<const std::uint8_t> head, const CdxRasterInfo& info);
};

// The largest picture accepted from a header (before the library allocates anything), and the
// largest file read into memory. These formats can describe a huge flat picture in a few hundred
// bytes, so beyond kFreeRasterPixels a picture must also bring at least one byte of file for
// every kPixelsPerFileByte pixels.
inline constexpr std::uint64_t kFreeRasterPixels = std::uint64_t{1} << 25;
inline constexpr std::uint64_t kPixelsPerFileByte = 256;

class LibraryRasterReader final : public ImageReader {
public:
    explicit LibraryRasterReader(LibraryRasterFormat format) : m_format(format) {}
    ~LibraryRasterReader() override;

    Status OpenFile(const std::filesystem::path& path, const ReaderSettings& settings) override;
    Status OpenMemory(std::span<const std::uint8_t> bytes) override;
    bool IsSingleImage() const override { return !m_info.isAnimated; }
    Status ReadHeader() override;
    std::int32_t Width() const override { return static_cast<std::int32_t>(m_width); }
    std::int32_t Height() const override { return static_cast<std::int32_t>(m_height); }
    std::uint32_t BitsPerPixel() const override { return 24; }
    bool GetPalette(Palette&) const override { return true; }
    bool GetColorSpace(ColorSpace& space) const override;
    std::string Description() const override { return m_description; }
    void hintDecodeSize(std::int32_t width, std::int32_t height) override {
        m_targetWidth = width;
        m_targetHeight = height;
    }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;
    Status MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap, std::int32_t size,
                         ColorRef backgroundColour, const CancelSink* cancel) override;

    // How many times the library decoded a picture (the main one or its thumbnail).
    int decodeCount() const { return m_decodes; }

private:
    Status openCommon();
    std::uint64_t pixelLimit() const;
    Status takeFrame(const CdxRasterFrame& frame);
    Status reduceForTarget();
    static int cancelled(void* user);

    LibraryRasterFormat m_format;
    const CdxRasterApi* m_api = nullptr;
    CdxRaster* m_raster = nullptr;
    std::vector<std::uint8_t> m_file;
    CdxRasterInfo m_info{};
    std::string m_description;
    ColorSpace m_colorSpace;
    bool m_hasColorSpace = false;
    bool m_headerRead = false;
    bool m_useThumbnail = false;
    bool m_stillDone = false;
    std::uint32_t m_width = 0, m_height = 0;  // of what ReadRow delivers
    std::int32_t m_targetWidth = 0, m_targetHeight = 0;
    std::uint32_t m_durationMs = 0;
    // The frame being delivered: the library's own buffer (valid until the next call on the
    // handle, and this reader makes none while rows are read), or m_reduced once averaged down.
    const std::uint8_t* m_pixels = nullptr;
    std::size_t m_stride = 0;
    std::vector<std::uint8_t> m_reduced;
    std::int32_t m_row = 0;
    int m_decodes = 0;
};

}  // namespace kalder::image
