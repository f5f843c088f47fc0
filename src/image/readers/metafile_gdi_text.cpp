// The metafile canvas's text, clipping and path records, and the decoding of the bitmaps and
// strings that records carry.
#include <numbers>
#include <string>

#include "base/strings.h"
#include "base/utf.h"
#include "image/checked.h"
#include "image/readers/dib_decoder_p.h"
#include "image/readers/metafile_canvas_p.h"

namespace kalder::image::gdi {
namespace {

// The largest bitmap one record may make us decode, and the most pixels per byte of its data
// (run-length codes cover at most 255 pixels in two bytes).
constexpr std::int64_t kMaxDibPixels = 4096 * 4096;
constexpr std::int64_t kMaxDibPixelsPerByte = 256;

// One of the DejaVu families, chosen by the face name and the pitch and family byte, so that
// text looks the same on every machine.
const char* familyFor(const Font& font) {
    const std::string name = base::toLowerAscii(font.face);
    const auto has = [&name](const char* s) { return name.find(s) != std::string::npos; };
    if (has("courier") || has("mono") || has("console") || has("fixed") ||
        (font.pitchAndFamily & 3) == 1 || (font.pitchAndFamily & 0xF0) == 0x30)
        return "DejaVu Sans Mono";
    if (has("times") || has("roman") || has("serif") || has("georgia") || has("garamond") ||
        (name.empty() && (font.pitchAndFamily & 0xF0) == 0x10))
        return "DejaVu Serif";
    return "DejaVu Sans";
}

}  // namespace

// ---- text ----

void MetafileCanvas::textOut(PointD reference, const TextRun& run, std::uint32_t options,
                             const RectD* rect) {
    if (m_recording || exhausted()) return;
    cairo_t* cr = m_impl->cr.get();
    const DcState& dc = m_dc;
    const Font& font = dc.font;
    if (dc.textAlign & kTaUpdateCp) reference = dc.current;

    const double xScale = length(m_toPicture.mapVector({1, 0}));
    const double yScale = length(m_toPicture.mapVector({0, 1}));
    cairo_select_font_face(cr, familyFor(font),
                           font.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           font.weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 100);
    cairo_font_extents_t unit;
    cairo_font_extents(cr, &unit);
    const double cellPerEm =
        (unit.ascent + unit.descent) > 0 ? (unit.ascent + unit.descent) / 100 : 1.16;
    double em;
    if (font.height < 0)
        em = -font.height * yScale;
    else if (font.height > 0)
        em = font.height * yScale / cellPerEm;
    else
        em = 12 * length(m_deviceToPicture.mapVector({0, 1}));
    const double maxEm = std::min(4096.0, 2.0 * std::max(m_width, m_height));
    if (!std::isfinite(em) || em < 0.5) return;
    em = std::min(em, maxEm);

    const double angle =
        std::isfinite(font.escapement) ? font.escapement / 10 * std::numbers::pi / 180 : 0;
    const PointD u{std::cos(angle), -std::sin(angle)};  // along the baseline
    const PointD v{std::sin(angle), std::cos(angle)};   // downwards from it
    cairo_matrix_t fm;
    cairo_matrix_init_scale(&fm, em, em);
    cairo_matrix_t rot;
    cairo_matrix_init_rotate(&rot, -angle);
    cairo_matrix_multiply(&fm, &fm, &rot);
    cairo_set_font_matrix(cr, &fm);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    const double ascent = fe.ascent, descent = fe.descent;

    std::vector<std::string> glyphs;
    glyphs.reserve(run.text.size());
    std::string all;
    for (char32_t c : run.text) {
        std::string g;
        base::appendUtf8(g, c);
        all += g;
        glyphs.push_back(std::move(g));
    }
    std::vector<double> advances;  // picture pixels along the baseline
    double total = 0, totalLogical = 0;
    if (!run.advances.empty()) {
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            const double a = i < run.advances.size() ? run.advances[i] : 0;
            totalLogical += a;
            advances.push_back(
                std::isfinite(a * xScale) ? std::clamp(a * xScale, -kCoordLimit, kCoordLimit) : 0);
            total += advances.back();
        }
    } else {
        cairo_text_extents_t te;
        cairo_text_extents(cr, all.c_str(), &te);
        total = te.x_advance * u.x + te.y_advance * u.y;
        totalLogical = xScale > 0 ? total / xScale : 0;
    }

