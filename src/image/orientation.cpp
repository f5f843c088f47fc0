#include "image/orientation.h"

#include <cstring>
#include <mutex>
#include <utility>

#include "image/bitmap32.h"
#include "image/load_options.h"

namespace kalder::image {

ExifOrientation composeOrientation(const ExifOrientation& first, const ExifOrientation& then) {
    // Both flips together are a half turn, so each transform is a turn and at most one
    // horizontal flip. A flip done before a turn equals the opposite turn done before the flip.
    const auto normal = [](const ExifOrientation& o) {
        return std::pair{(o.rotation + (o.flipV ? 2 : 0)) & 3, o.flipH != o.flipV};
    };
    const auto [r1, f1] = normal(first);
    const auto [r2, f2] = normal(then);
    ExifOrientation out;
    out.rotation = (r1 + (f1 ? 4 - r2 : r2)) & 3;
    out.flipH = f1 != f2;
    return out;
}

ExifOrientation uprightTransform(int exifOrientation) {
    return orientationTransform(exifOrientation).value_or(ExifOrientation{});
}

void orientLoadOptions(LoadOptions& options, int exifOrientation) {
    const ExifOrientation asked{options.rotation & 3, options.flipHorizontal, options.flipVertical};
    const ExifOrientation o = composeOrientation(uprightTransform(exifOrientation), asked);
    options.rotation = o.rotation;
    options.flipHorizontal = o.flipH;
    options.flipVertical = o.flipV;
}

bool orientBitmap(const Bitmap32& source, Bitmap32& target, const ExifOrientation& o) {
    if (&source == &target) return false;
    const std::int32_t w = source.width(), h = source.height();
    const bool quarter = (o.rotation & 1) != 0;
    const std::int32_t tw = quarter ? h : w, th = quarter ? w : h;
    if (source.isEmpty() || !target.Create(tw, th)) return false;
    {
        std::scoped_lock lock(source.pixelLock(), target.pixelLock());
        for (std::int32_t y = 0; y < h; ++y) {
            const std::uint8_t* s = source.row(y);
            for (std::int32_t x = 0; x < w; ++x, s += 4) {
                std::int32_t u, v;  // where source pixel (x, y) lands, before the flips
                switch (o.rotation & 3) {
                    case 0:
                        u = x;
                        v = y;
                        break;
                    case 1:
                        u = tw - 1 - y;
                        v = x;
                        break;
                    case 2:
                        u = tw - 1 - x;
                        v = th - 1 - y;
                        break;
                    default:
                        u = y;
                        v = th - 1 - x;
                        break;
                }
                if (o.flipH) u = tw - 1 - u;
                if (o.flipV) v = th - 1 - v;
                std::memcpy(target.row(v) + static_cast<std::size_t>(u) * 4, s, 4);
            }
        }
    }
    target.markAllDone();
    return true;
}

std::vector<std::uint8_t> exifWithOrientationReset(const ExifBlock& exif) {
    std::vector<std::uint8_t> out(exif.data().begin(), exif.data().end());
    const ExifEntry* e = exif.findEntry(ExifIfdKind::Ifd0, exif_tag::kOrientation);
    if (!e || !e->hasValue || exif.orientation() == 0) return out;
    // BYTE, SHORT or LONG, each read as the block's byte order says.
    const std::size_t width = e->type == 1 ? 1 : e->type == 3 ? 2 : e->type == 4 ? 4 : 0;
    if (width == 0 || e->valueOffset + width > out.size()) return out;
    std::uint8_t* v = out.data() + e->valueOffset;
    std::memset(v, 0, width);
    v[exif.littleEndian() ? 0 : width - 1] = 1;
    return out;
}

}  // namespace kalder::image
