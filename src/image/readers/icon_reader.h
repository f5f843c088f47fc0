#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// Windows icons and cursors (.ico, .cur): one page per image of the file.
std::unique_ptr<ImageReader> makeIconReader();

}  // namespace kalder::image
