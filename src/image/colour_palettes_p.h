#pragma once

// The fixed palettes and the ordered-dither matrix the colour reducer works with. Entries are
// red, green, blue; entries past a palette's size are zero.

#include <array>
#include <cstdint>

namespace kalder::image::palettes {

using PaletteTable = std::array<std::uint8_t, 768>;

inline constexpr int kWebSafeSize = 256;  // 216 colours, then black
inline constexpr int kWebSafeColours = 216;
inline constexpr int kBlackWhiteSize = 2;
inline constexpr int kVgaSize = 16;
inline constexpr int kSystemSize = 256;

// Entry b * 36 + g * 6 + r is (51 r, 51 g, 51 b).
const PaletteTable& webSafe();
const PaletteTable& blackWhite();
const PaletteTable& vga();
// The twenty static colours at both ends, an 8 x 8 x 4 red-green-blue grid in between.
const PaletteTable& systemColours();

// Thresholds 0..63 for ordered dithering, rows y = 0..7.
extern const std::uint8_t kOrderedMatrix[8][8];

}  // namespace kalder::image::palettes
