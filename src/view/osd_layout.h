#pragma once

#include <cstdint>

#include "image/load_options.h"
#include "view/view_types.h"

namespace kalder::view {

// OSD icon lists: 18, 28 and 38 pixels square.
enum class OsdSize : std::int32_t { Off = -1, Auto = 0, Small = 1, Normal = 2, Large = 3 };

// Icon side for the setting on a screen of the given width; 0 when the OSD is off.
std::int32_t osdIconSide(OsdSize size, std::int32_t screenWidth);

// Where the OSD children go, in client coordinates (right/bottom exclusive).
struct OsdLayout {
    PixelRect up, down, left, right, rotation, gammaScale;
};
OsdLayout layoutOsd(PixelSize client, std::int32_t iconSide, PixelSize gammaScale);

struct OsdVisibility {
    bool up = false, down = false, left = false, right = false;
    bool rotation = false;  // the window can hold the rotation icon at all
};
// Arrows point where more of the image lies beyond the client edge.
struct OsdInputs {
    bool osdOn = false;
    bool hasImage = false;
    PixelSize client;
    std::int32_t iconSide = 0;
    PixelSize gammaScale;
    Zoom zoom;
    Point scroll;
    PixelSize displayed;
};
OsdVisibility osdVisibility(const OsdInputs& in);

// The 3-pixel load progress strip.
struct ProgressStrip {
    static constexpr std::int32_t kHeight = 3;
    PixelRect area;  // the whole strip (background rows plus the line)
    PixelRect line;  // the middle row's coloured part; empty at 0 %
    image::ColorRef lineColour = 0;
};
// The strip goes to the top when the top corners of the viewing area are on screen and the
// bottom ones are not.
bool progressStripAtTop(bool topCornersVisible, bool bottomCornersVisible);
// White on a dark background, black on a light one.
image::ColorRef progressLineColour(image::ColorRef background);
// Nothing (empty area) while percent <= 0.
ProgressStrip layoutProgressStrip(PixelSize client, bool atTop, std::int32_t percent,
                                  image::ColorRef background);

}  // namespace kalder::view
