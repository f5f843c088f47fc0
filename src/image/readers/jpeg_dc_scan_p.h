#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kalder::image {

class CancelSink;

// A picture of one eighth of a JPEG's width and height, red, green, blue per pixel.
struct EighthPicture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb;
};

// Builds the eighth-size picture of a sequential Huffman-coded 8-bit JPEG (grey, YCbCr or RGB,
// one interleaved scan) as the library would at scale 1/8, without its full entropy decoding:
// the AC codes of blocks that give one pixel are only stepped over, and only the DC coefficient
// is kept. A component halved both ways gives 2 x 2 pixels per block, each the mean of a quarter
// of the block, as the library's reduced transform does (to within rounding). Empty for every
// other kind of file, for damaged data, a file that ends early and when cancelled: the caller
// then lets the library decode it as it always did.
std::optional<EighthPicture> scanJpegDc(std::span<const std::uint8_t> file, std::int64_t maxPixels,
                                        const CancelSink* cancel);

}  // namespace kalder::image
