#pragma once

// The JP2 file structure around a JPEG-2000 codestream: signature search and the box walk that
// finds the codestream, checks the colour specification and reads the resolution.

#include <cstdint>

#include "image/result.h"

namespace kalder::image {

class BufferedInput;

struct Jp2Signature {
    bool isJp2 = false;        // JP2 file format; false: bare codestream
    std::uint64_t offset = 0;  // where the signature (or the codestream) starts
};

struct Jp2Layout {
    std::uint64_t codestreamStart = 0;
    std::uint64_t codestreamLength = 0;
    std::int32_t dpiX = -1;
    std::int32_t dpiY = -1;
};

// Looks at offsets 0, 128, ... 896 for a codestream start (FF 4F FF) or a JP2 signature box.
Result<Jp2Signature> findJp2Signature(BufferedInput& in);

// Walks the boxes after the signature box at `signatureOffset` up to the codestream box.
Result<Jp2Layout> readJp2Layout(BufferedInput& in, std::uint64_t signatureOffset);

// The image and tile grid of a codestream's size marker, and what follows from them.
struct J2kSize {
    std::uint32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // the image area on the reference grid
    std::uint32_t components = 0;
    std::uint64_t tiles = 0;
    std::uint64_t samples = 0;  // over all components, after sub-sampling
};

// Reads the size marker at the codestream's start and weighs what it declares against the
// codestream's length: every tile needs a tile-part header, and no encoder squeezes samples
// beyond kMaxJ2kCompression to one byte, so a short stream declaring more is refused (Truncated)
// before the codec allocates tile structures or sample buffers for it.
inline constexpr std::uint64_t kMaxJ2kCompression = 100000;
Result<J2kSize> readJ2kSize(BufferedInput& in, std::uint64_t start, std::uint64_t length);

// Dots per inch from a resolution sub-box's numerator, denominator and exponent; -1 when the
// values make no sense.
std::int32_t jp2ResolutionDpi(std::uint32_t numerator, std::uint32_t denominator,
                              std::int8_t exponent);

}  // namespace kalder::image
