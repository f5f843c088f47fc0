#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// Windows and OS/2 bitmap files (.bmp, .dib).
std::unique_ptr<ImageReader> makeBmpReader();

}  // namespace kalder::image
