#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// Amiga IFF ILBM pictures: interleaved bit-planes (1 to 8 with a colour map, extra half-brite
// and hold-and-modify, 24, 32 and 48-plane deep), plain or ByteRun1-compressed, with masks.
std::unique_ptr<ImageReader> makeIffReader();

}  // namespace kalder::image
