#pragma once

// The drawing model our metafile player keeps: the device context state the records change
// (mapping, selected objects, colours, modes), the object table entries, and a canvas that turns
// GDI-style drawing calls into cairo drawing on a bitmap. Records of both metafile kinds are
// decoded in their own players (wmf_player.cpp, emf_player.cpp); this is what they share.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "image/load_options.h"
#include "image/result.h"

namespace kalder::image {

class CancelSink;
class ProgressSink;

namespace gdi {

struct PointD {
    double x = 0;
    double y = 0;
};

// A rectangle by its edges, in whatever space the caller says.
struct RectD {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

// x' = a x + c y + e, y' = b x + d y + f (the layout of a GDI world transform).
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    PointD map(PointD p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
    PointD mapVector(PointD p) const { return {a * p.x + c * p.y, b * p.x + d * p.y}; }
    // This transform followed by next.
    Affine then(const Affine& next) const;
    double determinant() const { return a * d - b * c; }
    bool finite() const;
};

// Mapping modes.
enum MapMode : std::int32_t {
    kMmText = 1,
    kMmLoMetric = 2,
    kMmHiMetric = 3,
    kMmLoEnglish = 4,
    kMmHiEnglish = 5,
    kMmTwips = 6,
    kMmIsotropic = 7,
    kMmAnisotropic = 8,
};

// Pen styles (the low bits) and the geometric-pen bits that matter to us.
enum PenStyle : std::uint32_t {
    kPsSolid = 0,
    kPsDash = 1,
    kPsDot = 2,
    kPsDashDot = 3,
    kPsDashDotDot = 4,
    kPsNull = 5,
    kPsInsideFrame = 6,
    kPsUserStyle = 7,
    kPsAlternate = 8,
    kPsStyleMask = 0xF,
    kPsEndCapMask = 0xF00,
    kPsEndCapSquare = 0x100,
    kPsEndCapFlat = 0x200,
    kPsJoinMask = 0xF000,
    kPsJoinBevel = 0x1000,
    kPsJoinMiter = 0x2000,
    kPsGeometric = 0x10000,
};

enum BrushStyle : std::uint32_t {
    kBsSolid = 0,
    kBsNull = 1,
    kBsHatched = 2,
    kBsPattern = 3,
    kBsDibPattern = 5,
    kBsDibPatternPt = 6,
};

// Text alignment flags.
enum TextAlign : std::uint32_t {
    kTaUpdateCp = 1,
    kTaRight = 2,
    kTaCenter = 6,
    kTaHorizontalMask = 6,
    kTaBottom = 8,
    kTaBaseline = 24,
    kTaVerticalMask = 24,
};

// ExtTextOut options.
enum TextOptions : std::uint32_t { kEtoOpaque = 2, kEtoClipped = 4 };

// Binary raster operations we imitate.
enum Rop2 : std::int32_t {
    kR2Black = 1,
    kR2NotCopyPen = 4,
    kR2Not = 6,
    kR2XorPen = 7,
    kR2MaskPen = 9,
    kR2Nop = 11,
    kR2CopyPen = 13,
    kR2MergePen = 15,
    kR2White = 16,
};

// Clip combination modes of region selection.
enum RegionMode : std::int32_t { kRgnAnd = 1, kRgnOr = 2, kRgnXor = 3, kRgnDiff = 4, kRgnCopy = 5 };

// A decoded device-independent bitmap as top-down red, green, blue bytes.
struct PixelImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool bottomUp =
        true;  // how the file stored it: source rectangles of some records count from the bottom
    std::vector<std::uint8_t> rgb;
};

struct Pen {
    std::uint32_t style = kPsSolid;
    double width = 0;      // logical units; 0 means one device pixel
    bool cosmetic = true;  // always one device pixel wide, whatever the mapping
    ColorRef colour = 0;
};

struct Brush {
    std::uint32_t style = kBsSolid;
    ColorRef colour = 0xFFFFFF;
    std::uint32_t hatch = 0;
    std::shared_ptr<const PixelImage> pattern;  // pattern brushes
};

struct Font {
    double height = 0;      // logical; negative: character height, positive: cell height
    double escapement = 0;  // tenths of a degree, counter-clockwise
    std::int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::uint8_t charSet = 0;
    std::uint8_t pitchAndFamily = 0;
    std::string face;
};

// One entry of a metafile's object table.
struct GdiObject {
    enum class Kind : std::uint8_t { Empty, Pen, Brush, Font, Palette, Region, Other };
    Kind kind = Kind::Empty;
    Pen pen;
    Brush brush;
    Font font;
    std::vector<RectD> region;      // rectangles in logical units (WMF) or device units (EMF)
    std::vector<ColorRef> palette;  // a logical palette's entries
};

// A colour as records give it: an RGB value, an RGB value meant for the palette (high byte 2),
// or an index into the selected logical palette (high byte 1; the 20 colours of the default
// palette when none is selected). An index past the palette gives black.
ColorRef resolveColour(std::uint32_t value, const std::vector<ColorRef>& palette);
// A logical palette's entries (red, green, blue, flags per entry) as colours.
std::vector<ColorRef> readPaletteEntries(std::span<const std::uint8_t> entries,
                                         std::uint32_t count);

// What SaveDC keeps and RestoreDC brings back.
struct DcState {
    std::int32_t mapMode = kMmText;
    PointD windowOrg{0, 0};
    PointD windowExt{1, 1};
    PointD viewportOrg{0, 0};
    PointD viewportExt{1, 1};
    Affine world;
    Pen pen;
    Brush brush;
    Font font;
    ColorRef textColour = 0;
    ColorRef backgroundColour = 0xFFFFFF;
    bool opaqueBackground = true;
    bool windingFill = false;
    std::int32_t rop2 = kR2CopyPen;
    std::uint32_t textAlign = 0;
    bool clockwiseArcs = false;
    PointD current{0, 0};  // logical units
    double miterLimit = 10;
    PointD brushOrigin{0, 0};
};

enum class ArcKind : std::uint8_t { Arc, ArcTo, Chord, Pie };

// How much a playback may draw before the rest is skipped, so that a file of endless
// full-picture fills cannot hold the loader for minutes.
struct PlaybackBudget {
    std::uint64_t maxRecords = 4'000'000;
    double maxWork = 0;  // pixels touched plus path points; set from the picture size
};

// A text run ready to draw: code points, and the advance of each in logical units (empty when
// the font's own advances are to be used).
struct TextRun {
    std::u32string text;
    std::vector<double> advances;
};

class MetafileCanvas {
public:
    static constexpr int kMaxSavedStates = 256;
    // One step of a path in picture coordinates; defined with the canvas's private state.
    struct Segment;

