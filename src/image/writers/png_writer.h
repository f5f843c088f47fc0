#pragma once

#include <cstdint>

namespace kalder::image {

// The PNG bit depth used for a palette image of `bits` bits per pixel (1..8).
std::uint8_t pngPaletteDepth(std::int32_t bits);

}  // namespace kalder::image
