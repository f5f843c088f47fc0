// Playback of enhanced metafile records onto our canvas. Records are little-endian with 32-bit
// fields; offsets inside a record (bitmaps, strings) count from the record's start.

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <vector>

#include "base/utf.h"
#include "image/byte_reader.h"
#include "image/readers/metafile_gdi_p.h"
#include "image/sinks.h"

namespace kalder::image::gdi {
namespace {

enum EmfType : std::uint32_t {
    kHeader = 1,
    kPolyBezier = 2,
    kPolygon = 3,
    kPolyline = 4,
    kPolyBezierTo = 5,
    kPolylineTo = 6,
    kPolyPolyline = 7,
    kPolyPolygon = 8,
    kSetWindowExtEx = 9,
    kSetWindowOrgEx = 10,
    kSetViewportExtEx = 11,
    kSetViewportOrgEx = 12,
    kSetBrushOrgEx = 13,
    kEof = 14,
    kSetPixelV = 15,
    kSetMapMode = 17,
    kSetBkMode = 18,
    kSetPolyFillMode = 19,
    kSetRop2 = 20,
    kSetTextAlign = 22,
    kSetTextColor = 24,
    kSetBkColor = 25,
    kMoveToEx = 27,
    kExcludeClipRect = 29,
    kIntersectClipRect = 30,
    kScaleViewportExtEx = 31,
    kScaleWindowExtEx = 32,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSetWorldTransform = 35,
    kModifyWorldTransform = 36,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrushIndirect = 39,
    kDeleteObject = 40,
    kAngleArc = 41,
    kEllipse = 42,
    kRectangle = 43,
    kRoundRect = 44,
    kArc = 45,
    kChord = 46,
    kPie = 47,
    kSelectPalette = 48,
    kCreatePalette = 49,
    kLineTo = 54,
    kArcTo = 55,
    kSetArcDirection = 57,
    kSetMiterLimit = 58,
    kBeginPath = 59,
    kEndPath = 60,
    kCloseFigure = 61,
    kFillPath = 62,
    kStrokeAndFillPath = 63,
    kStrokePath = 64,
    kSelectClipPath = 67,
    kAbortPath = 68,
    kFillRgn = 71,
    kPaintRgn = 74,
    kExtSelectClipRgn = 75,
    kBitBlt = 76,
    kStretchBlt = 77,
    kSetDiBitsToDevice = 80,
    kStretchDiBits = 81,
    kExtCreateFontIndirectW = 82,
    kExtTextOutA = 83,
    kExtTextOutW = 84,
    kPolyBezier16 = 85,
    kPolygon16 = 86,
    kPolyline16 = 87,
    kPolyBezierTo16 = 88,
    kPolylineTo16 = 89,
    kPolyPolyline16 = 90,
    kPolyPolygon16 = 91,
    kCreateMonoBrush = 93,
    kCreateDibPatternBrushPt = 94,
    kExtCreatePen = 95,
    kPolyTextOutA = 96,
    kPolyTextOutW = 97,
    kAlphaBlend = 114,
    kGradientFill = 118,
};

constexpr std::uint32_t kStockBit = 0x80000000u;
constexpr std::uint32_t kMaxEmfObjects = 65536;
constexpr std::size_t kHeaderMinimum = 88;

class EmfPlayer {
public:
    explicit EmfPlayer(MetafileCanvas& canvas) : m_canvas(canvas) {}
    void play(std::uint32_t type, std::span<const std::uint8_t> record);

private:
    static PointD pointl(ByteReader& r) {
        const double x = r.s32le();
        return {x, static_cast<double>(r.s32le())};
    }
    static RectD rectl(ByteReader& r) {
        RectD rc;
        rc.left = r.s32le();
        rc.top = r.s32le();
        rc.right = r.s32le();
        rc.bottom = r.s32le();
        return rc;
    }
    static double f32(ByteReader& r) { return std::bit_cast<float>(r.u32le()); }
    static std::vector<PointD> points(ByteReader& r, std::uint64_t count, bool small) {
        const std::size_t size = small ? 4 : 8;
        count = std::min<std::uint64_t>(count, r.remaining() / size);
        std::vector<PointD> pts(count);
        for (auto& p : pts) {
            if (small) {
                p.x = r.s16le();
                p.y = r.s16le();
            } else {
                p = pointl(r);
            }
        }
        return pts;
    }
    // A slice of the record given by an offset from its start and a length; empty when outside.
    static std::span<const std::uint8_t> slice(std::span<const std::uint8_t> record,
                                               std::uint32_t offset, std::uint32_t length) {
        if (offset > record.size() || length > record.size() - offset) return {};
        return record.subspan(offset, length);
    }
    void store(std::uint32_t index, GdiObject object) {
        if (index == 0 || index >= kMaxEmfObjects) return;
        if (index >= m_objects.size()) m_objects.resize(index + 1);
        m_objects[index] = std::move(object);
    }
    void selectObject(std::uint32_t index);
    void polyRecord(std::uint32_t type, ByteReader& r);
    void polyPolyRecord(std::uint32_t type, ByteReader& r);
    void text(std::span<const std::uint8_t> record, ByteReader& r, bool wide);
    void bitmap(std::uint32_t type, std::span<const std::uint8_t> record, ByteReader& r);
    void gradientFill(ByteReader& r);
    static std::vector<RectD> regionRects(ByteReader& r, std::uint32_t size);
    static void readTransform(ByteReader& r, Affine& t) {
        t.a = f32(r);
        t.b = f32(r);
        t.c = f32(r);
        t.d = f32(r);
        t.e = f32(r);
        t.f = f32(r);
    }