    MetafileCanvas();
    ~MetafileCanvas();
    MetafileCanvas(const MetafileCanvas&) = delete;
    MetafileCanvas& operator=(const MetafileCanvas&) = delete;

    // A white picture of width x height; false when the surface cannot be made.
    bool create(std::int32_t width, std::int32_t height);
    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    // Row y of the picture as red, green, blue bytes.
    void copyRow(std::int32_t y, std::uint8_t* rgb) const;

    // The mapping from the device space of the records to picture pixels.
    void setDeviceToPicture(const Affine& transform);
    // Metafiles of the 16-bit kind are played into a fixed viewport (the whole picture): their
    // own viewport records are ignored and only the window decides the scale.
    void setFixedViewport(bool fixed) {
        m_fixedViewport = fixed;
        updateTransform();
    }
    // Device pixels per millimetre of the reference device, for the metric mapping modes.
    void setDeviceResolution(double pixelsPerMmX, double pixelsPerMmY);

    DcState& dc() { return m_dc; }
    const DcState& dc() const { return m_dc; }
    // Recomputes the logical-to-picture transform after any mapping or world transform change.
    void updateTransform();
    void setMapMode(std::int32_t mode);
    void setWindowOrg(PointD p);
    void setWindowExt(PointD ext);
    void setViewportOrg(PointD p);
    void setViewportExt(PointD ext);
    // Logical units to picture pixels, clamped to a range cairo handles.
    PointD toPicture(PointD logical) const;
    const Affine& logicalToPicture() const { return m_toPicture; }
    // How far a playback may still go.
    bool exhausted() const { return m_work > m_budget.maxWork; }
    void setBudget(const PlaybackBudget& budget) { m_budget = budget; }
    const PlaybackBudget& budget() const { return m_budget; }

    void saveDc();
    void restoreDc(std::int32_t which);

