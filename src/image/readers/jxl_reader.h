#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// JPEG XL stills and animations through the codec extension module.
std::unique_ptr<ImageReader> makeJxlReader();

}  // namespace kalder::image
