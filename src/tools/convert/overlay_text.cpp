// Text overlays, rendered by the engine itself so every front end stamps the same pixels.
#include <cairo.h>
#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "base/limits.h"
#include "tools/convert/overlay_text_p.h"

namespace kalder::tools {

namespace {

// Beyond these the layer could not be stored anyway; refusing early keeps layout time sane.
constexpr double kMaxPointSize = 4000;
constexpr std::int32_t kMaxExtra = 10000;  // margin, shadow offset

struct GObjectUnref {
    void operator()(gpointer p) const { g_object_unref(p); }
};
struct FontDescriptionFree {
    void operator()(PangoFontDescription* p) const { pango_font_description_free(p); }
};
struct FontOptionsDestroy {
    void operator()(cairo_font_options_t* p) const { cairo_font_options_destroy(p); }
};
struct SurfaceDestroy {
    void operator()(cairo_surface_t* p) const { cairo_surface_destroy(p); }
};
struct CairoDestroy {
    void operator()(cairo_t* p) const { cairo_destroy(p); }
};
struct GFree {
    void operator()(gchar* p) const { g_free(p); }
};

// Pango wants valid UTF-8 without NULs; whatever else came from the settings is replaced.
std::string cleanText(const std::string& text) {
    std::string noNul;
    noNul.reserve(text.size());
    for (const char c : text)
        if (c != '\0') noNul += c;
    const std::unique_ptr<gchar, GFree> valid(
        g_utf8_make_valid(noNul.data(), static_cast<gssize>(noNul.size())));
    return valid ? std::string(valid.get()) : std::string();
}

// The layout's text drawn white into an A8 surface of the layer's size at (x, y), as coverage.
bool renderCoverage(PangoLayout* layout, const PangoRectangle& logical, std::int32_t width,
                    std::int32_t height, std::int32_t x, std::int32_t y,
                    std::vector<std::uint8_t>& coverage) {
    const std::unique_ptr<cairo_surface_t, SurfaceDestroy> surface(
        cairo_image_surface_create(CAIRO_FORMAT_A8, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
    {
        const std::unique_ptr<cairo_t, CairoDestroy> cr(cairo_create(surface.get()));
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;
        cairo_set_source_rgba(cr.get(), 1, 1, 1, 1);
        cairo_move_to(cr.get(), x - logical.x, y - logical.y);
        pango_cairo_show_layout(cr.get(), layout);
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;
    }
    cairo_surface_flush(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    if (!data) return false;
    coverage.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::int32_t row = 0; row < height; ++row)
        std::memcpy(coverage.data() + static_cast<std::size_t>(row) * width,
                    data + static_cast<std::ptrdiff_t>(row) * stride,
                    static_cast<std::size_t>(width));
    return true;
}

// Pango keeps extents as int in 1/1024 pixel, which overflows near two million pixels. Text
// whose lines could grow that large is refused before layout: a character is counted as four
// ems (a tab as eight characters), and a line as two ems high.
bool fitsLayoutUnits(const std::string& text, double pixelSize) {
    constexpr double kLimit = 2e6;
    double lines = 1, line = 0, widest = 0;
    for (const char c : text) {
        if (c == '\n') {
            ++lines;
            line = 0;
            continue;
        }
        line += c == '\t' ? 8 : 1;
        widest = std::max(widest, line);
    }
    return widest * 4 * pixelSize < kLimit && lines * 2 * pixelSize < kLimit;
}

std::uint8_t boxCoverage(std::int32_t opacity) {
    if (opacity <= 0) return 0;
    if (opacity >= 100) return 255;
    return static_cast<std::uint8_t>(opacity * 2.55);
}

}  // namespace

bool renderTextLayer(const OverlaySettings& settings, OverlayLayer& layer) {
    const OverlayFont& font = settings.font;
    if (!std::isfinite(font.pointSize) || font.pointSize * PANGO_SCALE < 1 ||
        font.pointSize > kMaxPointSize || settings.text.size() > base::kMaxTextBytes)
        return false;
    const std::string text = cleanText(settings.text);
    if (!fitsLayoutUnits(text, font.pointSize * 96 / 72)) return false;

    const std::unique_ptr<PangoFontMap, GObjectUnref> fontMap(pango_cairo_font_map_new());
    if (!fontMap) return false;
    const std::unique_ptr<PangoContext, GObjectUnref> context(
        pango_font_map_create_context(fontMap.get()));
    pango_cairo_context_set_resolution(context.get(), 96);
    {
        const std::unique_ptr<cairo_font_options_t, FontOptionsDestroy> options(
            cairo_font_options_create());
        cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(context.get(), options.get());
    }
    const std::unique_ptr<PangoFontDescription, FontDescriptionFree> description(
        pango_font_description_new());
    pango_font_description_set_family(description.get(),
                                      font.family.empty() ? "Sans" : font.family.c_str());
    pango_font_description_set_size(description.get(),
                                    static_cast<gint>(font.pointSize * PANGO_SCALE));
    pango_font_description_set_weight(description.get(),
                                      static_cast<PangoWeight>(std::clamp(font.weight, 100, 1000)));
    pango_font_description_set_style(description.get(),
                                     font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);

    const std::unique_ptr<PangoLayout, GObjectUnref> layout(pango_layout_new(context.get()));
    pango_layout_set_font_description(layout.get(), description.get());
    pango_layout_set_alignment(layout.get(),
                               settings.alignment == TextAlignment::Center  ? PANGO_ALIGN_CENTER
                               : settings.alignment == TextAlignment::Right ? PANGO_ALIGN_RIGHT
                                                                            : PANGO_ALIGN_LEFT);
    pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);

    const std::int32_t margin = std::clamp(settings.boxMargin, 0, kMaxExtra);
    const std::int32_t offset = std::clamp(settings.shadowOffset, 0, kMaxExtra);
    std::int64_t width = std::max(0, logical.width), height = std::max(0, logical.height);
    std::int32_t textX = 0, textY = 0;
    if (settings.background == TextBackground::Box) {
        width += 2 * std::int64_t{margin};
        height += 2 * std::int64_t{margin};
        textX = textY = margin;
    } else if (settings.background == TextBackground::Shadow) {
        width += offset;
        height += offset;
    }
    if (width > base::kMaxImageSide || height > base::kMaxImageSide ||
        width * height > kMaxOverlayPixels)
        return false;
    if (width == 0 || height == 0) return true;  // nothing to draw: an empty layer
    const auto w = static_cast<std::int32_t>(width), h = static_cast<std::int32_t>(height);

    if (!renderCoverage(layout.get(), logical, w, h, textX, textY, layer.coverage)) return false;
    if (settings.background == TextBackground::Box) {
        layer.backgroundColor = settings.boxColor & 0x00FFFFFF;
        layer.backgroundCoverage.assign(static_cast<std::size_t>(w) * h,
                                        boxCoverage(settings.boxOpacity));
    } else if (settings.background == TextBackground::Shadow) {
        layer.backgroundColor = 0;
        if (!renderCoverage(layout.get(), logical, w, h, offset, offset, layer.backgroundCoverage))
            return false;
    }
    if (!layer.pixels.Create(w, h)) return false;
    const std::uint32_t colour = settings.textColor;
    const std::uint8_t bgr[4] = {static_cast<std::uint8_t>(colour >> 16),
                                 static_cast<std::uint8_t>(colour >> 8),
                                 static_cast<std::uint8_t>(colour), 0};
    std::uint8_t* p = layer.pixels.pixels();
    for (std::size_t i = 0, n = static_cast<std::size_t>(w) * h; i < n; ++i, p += 4)
        std::memcpy(p, bgr, 4);
    layer.width = w;
    layer.height = h;
    return true;
}

}  // namespace kalder::tools
