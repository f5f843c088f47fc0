// Playback of 16-bit metafile records (the standard header and the records after it) onto our
// canvas. Parameters of most records come in reverse order (y before x, bottom before top).

#include <algorithm>
#include <set>
#include <vector>

#include "image/byte_reader.h"
#include "image/readers/metafile_gdi_p.h"
#include "image/sinks.h"

namespace kalder::image::gdi {
namespace {

enum WmfFunction : std::uint16_t {
    kEof = 0x0000,
    kSaveDc = 0x001E,
    kRealizePalette = 0x0035,
    kSetPalEntries = 0x0037,
    kCreatePalette = 0x00F7,
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSetRop2 = 0x0104,
    kSetPolyFillMode = 0x0106,
    kRestoreDc = 0x0127,
    kPaintRegion = 0x012B,
    kSelectClipRegion = 0x012C,
    kSelectObject = 0x012D,
    kSetTextAlign = 0x012E,
    kDibCreatePatternBrush = 0x0142,
    kDeleteObject = 0x01F0,
    kCreatePatternBrush = 0x01F9,
    kSetBkColor = 0x0201,
    kSetTextColor = 0x0209,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kSetViewportOrg = 0x020D,
    kSetViewportExt = 0x020E,
    kOffsetWindowOrg = 0x020F,
    kOffsetViewportOrg = 0x0211,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kFillRegion = 0x0228,
    kSelectPalette = 0x0234,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kPolygon = 0x0324,
    kPolyline = 0x0325,
    kScaleWindowExt = 0x0410,
    kScaleViewportExt = 0x0412,
    kExcludeClipRect = 0x0415,
    kIntersectClipRect = 0x0416,
    kEllipse = 0x0418,
    kRectangle = 0x041B,
    kSetPixel = 0x041F,
    kTextOut = 0x0521,
    kPolyPolygon = 0x0538,
    kRoundRect = 0x061C,
    kPatBlt = 0x061D,
    kCreateRegion = 0x06FF,
    kArc = 0x0817,
    kPie = 0x081A,
    kChord = 0x0830,
    kBitBlt = 0x0922,
    kDibBitBlt = 0x0940,
    kExtTextOut = 0x0A32,
    kStretchBlt = 0x0B23,
    kDibStretchBlt = 0x0B41,
    kSetDibToDev = 0x0D33,
    kStretchDib = 0x0F43,
};

constexpr std::uint64_t kMaxWmfObjects = 65535;

class WmfPlayer {
public:
    WmfPlayer(MetafileCanvas& canvas, std::uint32_t objectCount)
        : m_canvas(canvas), m_objectLimit(std::min<std::uint64_t>(objectCount, kMaxWmfObjects)) {}

    void play(std::uint16_t function, std::uint32_t recordWords, ByteReader& r);

private:
    PointD point(ByteReader& r) {  // y, then x
        const double y = r.s16le();
        return {static_cast<double>(r.s16le()), y};
    }
    RectD rectReversed(ByteReader& r) {  // bottom, right, top, left
        RectD rc;
        rc.bottom = r.s16le();
        rc.right = r.s16le();
        rc.top = r.s16le();
        rc.left = r.s16le();
        return rc;
    }
    std::vector<PointD> points(ByteReader& r, std::size_t count) {
        count = std::min(count, r.remaining() / 4);
        std::vector<PointD> pts(count);
        for (auto& p : pts) {
            p.x = r.s16le();
            p.y = r.s16le();
        }
        return pts;
    }
    void addObject(GdiObject object);
    GdiObject* object(std::uint32_t index) {
        if (index >= m_objects.size() || m_objects[index].kind == GdiObject::Kind::Empty)
            return nullptr;
        return &m_objects[index];
    }
    void selectObject(std::uint32_t index);
    void clipToRegion(const GdiObject* region);
    void text(ByteReader& r, bool extended);
    void bitmap(std::uint16_t function, std::uint32_t recordWords, ByteReader& r);
    static GdiObject readRegion(ByteReader& r);

