#include <algorithm>
#include <cmath>
#include <numbers>

#include "image/buffered_input.h"
#include "image/checked.h"
#include "image/readers/dib_decoder_p.h"
#include "image/readers/metafile_canvas_p.h"

namespace kalder::image::gdi {
namespace {

// The eight-pixel hatch tile of a hatched brush.
PatternPtr makeHatch(std::uint32_t hatch, ColorRef colour, const DcState& dc) {
    SurfacePtr tile(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8));
    if (cairo_surface_status(tile.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    cairo_surface_flush(tile.get());
    unsigned char* data = cairo_image_surface_get_data(tile.get());
    const int stride = cairo_image_surface_get_stride(tile.get());
    const std::uint32_t ink = 0xFF000000u | (std::uint32_t{colour & 0xFF} << 16) |
                              (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    const ColorRef bk = dc.backgroundColour;
    const std::uint32_t paper =
        dc.opaqueBackground
            ? 0xFF000000u | (std::uint32_t{bk & 0xFF} << 16) | (bk & 0xFF00) | ((bk >> 16) & 0xFF)
            : 0;
    for (int y = 0; y < 8; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < 8; ++x) {
            bool on = false;
            switch (hatch) {
                case 0:
                    on = y == 4;
                    break;  // horizontal
                case 1:
                    on = x == 4;
                    break;  // vertical
                case 2:
                    on = x == y;
                    break;  // forward diagonal
                case 3:
                    on = x + y == 7;
                    break;  // backward diagonal
                case 4:
                    on = x == 4 || y == 4;
                    break;  // cross
                default:
                    on = x == y || x + y == 7;
                    break;  // diagonal cross
            }
            row[x] = on ? ink : paper;
        }
    }
    cairo_surface_mark_dirty(tile.get());
    PatternPtr p(cairo_pattern_create_for_surface(tile.get()));
    cairo_pattern_set_extend(p.get(), CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(p.get(), CAIRO_FILTER_NEAREST);
    return p;
}

}  // namespace

// An opaque cairo surface holding the image, or null.
SurfacePtr makeSurface(const PixelImage& image) {
    if (image.width <= 0 || image.height <= 0) return nullptr;
    SurfacePtr s(cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    cairo_surface_flush(s.get());
    unsigned char* data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    for (std::int32_t y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
        const std::uint8_t* src = image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3;
        for (std::int32_t x = 0; x < image.width; ++x, src += 3)
            row[x] =
                0xFF000000u | (std::uint32_t{src[0]} << 16) | (std::uint32_t{src[1]} << 8) | src[2];
    }
    cairo_surface_mark_dirty(s.get());
    return s;
}

Affine Affine::then(const Affine& n) const {
    Affine r;
    r.a = a * n.a + b * n.c;
    r.b = a * n.b + b * n.d;
    r.c = c * n.a + d * n.c;
    r.d = c * n.b + d * n.d;
    r.e = e * n.a + f * n.c + n.e;
    r.f = e * n.b + f * n.d + n.f;
    return r;
}

bool Affine::finite() const {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) &&
           std::isfinite(e) && std::isfinite(f);
}

MetafileCanvas::MetafileCanvas() : m_impl(std::make_unique<Impl>()) {}
MetafileCanvas::~MetafileCanvas() = default;

bool MetafileCanvas::create(std::int32_t width, std::int32_t height) {
    if (!validImageSide(width) || !validImageSide(height)) return false;
    m_impl->surface.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(m_impl->surface.get()) != CAIRO_STATUS_SUCCESS) return false;
    m_impl->cr.reset(cairo_create(m_impl->surface.get()));
    if (cairo_status(m_impl->cr.get()) != CAIRO_STATUS_SUCCESS) return false;
    m_width = width;
    m_height = height;
    cairo_t* cr = m_impl->cr.get();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    const double pixels = static_cast<double>(width) * height;
    m_budget.maxWork = pixels * 256 + 64.0 * 1024 * 1024;
    updateTransform();
    return true;
}

void MetafileCanvas::copyRow(std::int32_t y, std::uint8_t* rgb) const {
    cairo_surface_t* s = m_impl->surface.get();
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
    for (std::int32_t x = 0; x < m_width; ++x) {
        rgb[x * 3] = static_cast<std::uint8_t>(row[x] >> 16);
        rgb[x * 3 + 1] = static_cast<std::uint8_t>(row[x] >> 8);
        rgb[x * 3 + 2] = static_cast<std::uint8_t>(row[x]);
    }
}

void MetafileCanvas::setDeviceToPicture(const Affine& transform) {
    if (transform.finite()) m_deviceToPicture = transform;
    updateTransform();
}

void MetafileCanvas::setDeviceResolution(double pixelsPerMmX, double pixelsPerMmY) {
    if (std::isfinite(pixelsPerMmX) && pixelsPerMmX > 0) m_pxPerMmX = pixelsPerMmX;
    if (std::isfinite(pixelsPerMmY) && pixelsPerMmY > 0) m_pxPerMmY = pixelsPerMmY;
    updateTransform();
}

void MetafileCanvas::updateTransform() {
    const DcState& dc = m_dc;
    double sx = 1, sy = 1;
    PointD vpOrg = dc.viewportOrg;
    std::int32_t mode = dc.mapMode;
    if (m_fixedViewport) {
        vpOrg = {0, 0};
        sx = m_width / dc.windowExt.x;
        sy = m_height / dc.windowExt.y;
        if (mode != kMmIsotropic) mode = kMmAnisotropic;
    } else {
        double mmPerUnit = 0;
        switch (mode) {
            case kMmLoMetric:
                mmPerUnit = 0.1;
                break;
            case kMmHiMetric:
                mmPerUnit = 0.01;
                break;
            case kMmLoEnglish:
                mmPerUnit = 0.254;
                break;
            case kMmHiEnglish:
                mmPerUnit = 0.0254;
                break;
            case kMmTwips:
                mmPerUnit = 25.4 / 1440;
                break;
            case kMmIsotropic:
            case kMmAnisotropic:
                sx = dc.viewportExt.x / dc.windowExt.x;
                sy = dc.viewportExt.y / dc.windowExt.y;
                break;
            default:
                break;
        }
        if (mmPerUnit > 0) {
            sx = mmPerUnit * m_pxPerMmX;
            sy = -mmPerUnit * m_pxPerMmY;
        }
    }
    if (mode == kMmIsotropic) {
        const double s = std::min(std::fabs(sx), std::fabs(sy));
        sx = std::copysign(s, sx);
        sy = std::copysign(s, sy);
    }
    Affine page;
    page.a = sx;
    page.d = sy;
    page.e = vpOrg.x - dc.windowOrg.x * sx;
    page.f = vpOrg.y - dc.windowOrg.y * sy;
    Affine total = dc.world.then(page).then(m_deviceToPicture);
    if (!total.finite()) total = m_deviceToPicture;
    m_toPicture = total;
}

void MetafileCanvas::setMapMode(std::int32_t mode) {
    if (mode < kMmText || mode > kMmAnisotropic) return;
    m_dc.mapMode = mode;
    updateTransform();
}

void MetafileCanvas::setWindowOrg(PointD p) {
    m_dc.windowOrg = p;
    updateTransform();
}

void MetafileCanvas::setWindowExt(PointD ext) {
    if (ext.x == 0 || ext.y == 0 || !std::isfinite(ext.x) || !std::isfinite(ext.y)) return;
    m_dc.windowExt = ext;
    updateTransform();
}

void MetafileCanvas::setViewportOrg(PointD p) {
    m_dc.viewportOrg = p;
    updateTransform();
}

void MetafileCanvas::setViewportExt(PointD ext) {
    if (ext.x == 0 || ext.y == 0 || !std::isfinite(ext.x) || !std::isfinite(ext.y)) return;
    m_dc.viewportExt = ext;
    updateTransform();
}

PointD MetafileCanvas::toPicture(PointD logical) const {
    const PointD p = m_toPicture.map(logical);
    return {clampCoord(p.x), clampCoord(p.y)};
}

void MetafileCanvas::saveDc() {
    if (m_saved.size() >= kMaxSavedStates) return;
    m_saved.push_back(m_dc);
    cairo_save(m_impl->cr.get());
}

void MetafileCanvas::restoreDc(std::int32_t which) {
    const std::int64_t depth = static_cast<std::int64_t>(m_saved.size());
    std::int64_t pops = 0;
    if (which < 0)
        pops = -static_cast<std::int64_t>(which);
    else if (which > 0)
        pops = depth - which + 1;
    if (pops <= 0 || pops > depth) return;
    for (std::int64_t i = 0; i < pops; ++i) {
        m_dc = m_saved.back();
        m_saved.pop_back();
        cairo_restore(m_impl->cr.get());
    }
    updateTransform();
}

// ---- path building ----

void MetafileCanvas::appendPolyline(std::vector<Segment>& out, std::span<const PointD> points,
                                    bool close) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        Segment s{i == 0 ? Segment::Op::Move : Segment::Op::Line, {toPicture(points[i])}};
        out.push_back(s);
    }
    if (close && !points.empty()) out.push_back({Segment::Op::Close, {}});
}

