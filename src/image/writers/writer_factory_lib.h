#pragma once

#include <memory>

namespace kalder::image {

class ImageWriter;

// Writers that go through the codec extension module. Without the module, Write fails with
// DecodeError::NoReader and leaves no file behind.
std::unique_ptr<ImageWriter> makeJpegWriter();
std::unique_ptr<ImageWriter> makePngWriter();
// Each Write adds one directory (page) to the file.
std::unique_ptr<ImageWriter> makeTiffWriter();

}  // namespace kalder::image
