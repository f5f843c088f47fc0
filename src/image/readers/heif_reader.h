#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// HEIC and AVIF stills (the primary picture) and AVIF sequences through the codec extension
// module.
std::unique_ptr<ImageReader> makeHeifReader();

}  // namespace kalder::image