    MetafileCanvas& m_canvas;
    std::uint64_t m_objectLimit;
    std::vector<GdiObject> m_objects;
    // The selected logical palette (empty: the default one), for palette-index colours.
    std::vector<ColorRef> m_palette;
    ColorRef colourOf(std::uint32_t value) const { return resolveColour(value, m_palette); }
    std::set<std::uint32_t> m_free;
};

void WmfPlayer::addObject(GdiObject object) {
    // A new object takes the lowest free slot, as the table of the playing device does.
    if (!m_free.empty()) {
        const std::uint32_t slot = *m_free.begin();
        m_free.erase(m_free.begin());
        m_objects[slot] = std::move(object);
    } else if (m_objects.size() < m_objectLimit) {
        m_objects.push_back(std::move(object));
    }
}

void WmfPlayer::selectObject(std::uint32_t index) {
    GdiObject* o = object(index);
    if (!o) return;
    DcState& dc = m_canvas.dc();
    switch (o->kind) {
        case GdiObject::Kind::Pen:
            dc.pen = o->pen;
            break;
        case GdiObject::Kind::Brush:
            dc.brush = o->brush;
            break;
        case GdiObject::Kind::Font:
            dc.font = o->font;
            break;
        case GdiObject::Kind::Region:
            clipToRegion(o);
            break;
        default:
            break;
    }
}

void WmfPlayer::clipToRegion(const GdiObject* region) {
    std::vector<RectD> device;
    if (region) {
        const Affine& t = m_canvas.logicalToPicture();
        for (const RectD& r : region->region) {
            const PointD a = t.map({r.left, r.top}), b = t.map({r.right, r.bottom});
            device.push_back({a.x, a.y, b.x, b.y});
        }
        if (device.empty()) device.push_back({0, 0, 0, 0});  // an empty region hides everything
    }
    m_canvas.selectClipRects(device, kRgnCopy);
}

GdiObject WmfPlayer::readRegion(ByteReader& r) {
    GdiObject o;
    o.kind = GdiObject::Kind::Region;
    r.skip(10);  // chain, type, object count, region size
    const std::uint32_t scans = r.u16le();
    r.skip(2 + 8);  // largest scan, bounds
    for (std::uint32_t s = 0; s < scans && r.ok(); ++s) {
        const std::uint32_t count = r.u16le();
        const double top = r.s16le(), bottom = r.s16le();
        for (std::uint32_t i = 0; i < count / 2 && r.ok(); ++i) {
            const double left = r.s16le(), right = r.s16le();
            if (r.ok()) o.region.push_back({left, top, right, bottom});
        }
        r.skip(2);  // the count again
    }
    return o;
}

void WmfPlayer::text(ByteReader& r, bool extended) {
    PointD ref;
    std::uint32_t count = 0, options = 0;
    RectD rect;
    bool hasRect = false;
    std::span<const std::uint8_t> chars;
    if (extended) {
        ref = point(r);
        count = r.u16le();
        options = r.u16le();
        if (options & (kEtoOpaque | kEtoClipped)) {
            rect.left = r.s16le();
            rect.top = r.s16le();
            rect.right = r.s16le();
            rect.bottom = r.s16le();
            hasRect = true;
        }
        chars = r.bytes(std::min<std::size_t>(count, r.remaining()));
        if (count & 1) r.skip(1);
    } else {
        count = r.u16le();
        chars = r.bytes(std::min<std::size_t>(count, r.remaining()));
        if (count & 1) r.skip(1);
        ref = point(r);
    }
    if (!r.ok() && chars.empty()) return;
    TextRun run;
    run.text = fromCodePage1252(chars);
    if (extended && r.remaining() >= chars.size() * 2) {
        for (std::size_t i = 0; i < chars.size(); ++i) run.advances.push_back(r.s16le());
    }
    m_canvas.textOut(ref, run, options, hasRect ? &rect : nullptr);
}

void WmfPlayer::bitmap(std::uint16_t function, std::uint32_t recordWords, ByteReader& r) {
    // Without a bitmap (record size (function >> 8) + 3) these are plain pattern fills.
    const bool noBitmap = recordWords == static_cast<std::uint32_t>((function >> 8) + 3);
    const std::uint32_t rop = r.u32le();
    RectD src, dst;
    bool fromBottom = false;
    switch (function) {
        case kDibBitBlt:
        case kBitBlt: {
            src.top = r.s16le();
            src.left = r.s16le();
            if (noBitmap) r.skip(2);
            const double h = r.s16le(), w = r.s16le();
            dst.top = r.s16le();
            dst.left = r.s16le();
            dst.right = dst.left + w;
            dst.bottom = dst.top + h;
            src.right = src.left + w;
            src.bottom = src.top + h;
            break;
        }
        case kStretchDib:
            r.skip(2);  // colour usage
            fromBottom = true;
            [[fallthrough]];
        case kDibStretchBlt:
        case kStretchBlt: {
            const double sh = r.s16le(), sw = r.s16le();
            src.top = r.s16le();
            src.left = r.s16le();
            if (noBitmap && function != kStretchDib) r.skip(2);
            const double dh = r.s16le(), dw = r.s16le();
            dst.top = r.s16le();
            dst.left = r.s16le();
            src.right = src.left + sw;
            src.bottom = src.top + sh;
            dst.right = dst.left + dw;
            dst.bottom = dst.top + dh;
            break;
        }
        default:
            return;
    }
    if (!r.ok()) return;
    if (noBitmap && function != kStretchDib) {
        m_canvas.patternBlit(dst, rop);
        return;
    }
    // 16-bit device-dependent bitmaps (BitBlt, StretchBlt) are too old to be worth decoding.
    if (function == kBitBlt || function == kStretchBlt) return;
    const PixelImage image = decodeDib(r.bytes(r.remaining()), {});
    if (image.width <= 0) return;
    if (fromBottom && image.bottomUp) {
        const double h = src.bottom - src.top;
        src.top = image.height - (src.top + h);
        src.bottom = src.top + h;
    }
    m_canvas.drawImage(image, src, dst, rop);
}

void WmfPlayer::play(std::uint16_t function, std::uint32_t recordWords, ByteReader& r) {
    DcState& dc = m_canvas.dc();
    switch (function) {
        case kSaveDc:
            m_canvas.saveDc();
            break;
        case kRestoreDc:
            m_canvas.restoreDc(r.s16le());
            break;
        case kSetBkMode:
            dc.opaqueBackground = r.u16le() == 2;
            break;
        case kSetMapMode:
            m_canvas.setMapMode(r.u16le());
            break;
        case kSetRop2:
            dc.rop2 = r.u16le();
            break;
        case kSetPolyFillMode:
            dc.windingFill = r.u16le() == 2;
            break;
        case kSetTextAlign:
            dc.textAlign = r.u16le();
            break;
        case kSetBkColor:
            dc.backgroundColour = colourOf(r.u32le());
            break;
        case kSetTextColor:
            dc.textColour = colourOf(r.u32le());
            break;
        case kSetWindowOrg:
            m_canvas.setWindowOrg(point(r));
            break;
        case kSetWindowExt:
            m_canvas.setWindowExt(point(r));
            break;
        case kSetViewportOrg:
            m_canvas.setViewportOrg(point(r));
            break;
        case kSetViewportExt:
            m_canvas.setViewportExt(point(r));
            break;
        case kOffsetWindowOrg: {
            const PointD d = point(r);
            m_canvas.setWindowOrg({dc.windowOrg.x + d.x, dc.windowOrg.y + d.y});
            break;
        }
        case kOffsetViewportOrg: {
            const PointD d = point(r);
            m_canvas.setViewportOrg({dc.viewportOrg.x + d.x, dc.viewportOrg.y + d.y});
            break;
        }
        case kScaleWindowExt:
        case kScaleViewportExt: {
            const double yDen = r.s16le(), yNum = r.s16le(), xDen = r.s16le(), xNum = r.s16le();
            if (xDen == 0 || yDen == 0) break;
            const PointD ext = function == kScaleWindowExt ? dc.windowExt : dc.viewportExt;
            const PointD scaled{ext.x * xNum / xDen, ext.y * yNum / yDen};
            if (function == kScaleWindowExt)
                m_canvas.setWindowExt(scaled);
            else
                m_canvas.setViewportExt(scaled);
            break;
        }
        case kMoveTo:
            m_canvas.moveTo(point(r));
            break;
        case kLineTo:
            m_canvas.lineTo(point(r));
            break;
        case kPolygon:
        case kPolyline: {
            const auto pts = points(r, r.u16le());
            if (function == kPolygon)
                m_canvas.polygon(pts);
            else
                m_canvas.polyline(pts);
            break;
        }
        case kPolyPolygon: {
            const std::size_t polys = std::min<std::size_t>(r.u16le(), r.remaining() / 2);
            std::vector<std::uint32_t> counts(polys);
            std::size_t total = 0;
            for (auto& c : counts) {
                c = r.u16le();
                total += c;
            }
            const auto pts = points(r, total);
            m_canvas.polyPolygon(pts, counts);
            break;
        }
        case kRectangle:
            m_canvas.rectangle(rectReversed(r));
            break;
        case kEllipse:
            m_canvas.ellipse(rectReversed(r));
            break;
        case kRoundRect: {
            const double h = r.s16le(), w = r.s16le();
            m_canvas.roundRect(rectReversed(r), w, h);
            break;
        }
        case kArc:
        case kPie:
        case kChord: {
            const PointD end = point(r);
            const PointD start = point(r);
            const RectD box = rectReversed(r);
            m_canvas.arc(box, start, end,
                         function == kArc   ? ArcKind::Arc
                         : function == kPie ? ArcKind::Pie
                                            : ArcKind::Chord);
            break;
        }
        case kSetPixel: {
            const ColorRef c = colourOf(r.u32le());
            m_canvas.setPixel(point(r), c);
            break;
        }
        case kTextOut:
            text(r, false);
            break;
        case kExtTextOut:
            text(r, true);
            break;
        case kCreatePenIndirect: {
            GdiObject o;
            o.kind = GdiObject::Kind::Pen;
            o.pen.style = r.u16le();
            const std::int16_t width = r.s16le();
            r.skip(2);
            o.pen.colour = colourOf(r.u32le());
            o.pen.width = width < 0 ? -width : width;
            o.pen.cosmetic = width == 0;
            addObject(std::move(o));
            break;
        }
        case kCreateBrushIndirect: {
            GdiObject o;
            o.kind = GdiObject::Kind::Brush;
            o.brush.style = r.u16le();
            o.brush.colour = colourOf(r.u32le());
            o.brush.hatch = r.u16le();
            if (o.brush.style != kBsNull && o.brush.style != kBsHatched) o.brush.style = kBsSolid;
            addObject(std::move(o));
            break;
        }
        case kDibCreatePatternBrush: {
            GdiObject o;
            o.kind = GdiObject::Kind::Brush;
            r.skip(4);  // style, colour usage
            auto image = std::make_shared<PixelImage>(decodeDib(r.bytes(r.remaining()), {}));
            o.brush.style = image->width > 0 ? kBsDibPattern : kBsSolid;
            o.brush.colour = 0x808080;
            if (image->width > 0) o.brush.pattern = std::move(image);
            addObject(std::move(o));
            break;
        }
        case kCreatePatternBrush: {
            // A device-dependent pattern: mid grey keeps the area visible.
            GdiObject o;
            o.kind = GdiObject::Kind::Brush;
            o.brush.colour = 0x808080;
            addObject(std::move(o));
            break;
        }
        case kCreateFontIndirect: {
            GdiObject o;
            o.kind = GdiObject::Kind::Font;
            Font& f = o.font;
            f.height = r.s16le();
            r.skip(2);  // width
            f.escapement = r.s16le();
            r.skip(2);  // orientation
            f.weight = r.s16le();
            f.italic = r.u8() != 0;
            f.underline = r.u8() != 0;
            f.strikeOut = r.u8() != 0;
            f.charSet = r.u8();
            r.skip(3);
            f.pitchAndFamily = r.u8();
            for (std::size_t i = 0; i < 32 && r.remaining() > 0; ++i) {
                const std::uint8_t ch = r.u8();
                if (ch == 0) break;
                f.face += static_cast<char>(ch);
            }
            addObject(std::move(o));
            break;
        }
        case kCreatePalette: {
            GdiObject o;
            o.kind = GdiObject::Kind::Palette;
            r.skip(2);  // start
            const std::uint32_t count = r.u16le();
            if (r.ok()) o.palette = readPaletteEntries(r.data().subspan(r.position()), count);
            addObject(std::move(o));
            break;
        }
        case kSelectPalette: {
            const std::uint32_t index = r.u16le();
            if (r.ok() && index < m_objects.size() &&
                m_objects[index].kind == GdiObject::Kind::Palette)
                m_palette = m_objects[index].palette;
            break;
        }
        case kCreateRegion:
            addObject(readRegion(r));
            break;
        case kSelectObject:
            selectObject(r.u16le());
            break;
        case kDeleteObject: {
            const std::uint32_t index = r.u16le();
            if (index < m_objects.size() && m_objects[index].kind != GdiObject::Kind::Empty) {
                m_objects[index] = GdiObject{};
                m_free.insert(index);
            }
            break;
        }
        case kSelectClipRegion: {
            const std::uint32_t index = r.u16le();
            const GdiObject* o = object(index);
            clipToRegion(o && o->kind == GdiObject::Kind::Region ? o : nullptr);
            break;
        }
        case kExcludeClipRect:
            m_canvas.excludeClip(rectReversed(r));
            break;
        case kIntersectClipRect:
            m_canvas.intersectClip(rectReversed(r));
            break;
        case kFillRegion: {
            const GdiObject* region = object(r.u16le());
            const GdiObject* brush = object(r.u16le());
            if (region && brush && region->kind == GdiObject::Kind::Region &&
                brush->kind == GdiObject::Kind::Brush)
                m_canvas.fillRegion(region->region, brush->brush, false);
            break;
        }
        case kPaintRegion: {
            const GdiObject* region = object(r.u16le());
            if (region && region->kind == GdiObject::Kind::Region)
                m_canvas.fillRegion(region->region, dc.brush, false);
            break;
        }
        case kPatBlt: {
            const std::uint32_t rop = r.u32le();
            const double h = r.s16le(), w = r.s16le();
            const PointD at = point(r);
            m_canvas.patternBlit({at.x, at.y, at.x + w, at.y + h}, rop);
            break;
        }
        case kBitBlt:
        case kDibBitBlt:
        case kStretchBlt:
        case kDibStretchBlt:
        case kStretchDib:
            bitmap(function, recordWords, r);
            break;
        case kSetDibToDev: {
            r.skip(6);  // colour usage, scan count, start scan
            const double ySrc = r.s16le(), xSrc = r.s16le();
            const double h = r.s16le(), w = r.s16le();
            const PointD at = point(r);
            const PixelImage image = decodeDib(r.bytes(r.remaining()), {});
            if (image.width > 0) {
                const double top = image.bottomUp ? image.height - (ySrc + h) : ySrc;
                m_canvas.drawImage(image, {xSrc, top, xSrc + w, top + h},
                                   {at.x, at.y, at.x + w, at.y + h}, 0xCC0020);
            }
            break;
        }
        default:
            break;  // palettes, escapes, flood fills and the rest draw nothing we keep
    }
}

struct WmfHeader {
    std::uint32_t headerBytes = 0;
    std::uint32_t objects = 0;
};

bool readWmfHeader(std::span<const std::uint8_t> records, WmfHeader& h) {
    ByteReader r(records);
    const std::uint16_t type = r.u16le();
    const std::uint16_t words = r.u16le();
    r.skip(2 + 4);  // version, size
    h.objects = r.u16le();
    if (!r.ok() || (type != 1 && type != 2) || words < 9) return false;
    h.headerBytes = words * 2u;
    return h.headerBytes <= records.size();
}

}  // namespace

std::int64_t countWmfRecords(std::span<const std::uint8_t> records) {
    WmfHeader h;
    if (!readWmfHeader(records, h)) return 0;
    std::int64_t count = 0;
    std::uint64_t pos = h.headerBytes;
    ByteReader r(records);
    while (pos + 6 <= records.size()) {
        r.seek(pos);
        const std::uint64_t words = r.u32le();
        const std::uint16_t function = r.u16le();
        if (function == kEof || words < 3) break;
        ++count;
        pos += words * 2;
    }
    return count;
}

Status playWmf(std::span<const std::uint8_t> records, MetafileCanvas& canvas,
               const RectD& defaultWindow, PlaybackContext& context) {
    WmfHeader header;
    if (!readWmfHeader(records, header)) return DecodeError::Corrupt;
    canvas.setFixedViewport(true);
    canvas.setWindowOrg({defaultWindow.left, defaultWindow.top});
    canvas.setWindowExt(
        {defaultWindow.right - defaultWindow.left, defaultWindow.bottom - defaultWindow.top});

    WmfPlayer player(canvas, header.objects);
    std::uint64_t pos = header.headerBytes;
    std::uint64_t played = 0;
    while (pos + 6 <= records.size()) {
        ByteReader head(records.subspan(pos, 6));
        const std::uint64_t words = head.u32le();
        const std::uint16_t function = head.u16le();
        if (function == kEof) break;
        // A record that claims less than its own header, or more than the file holds, ends the
        // playback: what came before it stays drawn.
        if (words < 3 || words * 2 > records.size() - pos) break;
        if (++played > canvas.budget().maxRecords || canvas.exhausted()) break;
        ByteReader params(records.subspan(pos + 6, words * 2 - 6));
        player.play(function,
                    static_cast<std::uint32_t>(std::min<std::uint64_t>(words, 0xFFFFFFFF)), params);
        pos += words * 2;
        if (context.cancel && context.cancel->isCancelled()) return DecodeError::Cancelled;
        if (context.progress)
            context.progress->Progress(context.progressTotal, static_cast<std::int64_t>(played));
    }
    return {};
}

}  // namespace kalder::image::gdi
