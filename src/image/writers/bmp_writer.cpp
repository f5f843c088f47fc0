#include "image/writers/bmp_writer.h"

#include <algorithm>
#include <cmath>

namespace kalder::image {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::int32_t kMaxRun = 255;

void putLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

void appendBitmapInfoHeader(std::vector<std::uint8_t>& out, const BitmapInfoHeader& h) {
    putLe(out, kInfoHeaderSize, 4);
    putLe(out, static_cast<std::uint32_t>(h.width), 4);
    putLe(out, static_cast<std::uint32_t>(h.height), 4);
    putLe(out, 1, 2);  // planes
    putLe(out, h.bitCount, 2);
    putLe(out, h.compression, 4);
    putLe(out, h.imageSize, 4);
    putLe(out, static_cast<std::uint32_t>(h.pixelsPerMeterX), 4);
    putLe(out, static_cast<std::uint32_t>(h.pixelsPerMeterY), 4);
    putLe(out, h.colorsUsed, 4);
    putLe(out, 0, 4);  // important colours: all
}

std::int32_t pixelsPerMeter(std::int32_t dpi) {
    // Rounded, so that 72 dpi gives the usual 2835 and reads back as 72.
    return dpi > 0 ? static_cast<std::int32_t>(std::lround(dpi * 39.37)) : 0;
}

std::uint16_t bitmapDepthFor(std::int32_t bits) {
    // Bitmaps know 1, 4 and 8 bits per index; the other palette depths take the next one up.
    if (bits <= 1) return 1;
    if (bits <= 4) return 4;
    return 8;
}

std::size_t bitmapRowBytes(std::int32_t width, std::uint16_t bitCount) {
    const std::size_t bits = static_cast<std::size_t>(width) * bitCount;
    return (bits + 31) / 32 * 4;
}

void packBitmapRow(const std::uint8_t* indexes, std::int32_t width, std::uint16_t bitCount,
                   std::uint8_t* out) {
    const std::size_t rowBytes = bitmapRowBytes(width, bitCount);
    std::fill(out, out + rowBytes, 0);
    switch (bitCount) {
        case 1:
            for (std::int32_t x = 0; x < width; ++x)
                if (indexes[x] & 1) out[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
            break;
        case 4:
            for (std::int32_t x = 0; x < width; ++x)
                out[x >> 1] |= static_cast<std::uint8_t>((indexes[x] & 0x0F) << ((x & 1) ? 0 : 4));
            break;
        default:
            std::copy(indexes, indexes + width, out);
            break;
    }
}

void appendRle8Row(std::vector<std::uint8_t>& out, const std::uint8_t* p, std::int32_t width) {
    std::int32_t i = 0;
    while (i < width) {
        std::int32_t run = 1;
        while (i + run < width && run < kMaxRun && p[i + run] == p[i]) ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(run));
            out.push_back(p[i]);
            i += run;
            continue;
        }
        // A literal stretch ends where a run of three begins.
        std::int32_t j = i;
        while (j < width && j - i < kMaxRun) {
            if (j + 2 < width && p[j] == p[j + 1] && p[j] == p[j + 2]) break;
            ++j;
        }
        const std::int32_t n = j - i;
        if (n < 3) {
            // Absolute mode needs at least three bytes; shorter stretches go as runs of one.
            for (std::int32_t k = i; k < j; ++k) {
                out.push_back(1);
                out.push_back(p[k]);
            }
        } else {
            out.push_back(0);
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), p + i, p + j);
            if (n & 1) out.push_back(0);  // absolute runs end on a 16-bit boundary
        }
        i = j;
    }
    out.push_back(0);
    out.push_back(0);
}

Status BmpWriter::Write(const WriterImage& image) {
    if (m_written) return DecodeError::Unsupported;  // one image per file
    if (image.width < 1 || image.height < 1 || !image.pixels) return DecodeError::Corrupt;
    const bool palette = image.bits != 32;
    if (palette && (image.bits < 1 || image.bits > 8)) return DecodeError::Unsupported;
    const bool rle = palette && image.bmpRle;
    const std::uint16_t bitCount = rle ? 8 : palette ? bitmapDepthFor(image.bits) : 24;
    const std::uint32_t colours = palette ? (1u << bitCount) : 0;
    const std::uint32_t dataOffset = kFileHeaderSize + kInfoHeaderSize + colours * 4;
    const std::size_t rowBytes = bitmapRowBytes(image.width, bitCount);
    const std::uint64_t plainSize = static_cast<std::uint64_t>(rowBytes) * image.height;
    if (plainSize > 0xFFFFFFFFull - dataOffset) return DecodeError::TooLarge;

    // Headers with the sizes of an uncompressed file; RLE8 patches them at the end.
    const std::uint32_t imageSize = static_cast<std::uint32_t>(plainSize);
    const std::uint64_t start = position();
    put("BM", 2);
    u32le(dataOffset + imageSize);
    u32le(0);
    u32le(dataOffset);
    BitmapInfoHeader info;
    info.width = image.width;
    info.height = image.height;
    info.bitCount = bitCount;
    info.compression = rle ? kBmpCompressionRle8 : 0;
    info.imageSize = imageSize;
    info.pixelsPerMeterX = pixelsPerMeter(image.dpiX);
    info.pixelsPerMeterY = pixelsPerMeter(image.dpiY);
    info.colorsUsed = colours;
    std::vector<std::uint8_t> header;
    appendBitmapInfoHeader(header, info);
    for (std::uint32_t i = 0; i < colours; ++i) {
        header.push_back(image.palette[i * 3 + 2]);
        header.push_back(image.palette[i * 3 + 1]);
        header.push_back(image.palette[i * 3]);
        header.push_back(0);
    }
    put(header.data(), header.size());
    KALDER_TRY(status());

    std::vector<std::uint8_t> buffer;
    buffer.reserve(rle ? static_cast<std::size_t>(image.width) * 2 + 2 : rowBytes);
    std::uint64_t rleBytes = 0;
    for (std::int32_t y = image.height - 1, done = 0; y >= 0; --y, ++done) {
        const std::uint8_t* src = image.row(y);
        buffer.clear();
        if (rle) {
            appendRle8Row(buffer, src, image.width);
            if (y == 0) {
                buffer.push_back(0);  // end of bitmap
                buffer.push_back(1);
            }
            rleBytes += buffer.size();
        } else if (palette) {
            buffer.resize(rowBytes);
            packBitmapRow(src, image.width, bitCount, buffer.data());
        } else {
            buffer.resize(rowBytes, 0);
            for (std::int32_t x = 0; x < image.width; ++x) {
                buffer[x * 3] = src[x * 4];
                buffer[x * 3 + 1] = src[x * 4 + 1];
                buffer[x * 3 + 2] = src[x * 4 + 2];
            }
        }
        put(buffer.data(), buffer.size());
        KALDER_TRY(status());
        reportProgress(image.height, done + 1);
    }
    if (rle) {
        if (rleBytes > 0xFFFFFFFFull - dataOffset) return DecodeError::TooLarge;
        const std::uint64_t end = position();
        seek(start + 2);
        u32le(dataOffset + static_cast<std::uint32_t>(rleBytes));
        seek(start + kFileHeaderSize + 20);
        u32le(static_cast<std::uint32_t>(rleBytes));
        seek(end);
    }
    KALDER_TRY(status());
    m_written = true;
    return {};
}

Status BmpWriter::onClose() { return m_written ? Status{} : Status{DecodeError::NoMoreFrames}; }

}  // namespace kalder::image
