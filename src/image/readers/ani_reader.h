#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// Windows animated cursors (.ani): one page per step of the animation.
std::unique_ptr<ImageReader> makeAniReader();

}  // namespace kalder::image
