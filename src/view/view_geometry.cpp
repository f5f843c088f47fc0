#include "view/view_geometry.h"

#include <algorithm>

namespace kalder::view {

Zoom clampZoom(Zoom z) {
    const std::int32_t limit = z.reduce ? Zoom::kMaxReduce : Zoom::kMaxMagnify;
    z.factor = std::clamp(z.factor, 1, limit);
    if (z.reduce && z.factor == 1) z.reduce = false;
    return z;
}

Zoom zoomedIn(Zoom z) {
    if (z.reduce) {
        --z.factor;
        if (z.factor <= 1) z = Zoom{};
    } else {
        ++z.factor;
    }
    return clampZoom(z);
}

Zoom zoomedOut(Zoom z) {
    if (z.reduce) {
        ++z.factor;
    } else if (z.factor <= 1) {
        z = Zoom{true, 2};
    } else {
        --z.factor;
    }
    return clampZoom(z);
}

std::int32_t zoomLength(std::int32_t length, Zoom z) {
    if (z.reduce) return length / z.factor;
    const std::int64_t v = static_cast<std::int64_t>(length) * z.factor;
    return static_cast<std::int32_t>(std::min<std::int64_t>(v, INT32_MAX));
}

// ---------------------------------------------------------------------------------------------

PixelSize ViewGeometry::DisplayedSize() const {
    if (!m_hasImage) return {};
    return {zoomLength(m_image.width, m_zoom), zoomLength(m_image.height, m_zoom)};
}

Point ViewGeometry::clampScroll(Point p) const {
    const PixelSize d = DisplayedSize();
    auto axis = [](std::int32_t v, std::int32_t displayed, std::int32_t client) {
        if (displayed <= client) return 0;
        return std::clamp(v, 0, displayed - client);
    };
    return {axis(p.x, d.width, m_client.width), axis(p.y, d.height, m_client.height)};
}

Point ViewGeometry::imageOrigin() const {
    const PixelSize d = DisplayedSize();
    auto axis = [](std::int32_t displayed, std::int32_t client, std::int32_t scroll) {
        return displayed < client ? (client - displayed) / 2 : -scroll;
    };
    return {axis(d.width, m_client.width, m_scroll.x), axis(d.height, m_client.height, m_scroll.y)};
}

PixelRect ViewGeometry::imageRect() const {
    if (!m_hasImage) return {};
    const PixelSize d = DisplayedSize();
    const Point o = imageOrigin();
    return {o.x, o.y, o.x + d.width, o.y + d.height};
}

Point ViewGeometry::centredScroll() const {
    const PixelSize d = DisplayedSize();
    return {std::max(0, (d.width - m_client.width) / 2),
            std::max(0, (d.height - m_client.height) / 2)};
}

void ViewGeometry::setClientSize(PixelSize client) {
    m_client = {std::max(0, client.width), std::max(0, client.height)};
    // An image centred for a smaller or larger client (the browser's pane before the viewer
    // took the window) stays centred until the user moves it.
    if (m_hasImage) m_scroll = m_centred ? centredScroll() : clampScroll(m_scroll);
}

void ViewGeometry::SetImage(PixelSize imageSize, bool centerAndReset) {
    if (imageSize.width <= 0 || imageSize.height <= 0) {
        Clear();
        return;
    }
    if (m_hasImage) {
        if (imageSize == m_image) return;  // same size: zoom and scroll stay
        // Another size: re-apply the old zoom around the centre, then the old scroll.
        const Zoom oldZoom = m_zoom;
        const Point oldScroll = m_scroll;
        m_zoom = Zoom{};
        m_scroll = {};
        m_image = imageSize;
        const bool lens = m_lens;
        m_lens = false;  // the zoom is re-applied regardless of the lens
        SetZoom(oldZoom, false);
        m_lens = lens;
        ScrollTo(oldScroll.x, oldScroll.y);
        return;
    }
    m_hasImage = true;
    m_image = imageSize;
    m_panorama = 0;
    m_centred = centerAndReset;
    if (centerAndReset) {
        m_zoom = Zoom{};
        m_scroll = centredScroll();
    } else {
        m_scroll = clampScroll(m_scroll);
    }
}

void ViewGeometry::Clear() {
    m_hasImage = false;
    m_centred = false;
    m_image = {};
}

bool ViewGeometry::SetZoom(bool reduce, std::int32_t factor, bool anchorAtCursor) {
    if (!m_hasImage || m_lens) return false;
    const Zoom next = clampZoom(Zoom{reduce, factor});
    if (next == m_zoom) return false;
    m_centred = false;

    Point anchor{m_client.width / 2, m_client.height / 2};
    if (anchorAtCursor) {
        anchor = {std::clamp(m_cursor.x, 0, std::max(0, m_client.width - 1)),
                  std::clamp(m_cursor.y, 0, std::max(0, m_client.height - 1))};
    }
    const PixelSize oldD = DisplayedSize();
    m_zoom = next;
    const PixelSize newD = DisplayedSize();

    // Keep the image point under the anchor where it is; an image smaller than the client
    // grows around its middle.
    auto axis = [](std::int32_t oldDisplayed, std::int32_t newDisplayed, std::int32_t client,
                   std::int32_t a, std::int32_t scroll) {
        if (oldDisplayed < client) return newDisplayed / 2 - a;
        // newDisplayed / (oldDisplayed / at), kept in integers so an exact ratio stays exact.
        const std::int64_t at = static_cast<std::int64_t>(a) + scroll;
        if (at <= 0 || oldDisplayed <= 0) return -a;  // anchor at the image's first pixel
        return static_cast<std::int32_t>(static_cast<std::int64_t>(newDisplayed) * at /
                                         oldDisplayed) -
               a;
    };
    const std::int32_t sx = axis(oldD.width, newD.width, m_client.width, anchor.x, m_scroll.x);
    const std::int32_t sy = axis(oldD.height, newD.height, m_client.height, anchor.y, m_scroll.y);
    m_scroll = clampScroll({sx, sy});
    return true;
}

ScrollChange ViewGeometry::ScrollTo(std::int32_t x, std::int32_t y) {
    if (!m_hasImage) return {};
    const Point next = clampScroll({x, y});
    ScrollChange c;
    c.changed = next != m_scroll;
    c.shift = {m_scroll.x - next.x, m_scroll.y - next.y};
    m_scroll = next;
    if (c.changed) m_centred = false;
    return c;
}

Point ViewGeometry::arrowKeyTarget(Arrow key) const {
    const std::int32_t dx = m_client.width / 12;
    const std::int32_t dy = m_client.height / 12;
    switch (key) {
        case Arrow::Left:
            return {m_scroll.x - dx, m_scroll.y};
        case Arrow::Right:
            return {m_scroll.x + dx, m_scroll.y};
        case Arrow::Up:
            return {m_scroll.x, m_scroll.y - dy};
        case Arrow::Down:
            return {m_scroll.x, m_scroll.y + dy};
    }
    return m_scroll;
}

Point ViewGeometry::pageKeyTarget(bool down) const {
    const std::int32_t sign = down ? 1 : -1;
    if (DisplayedSize().height > m_client.height)
        return {m_scroll.x, m_scroll.y + sign * 5 * (m_client.height / 5)};
    return {m_scroll.x + sign * 5 * (m_client.width / 5), m_scroll.y};
}

Point ViewGeometry::wheelScrollTarget(bool forward) const {
    const std::int32_t sign = forward ? -1 : 1;
    if (DisplayedSize().height > m_client.height)
        return {m_scroll.x, m_scroll.y + sign * (m_client.height / 5)};
    return {m_scroll.x + sign * (m_client.width / 5), m_scroll.y};
}

std::int32_t ViewGeometry::panoramaStep(std::int32_t imageWidth) {
    return std::max(1, imageWidth / 72);
}

std::optional<std::int32_t> ViewGeometry::SetPanoramaOffset(std::int32_t offset) {
    const std::int32_t old = m_panorama;
    m_panorama = offset;
    if (!m_hasImage || m_zoom.reduce) return std::nullopt;
    const std::int64_t shift = (static_cast<std::int64_t>(old) - offset) * m_zoom.factor;
    if (shift <= INT32_MIN || shift >= INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(shift);
}

std::int32_t ViewGeometry::wrappedPanoramaOffset() const {
    if (!m_hasImage) return 0;
    return positiveMod(m_panorama, m_image.width);
}

bool ViewGeometry::setLens(bool on) {
    if (on && (!m_hasImage || !m_zoom.isActualSize())) return false;
    m_lens = on;
    return true;
}

LensLayout ViewGeometry::lensLayout(Point c) const {
    LensLayout l;
    l.square = {c.x - kLensReach, c.y - kLensReach, c.x + kLensReach, c.y + kLensReach};
    const Point o = imageOrigin();
    // 70 x 70 image pixels whose top-left is 35 pixels up and left of the cursor.
    const std::int32_t half = LensLayout::kSourceSide / 2;
    const PixelRect wanted{c.x - o.x - half, c.y - o.y - half, c.x - o.x + half, c.y - o.y + half};
    const PixelRect shown = m_hasImage
                                ? intersect(wanted, PixelRect{0, 0, m_image.width, m_image.height})
                                : PixelRect{};
    PixelRect covered;
    if (!shown.isEmpty()) {
        const std::int32_t m = LensLayout::kMagnify;
        ImagePaintRegion region;
        region.source = shown;
        region.dest = {l.square.left + (shown.left - wanted.left) * m,
                       l.square.top + (shown.top - wanted.top) * m};
        covered = {region.dest.x, region.dest.y, region.dest.x + shown.right * m - shown.left * m,
                   region.dest.y + shown.bottom * m - shown.top * m};
        l.picture = region;
        l.background.add({l.square.left, l.square.top, l.square.right, covered.top});
        l.background.add({l.square.left, covered.bottom, l.square.right, l.square.bottom});
        l.background.add({l.square.left, covered.top, covered.left, covered.bottom});
        l.background.add({covered.right, covered.top, l.square.right, covered.bottom});
    } else {
        l.background.add(l.square);
    }
    const std::int32_t far = l.picture ? kLensReach - 1 : kLensReach;
    l.frameLeft = c.x - kLensReach;
    l.frameTop = c.y - kLensReach;
    l.frameRight = c.x + far;
    l.frameBottom = c.y + far;
    return l;
}

PixelRect ViewGeometry::lensRepaintRect(Point c) {
    return {c.x - kLensReach, c.y - kLensReach, c.x + 2 * kLensReach, c.y + 2 * kLensReach};
}

std::optional<ImagePaintRegion> ViewGeometry::imagePaintRegion(const PixelRect& update) const {
    if (!m_hasImage) return std::nullopt;
    const PixelRect clip =
        intersect(intersect(update, imageRect()), PixelRect{0, 0, m_client.width, m_client.height});
    if (clip.isEmpty()) return std::nullopt;
    const Point o = imageOrigin();
    // Client coordinates relative to the displayed image's top-left.
    const std::int32_t l = clip.left - o.x, r = clip.right - o.x;
    const std::int32_t t = clip.top - o.y, b = clip.bottom - o.y;
    const std::int32_t f = m_zoom.factor;
    ImagePaintRegion region;
    if (m_zoom.reduce) {
        region.source = {l * f, t * f, std::min(r * f, m_image.width),
                         std::min(b * f, m_image.height)};
        region.dest = {clip.left, clip.top};
    } else {
        const std::int32_t sx = l / f, sy = t / f;
        const std::int32_t ex = (r + f - 1) / f, ey = (b + f - 1) / f;
        region.source = {sx, sy, std::min(ex, m_image.width), std::min(ey, m_image.height)};
        region.dest = {o.x + sx * f, o.y + sy * f};
    }
    if (region.source.isEmpty()) return std::nullopt;
    return region;
}

RectList ViewGeometry::backgroundRects(const PixelRect& exclude) const {
    RectList out;
    const PixelRect client{0, 0, m_client.width, m_client.height};
    // Rows of the strip are left out: the parts of the client above and below it.
    std::int32_t top = 0, bottom = m_client.height;
    const PixelRect strip = intersect(exclude, client);
    if (!strip.isEmpty()) {
        if (strip.top <= 0)
            top = strip.bottom;
        else
            bottom = strip.top;
    }
    const PixelRect area{0, top, m_client.width, bottom};
    const PixelRect img = m_hasImage ? intersect(imageRect(), area) : PixelRect{};
    if (img.isEmpty()) {
        out.add(area);
        return out;
    }
    out.add({area.left, area.top, area.right, img.top});
    out.add({area.left, img.bottom, area.right, area.bottom});
    out.add({area.left, img.top, img.left, img.bottom});
    out.add({img.right, img.top, area.right, img.bottom});
    return out;
}

PixelRect ViewGeometry::clientRectForImageRect(const PixelRect& a) const {
    if (!m_hasImage || a.isEmpty()) return {};
    const Point o = imageOrigin();
    const std::int32_t f = m_zoom.factor;
    PixelRect r;
    if (m_zoom.reduce) {
        r = {o.x + a.left / f, o.y + a.top / f, o.x + (a.right + f - 1) / f,
             o.y + (a.bottom + f - 1) / f};
    } else {
        r = {o.x + a.left * f, o.y + a.top * f, o.x + a.right * f, o.y + a.bottom * f};
    }
    return intersect(r, PixelRect{0, 0, m_client.width, m_client.height});
}

// ---------------------------------------------------------------------------------------------

std::int32_t WheelAccumulator::add(std::int32_t delta) {
    const std::int64_t sum = static_cast<std::int64_t>(m_rest) + delta;
    const std::int64_t notches = sum / kNotch;  // truncates towards zero, like the loops would
    m_rest = static_cast<std::int32_t>(sum - notches * kNotch);
    return static_cast<std::int32_t>(notches);
}

bool CursorIdle::tick(bool overWindow, bool dragging, bool lens) {
    if (!overWindow || dragging || lens) {
        m_ticks = 0;
        return false;
    }
    ++m_ticks;
    return m_ticks == kQuietTicks + 1;
}

PixelRect placeWithin(const PixelRect& window, const PixelRect& area) {
    if (area.isEmpty()) return window;
    auto axis = [](std::int32_t start, std::int32_t length, std::int32_t from, std::int32_t to) {
        length = std::min(length, to - from);
        return std::pair{std::clamp(start, from, to - length), length};
    };
    const auto [x, w] = axis(window.left, window.right - window.left, area.left, area.right);
    const auto [y, h] = axis(window.top, window.bottom - window.top, area.top, area.bottom);
    return {x, y, x + w, y + h};
}

}  // namespace kalder::view
