#pragma once

namespace kalder::image {

struct WriterImage;

// True when every pixel has red = green = blue (palette images: every pixel's entry).
bool allPixelsGray(const WriterImage& image);

}  // namespace kalder::image