    PointD origin = toPicture(reference);
    switch (dc.textAlign & kTaHorizontalMask) {
        case kTaCenter:
            origin = {origin.x - u.x * total / 2, origin.y - u.y * total / 2};
            break;
        case kTaRight:
            origin = {origin.x - u.x * total, origin.y - u.y * total};
            break;
        default:
            break;
    }
    switch (dc.textAlign & kTaVerticalMask) {
        case kTaBaseline:
            break;
        case kTaBottom:
            origin = {origin.x - v.x * descent, origin.y - v.y * descent};
            break;
        default:
            origin = {origin.x + v.x * ascent, origin.y + v.y * ascent};
            break;
    }
    if (dc.textAlign & kTaUpdateCp) {
        const double dir = (dc.textAlign & kTaHorizontalMask) == kTaRight ? -1 : 1;
        if ((dc.textAlign & kTaHorizontalMask) != kTaCenter) m_dc.current.x += dir * totalLogical;
    }
    m_work += em * em * static_cast<double>(glyphs.size() + 1);

    cairo_save(cr);
    auto rectPath = [&](const RectD& r) {
        const PointD a = toPicture({r.left, r.top}), b = toPicture({r.right, r.top});
        const PointD c = toPicture({r.right, r.bottom}), d = toPicture({r.left, r.bottom});
        cairo_new_path(cr);
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, b.x, b.y);
        cairo_line_to(cr, c.x, c.y);
        cairo_line_to(cr, d.x, d.y);
        cairo_close_path(cr);
    };
    const ColorRef bk = dc.backgroundColour;
    if (rect && (options & kEtoOpaque)) {
        rectPath(*rect);
        cairo_set_source_rgb(cr, channel(bk, 0), channel(bk, 8), channel(bk, 16));
        cairo_fill(cr);
    }
    if (rect && (options & kEtoClipped)) {
        rectPath(*rect);
        cairo_clip(cr);
    }
    if (dc.opaqueBackground && !(rect && (options & kEtoOpaque)) && !glyphs.empty()) {
        const PointD top{origin.x - v.x * ascent, origin.y - v.y * ascent};
        cairo_new_path(cr);
        cairo_move_to(cr, top.x, top.y);
        cairo_line_to(cr, top.x + u.x * total, top.y + u.y * total);
        cairo_line_to(cr, top.x + u.x * total + v.x * (ascent + descent),
                      top.y + u.y * total + v.y * (ascent + descent));
        cairo_line_to(cr, top.x + v.x * (ascent + descent), top.y + v.y * (ascent + descent));
        cairo_close_path(cr);
        cairo_set_source_rgb(cr, channel(bk, 0), channel(bk, 8), channel(bk, 16));
        cairo_fill(cr);
    }
    const ColorRef tc = dc.textColour;
    cairo_set_source_rgb(cr, channel(tc, 0), channel(tc, 8), channel(tc, 16));
    if (advances.empty()) {
        cairo_move_to(cr, origin.x, origin.y);
        cairo_show_text(cr, all.c_str());
    } else {
        double along = 0;
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            cairo_move_to(cr, clampCoord(origin.x + u.x * along),
                          clampCoord(origin.y + u.y * along));
            cairo_show_text(cr, glyphs[i].c_str());
            along += advances[i];
        }
    }
    const double thickness = std::max(1.0, em / 14);
    auto rule = [&](double offset) {
        const PointD a{origin.x + v.x * offset, origin.y + v.y * offset};
        cairo_new_path(cr);
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, a.x + u.x * total, a.y + u.y * total);
        cairo_set_line_width(cr, thickness);
        cairo_stroke(cr);
    };
    if (font.underline) rule(em * 0.12);
    if (font.strikeOut) rule(-em * 0.3);
    cairo_restore(cr);
}

// ---- clipping ----

