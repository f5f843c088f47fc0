#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// Silicon Graphics images: verbatim or run-length channel planes, 1 to 4 channels of 8 or 16
// bits, rows stored bottom row first.
std::unique_ptr<ImageReader> makeSgiReader();

}  // namespace kalder::image