    // Drawing in logical units with the selected pen and brush.
    void moveTo(PointD p) { m_dc.current = p; }
    void lineTo(PointD p);
    void polyline(std::span<const PointD> points);
    void polylineTo(std::span<const PointD> points);
    void polygon(std::span<const PointD> points);
    void polyPolygon(std::span<const PointD> points, std::span<const std::uint32_t> counts);
    void polyPolyline(std::span<const PointD> points, std::span<const std::uint32_t> counts);
    void polyBezier(std::span<const PointD> points);
    void polyBezierTo(std::span<const PointD> points);
    void rectangle(const RectD& r);
    void roundRect(const RectD& r, double cornerWidth, double cornerHeight);
    void ellipse(const RectD& r);
    void arc(const RectD& box, PointD start, PointD end, ArcKind kind);
    void setPixel(PointD p, ColorRef colour);
    // Fills with the brush (or black, white) according to a ternary raster operation.
    void patternBlit(const RectD& r, std::uint32_t rop);
    void fillRegion(const std::vector<RectD>& rects, const Brush& brush, bool deviceUnits);
    // Gradient fills between vertices in logical units, each with its own colour: a rectangle
    // shading along x (or y when vertical) from a to b, or a triangle shading between corners.
    struct GradientVertex {
        PointD at;
        ColorRef colour = 0;
    };
    void gradientRect(const GradientVertex& a, const GradientVertex& b, bool vertical);
    void gradientTriangle(const GradientVertex& a, const GradientVertex& b,
                          const GradientVertex& c);
    // Draws src (pixels of image) into the logical rectangle dst.
    void drawImage(const PixelImage& image, const RectD& src, const RectD& dst, std::uint32_t rop);
    // Text at a logical reference point; opaque and clip rectangles in logical units.
    void textOut(PointD reference, const TextRun& run, std::uint32_t options, const RectD* rect);

    // Clipping. Rectangles in logical units unless stated.
    void intersectClip(const RectD& r);
    void excludeClip(const RectD& r);
    // Replaces or combines the clip with device-unit rectangles (empty list with copy: no clip).
    void selectClipRects(const std::vector<RectD>& deviceRects, std::int32_t mode);

    // Paths.
    void beginPath();
    void endPath() { m_recording = false; }
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void selectClipPath(std::int32_t mode);

private:
    struct Impl;

    void emit(std::vector<Segment>&& segments, bool fill, bool stroke);
    void appendPolyline(std::vector<Segment>& out, std::span<const PointD> points, bool close);
    void appendBeziers(std::vector<Segment>& out, PointD start, std::span<const PointD> points);
    void appendEllipseArc(std::vector<Segment>& out, const RectD& box, double a0, double sweep,
                          bool moveFirst);
    void chargeWork(const std::vector<Segment>& segments, bool stroke);

    std::unique_ptr<Impl> m_impl;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    DcState m_dc;
    std::vector<DcState> m_saved;
    Affine m_deviceToPicture;
    Affine m_toPicture;
    bool m_fixedViewport = false;
    double m_pxPerMmX = 96 / 25.4;
    double m_pxPerMmY = 96 / 25.4;
    bool m_recording = false;
    PlaybackBudget m_budget;
    double m_work = 0;
};

// What a player needs besides the canvas: the record count for progress and the sinks.
struct PlaybackContext {
    const CancelSink* cancel = nullptr;
    ProgressSink* progress = nullptr;
    std::int64_t progressTotal = 0;         // record count plus picture height
    std::vector<std::string> descriptions;  // EMF header texts, filled by the player
};

// Plays a 16-bit metafile (standard header first; a placeable header already removed). The
// window defaults to `defaultWindow` until the records set their own.
Status playWmf(std::span<const std::uint8_t> records, MetafileCanvas& canvas,
               const RectD& defaultWindow, PlaybackContext& context);
// The records in a 16-bit metafile, for progress (bounded by what the file can hold).
std::int64_t countWmfRecords(std::span<const std::uint8_t> records);

// Plays an enhanced metafile; the canvas' device-to-picture mapping is set by the caller.
Status playEmf(std::span<const std::uint8_t> file, MetafileCanvas& canvas,
               PlaybackContext& context);

// Decodes a device-independent bitmap with the shared decoder: the information header with its
// colour table, and the pixels (empty when they follow the colour table in `header`, as in a
// packed bitmap). Returns an empty image when the bitmap is unreadable or above the size limit.
PixelImage decodeDib(std::span<const std::uint8_t> header, std::span<const std::uint8_t> bits);

// Single-byte text in the Western code page (1252) as code points.
std::u32string fromCodePage1252(std::span<const std::uint8_t> bytes);

}  // namespace gdi
}  // namespace kalder::image
