#pragma once

#include <cstdint>

#include "image/bitmap32.h"
#include "image/target_size.h"

namespace kalder::view {

using image::PixelRect;
using image::PixelSize;

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const Point&) const = default;
};

// An integer zoom: 1/factor when reducing, factor when magnifying. 1:1 is {false, 1}.
struct Zoom {
    static constexpr std::int32_t kMaxReduce = 10;
    static constexpr std::int32_t kMaxMagnify = 20;

    bool reduce = false;
    std::int32_t factor = 1;

    bool isActualSize() const { return !reduce && factor == 1; }
    bool operator==(const Zoom&) const = default;
};

// Factor limited to 1..10 when reducing and 1..20 when magnifying; a reduce of 1 is 1:1.
Zoom clampZoom(Zoom z);
// The next integer zoom level up or down: ... 1/3, 1/2, 1, 2, 3 ...
Zoom zoomedIn(Zoom z);
Zoom zoomedOut(Zoom z);
// A length at the zoom: times the factor, or divided by it (integer division) when reducing.
std::int32_t zoomLength(std::int32_t length, Zoom z);

// Floor division and a modulo that is never negative, for wrapping coordinates.
inline std::int32_t floorDiv(std::int32_t a, std::int32_t b) {
    const std::int32_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
inline std::int32_t positiveMod(std::int32_t a, std::int32_t m) {
    const std::int32_t r = a % m;
    return r < 0 ? r + m : r;
}

inline PixelRect intersect(const PixelRect& a, const PixelRect& b) {
    PixelRect r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    if (r.isEmpty()) return {};
    return r;
}

}  // namespace kalder::view
