#pragma once

#include <cstddef>
#include <cstdint>

#include "image/format_table.h"

namespace kalder::fuzz {

// Decodes the bytes with the reader of `format` through a memory input: header, then every
// frame (at most a few), reading every row and touching every output byte so sanitizers see
// uninitialised or out-of-bounds data. Oversized images are refused before decoding.
void decodeAllFrames(image::FormatCode format, const std::uint8_t* data, std::size_t size);

// The same through ImageDocument and a temporary file: detection, scaling paths (chosen by the
// last input byte), rotation and thumbnails.
void decodeThroughDocument(const std::uint8_t* data, std::size_t size);

}  // namespace kalder::fuzz
