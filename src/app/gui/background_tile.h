#pragma once

#include <memory>

namespace kalder::image {
class Bitmap32;
}

namespace kalder::gui {

// The built-in 256 x 256 background tile: quiet dark diagonal bands over a faint checkerboard.
// It repeats without seams in both directions.
std::unique_ptr<image::Bitmap32> makeBackgroundTile();

}  // namespace kalder::gui