void MetafileCanvas::appendBeziers(std::vector<Segment>& out, PointD start,
                                   std::span<const PointD> points) {
    out.push_back({Segment::Op::Move, {toPicture(start)}});
    for (std::size_t i = 0; i + 2 < points.size(); i += 3)
        out.push_back({Segment::Op::Curve,
                       {toPicture(points[i]), toPicture(points[i + 1]), toPicture(points[i + 2])}});
}

// An elliptic arc of the box from angle a0 through sweep (radians, in logical space where y
// grows downwards), as cubic curves; transformed point by point, which affine maps allow.
void MetafileCanvas::appendEllipseArc(std::vector<Segment>& out, const RectD& box, double a0,
                                      double sweep, bool moveFirst) {
    const double cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    const double rx = std::fabs(box.right - box.left) / 2, ry = std::fabs(box.bottom - box.top) / 2;
    const auto at = [&](double t) { return PointD{cx + rx * std::cos(t), cy + ry * std::sin(t)}; };
    const int pieces =
        std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / (std::numbers::pi / 2))), 1, 4);
    const double step = sweep / pieces;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    PointD p = at(a0);
    out.push_back({moveFirst ? Segment::Op::Move : Segment::Op::Line, {toPicture(p)}});
    for (int i = 0; i < pieces; ++i) {
        const double t0 = a0 + step * i, t1 = t0 + step;
        const PointD q = at(t1);
        const PointD c1{p.x - k * rx * std::sin(t0), p.y + k * ry * std::cos(t0)};
        const PointD c2{q.x + k * rx * std::sin(t1), q.y - k * ry * std::cos(t1)};
        out.push_back({Segment::Op::Curve, {toPicture(c1), toPicture(c2), toPicture(q)}});
        p = q;
    }
}

