#pragma once

// Brings the Exif block of a transformed JPEG in line with its new pixels.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace kalder::tools::jpeg {

struct ExifAdjustment {
    bool quarterTurn = false;  // the picture's width and height were exchanged
    std::uint32_t sourceWidth = 0, sourceHeight = 0;
    std::uint32_t outputWidth = 0, outputHeight = 0;
    bool resetOrientation = false;
    // Transforms the embedded thumbnail (a JPEG stream); nullopt keeps the old one.
    std::function<std::optional<std::vector<std::uint8_t>>(std::span<const std::uint8_t>)>
        transformThumbnail;
};

// Rewrites the first Exif APP1 segment of `stream` (a whole JPEG stream): the thumbnail through
// the callback, PixelXDimension/PixelYDimension, and Orientation when asked. A segment that
// cannot be parsed, or a thumbnail that would not fit in one segment, is left as it was.
// Returns whether the Orientation now reads 1 (only meaningful when a reset was asked for).
bool adjustExif(std::vector<std::uint8_t>& stream, const ExifAdjustment& adjustment);

}  // namespace kalder::tools::jpeg
