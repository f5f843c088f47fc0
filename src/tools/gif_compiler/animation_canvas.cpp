#include "tools/gif_compiler/animation_canvas.h"

#include <algorithm>
#include <new>

namespace kalder::tools {
namespace {

constexpr std::uint32_t kCovered = 0x01000000;

std::uint32_t colourOf(const std::uint8_t* palette, std::uint8_t index) {
    const std::uint8_t* c = palette + index * 3;
    return kCovered | static_cast<std::uint32_t>(c[0]) << 16 |
           static_cast<std::uint32_t>(c[1]) << 8 | c[2];
}

struct Box {
    std::int32_t left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;  // inclusive
    void add(std::int32_t x, std::int32_t y) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    bool empty() const { return right < left; }
};

}  // namespace

bool AnimationCanvas::reset(std::int32_t width, std::int32_t height) {
    m_width = width;
    m_height = height;
    m_first = true;
    try {
        m_pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
        m_saved.clear();
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool AnimationCanvas::hidesSeeThrough(const IndexedFrame& frame, std::int32_t t) const {
    if (t < 0 || !frame.seeThrough) return false;
    for (std::size_t p = 0; p < m_pixels.size(); ++p)
        if (frame.seeThrough[p] && m_pixels[p] != 0) return true;
    return false;
}

image::GifFrameRect AnimationCanvas::place(const IndexedFrame& frame, std::int32_t t, bool minimize,
                                           std::vector<std::uint8_t>& out) {
    const std::int32_t w = m_width, h = m_height;
    const std::uint8_t* seeThrough = t >= 0 ? frame.seeThrough : nullptr;
    auto drawn = [&](std::size_t p) { return !seeThrough || seeThrough[p] == 0; };

    // The pixels this frame changes, and for "Restore Background" everything visible after it:
    // a decoder clears only the stored rectangle, so it must hold all of that.
    Box box;
    const bool clearsAfter = frame.disposal == 2;
    for (std::int32_t y = 0; y < h; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * w;
        for (std::int32_t x = 0; x < w; ++x) {
            const std::size_t p = row + x;
            if (drawn(p)) {
                if (clearsAfter || m_pixels[p] != colourOf(frame.palette, frame.indices[p]))
                    box.add(x, y);
            } else if (clearsAfter && m_pixels[p] != 0) {
                box.add(x, y);
            }
        }
    }
    if (m_first) box = {0, 0, w - 1, h - 1};
    m_first = false;

    if (box.empty()) {
        // Nothing changes, but the frame still carries its delay: one pixel that shows what is
        // already there.
        std::size_t p = 0;
        if (t < 0) {
            const std::size_t n = static_cast<std::size_t>(w) * h;
            while (p + 1 < n && !drawn(p)) ++p;
        }
        out[p] = t >= 0 ? static_cast<std::uint8_t>(t) : frame.indices[p];
        const auto x = static_cast<std::int32_t>(p % static_cast<std::size_t>(w));
        const auto y = static_cast<std::int32_t>(p / static_cast<std::size_t>(w));
        return {x, y, 1, 1};
    }

    const image::GifFrameRect rect{box.left, box.top, box.right - box.left + 1,
                                   box.bottom - box.top + 1};
    const bool restores = frame.disposal == 3;
    if (restores) m_saved = m_pixels;
    for (std::int32_t y = rect.top; y < rect.top + rect.height; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * w;
        std::int32_t previous = -1;
        for (std::int32_t x = rect.left; x < rect.left + rect.width; ++x) {
            const std::size_t p = row + x;
            std::uint8_t index;
            if (!drawn(p)) {
                index = static_cast<std::uint8_t>(t);
            } else {
                index = frame.indices[p];
                const std::uint32_t colour = colourOf(frame.palette, index);
                // An unchanged pixel may show through; keeping its own index instead when it
                // continues the run before it gives the encoder longer strings.
                if (minimize && t >= 0 && m_pixels[p] == colour && previous != index)
                    index = static_cast<std::uint8_t>(t);
                m_pixels[p] = colour;
            }
            out[p] = index;
            previous = index;
        }
    }
    if (clearsAfter) {
        for (std::int32_t y = rect.top; y < rect.top + rect.height; ++y)
            std::fill_n(m_pixels.begin() + static_cast<std::ptrdiff_t>(y) * w + rect.left,
                        rect.width, 0u);
    } else if (restores) {
        m_pixels.swap(m_saved);
    }
    return rect;
}

}  // namespace kalder::tools
