#pragma once

#include <cstdint>
#include <vector>

#include "image/writers/image_writer.h"

namespace kalder::image {

// The 40-byte bitmap information header, as the BMP writer and the icon compiler both write it.
struct BitmapInfoHeader {
    std::int32_t width = 0;
    std::int32_t height = 0;  // positive: rows bottom-up (icons pass twice the height)
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;  // 0 none, 1 RLE8
    std::uint32_t imageSize = 0;    // bytes of pixel data; may be 0 when uncompressed
    std::int32_t pixelsPerMeterX = 0;
    std::int32_t pixelsPerMeterY = 0;
    std::uint32_t colorsUsed = 0;  // 0: all 2^bitCount
};

inline constexpr std::uint32_t kBmpCompressionRle8 = 1;

// Appends the 40 header bytes, little-endian.
void appendBitmapInfoHeader(std::vector<std::uint8_t>& out, const BitmapInfoHeader& header);
// Pixels per metre for a resolution in dots per inch (0 when unknown).
std::int32_t pixelsPerMeter(std::int32_t dpi);
// The depth a palette image of `bits` gets in a bitmap: 1, 4 or 8.
std::uint16_t bitmapDepthFor(std::int32_t bits);
// Bytes of one packed row at that depth, padded to four bytes.
std::size_t bitmapRowBytes(std::int32_t width, std::uint16_t bitCount);
// Packs one row of palette indexes (one per byte) at 1, 4 or 8 bits per pixel into `out`
// (bitmapRowBytes long); the padding is zero.
void packBitmapRow(const std::uint8_t* indexes, std::int32_t width, std::uint16_t bitCount,
                   std::uint8_t* out);
// One row of palette indexes in RLE8 runs, ending with the end-of-line code (0, 0).
void appendRle8Row(std::vector<std::uint8_t>& out, const std::uint8_t* indexes, std::int32_t width);

// Writes one Windows bitmap: palette images keep their table (RLE8 with `bmpRle`), true colour
// becomes 24-bit.
class BmpWriter final : public ImageWriter {
public:
    Status Write(const WriterImage& image) override;

protected:
    Status onClose() override;

private:
    bool m_written = false;
};

}  // namespace kalder::image
