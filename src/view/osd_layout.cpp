#include "view/osd_layout.h"

#include <algorithm>

namespace kalder::view {

std::int32_t osdIconSide(OsdSize size, std::int32_t screenWidth) {
    switch (size) {
        case OsdSize::Off:
            return 0;
        case OsdSize::Small:
            return 18;
        case OsdSize::Normal:
            return 28;
        case OsdSize::Large:
            return 38;
        case OsdSize::Auto:
            break;
    }
    if (screenWidth < 800) return 18;
    if (screenWidth <= 1024) return 28;
    return 38;
}

OsdLayout layoutOsd(PixelSize client, std::int32_t s, PixelSize gamma) {
    const std::int32_t w = client.width, h = client.height;
    auto box = [s](std::int32_t x, std::int32_t y) { return PixelRect{x, y, x + s, y + s}; };
    OsdLayout l;
    l.up = box(w - s - 1, 1);
    l.rotation = box(w - s - 1, h - s - 1);
    l.down = box(w - s - 1, h - s - s - 2);
    l.left = box(1, h - s - 1);
    l.right = box(l.rotation.left - s - 1, h - s - 1);
    const std::int32_t gx = l.left.right + 6;
    const std::int32_t gy = h - gamma.height - 1;
    l.gammaScale = {gx, gy, gx + gamma.width, gy + gamma.height};
    return l;
}

OsdVisibility osdVisibility(const OsdInputs& in) {
    OsdVisibility v;
    if (!in.osdOn || in.iconSide <= 0) return v;
    const std::int32_t s = in.iconSide;
    v.rotation = in.client.width >= s + 2 && in.client.height >= s + 2;
    if (!in.hasImage) return v;
    const bool roomy =
        in.client.width >= s + in.gammaScale.width + s + s + 6 && in.client.height >= s + s + s + 4;
    if (!roomy) return v;
    // Half a magnified pixel of slack, so a rounding remainder does not show an arrow.
    const std::int32_t a = in.zoom.reduce ? 0 : in.zoom.factor / 2;
    v.up = in.scroll.y > a;
    v.down = in.scroll.y < in.displayed.height - in.client.height - a;
    v.left = in.scroll.x > a;
    v.right = in.scroll.x < in.displayed.width - in.client.width - a;
    return v;
}

bool progressStripAtTop(bool topCornersVisible, bool bottomCornersVisible) {
    return topCornersVisible && !bottomCornersVisible;
}

image::ColorRef progressLineColour(image::ColorRef bg) {
    const std::int64_t luma =
        image::redOf(bg) * 6969 + image::greenOf(bg) * 23434 + image::blueOf(bg) * 2365;
    return luma < 129 * 32768 ? image::makeColorRef(255, 255, 255) : image::makeColorRef(0, 0, 0);
}

ProgressStrip layoutProgressStrip(PixelSize client, bool atTop, std::int32_t percent,
                                  image::ColorRef background) {
    ProgressStrip p;
    if (percent <= 0 || client.width <= 0 || client.height <= 0) return p;
    const std::int32_t top = atTop ? 0 : std::max(0, client.height - ProgressStrip::kHeight);
    p.area = {0, top, client.width, std::min(client.height, top + ProgressStrip::kHeight)};
    const auto length = static_cast<std::int32_t>(std::min(percent, 100) * client.width * 0.01);
    if (length > 0 && top + 1 < p.area.bottom) p.line = {0, top + 1, length, top + 2};
    p.lineColour = progressLineColour(background);
    return p;
}

}  // namespace kalder::view
