#pragma once

#include <cstdint>

namespace kalder::image {

struct PixelSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const PixelSize&) const = default;
};

struct FitRules {
    bool autoFit = false;
    std::int32_t fitWidth = 0;  // 0: not given
    std::int32_t fitHeight = 0;
    std::int32_t zoomRule = 0;  // 0 every image, 1 only smaller than the limit, 2 only larger
    std::int32_t limitWidth = 32767;
    std::int32_t limitHeight = 32767;
};

// The size a raster page is decoded at, from its source size after rotation (both sides in
// 1..32767) and the fit rules: autofit by aspect, zoom rules against the limit box, an
// aspect-preserving fit into the box rounded half up, every side in 1..32767.
PixelSize computeTargetSize(PixelSize source, const FitRules& rules);

}  // namespace kalder::image
