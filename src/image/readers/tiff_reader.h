#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// TIFF files through the codec extension module; every directory is a page.
std::unique_ptr<ImageReader> makeTiffReader();

}  // namespace kalder::image
