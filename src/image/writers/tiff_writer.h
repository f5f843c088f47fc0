#pragma once

#include <cstdint>

namespace kalder::image {

struct WriterImage;

// The Compression value actually written for an image: the requested one when the image
// allows it (CCITT needs 1 bit, JPEG true colour), else LZW.
std::uint16_t tiffCompressionFor(const WriterImage& image);

}  // namespace kalder::image
