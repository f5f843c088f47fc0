#pragma once

// Small pieces shared by the TGA, PCX, PBM/PGM/PPM and Sun raster readers.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/image_page.h"

namespace kalder::image::raster {

// Entry i = (i, i, i).
inline void fillGrayRamp(Palette& palette) {
    for (int i = 0; i < 256; ++i) {
        palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<std::uint8_t>(i);
    }
}

// A two-entry palette: index 0 and index 1 as black or white.
inline void fillBlackWhite(Palette& palette, bool zeroIsBlack) {
    palette.fill(0);
    const std::uint8_t zero = zeroIsBlack ? 0 : 255;
    for (int c = 0; c < 3; ++c) {
        palette[c] = zero;
        palette[3 + c] = static_cast<std::uint8_t>(255 - zero);
    }
}

// A 5-bit channel stretched to the full 8-bit range (31 -> 255).
inline std::uint8_t expand5(unsigned v) { return static_cast<std::uint8_t>((v & 31) * 255 / 31); }

// Expands `width` pixels of `bits` (1, 2, 4 or 8) bits each, most significant first, through
// `palette` into red, green, blue bytes.
inline void expandIndexed(const std::uint8_t* src, int bits, std::int32_t width,
                          const Palette& palette, std::uint8_t* out) {
    if (bits == 8) {
        for (std::int32_t x = 0; x < width; ++x) {
            std::memcpy(out + x * 3, palette.data() + src[x] * 3, 3);
        }
        return;
    }
    const int perByte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    for (std::int32_t x = 0; x < width; ++x) {
        const int shift = 8 - bits * (x % perByte + 1);
        const unsigned index = (src[x / perByte] >> shift) & mask;
        std::memcpy(out + x * 3, palette.data() + index * 3, 3);
    }
}

// Reverses the order of the pixels of a red, green, blue row.
inline void mirrorRow(std::uint8_t* row, std::int32_t width) {
    for (std::int32_t a = 0, b = width - 1; a < b; ++a, --b) {
        std::uint8_t t[3];
        std::memcpy(t, row + a * 3, 3);
        std::memcpy(row + a * 3, row + b * 3, 3);
        std::memcpy(row + b * 3, t, 3);
    }
}

}  // namespace kalder::image::raster
