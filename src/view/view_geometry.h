#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "view/view_types.h"

namespace kalder::view {

// What a ScrollTo did: the widget scrolls its contents by `shift` (new content position minus
// old) or repaints everything.
struct ScrollChange {
    bool changed = false;
    Point shift;  // old scroll - new scroll, per axis
};

// Source pixels to draw for part of the client, and where their top-left lands.
struct ImagePaintRegion {
    PixelRect source;  // in image pixels, unwrapped (before the panorama offset)
    Point dest;        // client coordinates
};

// Up to four rectangles.
struct RectList {
    std::array<PixelRect, 4> rects{};
    std::int32_t count = 0;
    void add(const PixelRect& r) {
        if (!r.isEmpty() && count < 4) rects[count++] = r;
    }
};

// The lens: a 280 x 280 square centred on the cursor showing 70 x 70 image pixels at 4x.
struct LensLayout {
    static constexpr std::int32_t kSide = 280;
    static constexpr std::int32_t kSourceSide = 70;
    static constexpr std::int32_t kMagnify = 4;

    PixelRect square;                         // client coordinates, right/bottom exclusive
    std::optional<ImagePaintRegion> picture;  // image part, drawn at 4x; none when off the image
    RectList background;                      // parts of the square not covered by image pixels
    // Frame lines (1 pixel, grey 153,153,153): x of the left and right vertical lines, y of the
    // top and bottom horizontal lines. The right and bottom lines sit one pixel further out when
    // the square shows no image pixels.
    std::int32_t frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
};

// The geometry of the viewing area: one decoded image shown at an integer zoom, scrolled,
// centred when smaller than the client, shifted horizontally for panoramic scrolling, with an
// optional lens. It only computes; the widget paints, scrolls its contents and moves its cursor.
class ViewGeometry {
public:
    static constexpr std::int32_t kLensReach = 140;  // lens square half side in client pixels

    // --- image and client ---
    // Shows an image of the given size. centerAndReset: 1:1 and centred when nothing was shown.
    void SetImage(PixelSize imageSize, bool centerAndReset);
    void Clear();
    bool hasImage() const { return m_hasImage; }
    PixelSize imageSize() const { return m_image; }
    // A new client size; the scroll is re-clamped, or the image centred again when it was
    // centred and not moved since.
    void setClientSize(PixelSize client);
    PixelSize clientSize() const { return m_client; }

    // --- zoom and scroll ---
    Zoom zoom() const { return m_zoom; }
    // False when ignored (no image, lens on) or unchanged; true means repaint everything.
    bool SetZoom(bool reduce, std::int32_t factor, bool anchorAtCursor);
    bool SetZoom(Zoom z, bool anchorAtCursor) {
        return SetZoom(z.reduce, z.factor, anchorAtCursor);
    }
    ScrollChange ScrollTo(std::int32_t x, std::int32_t y);
    Point scroll() const { return m_scroll; }
    PixelSize DisplayedSize() const;
    // Client position of the displayed image's top-left: the centring offset on an axis that
    // fits, minus the scroll otherwise.
    Point imageOrigin() const;
    // The displayed image in client coordinates (not clipped to the client).
    PixelRect imageRect() const;

    // --- mouse ---
    void setCursor(Point p) { m_cursor = p; }
    void clearCursor() { m_cursor = {-1, -1}; }
    Point cursor() const { return m_cursor; }

    // --- keys and wheel: scroll targets for ScrollTo ---
    enum class Arrow { Left, Right, Up, Down };
    Point arrowKeyTarget(Arrow key) const;  // one twelfth of the client
    Point pageKeyTarget(bool down) const;   // 5 x (client / 5), vertical when taller
    static Point homeTarget() { return {0, 0}; }
    static Point endTarget() { return {1000000, 1000000}; }
    Point wheelScrollTarget(bool forward) const;  // one fifth of the client

    // --- panorama ---
    static std::int32_t panoramaStep(std::int32_t imageWidth);  // width / 72, at least 1
    std::int32_t panoramaOffset() const { return m_panorama; }
    // Stores the offset. Returns the horizontal content shift in client pixels, or nothing when
    // the image part must be repainted instead (reduced zoom, where one source pixel is less
    // than one screen pixel).
    std::optional<std::int32_t> SetPanoramaOffset(std::int32_t offset);
    // The offset as the first source column actually drawn at image column 0 (0..width-1).
    std::int32_t wrappedPanoramaOffset() const;

    // --- lens ---
    // Accepted only with an image at exactly 1:1; turning off always succeeds.
    bool setLens(bool on);
    bool lens() const { return m_lens; }
    LensLayout lensLayout(Point cursor) const;
    // The area to repaint around a cursor position when the lens moves.
    static PixelRect lensRepaintRect(Point cursor);

    // --- painting ---
    // The image pixels behind a client rectangle (clipped to the displayed image), or nothing.
    std::optional<ImagePaintRegion> imagePaintRegion(const PixelRect& update) const;
    // The client area outside the displayed image, minus the rows of `exclude` (the progress
    // strip). Without an image, the whole client minus the strip.
    RectList backgroundRects(const PixelRect& exclude) const;
    // Client area covering image rows or columns written since the last paint (a dirty
    // rectangle in image pixels), clipped to the client.
    PixelRect clientRectForImageRect(const PixelRect& imageArea) const;

private:
    Point clampScroll(Point p) const;
    Point centredScroll() const;

    bool m_hasImage = false;
    PixelSize m_image;
    PixelSize m_client;
    Zoom m_zoom;
    Point m_scroll;
    bool m_centred = false;  // centred by SetImage and not moved since
    std::int32_t m_panorama = 0;
    bool m_lens = false;
    Point m_cursor{-1, -1};
};

// A window rectangle moved (and if need be shrunk) so that it lies within `area`, the available
// part of its screen; one already inside is returned as it is.
PixelRect placeWithin(const PixelRect& window, const PixelRect& area);

// Sums wheel deltas and hands out whole notches of 120.
class WheelAccumulator {
public:
    static constexpr std::int32_t kNotch = 120;
    // Returns the notches completed: positive = turned away from the user (forward).
    std::int32_t add(std::int32_t delta);
    std::int32_t rest() const { return m_rest; }

private:
    std::int32_t m_rest = 0;
};

// Hides the mouse cursor after 15 quiet 100 ms ticks over the window (on the 16th).
class CursorIdle {
public:
    static constexpr std::int32_t kQuietTicks = 15;
    // True on the tick the cursor should be hidden.
    bool tick(bool overWindow, bool dragging, bool lens);
    void moved() { m_ticks = 0; }

private:
    std::int32_t m_ticks = 0;
};

}  // namespace kalder::view