void MetafileCanvas::chargeWork(const std::vector<Segment>& segments, bool stroke) {
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300, travel = 0;
    PointD last{};
    for (const Segment& s : segments) {
        const int n = s.op == Segment::Op::Curve ? 3 : (s.op == Segment::Op::Close ? 0 : 1);
        for (int i = 0; i < n; ++i) {
            minX = std::min(minX, s.p[i].x);
            maxX = std::max(maxX, s.p[i].x);
            minY = std::min(minY, s.p[i].y);
            maxY = std::max(maxY, s.p[i].y);
        }
        if (n > 0) {
            travel += length({s.p[n - 1].x - last.x, s.p[n - 1].y - last.y});
            last = s.p[n - 1];
        }
    }
    double area = 0;
    if (maxX >= minX) {
        const double w =
            std::clamp(maxX, 0.0, double(m_width)) - std::clamp(minX, 0.0, double(m_width));
        const double h =
            std::clamp(maxY, 0.0, double(m_height)) - std::clamp(minY, 0.0, double(m_height));
        area = (w + 1) * (h + 1);
    }
    m_work += area + static_cast<double>(segments.size()) + (stroke ? std::min(travel, 1e9) : 0);
}

// Draws (or, inside a path bracket, records) segments with the brush and the pen.
void MetafileCanvas::emit(std::vector<Segment>&& segments, bool fill, bool stroke) {
    if (segments.empty()) return;
    if (m_recording) {
        std::vector<Segment>& path = m_impl->path;
        std::size_t first = 0;
        if (!path.empty() && segments[0].op == Segment::Op::Move &&
            path.back().op != Segment::Op::Close) {
            const Segment& b = path.back();
            const PointD end = b.op == Segment::Op::Curve ? b.p[2] : b.p[0];
            if (end.x == segments[0].p[0].x && end.y == segments[0].p[0].y) first = 1;
        }
        if (path.size() + segments.size() > 4'000'000) return;
        path.insert(path.end(), segments.begin() + static_cast<std::ptrdiff_t>(first),
                    segments.end());
        return;
    }
    if (exhausted()) return;
    const DcState& dc = m_dc;
    if (dc.rop2 == kR2Nop) return;
    const bool doFill = fill && dc.brush.style != kBsNull;
    const bool doStroke = stroke && (dc.pen.style & kPsStyleMask) != kPsNull;
    if (!doFill && !doStroke) return;
    chargeWork(segments, doStroke);

    cairo_t* cr = m_impl->cr.get();
    cairo_new_path(cr);
    traceSegments(cr, segments);

    // The binary raster operation: the cheap ones become cairo operators or fixed colours.
    cairo_operator_t op = CAIRO_OPERATOR_OVER;
    auto colourFor = [&dc](ColorRef c) -> ColorRef {
        switch (dc.rop2) {
            case kR2Black:
                return 0;
            case kR2White:
                return 0xFFFFFF;
            case kR2NotCopyPen:
                return ~c & 0xFFFFFF;
            case kR2Not:
                return 0xFFFFFF;
            default:
                return c;
        }
    };
    switch (dc.rop2) {
        case kR2XorPen:
        case kR2Not:
            op = CAIRO_OPERATOR_DIFFERENCE;
            break;
        case kR2MaskPen:
            op = CAIRO_OPERATOR_MULTIPLY;
            break;
        case kR2MergePen:
            op = CAIRO_OPERATOR_LIGHTEN;
            break;
        default:
            break;
    }
    cairo_set_operator(cr, op);
    const bool forcedColour = dc.rop2 == kR2Black || dc.rop2 == kR2White || dc.rop2 == kR2Not;

    if (doFill) {
        cairo_set_fill_rule(cr,
                            dc.windingFill ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        PatternPtr pattern;
        if (!forcedColour && dc.brush.style == kBsHatched) {
            pattern = makeHatch(dc.brush.hatch, colourFor(dc.brush.colour), dc);
        } else if (!forcedColour &&
                   (dc.brush.style == kBsPattern || dc.brush.style == kBsDibPattern ||
                    dc.brush.style == kBsDibPatternPt) &&
                   dc.brush.pattern) {
            if (SurfacePtr tile = makeSurface(*dc.brush.pattern)) {
                pattern.reset(cairo_pattern_create_for_surface(tile.get()));
                cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_REPEAT);
                cairo_pattern_set_filter(pattern.get(), CAIRO_FILTER_NEAREST);
            }
        }
        if (pattern) {
            cairo_set_source(cr, pattern.get());
        } else {
            const ColorRef c = colourFor(dc.brush.colour);
            cairo_set_source_rgb(cr, channel(c, 0), channel(c, 8), channel(c, 16));
        }
        if (doStroke)
            cairo_fill_preserve(cr);
        else
            cairo_fill(cr);
    }
    if (doStroke) {
        const Pen& pen = dc.pen;
        double width = 1;
        if (!pen.cosmetic && pen.width > 0) {
            width = pen.width * std::sqrt(std::fabs(m_toPicture.determinant()));
            if (!std::isfinite(width)) width = 1;
            width = std::clamp(width, 1.0, 4.0 * std::max(m_width, m_height) + 16);
        }
        cairo_set_line_width(cr, width);
        const std::uint32_t geometric = pen.cosmetic ? 0 : pen.style;
        switch (geometric & kPsEndCapMask) {
            case kPsEndCapSquare:
                cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
                break;
            case kPsEndCapFlat:
                cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
                break;
            default:
                cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
                break;
        }
        switch (geometric & kPsJoinMask) {
            case kPsJoinBevel:
                cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL);
                break;
            case kPsJoinMiter:
                cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
                cairo_set_miter_limit(cr, std::clamp(dc.miterLimit, 1.0, 100.0));
                break;
            default:
                cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
                break;
        }
        double dashes[6];
        int dashCount = 0;
        switch (pen.style & kPsStyleMask) {
            case kPsDash:
                dashes[0] = 18;
                dashes[1] = 6;
                dashCount = 2;
                break;
            case kPsDot:
            case kPsAlternate:
                dashes[0] = 3;
                dashes[1] = 3;
                dashCount = 2;
                break;
            case kPsDashDot:
                dashes[0] = 9;
                dashes[1] = 6;
                dashes[2] = 3;
                dashes[3] = 6;
                dashCount = 4;
                break;
            case kPsDashDotDot:
                dashes[0] = 9;
                dashes[1] = 3;
                dashes[2] = 3;
                dashes[3] = 3;
                dashes[4] = 3;
                dashes[5] = 3;
                dashCount = 6;
                break;
            default:
                break;
        }
        for (int i = 0; i < dashCount; ++i) dashes[i] *= std::max(1.0, width);
        cairo_set_dash(cr, dashes, dashCount, 0);
        const ColorRef c = colourFor(pen.colour);
        cairo_set_source_rgb(cr, channel(c, 0), channel(c, 8), channel(c, 16));
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
    }
    cairo_new_path(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
}

