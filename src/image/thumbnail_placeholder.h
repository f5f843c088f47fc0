#pragma once

#include <cstdint>

namespace kalder::image {

class Bitmap32;

// A size x size tile in the window colour with the small "no preview" picture centred, shown
// for files that cannot be thumbnailed.
void drawThumbnailPlaceholder(Bitmap32& bitmap, std::int32_t size);

}  // namespace kalder::image