void MetafileCanvas::intersectClip(const RectD& r) {
    const PointD pts[4] = {
        {r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
    cairo_t* cr = m_impl->cr.get();
    cairo_new_path(cr);
    for (int i = 0; i < 4; ++i) {
        const PointD p = toPicture(pts[i]);
        if (i == 0)
            cairo_move_to(cr, p.x, p.y);
        else
            cairo_line_to(cr, p.x, p.y);
    }
    cairo_close_path(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr);
}

void MetafileCanvas::excludeClip(const RectD& r) {
    cairo_t* cr = m_impl->cr.get();
    cairo_new_path(cr);
    cairo_rectangle(cr, -2, -2, m_width + 4.0, m_height + 4.0);
    const PointD pts[4] = {
        {r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
    for (int i = 0; i < 4; ++i) {
        const PointD p = toPicture(pts[i]);
        if (i == 0)
            cairo_move_to(cr, p.x, p.y);
        else
            cairo_line_to(cr, p.x, p.y);
    }
    cairo_close_path(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
}

void MetafileCanvas::selectClipRects(const std::vector<RectD>& deviceRects, std::int32_t mode) {
    cairo_t* cr = m_impl->cr.get();
    if (mode == kRgnCopy || mode == kRgnOr || mode == kRgnXor) {
        // Union and exclusive-or with the old clip are beyond a cairo clip; the new region alone
        // is the closest we get without losing what it shows.
        cairo_reset_clip(cr);
        if (deviceRects.empty()) return;
    }
    cairo_new_path(cr);
    if (mode == kRgnDiff) cairo_rectangle(cr, -2, -2, m_width + 4.0, m_height + 4.0);
    for (const RectD& r : deviceRects) {
        const PointD a = m_deviceToPicture.map({r.left, r.top});
        const PointD b = m_deviceToPicture.map({r.right, r.bottom});
        const double x0 = clampCoord(std::min(a.x, b.x)), x1 = clampCoord(std::max(a.x, b.x));
        const double y0 = clampCoord(std::min(a.y, b.y)), y1 = clampCoord(std::max(a.y, b.y));
        cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
    }
    cairo_set_fill_rule(cr, mode == kRgnDiff ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
}

// ---- paths ----

void MetafileCanvas::beginPath() {
    m_impl->path.clear();
    m_recording = true;
}

void MetafileCanvas::abortPath() {
    m_impl->path.clear();
    m_recording = false;
}

void MetafileCanvas::closeFigure() {
    auto& path = m_impl->path;
    if (m_recording && !path.empty() && path.back().op != Segment::Op::Close)
        path.push_back({Segment::Op::Close, {}});
}

void MetafileCanvas::fillPath() {
    if (m_recording) return;
    emit(std::move(m_impl->path), true, false);
    m_impl->path.clear();
}

void MetafileCanvas::strokePath() {
    if (m_recording) return;
    emit(std::move(m_impl->path), false, true);
    m_impl->path.clear();
}

void MetafileCanvas::strokeAndFillPath() {
    if (m_recording) return;
    emit(std::move(m_impl->path), true, true);
    m_impl->path.clear();
}

void MetafileCanvas::selectClipPath(std::int32_t mode) {
    if (m_recording) return;
    auto& path = m_impl->path;
    cairo_t* cr = m_impl->cr.get();
    if (mode == kRgnCopy) cairo_reset_clip(cr);
    cairo_new_path(cr);
    if (mode == kRgnDiff) cairo_rectangle(cr, -2, -2, m_width + 4.0, m_height + 4.0);
    traceSegments(cr, path);
    cairo_set_fill_rule(cr, mode == kRgnDiff || !m_dc.windingFill ? CAIRO_FILL_RULE_EVEN_ODD
                                                                  : CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    path.clear();
}

// ---- bitmaps and text encodings ----

PixelImage decodeDib(std::span<const std::uint8_t> header, std::span<const std::uint8_t> bits) {
    PixelImage image;
    if (header.size() < 12) return image;
    const bool packed = bits.empty();
    std::vector<std::uint8_t> buffer;
    buffer.reserve(header.size() + bits.size());
    buffer.insert(buffer.end(), header.begin(), header.end());
    buffer.insert(buffer.end(), bits.begin(), bits.end());
    BufferedInput in;
    in.openMemory(std::move(buffer));
    DibDecoder dib;
    DibHeaderOptions options;
    options.requireOnePlane = false;
    options.pixelOffset = packed ? 0 : header.size();
    if (!dib.readHeader(in, options)) return image;
    if (!packed) in.seek(header.size());
    const std::uint64_t dataBytes = in.remaining();
    const std::int64_t pixels = static_cast<std::int64_t>(dib.width()) * dib.height();
    const std::int64_t allowed = std::min<std::int64_t>(
        kMaxDibPixels,
        std::max<std::int64_t>(65536, static_cast<std::int64_t>(dataBytes) * kMaxDibPixelsPerByte));
    if (pixels <= 0 || pixels > allowed) return image;
    const auto bytes = checkedMul(static_cast<std::size_t>(pixels), 3);
    if (!bytes) return image;
    image.width = dib.width();
    image.height = dib.height();
    image.bottomUp = dib.bottomUp();
    image.rgb.assign(*bytes, 0);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    for (std::int32_t i = 0; i < image.height; ++i) {
        const std::int32_t y = dib.bottomUp() ? image.height - 1 - i : i;
        // A bitmap cut short keeps the rows it has; the rest stays black.
        if (!dib.decodeRow(in, image.rgb.data() + y * rowBytes, nullptr)) break;
    }
    return image;
}

std::u32string fromCodePage1252(std::span<const std::uint8_t> bytes) {
    // 0x80..0x9F of the Western code page; the rest is Latin-1.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    std::u32string out;
    out.reserve(bytes.size());
    for (std::uint8_t b : bytes)
        out += (b >= 0x80 && b < 0xA0) ? char32_t{kHigh[b - 0x80]} : char32_t{b};
    return out;
}

}  // namespace kalder::image::gdi
