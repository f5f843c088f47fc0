#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// WebP stills and animations through the codec extension module.
std::unique_ptr<ImageReader> makeWebpReader();

}  // namespace kalder::image
