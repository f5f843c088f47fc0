#include "tools/convert/overlay.h"

#include <algorithm>

#include "image/image_document.h"
#include "image/load_options.h"
#include "tools/convert/overlay_text_p.h"
#include "tools/convert/page_preparation.h"

namespace kalder::tools {

namespace {

bool prepareImage(const OverlaySettings& settings, OverlayLayer& layer) {
    image::ImageDocument document;
    const image::LoadOptions options{.path = settings.imagePath, .extractAlpha = true};
    if (!document.loadAll(options, false) || document.PageCount() < 1) return false;
    const image::ImagePage& page = document.PageAt(0);
    if (page.bitmap.isEmpty() || !page.bitmap.CopyTo(layer.pixels)) return false;
    layer.width = layer.pixels.width();
    layer.height = layer.pixels.height();
    if (!page.alphaPlane.empty()) {
        layer.coverage = alphaForBitmap(page, options);
        // A fully opaque plane is no plane: the pixels then simply replace the page's.
        if (std::all_of(layer.coverage.begin(), layer.coverage.end(),
                        [](std::uint8_t a) { return a == 255; }))
            layer.coverage.clear();
    }
    return true;
}

// Layer position on the page along one axis.
std::int64_t placeOn(std::int32_t anchor, std::int64_t page, std::int64_t layer,
                     std::uint32_t spacing) {
    switch (anchor) {
        case 0:
            return spacing;
        case 1:
            return (page - layer) / 2;
        default:
            return page - spacing - layer;
    }
}

void blend(std::uint8_t* p, const std::uint8_t* colour, std::uint32_t c) {
    for (int i = 0; i < 3; ++i)
        p[i] = static_cast<std::uint8_t>((colour[i] * c + p[i] * (255 - c)) >> 8);
}

// Lays `colour` with coverage c over page pixel p (alpha a, or null without a plane).
void cover(std::uint8_t* p, std::uint8_t* a, const std::uint8_t* colour, std::uint32_t c) {
    if (c == 0) return;
    if (c == 255 || (a && *a == 0)) {
        std::copy(colour, colour + 3, p);
        if (a) *a = static_cast<std::uint8_t>(c);
        return;
    }
    blend(p, colour, c);
    if (a) *a = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, *a + c));
}

}  // namespace

bool Overlay::Prepare(const OverlaySettings& settings, OverlayLayer& layer) {
    layer.width = layer.height = 0;
    layer.backgroundColor = 0;
    layer.backgroundCoverage.clear();
    layer.pixels.Release();
    layer.coverage.clear();
    switch (settings.mode) {
        case OverlayMode::ImageFile:
            return prepareImage(settings, layer);
        case OverlayMode::Text:
            return renderTextLayer(settings, layer);
        default:
            return true;  // nothing to stamp
    }
}

void Overlay::Stamp(image::Bitmap32& page, std::uint8_t* pageAlpha, const OverlayLayer& layer,
                    const OverlaySettings& settings) {
    const std::int64_t W = page.width(), H = page.height();
    const std::int64_t w = layer.width, h = layer.height;
    const std::size_t area = static_cast<std::size_t>(std::max<std::int64_t>(0, w * h));
    // A layer whose planes do not match its size is not stamped at all rather than read past.
    if (page.isEmpty() || w <= 0 || h <= 0 || layer.pixels.width() != w ||
        layer.pixels.height() != h || (!layer.coverage.empty() && layer.coverage.size() != area) ||
        (!layer.backgroundCoverage.empty() && layer.backgroundCoverage.size() != area))
        return;
    const std::int64_t left = placeOn(settings.horizontalAnchor, W, w, settings.horizontalSpacing);
    const std::int64_t top = placeOn(settings.verticalAnchor, H, h, settings.verticalSpacing);
    const std::int64_t x0 = std::max<std::int64_t>(0, -left), x1 = std::min(w, W - left);
    const std::int64_t y0 = std::max<std::int64_t>(0, -top), y1 = std::min(h, H - top);
    const std::uint32_t bg = layer.backgroundColor;
    const std::uint8_t background[3] = {static_cast<std::uint8_t>(bg >> 16),
                                        static_cast<std::uint8_t>(bg >> 8),
                                        static_cast<std::uint8_t>(bg)};
    for (std::int64_t ly = y0; ly < y1; ++ly) {
        const std::int64_t py = top + ly;
        std::uint8_t* row = page.row(static_cast<std::int32_t>(py));
        const std::uint8_t* source = layer.pixels.row(static_cast<std::int32_t>(ly));
        for (std::int64_t lx = x0; lx < x1; ++lx) {
            const std::int64_t px = left + lx;
            std::uint8_t* p = row + px * 4;
            std::uint8_t* a = pageAlpha ? pageAlpha + py * W + px : nullptr;
            const std::size_t i = static_cast<std::size_t>(ly * w + lx);
            if (!layer.backgroundCoverage.empty())
                cover(p, a, background, layer.backgroundCoverage[i]);
            if (layer.coverage.empty()) {
                std::copy(source + lx * 4, source + lx * 4 + 3, p);
                if (a) *a = 255;
            } else {
                cover(p, a, source + lx * 4, layer.coverage[i]);
            }
        }
    }
}

}  // namespace kalder::tools
