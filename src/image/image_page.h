#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "image/bitmap32.h"

namespace kalder::image {

using Palette = std::array<std::uint8_t, 768>;  // 256 entries of red, green, blue

// One decoded page or animation frame and what the reader said about its source.
struct ImagePage {
    Bitmap32 bitmap;          // at the target size, after scaling and rotation
    std::uint32_t delay = 0;  // hundredths of a second
    std::uint32_t width = 0;  // source size, before scaling and rotation
    std::uint32_t height = 0;
    std::uint32_t bitsPerPixel = 0;
    Palette palette{};
    std::int32_t transparentIndex = -1;
    bool isGray = false;
    std::int32_t hotSpotX = -1;
    std::int32_t hotSpotY = -1;
    // width * height opacities in source orientation; empty unless alpha extraction was asked for
    // and the reader produced alpha.
    std::vector<std::uint8_t> alphaPlane;
    // The file ended early: source rows from this one on had no data and show what the reader
    // filled in. -1 when the page is whole.
    std::int32_t dataEndsAtRow = -1;
};

}  // namespace kalder::image