// ---- primitives ----

void MetafileCanvas::lineTo(PointD p) {
    const PointD pts[2] = {m_dc.current, p};
    std::vector<Segment> s;
    appendPolyline(s, pts, false);
    m_dc.current = p;
    emit(std::move(s), false, true);
}

void MetafileCanvas::polyline(std::span<const PointD> points) {
    if (points.size() < 2) return;
    std::vector<Segment> s;
    appendPolyline(s, points, false);
    emit(std::move(s), false, true);
}

void MetafileCanvas::polylineTo(std::span<const PointD> points) {
    if (points.empty()) return;
    std::vector<Segment> s;
    s.push_back({Segment::Op::Move, {toPicture(m_dc.current)}});
    for (const PointD& p : points) s.push_back({Segment::Op::Line, {toPicture(p)}});
    m_dc.current = points.back();
    emit(std::move(s), false, true);
}

void MetafileCanvas::polygon(std::span<const PointD> points) {
    if (points.size() < 2) return;
    std::vector<Segment> s;
    appendPolyline(s, points, true);
    emit(std::move(s), true, true);
}

void MetafileCanvas::polyPolygon(std::span<const PointD> points,
                                 std::span<const std::uint32_t> counts) {
    std::vector<Segment> s;
    std::size_t at = 0;
    for (std::uint32_t n : counts) {
        if (n > points.size() - at) break;
        if (n >= 2) appendPolyline(s, points.subspan(at, n), true);
        at += n;
    }
    emit(std::move(s), true, true);
}

