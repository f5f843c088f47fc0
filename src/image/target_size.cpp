#include "image/target_size.h"

#include <algorithm>

#include "image/checked.h"

namespace kalder::image {
namespace {

std::int32_t roundHalfUp(double v) {
    if (v >= kMaxImageSide) return kMaxImageSide;
    return static_cast<std::int32_t>(v + 0.5);
}

}  // namespace

PixelSize computeTargetSize(PixelSize source, const FitRules& rules) {
    const std::int32_t w = source.width;
    const std::int32_t h = source.height;
    std::int32_t W = std::max(0, rules.fitWidth);
    std::int32_t H = std::max(0, rules.fitHeight);

    if (rules.autoFit) {
        if (w >= 2 * static_cast<std::int64_t>(h)) {
            W = 0;  // panorama: fit the height
        } else if (h >= 2 * static_cast<std::int64_t>(w)) {
            H = 0;  // tall image: fit the width
        }
    }
    if (rules.zoomRule == 1 && (w >= rules.limitWidth || h >= rules.limitHeight)) W = H = 0;
    if (rules.zoomRule == 2 && w <= rules.limitWidth && h <= rules.limitHeight) W = H = 0;

    if (W == 0 && H == 0) return {std::max(1, w), std::max(1, h)};
    if (W == 0) {
        const double v = static_cast<double>(w) / h * H;
        if (v + 0.5 > kMaxImageSide) {
            W = kMaxImageSide;
            H = roundHalfUp(static_cast<double>(h) / w * kMaxImageSide);
        } else {
            W = roundHalfUp(v);
        }
    } else if (H == 0) {
        const double v = static_cast<double>(h) / w * W;
        if (v + 0.5 > kMaxImageSide) {
            H = kMaxImageSide;
            W = roundHalfUp(static_cast<double>(w) / h * kMaxImageSide);
        } else {
            H = roundHalfUp(v);
        }
    }
    W = std::clamp(W, 1, kMaxImageSide);
    H = std::clamp(H, 1, kMaxImageSide);

    if (W != w || H != h) {
        const double t = static_cast<double>(w) / h;
        if (t >= static_cast<double>(W) / H) {
            H = roundHalfUp(W / t);
        } else {
            W = roundHalfUp(t * H);
        }
    }
    return {std::clamp(W, 1, kMaxImageSide), std::clamp(H, 1, kMaxImageSide)};
}

}  // namespace kalder::image
