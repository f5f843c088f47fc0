#pragma once

// Putting a picture upright by its Exif Orientation: one rule, which the viewer, thumbnails,
// printing and conversion all follow.

#include <cstdint>
#include <vector>

#include "image/exif/exif_block.h"

namespace kalder::image {

class Bitmap32;
struct LoadOptions;

// `first`, then `then`, as one turn followed by flips.
ExifOrientation composeOrientation(const ExifOrientation& first, const ExifOrientation& then);

// The turn and flips that show a picture stored with that Exif Orientation value upright; none for
// values outside 1..8 (the tag's absence reads 0).
ExifOrientation uprightTransform(int exifOrientation);

// Makes the options put the picture upright first and then turn and flip it as they asked.
void orientLoadOptions(LoadOptions& options, int exifOrientation);

// `source` turned and flipped into `target` exactly as the decoder places rows for the same
// rotation and flips. False when `target` cannot be allocated (or is `source`).
[[nodiscard]] bool orientBitmap(const Bitmap32& source, Bitmap32& target,
                                const ExifOrientation& orientation);

// A copy of the block's TIFF structure whose Orientation says 1, for a picture already put
// upright; the structure as it is when the tag is absent.
std::vector<std::uint8_t> exifWithOrientationReset(const ExifBlock& exif);

}  // namespace kalder::image