void MetafileCanvas::polyPolyline(std::span<const PointD> points,
                                  std::span<const std::uint32_t> counts) {
    std::vector<Segment> s;
    std::size_t at = 0;
    for (std::uint32_t n : counts) {
        if (n > points.size() - at) break;
        if (n >= 2) appendPolyline(s, points.subspan(at, n), false);
        at += n;
    }
    emit(std::move(s), false, true);
}

void MetafileCanvas::polyBezier(std::span<const PointD> points) {
    if (points.size() < 4) return;
    std::vector<Segment> s;
    appendBeziers(s, points[0], points.subspan(1));
    emit(std::move(s), false, true);
}

void MetafileCanvas::polyBezierTo(std::span<const PointD> points) {
    if (points.size() < 3) return;
    std::vector<Segment> s;
    appendBeziers(s, m_dc.current, points);
    m_dc.current = points[(points.size() / 3) * 3 - 1];
    emit(std::move(s), false, true);
}

void MetafileCanvas::rectangle(const RectD& r) {
    const PointD pts[4] = {
        {r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
    std::vector<Segment> s;
    appendPolyline(s, pts, true);
    emit(std::move(s), true, true);
}

void MetafileCanvas::roundRect(const RectD& box, double cornerWidth, double cornerHeight) {
    RectD r{std::min(box.left, box.right), std::min(box.top, box.bottom),
            std::max(box.left, box.right), std::max(box.top, box.bottom)};
    const double w = std::min(std::fabs(cornerWidth), r.right - r.left);
    const double h = std::min(std::fabs(cornerHeight), r.bottom - r.top);
    if (w <= 0 || h <= 0) return rectangle(r);
    const double pi = std::numbers::pi;
    std::vector<Segment> s;
    appendEllipseArc(s, {r.right - w, r.top, r.right, r.top + h}, -pi / 2, pi / 2, true);
    appendEllipseArc(s, {r.right - w, r.bottom - h, r.right, r.bottom}, 0, pi / 2, false);
    appendEllipseArc(s, {r.left, r.bottom - h, r.left + w, r.bottom}, pi / 2, pi / 2, false);
    appendEllipseArc(s, {r.left, r.top, r.left + w, r.top + h}, pi, pi / 2, false);
    s.push_back({Segment::Op::Close, {}});
    emit(std::move(s), true, true);
}

void MetafileCanvas::ellipse(const RectD& r) {
    if (r.left == r.right || r.top == r.bottom) return;
    std::vector<Segment> s;
    appendEllipseArc(s, r, 0, 2 * std::numbers::pi, true);
    s.push_back({Segment::Op::Close, {}});
    emit(std::move(s), true, true);
}

void MetafileCanvas::arc(const RectD& box, PointD start, PointD end, ArcKind kind) {
    const double cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    const double rx = std::fabs(box.right - box.left) / 2, ry = std::fabs(box.bottom - box.top) / 2;
    if (rx <= 0 || ry <= 0) return;
    const double a0 = std::atan2((start.y - cy) / ry, (start.x - cx) / rx);
    const double a1 = std::atan2((end.y - cy) / ry, (end.x - cx) / rx);
    // Counter-clockwise as seen on the picture is decreasing angle in a y-down space; a mapping
    // that mirrors the picture turns the logical direction round.
    bool increasing = m_dc.clockwiseArcs;
    if (m_toPicture.determinant() < 0) increasing = !increasing;
    const double twoPi = 2 * std::numbers::pi;
    double sweep = a1 - a0;
    if (increasing) {
        while (sweep <= 0) sweep += twoPi;
    } else {
        while (sweep >= 0) sweep -= twoPi;
    }
    std::vector<Segment> s;
    if (kind == ArcKind::Pie) s.push_back({Segment::Op::Move, {toPicture({cx, cy})}});
    if (kind == ArcKind::ArcTo) s.push_back({Segment::Op::Move, {toPicture(m_dc.current)}});
    appendEllipseArc(s, box, a0, sweep, kind == ArcKind::Arc || kind == ArcKind::Chord);
    if (kind == ArcKind::ArcTo)
        m_dc.current = {cx + rx * std::cos(a0 + sweep), cy + ry * std::sin(a0 + sweep)};
    const bool closed = kind == ArcKind::Chord || kind == ArcKind::Pie;
    if (closed) s.push_back({Segment::Op::Close, {}});
    emit(std::move(s), closed, true);
}

void MetafileCanvas::setPixel(PointD p, ColorRef colour) {
    if (m_recording || exhausted()) return;
    const PointD q = toPicture(p);
    cairo_t* cr = m_impl->cr.get();
    cairo_set_source_rgb(cr, channel(colour, 0), channel(colour, 8), channel(colour, 16));
    cairo_rectangle(cr, std::floor(q.x), std::floor(q.y), 1, 1);
    cairo_fill(cr);
    m_work += 1;
}

void MetafileCanvas::patternBlit(const RectD& r, std::uint32_t rop) {
    if (m_recording) return;
    const DcState saved = m_dc;
    m_dc.pen.style = kPsNull;
    m_dc.rop2 = kR2CopyPen;
    switch (rop) {
        case 0xF00021:
            break;  // PATCOPY
        case 0x000042:
            m_dc.brush = Brush{kBsSolid, 0, 0, nullptr};
            break;  // BLACKNESS
        case 0xFF0062:
            m_dc.brush = Brush{kBsSolid, 0xFFFFFF, 0, nullptr};
            break;  // WHITENESS
        case 0x5A0049:
            m_dc.rop2 = kR2XorPen;
            break;  // PATINVERT
        case 0x550009:
            m_dc.rop2 = kR2Not;
            break;  // DSTINVERT
        default:
            m_dc = saved;
            return;
    }
    rectangle(r);
    m_dc = saved;
}

void MetafileCanvas::fillRegion(const std::vector<RectD>& rects, const Brush& brush,
                                bool deviceUnits) {
    if (rects.empty() || m_recording) return;
    const DcState saved = m_dc;
    const Affine savedTransform = m_toPicture;
    if (deviceUnits) m_toPicture = m_deviceToPicture;
    m_dc.brush = brush;
    m_dc.pen.style = kPsNull;
    std::vector<Segment> s;
    for (const RectD& r : rects) {
        const PointD pts[4] = {
            {r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
        appendPolyline(s, pts, true);
    }
    m_dc.windingFill = true;
    emit(std::move(s), true, false);
    m_dc = saved;
    m_toPicture = savedTransform;
}

void MetafileCanvas::gradientRect(const GradientVertex& a, const GradientVertex& b, bool vertical) {
    if (m_recording || exhausted()) return;
    const PointD corners[4] = {
        {a.at.x, a.at.y}, {b.at.x, a.at.y}, {b.at.x, b.at.y}, {a.at.x, b.at.y}};
    std::vector<Segment> s;
    appendPolyline(s, corners, true);
    chargeWork(s, false);
    // The ramp runs in logical units; the pattern matrix carries it through any rotation or
    // shear of the page, so its bands stay parallel to the logical rectangle's sides.
    const Affine& t = m_toPicture;
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.e, t.f);
    if (!t.finite() || cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS) return;
    PatternPtr ramp(vertical ? cairo_pattern_create_linear(0, a.at.y, 0, b.at.y)
                             : cairo_pattern_create_linear(a.at.x, 0, b.at.x, 0));
    cairo_pattern_add_color_stop_rgb(ramp.get(), 0, channel(a.colour, 0), channel(a.colour, 8),
                                     channel(a.colour, 16));
    cairo_pattern_add_color_stop_rgb(ramp.get(), 1, channel(b.colour, 0), channel(b.colour, 8),
                                     channel(b.colour, 16));
    cairo_pattern_set_extend(ramp.get(), CAIRO_EXTEND_PAD);
    cairo_pattern_set_matrix(ramp.get(), &m);
    cairo_t* cr = m_impl->cr.get();
    cairo_new_path(cr);
    traceSegments(cr, s);
    cairo_set_source(cr, ramp.get());
    cairo_fill(cr);
}

void MetafileCanvas::gradientTriangle(const GradientVertex& a, const GradientVertex& b,
                                      const GradientVertex& c) {
    if (m_recording || exhausted()) return;
    const PointD corners[3] = {a.at, b.at, c.at};
    std::vector<Segment> s;
    appendPolyline(s, corners, true);
    chargeWork(s, false);
    // A mesh patch of three sides: each corner keeps its colour, the inside blends them.
    PatternPtr mesh(cairo_pattern_create_mesh());
    cairo_mesh_pattern_begin_patch(mesh.get());
    const GradientVertex* v[3] = {&a, &b, &c};
    for (unsigned i = 0; i < 3; ++i) {
        const PointD p = s[i].p[0];
        if (i == 0)
            cairo_mesh_pattern_move_to(mesh.get(), p.x, p.y);
        else
            cairo_mesh_pattern_line_to(mesh.get(), p.x, p.y);
    }
    for (unsigned i = 0; i < 3; ++i)
        cairo_mesh_pattern_set_corner_color_rgb(mesh.get(), i, channel(v[i]->colour, 0),
                                                channel(v[i]->colour, 8),
                                                channel(v[i]->colour, 16));
    cairo_mesh_pattern_end_patch(mesh.get());
    cairo_t* cr = m_impl->cr.get();
    cairo_new_path(cr);
    traceSegments(cr, s);
    cairo_set_source(cr, mesh.get());
    cairo_fill(cr);
}

void MetafileCanvas::drawImage(const PixelImage& image, const RectD& src, const RectD& dst,
                               std::uint32_t rop) {
    if (m_recording || exhausted() || image.width <= 0 || image.height <= 0) return;
    cairo_operator_t op = CAIRO_OPERATOR_SOURCE;
    switch (rop) {
        case 0x8800C6:
            op = CAIRO_OPERATOR_MULTIPLY;
            break;  // SRCAND
        case 0xEE0086:
            op = CAIRO_OPERATOR_LIGHTEN;
            break;  // SRCPAINT
        case 0x660046:
            op = CAIRO_OPERATOR_DIFFERENCE;
            break;  // SRCINVERT
        case 0xAA0029:
            return;  // leaves the picture alone
        default:
            break;
    }
    const double sw = src.right - src.left, sh = src.bottom - src.top;
    if (sw == 0 || sh == 0) return;
    const PointD p0 = toPicture({dst.left, dst.top});
    const PointD px = toPicture({dst.right, dst.top});
    const PointD py = toPicture({dst.left, dst.bottom});
    cairo_matrix_t m;
    m.xx = (px.x - p0.x) / sw;
    m.yx = (px.y - p0.y) / sw;
    m.xy = (py.x - p0.x) / sh;
    m.yy = (py.y - p0.y) / sh;
    m.x0 = p0.x - m.xx * src.left - m.xy * src.top;
    m.y0 = p0.y - m.yx * src.left - m.yy * src.top;
    if (!std::isfinite(m.x0) || !std::isfinite(m.y0) || !std::isfinite(m.xx) ||
        !std::isfinite(m.yy) || !std::isfinite(m.xy) || !std::isfinite(m.yx))
        return;
    const double det = m.xx * m.yy - m.xy * m.yx;
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) return;
    cairo_matrix_t inverse = m;
    if (cairo_matrix_invert(&inverse) != CAIRO_STATUS_SUCCESS) return;
    SurfacePtr surface = makeSurface(image);
    if (!surface) return;
    PatternPtr pattern(cairo_pattern_create_for_surface(surface.get()));
    cairo_pattern_set_matrix(pattern.get(), &inverse);
    cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_PAD);
    const bool enlarging = std::fabs(det) >= 1;
    cairo_pattern_set_filter(pattern.get(), enlarging ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);

    std::vector<Segment> s;
    const PointD corners[4] = {p0, px, {px.x + py.x - p0.x, px.y + py.y - p0.y}, py};
    for (int i = 0; i < 4; ++i)
        s.push_back({i ? Segment::Op::Line : Segment::Op::Move,
                     {{clampCoord(corners[i].x), clampCoord(corners[i].y)}}});
    chargeWork(s, false);
    cairo_t* cr = m_impl->cr.get();
    cairo_new_path(cr);
    for (const Segment& seg : s) {
        if (seg.op == Segment::Op::Move)
            cairo_move_to(cr, seg.p[0].x, seg.p[0].y);
        else
            cairo_line_to(cr, seg.p[0].x, seg.p[0].y);
    }
    cairo_close_path(cr);
    cairo_set_operator(cr, op);
    cairo_set_source(cr, pattern.get());
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
}

ColorRef resolveColour(std::uint32_t value, const std::vector<ColorRef>& palette) {
    // The default palette: the first ten and the last ten colours of the system palette.
    static constexpr ColorRef kDefault[20] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000,
                                              0x800080, 0x808000, 0xC0C0C0, 0xC0DCC0, 0xF0CAA6,
                                              0xF0FBFF, 0xA4A0A0, 0x808080, 0x0000FF, 0x00FF00,
                                              0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    if ((value >> 24) != 1) return value & 0xFFFFFF;
    const std::uint32_t index = value & 0xFFFF;
    if (!palette.empty()) return index < palette.size() ? palette[index] : 0;
    return index < std::size(kDefault) ? kDefault[index] : 0;
}

std::vector<ColorRef> readPaletteEntries(std::span<const std::uint8_t> entries,
                                         std::uint32_t count) {
    const std::size_t n = std::min<std::size_t>(count, entries.size() / 4);
    std::vector<ColorRef> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = entries[i * 4] | (ColorRef{entries[i * 4 + 1]} << 8) |
                 (ColorRef{entries[i * 4 + 2]} << 16);
    return out;
}

}  // namespace kalder::image::gdi