    MetafileCanvas& m_canvas;
    std::vector<GdiObject> m_objects;
    // The selected logical palette (empty: the default one), for palette-index colours.
    std::vector<ColorRef> m_palette;
    ColorRef colourOf(std::uint32_t value) const { return resolveColour(value, m_palette); }
};

void EmfPlayer::selectObject(std::uint32_t index) {
    DcState& dc = m_canvas.dc();
    if (index & kStockBit) {
        const std::uint32_t stock = index & ~kStockBit;
        static constexpr ColorRef kBrushes[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0};
        if (stock <= 4)
            dc.brush = Brush{kBsSolid, kBrushes[stock], 0, nullptr};
        else if (stock == 5)
            dc.brush = Brush{kBsNull, 0, 0, nullptr};
        else if (stock == 6)
            dc.pen = Pen{kPsSolid, 0, true, 0xFFFFFF};
        else if (stock == 7)
            dc.pen = Pen{kPsSolid, 0, true, 0};
        else if (stock == 8)
            dc.pen = Pen{kPsNull, 0, true, 0};
        else if (stock >= 10 && stock <= 17 && stock != 15)
            dc.font = Font{};
        else if (stock == 18)
            dc.brush = Brush{kBsSolid, 0xFFFFFF, 0, nullptr};
        else if (stock == 19)
            dc.pen = Pen{kPsSolid, 0, true, 0};
        return;
    }
    if (index >= m_objects.size()) return;
    const GdiObject& o = m_objects[index];
    switch (o.kind) {
        case GdiObject::Kind::Pen:
            dc.pen = o.pen;
            break;
        case GdiObject::Kind::Brush:
            dc.brush = o.brush;
            break;
        case GdiObject::Kind::Font:
            dc.font = o.font;
            break;
        default:
            break;
    }
}

void EmfPlayer::polyRecord(std::uint32_t type, ByteReader& r) {
    const bool small = type >= kPolyBezier16;
    r.skip(16);  // bounds
    const auto pts = points(r, r.u32le(), small);
    switch (small ? type - (kPolyBezier16 - kPolyBezier) : type) {
        case kPolyBezier:
            m_canvas.polyBezier(pts);
            break;
        case kPolygon:
            m_canvas.polygon(pts);
            break;
        case kPolyline:
            m_canvas.polyline(pts);
            break;
        case kPolyBezierTo:
            m_canvas.polyBezierTo(pts);
            break;
        case kPolylineTo:
            m_canvas.polylineTo(pts);
            break;
        default:
            break;
    }
}

void EmfPlayer::polyPolyRecord(std::uint32_t type, ByteReader& r) {
    const bool small = type == kPolyPolyline16 || type == kPolyPolygon16;
    r.skip(16);
    const std::uint64_t polys = std::min<std::uint64_t>(r.u32le(), r.remaining() / 4);
    const std::uint64_t total = r.u32le();
    std::vector<std::uint32_t> counts(polys);
    for (auto& c : counts) c = r.u32le();
    const auto pts = points(r, total, small);
    if (type == kPolyPolygon || type == kPolyPolygon16)
        m_canvas.polyPolygon(pts, counts);
    else
        m_canvas.polyPolyline(pts, counts);
}

void EmfPlayer::text(std::span<const std::uint8_t> record, ByteReader& r, bool wide) {
    const PointD ref = pointl(r);
    const std::uint32_t chars = r.u32le();
    const std::uint32_t offString = r.u32le();
    const std::uint32_t options = r.u32le();
    const RectD rect = rectl(r);
    const std::uint32_t offDx = r.u32le();
    if (!r.ok()) return;
    const std::uint64_t bytes = static_cast<std::uint64_t>(chars) * (wide ? 2 : 1);
    if (bytes > record.size()) return;
    const auto str = slice(record, offString, static_cast<std::uint32_t>(bytes));
    if (str.empty()) return;
    TextRun run;
    run.text = wide ? base::decodeUtf16le(str) : fromCodePage1252(str);
    // Advances: one per character, or pairs when vertical advances are given too.
    const std::uint64_t stride = (options & 0x2000) ? 8 : 4;
    const auto dx = slice(
        record, offDx,
        static_cast<std::uint32_t>(std::min<std::uint64_t>(chars * stride, record.size() + 1)));
    if (!dx.empty() && offDx != 0) {
        ByteReader d(dx);
        for (std::uint32_t i = 0; i < chars && d.remaining() >= stride; ++i) {
            run.advances.push_back(d.s32le());
            if (stride == 8) d.skip(4);
        }
        // Advances for surrogate pairs come per UTF-16 unit; keep one per code point.
        if (run.advances.size() != run.text.size()) run.advances.clear();
    }
    const bool hasRect = (options & (kEtoOpaque | kEtoClipped)) != 0;
    m_canvas.textOut(ref, run, options, hasRect ? &rect : nullptr);
}

void EmfPlayer::bitmap(std::uint32_t type, std::span<const std::uint8_t> record, ByteReader& r) {
    r.skip(16);  // bounds
    RectD dst, src;
    std::uint32_t rop = 0xCC0020, offBmi = 0, cbBmi = 0, offBits = 0, cbBits = 0;
    bool fromBottom = false;
    if (type == kStretchDiBits || type == kSetDiBitsToDevice) {
        const PointD d = pointl(r);
        src.left = r.s32le();
        src.top = r.s32le();
        const double sw = r.s32le(), sh = r.s32le();
        offBmi = r.u32le();
        cbBmi = r.u32le();
        offBits = r.u32le();
        cbBits = r.u32le();
        r.skip(4);  // colour usage
        double dw = sw, dh = sh;
        if (type == kStretchDiBits) {
            rop = r.u32le();
            dw = r.s32le();
            dh = r.s32le();
        }
        src.right = src.left + sw;
        src.bottom = src.top + sh;
        dst = {d.x, d.y, d.x + dw, d.y + dh};
        fromBottom = true;
    } else {  // BitBlt, StretchBlt, AlphaBlend share the layout
        const PointD d = pointl(r);
        const double dw = r.s32le(), dh = r.s32le();
        rop = r.u32le();
        src.left = r.s32le();
        src.top = r.s32le();
        Affine sourceTransform;
        readTransform(r, sourceTransform);
        r.skip(8);  // background colour, usage
        offBmi = r.u32le();
        cbBmi = r.u32le();
        offBits = r.u32le();
        cbBits = r.u32le();
        double sw = dw, sh = dh;
        if (type != kBitBlt) {
            sw = r.s32le();
            sh = r.s32le();
        }
        if (type == kAlphaBlend) rop = 0xCC0020;
        src.right = src.left + sw;
        src.bottom = src.top + sh;
        dst = {d.x, d.y, d.x + dw, d.y + dh};
    }
    if (!r.ok()) return;
    if (cbBmi == 0) {
        m_canvas.patternBlit(dst, rop);
        return;
    }
    const auto header = slice(record, offBmi, cbBmi);
    const auto bits = slice(record, offBits, cbBits);
    if (header.empty() || bits.empty()) return;
    const PixelImage image = decodeDib(header, bits);
    if (image.width <= 0) return;
    if (fromBottom && image.bottomUp) {
        const double h = src.bottom - src.top;
        src.top = image.height - (src.top + h);
        src.bottom = src.top + h;
    }
    m_canvas.drawImage(image, src, dst, rop);
}

std::vector<RectD> EmfPlayer::regionRects(ByteReader& r, std::uint32_t size) {
    std::vector<RectD> rects;
    if (size < 32) return rects;
    r.skip(8);  // header size, type
    const std::uint64_t count = std::min<std::uint64_t>(r.u32le(), (size - 32) / 16);
    r.skip(4 + 16);  // data size, bounds
    for (std::uint64_t i = 0; i < count && r.ok(); ++i) {
        const RectD rc = rectl(r);
        if (r.ok()) rects.push_back(rc);
    }
    return rects;
}

void EmfPlayer::play(std::uint32_t type, std::span<const std::uint8_t> record) {
    ByteReader r(record.subspan(8));
    DcState& dc = m_canvas.dc();
    switch (type) {
        case kPolyBezier:
        case kPolygon:
        case kPolyline:
        case kPolyBezierTo:
        case kPolylineTo:
        case kPolyBezier16:
        case kPolygon16:
        case kPolyline16:
        case kPolyBezierTo16:
        case kPolylineTo16:
            polyRecord(type, r);
            break;
        case kPolyPolyline:
        case kPolyPolygon:
        case kPolyPolyline16:
        case kPolyPolygon16:
            polyPolyRecord(type, r);
            break;
        case kSetWindowExtEx:
            m_canvas.setWindowExt(pointl(r));
            break;
        case kSetWindowOrgEx:
            m_canvas.setWindowOrg(pointl(r));
            break;
        case kSetViewportExtEx:
            m_canvas.setViewportExt(pointl(r));
            break;
        case kSetViewportOrgEx:
            m_canvas.setViewportOrg(pointl(r));
            break;
        case kSetBrushOrgEx:
            dc.brushOrigin = pointl(r);
            break;
        case kSetPixelV: {
            const PointD p = pointl(r);
            m_canvas.setPixel(p, colourOf(r.u32le()));
            break;
        }
        case kSetMapMode:
            m_canvas.setMapMode(static_cast<std::int32_t>(r.u32le()));
            break;
        case kSetBkMode:
            dc.opaqueBackground = r.u32le() == 2;
            break;
        case kSetPolyFillMode:
            dc.windingFill = r.u32le() == 2;
            break;
        case kSetRop2:
            dc.rop2 = static_cast<std::int32_t>(r.u32le());
            break;
        case kSetTextAlign:
            dc.textAlign = r.u32le();
            break;
        case kSetTextColor:
            dc.textColour = colourOf(r.u32le());
            break;
        case kSetBkColor:
            dc.backgroundColour = colourOf(r.u32le());
            break;
        case kMoveToEx:
            m_canvas.moveTo(pointl(r));
            break;
        case kLineTo:
            m_canvas.lineTo(pointl(r));
            break;
        case kExcludeClipRect:
            m_canvas.excludeClip(rectl(r));
            break;
        case kIntersectClipRect:
            m_canvas.intersectClip(rectl(r));
            break;
        case kScaleViewportExtEx:
        case kScaleWindowExtEx: {
            const double xNum = r.s32le(), xDen = r.s32le(), yNum = r.s32le(), yDen = r.s32le();
            if (xDen == 0 || yDen == 0) break;
            const PointD ext = type == kScaleWindowExtEx ? dc.windowExt : dc.viewportExt;
            const PointD scaled{ext.x * xNum / xDen, ext.y * yNum / yDen};
            if (type == kScaleWindowExtEx)
                m_canvas.setWindowExt(scaled);
            else
                m_canvas.setViewportExt(scaled);
            break;
        }
        case kSaveDc:
            m_canvas.saveDc();
            break;
        case kRestoreDc:
            m_canvas.restoreDc(r.s32le());
            break;
        case kSetWorldTransform:
        case kModifyWorldTransform: {
            Affine t;
            readTransform(r, t);
            const std::uint32_t mode = type == kSetWorldTransform ? 4 : r.u32le();
            if (!r.ok() || !t.finite()) break;
            switch (mode) {
                case 1:
                    dc.world = Affine{};
                    break;
                case 2:
                    dc.world = t.then(dc.world);
                    break;
                case 3:
                    dc.world = dc.world.then(t);
                    break;
                case 4:
                    dc.world = t;
                    break;
                default:
                    break;
            }
            m_canvas.updateTransform();
            break;
        }
        case kSelectObject:
            selectObject(r.u32le());
            break;
        case kDeleteObject: {
            const std::uint32_t index = r.u32le();
            if (index < m_objects.size()) m_objects[index] = GdiObject{};
            break;
        }
        case kCreatePen: {
            const std::uint32_t index = r.u32le();
            GdiObject o;
            o.kind = GdiObject::Kind::Pen;
            o.pen.style = r.u32le();
            const std::int32_t width = r.s32le();
            r.skip(4);
            o.pen.colour = colourOf(r.u32le());
            o.pen.width = width < 0 ? -static_cast<double>(width) : width;
            o.pen.cosmetic = width == 0;
            store(index, std::move(o));
            break;
        }
        case kExtCreatePen: {
            const std::uint32_t index = r.u32le();
            r.skip(16);  // pattern bitmap
            GdiObject o;
            o.kind = GdiObject::Kind::Pen;
            o.pen.style = r.u32le();
            o.pen.width = r.u32le();
            const std::uint32_t brushStyle = r.u32le();
            o.pen.colour = colourOf(r.u32le());
            o.pen.cosmetic = !(o.pen.style & kPsGeometric);
            if (brushStyle == kBsNull) o.pen.style = (o.pen.style & ~kPsStyleMask) | kPsNull;
            store(index, std::move(o));
            break;
        }
        case kCreateBrushIndirect: {
            const std::uint32_t index = r.u32le();
            GdiObject o;
            o.kind = GdiObject::Kind::Brush;
            o.brush.style = r.u32le();
            o.brush.colour = colourOf(r.u32le());
            o.brush.hatch = r.u32le();
            if (o.brush.style != kBsNull && o.brush.style != kBsHatched) o.brush.style = kBsSolid;
            store(index, std::move(o));
            break;
        }
        case kCreateMonoBrush:
        case kCreateDibPatternBrushPt: {
            const std::uint32_t index = r.u32le();
            r.skip(4);  // usage
            const std::uint32_t offBmi = r.u32le(), cbBmi = r.u32le();
            const std::uint32_t offBits = r.u32le(), cbBits = r.u32le();
            GdiObject o;
            o.kind = GdiObject::Kind::Brush;
            o.brush.colour = 0x808080;
            const auto header = slice(record, offBmi, cbBmi);
            const auto bits = slice(record, offBits, cbBits);
            if (!header.empty() && !bits.empty()) {
                auto image = std::make_shared<PixelImage>(decodeDib(header, bits));
                if (image->width > 0) {
                    o.brush.style = kBsDibPatternPt;
                    o.brush.pattern = std::move(image);
                }
            }
            store(index, std::move(o));
            break;
        }
        case kCreatePalette: {
            GdiObject o;
            o.kind = GdiObject::Kind::Palette;
            const std::uint32_t index = r.u32le();
            r.skip(2);  // version
            const std::uint32_t count = r.u16le();
            if (r.ok()) o.palette = readPaletteEntries(r.data().subspan(r.position()), count);
            store(index, std::move(o));
            break;
        }
        case kSelectPalette: {
            const std::uint32_t index = r.u32le();
            if (index & kStockBit)
                m_palette.clear();
            else if (index < m_objects.size() && m_objects[index].kind == GdiObject::Kind::Palette)
                m_palette = m_objects[index].palette;
            break;
        }
        case kExtCreateFontIndirectW: {
            const std::uint32_t index = r.u32le();
            GdiObject o;
            o.kind = GdiObject::Kind::Font;
            Font& f = o.font;
            f.height = r.s32le();
            r.skip(4);  // width
            f.escapement = r.s32le();
            r.skip(4);  // orientation
            f.weight = r.s32le();
            f.italic = r.u8() != 0;
            f.underline = r.u8() != 0;
            f.strikeOut = r.u8() != 0;
            f.charSet = r.u8();
            r.skip(3);
            f.pitchAndFamily = r.u8();
            for (int i = 0; i < 32 && r.remaining() >= 2; ++i) {
                const std::uint16_t ch = r.u16le();
                if (ch == 0) break;
                f.face += ch < 0x80 ? static_cast<char>(ch) : '?';
            }
            store(index, std::move(o));
            break;
        }
        case kEllipse:
            m_canvas.ellipse(rectl(r));
            break;
        case kRectangle:
            m_canvas.rectangle(rectl(r));
            break;
        case kRoundRect: {
            const RectD box = rectl(r);
            const PointD corner = pointl(r);
            m_canvas.roundRect(box, corner.x, corner.y);
            break;
        }
        case kArc:
        case kChord:
        case kPie:
        case kArcTo: {
            const RectD box = rectl(r);
            const PointD start = pointl(r);
            const PointD end = pointl(r);
            const ArcKind kind = type == kArc     ? ArcKind::Arc
                                 : type == kChord ? ArcKind::Chord
                                 : type == kPie   ? ArcKind::Pie
                                                  : ArcKind::ArcTo;
            m_canvas.arc(box, start, end, kind);
            break;
        }
        case kAngleArc: {
            const PointD c = pointl(r);
            const double radius = r.u32le();
            const double start = f32(r), sweep = f32(r);
            if (!r.ok() || !std::isfinite(start) || !std::isfinite(sweep) || sweep == 0) break;
            const double a0 = start * std::numbers::pi / 180;
            const double a1 = (start + std::clamp(sweep, -359.99, 359.99)) * std::numbers::pi / 180;
            const RectD box{c.x - radius, c.y - radius, c.x + radius, c.y + radius};
            const bool saved = dc.clockwiseArcs;
            dc.clockwiseArcs = sweep < 0;
            m_canvas.arc(box, {c.x + radius * std::cos(a0), c.y - radius * std::sin(a0)},
                         {c.x + radius * std::cos(a1), c.y - radius * std::sin(a1)},
                         ArcKind::ArcTo);
            dc.clockwiseArcs = saved;
            break;
        }
        case kSetArcDirection:
            dc.clockwiseArcs = r.u32le() == 2;
            break;
        case kSetMiterLimit:
            dc.miterLimit = r.u32le();
            break;
        case kBeginPath:
            m_canvas.beginPath();
            break;
        case kEndPath:
            m_canvas.endPath();
            break;
        case kCloseFigure:
            m_canvas.closeFigure();
            break;
        case kFillPath:
            m_canvas.fillPath();
            break;
        case kStrokeAndFillPath:
            m_canvas.strokeAndFillPath();
            break;
        case kStrokePath:
            m_canvas.strokePath();
            break;
        case kSelectClipPath:
            m_canvas.selectClipPath(static_cast<std::int32_t>(r.u32le()));
            break;
        case kAbortPath:
            m_canvas.abortPath();
            break;
        case kFillRgn:
        case kPaintRgn: {
            r.skip(16);
            const std::uint32_t size = r.u32le();
            const std::uint32_t brush = type == kFillRgn ? r.u32le() : 0;
            const auto rects = regionRects(r, size);
            if (type == kPaintRgn) {
                m_canvas.fillRegion(rects, dc.brush, true);
            } else if (brush < m_objects.size() &&
                       m_objects[brush].kind == GdiObject::Kind::Brush) {
                m_canvas.fillRegion(rects, m_objects[brush].brush, true);
            }
            break;
        }
        case kExtSelectClipRgn: {
            const std::uint32_t size = r.u32le();
            const auto mode = static_cast<std::int32_t>(r.u32le());
            if (!r.ok()) break;
            auto rects = regionRects(r, size);
            if (size >= 32 && rects.empty()) rects.push_back({0, 0, 0, 0});  // empty region
            m_canvas.selectClipRects(rects, mode);
            break;
        }
        case kBitBlt:
        case kStretchBlt:
        case kAlphaBlend:
        case kStretchDiBits:
        case kSetDiBitsToDevice:
            bitmap(type, record, r);
            break;
        case kGradientFill:
            gradientFill(r);
            break;
        case kExtTextOutA:
        case kExtTextOutW:
            r.skip(16 + 12);  // bounds, graphics mode, scales
            text(record, r, type == kExtTextOutW);
            break;
        case kPolyTextOutA:
        case kPolyTextOutW: {
            r.skip(16 + 12);
            const std::uint32_t count = r.u32le();
            for (std::uint32_t i = 0; i < count && r.remaining() >= 40; ++i) {
                ByteReader one(record.subspan(8 + r.position(), 40));
                text(record, one, type == kPolyTextOutW);
                r.skip(40);
            }
            break;
        }
        default:
            break;  // comments, palettes, colour spaces and the rest draw nothing we keep
    }
}

// Rectangles shade along x or y between two vertices, triangles between three; each vertex has
// 16-bit channels of which the high byte counts.
void EmfPlayer::gradientFill(ByteReader& r) {
    constexpr std::uint32_t kRectV = 1, kTriangle = 2;  // 0: rectangles shading along x
    r.skip(16);                                         // bounds
    const std::uint32_t vertexCount = r.u32le();
    const std::uint32_t shapeCount = r.u32le();
    const std::uint32_t mode = r.u32le();
    if (!r.ok() || mode > kTriangle || vertexCount > r.remaining() / 16) return;
    std::vector<MetafileCanvas::GradientVertex> vertices(vertexCount);
    for (auto& v : vertices) {
        v.at = pointl(r);
        const std::uint32_t red = r.u16le() >> 8, green = r.u16le() >> 8, blue = r.u16le() >> 8;
        r.skip(2);  // alpha: not drawn by this record
        v.colour = red | (green << 8) | (blue << 16);
    }
    const std::size_t shapeSize = mode == kTriangle ? 12 : 8;
    if (!r.ok() || shapeCount > r.remaining() / shapeSize) return;
    for (std::uint32_t i = 0; i < shapeCount; ++i) {
        std::uint32_t index[3] = {r.u32le(), r.u32le(), mode == kTriangle ? r.u32le() : 0};
        const bool valid =
            index[0] < vertexCount && index[1] < vertexCount && index[2] < vertexCount;
        if (!r.ok()) return;
        if (!valid) continue;
        if (mode == kTriangle)
            m_canvas.gradientTriangle(vertices[index[0]], vertices[index[1]], vertices[index[2]]);
        else
            m_canvas.gradientRect(vertices[index[0]], vertices[index[1]], mode == kRectV);
    }
}

}  // namespace

Status playEmf(std::span<const std::uint8_t> file, MetafileCanvas& canvas,
               PlaybackContext& context) {
    ByteReader h(file);
    const std::uint32_t type = h.u32le();
    const std::uint32_t headerSize = h.u32le();
    if (!h.ok() || type != kHeader || headerSize < kHeaderMinimum || headerSize > file.size())
        return DecodeError::Corrupt;
    RectD bounds{double(h.s32le()), double(h.s32le()), double(h.s32le()), double(h.s32le())};
    RectD frame{double(h.s32le()), double(h.s32le()), double(h.s32le()), double(h.s32le())};
    h.seek(60);
    const std::uint32_t descChars = h.u32le();
    const std::uint32_t descOffset = h.u32le();
    h.seek(72);
    const double devPxX = h.s32le(), devPxY = h.s32le(), devMmX = h.s32le(), devMmY = h.s32le();
    if (!h.ok()) return DecodeError::Truncated;

    // The description: the creating application and the picture's title, each ended by a zero.
    if (descChars > 0 && descOffset >= kHeaderMinimum && descOffset <= headerSize &&
        static_cast<std::uint64_t>(descChars) * 2 <= headerSize - descOffset) {
        const std::u32string text = base::decodeUtf16le(file.subspan(descOffset, descChars * 2u));
        std::string current;
        for (char32_t c : text) {
            if (c == 0) {
                if (!current.empty()) context.descriptions.push_back(current);
                current.clear();
                if (context.descriptions.size() == 2) break;
                continue;
            }
            base::appendUtf8(current, c);  // kept as UTF-8
        }
        if (!current.empty() && context.descriptions.size() < 2)
            context.descriptions.push_back(current);
    }

    // The picture frame (hundredths of a millimetre) in reference-device pixels is what fills
    // the picture; without a usable frame the bounds take its place.
    double pxPerMmX = devMmX > 0 && devPxX > 0 ? devPxX / devMmX : 96 / 25.4;
    double pxPerMmY = devMmY > 0 && devPxY > 0 ? devPxY / devMmY : 96 / 25.4;
    canvas.setDeviceResolution(pxPerMmX, pxPerMmY);
    RectD area{frame.left * pxPerMmX / 100, frame.top * pxPerMmY / 100,
               frame.right * pxPerMmX / 100, frame.bottom * pxPerMmY / 100};
    if (area.right - area.left <= 0 || area.bottom - area.top <= 0) area = bounds;
    if (area.right - area.left <= 0 || area.bottom - area.top <= 0)
        area = {0, 0, double(canvas.width()), double(canvas.height())};
    Affine toPicture;
    toPicture.a = canvas.width() / (area.right - area.left);
    toPicture.d = canvas.height() / (area.bottom - area.top);
    toPicture.e = -area.left * toPicture.a;
    toPicture.f = -area.top * toPicture.d;
    canvas.setDeviceToPicture(toPicture);

    EmfPlayer player(canvas);
    std::uint64_t pos = headerSize;
    std::uint64_t played = 1;
    while (pos + 8 <= file.size()) {
        ByteReader rh(file.subspan(pos, 8));
        const std::uint32_t recordType = rh.u32le();
        const std::uint64_t size = rh.u32le();
        if (recordType == kEof) break;
        // A size below the record header, or past the end of the file, ends the playback.
        if (size < 8 || size > file.size() - pos) break;
        if (++played > canvas.budget().maxRecords || canvas.exhausted()) break;
        player.play(recordType, file.subspan(pos, size));
        pos += size;
        if (context.cancel && context.cancel->isCancelled()) return DecodeError::Cancelled;
        if (context.progress)
            context.progress->Progress(context.progressTotal, static_cast<std::int64_t>(played));
    }
    return {};
}

}  // namespace kalder::image::gdi
