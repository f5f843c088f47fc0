// The input side of the lossless JPEG tools over arbitrary bytes: the stream search, the marker
// walk, the Orientation lookup, and the Exif rewrite with a thumbnail that grows or shrinks.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/jpeg_transform/exif_orientation.h"
#include "tools/jpeg_transform/exif_rewrite.h"
#include "tools/jpeg_transform/jpeg_segments.h"
#include "tools/jpeg_transform/jpeg_transform.h"

namespace {

using namespace kalder::tools;

volatile std::uint64_t g_sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    if (const auto tag = findOrientationTag(file))
        g_sink = g_sink + tag->filePosition + static_cast<std::uint64_t>(tag->value);

    const auto start = jpeg::findStreamStart(file);
    if (!start) return 0;
    const auto stream = file.subspan(*start);
    const auto layout = jpeg::walkSegments(stream);
    if (!layout) return 0;
    for (const jpeg::Segment& s : layout->segments) {
        if (s.payloadOffset + s.payloadSize > stream.size()) __builtin_trap();
        g_sink = g_sink + stream[s.offset] + s.payloadSize;
    }
    const jpeg::FrameInfo& f = layout->frame;
    for (int op = 0; op <= static_cast<int>(JpegOperation::Rotate270); ++op) {
        const KeptSize k = keptSize(f.width, f.height, f.mcuWidth(), f.mcuHeight(),
                                    static_cast<JpegOperation>(op));
        if (k.width > f.width || k.height > f.height) __builtin_trap();
    }

    // The last byte decides how much the stand-in thumbnail transform adds or removes.
    const int delta = size > 0 ? static_cast<int>(data[size - 1]) - 128 : 0;
    jpeg::ExifAdjustment adjustment;
    adjustment.quarterTurn = (delta & 1) != 0;
    adjustment.sourceWidth = f.width;
    adjustment.sourceHeight = f.height;
    adjustment.outputWidth = f.height;
    adjustment.outputHeight = f.width;
    adjustment.resetOrientation = (delta & 2) != 0;
    adjustment.transformThumbnail = [delta](std::span<const std::uint8_t> thumbnail) {
        std::vector<std::uint8_t> out(thumbnail.begin(), thumbnail.end());
        if (delta < 0) {
            out.resize(out.size() > static_cast<std::size_t>(-delta) ? out.size() + delta : 1);
        } else {
            out.resize(out.size() + static_cast<std::size_t>(delta) * 97, 0xA5);
        }
        return std::optional<std::vector<std::uint8_t>>(std::move(out));
    };
    std::vector<std::uint8_t> copy(stream.begin(), stream.end());
    g_sink = g_sink + static_cast<std::uint64_t>(jpeg::adjustExif(copy, adjustment));
    if (!jpeg::walkSegments(copy)) __builtin_trap();  // the rewrite keeps the stream walkable
    return 0;
}
