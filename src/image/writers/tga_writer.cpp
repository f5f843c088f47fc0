#include "image/writers/tga_writer.h"

#include <cstring>

namespace kalder::image {
namespace {

constexpr std::size_t kMaxPacket = 128;

bool samePixel(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    return std::memcmp(a, b, n) == 0;
}

}  // namespace

void appendTgaRle(std::vector<std::uint8_t>& out, const std::uint8_t* p, std::size_t count,
                  std::size_t bpp) {
    std::size_t i = 0;
    while (i < count) {
        std::size_t run = 1;
        while (i + run < count && run < kMaxPacket &&
               samePixel(p + i * bpp, p + (i + run) * bpp, bpp))
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
            out.insert(out.end(), p + i * bpp, p + (i + 1) * bpp);
            i += run;
            continue;
        }
        // A raw packet runs until two equal pixels start a repeat.
        std::size_t j = i + 1;
        while (j < count && j - i < kMaxPacket &&
               !(j + 1 < count && samePixel(p + j * bpp, p + (j + 1) * bpp, bpp)))
            ++j;
        out.push_back(static_cast<std::uint8_t>(j - i - 1));
        out.insert(out.end(), p + i * bpp, p + j * bpp);
        i = j;
    }
}

Status TgaWriter::Write(const WriterImage& image) {
    if (m_written) return DecodeError::Unsupported;  // one image per file
    if (image.width < 1 || image.height < 1 || !image.pixels) return DecodeError::Corrupt;
    if (image.width > 65535 || image.height > 65535) return DecodeError::TooLarge;
    const bool palette = image.bits != 32;
    if (palette && (image.bits < 1 || image.bits > 8)) return DecodeError::Unsupported;
    const bool alpha = !palette && image.alphaPlane;
    const std::size_t bpp = palette ? 1 : alpha ? 4 : 3;

    u8(0);                // ID length
    u8(palette ? 1 : 0);  // colour-map type
    u8((palette ? 1 : 2) + (image.tgaRle ? 8 : 0));
    u16le(0);                  // first map entry
    u16le(palette ? 256 : 0);  // map length
    u8(palette ? 24 : 0);      // map entry size
    u16le(0);                  // origin x
    u16le(0);                  // origin y
    u16le(static_cast<std::uint32_t>(image.width));
    u16le(static_cast<std::uint32_t>(image.height));
    u8(static_cast<std::uint32_t>(bpp * 8));
    u8(alpha ? 8 : 0);  // alpha bits; rows bottom-up
    if (palette) {
        std::uint8_t map[768];
        for (std::size_t i = 0; i < 256; ++i) {
            map[i * 3] = image.palette[i * 3 + 2];
            map[i * 3 + 1] = image.palette[i * 3 + 1];
            map[i * 3 + 2] = image.palette[i * 3];
        }
        put(map, sizeof map);
    }
    KALDER_TRY(status());

    const std::size_t w = static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> row(w * bpp);
    std::vector<std::uint8_t> packed;
    for (std::int32_t y = image.height - 1, done = 0; y >= 0; --y, ++done) {
        const std::uint8_t* src = image.row(y);
        if (palette) {
            std::memcpy(row.data(), src, w);
        } else {
            const std::uint8_t* a =
                alpha ? image.alphaPlane + w * static_cast<std::size_t>(y) : nullptr;
            for (std::size_t x = 0; x < w; ++x) {
                std::uint8_t* d = row.data() + x * bpp;
                d[0] = src[x * 4];
                d[1] = src[x * 4 + 1];
                d[2] = src[x * 4 + 2];
                if (a) d[3] = a[x];
            }
        }
        if (image.tgaRle) {
            packed.clear();
            appendTgaRle(packed, row.data(), w, bpp);
            put(packed.data(), packed.size());
        } else {
            put(row.data(), row.size());
        }
        KALDER_TRY(status());
        reportProgress(image.height, done + 1);
    }
    m_written = true;
    return {};
}

Status TgaWriter::onClose() { return m_written ? Status{} : Status{DecodeError::NoMoreFrames}; }

}  // namespace kalder::image
