#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// JPEG-2000 codestreams and JP2 files through the codec extension module.
std::unique_ptr<ImageReader> makeJpeg2000Reader();

}  // namespace kalder::image
