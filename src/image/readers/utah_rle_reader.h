#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// Utah RLE images: operation-coded scan lines, one to three colour channels (plus optional
// alpha), an optional colour map; rows are stored bottom row first.
std::unique_ptr<ImageReader> makeUtahRleReader();

}  // namespace kalder::image
