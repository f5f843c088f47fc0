// Feeds arbitrary bytes to the eighth-size DC scan that JPEG thumbnails take first.
#include <cstddef>
#include <cstdint>

#include "image/readers/jpeg_dc_scan_p.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto picture = kalder::image::scanJpegDc({data, size}, std::int64_t{1} << 20, nullptr);
    if (picture) {
        // Every byte is read, so the sanitizers see any that were never written.
        unsigned sum = 0;
        for (std::uint8_t b : picture->rgb) sum += b;
        if (picture->rgb.size() != static_cast<std::size_t>(picture->width) *
                                       static_cast<std::size_t>(picture->height) * 3)
            __builtin_trap();
        static volatile unsigned sink;
        sink = sum;
    }
    return 0;
}
