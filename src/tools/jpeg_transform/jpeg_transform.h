#pragma once

// Lossless turns and mirrors of JPEG files: the DCT coefficients are moved, never decoded and
// encoded again, so the picture loses nothing but the partial edge blocks a transform cannot
// move (and those only when the caller allows it).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalder::tools {

// The numbering the dialog, the command line and the engine share.
enum class JpegTransformCode : int {
    FlipHorizontal = 1,
    FlipVertical = 2,
    Rotate90 = 3,  // clockwise
    Rotate180 = 4,
    Rotate270 = 5,  // i.e. 90 degrees counter-clockwise
};

// Every operation the coefficient transformer knows; applying an Exif orientation also needs
// the two diagonal mirrors.
enum class JpegOperation { FlipH, FlipV, Transpose, Transverse, Rotate90, Rotate180, Rotate270 };

JpegOperation operationFor(JpegTransformCode code);
// The operation that shows a picture stored with that Exif orientation upright; nullopt for 1
// and for values outside 1..8.
std::optional<JpegOperation> operationForOrientation(int orientation);

struct JpegTransformResult {
    bool done = false;
    bool needsTrim = false;
    bool stopped = false;
    std::int32_t rightCut = 0;       // pixels the transform would drop from the right edge
    std::int32_t bottomCut = 0;      // and from the bottom edge
    bool readOnly = false;           // the target is read-only and overwriting it was not asked for
    std::string error;               // why a file ended neither done, stopped nor needsTrim
    std::filesystem::path keptCopy;  // a complete result that could not take the target's place
};

// Told done out of total; returning false stops the transformation.
using JpegTransformProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

struct JpegTransformOptions {
    bool allowTrim = false;
    // Set the Exif Orientation to 1 in the result (the picture has been turned upright).
    bool resetOrientation = false;
};

// Transforms `source` into `destination`. Nothing is written unless the result is done: a
// needsTrim or failed run leaves the destination as it was. Markers (Exif, ICC, XMP, comments,
// every APPn) are copied; a header before the stream is dropped. The Exif thumbnail is
// transformed too and the Exif pixel dimensions follow the new size.
JpegTransformResult transformJpeg(const std::filesystem::path& source,
                                  const std::filesystem::path& destination, JpegTransformCode code,
                                  bool allowTrim, const JpegTransformProgress& progress = {});
JpegTransformResult transformJpeg(const std::filesystem::path& source,
                                  const std::filesystem::path& destination, JpegOperation operation,
                                  const JpegTransformOptions& options,
                                  const JpegTransformProgress& progress = {});

// The same on a stream in memory (starting at its SOI). On done, `output` holds the new stream.
JpegTransformResult transformJpegStream(std::span<const std::uint8_t> stream,
                                        JpegOperation operation,
                                        const JpegTransformOptions& options,
                                        const JpegTransformProgress& progress,
                                        std::vector<std::uint8_t>& output);

struct KeptSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};
// What a trimming transform keeps of a width x height picture with that MCU, in the source's
// orientation.
KeptSize keptSize(std::uint32_t width, std::uint32_t height, std::uint32_t mcuWidth,
                  std::uint32_t mcuHeight, JpegOperation operation);

}  // namespace kalder::tools
