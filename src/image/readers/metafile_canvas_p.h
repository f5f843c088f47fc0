// What the metafile canvas's source files share: cairo handles, coordinate clamping and the
// canvas's private state.
#pragma once

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "image/readers/metafile_gdi_p.h"

namespace kalder::image::gdi {

// Picture coordinates are clamped to this before cairo sees them: its fixed-point paths hold
// about +-8 million, and nothing further out can show anyway.
inline constexpr double kCoordLimit = 1.0e6;
inline double clampCoord(double v) {
    if (!std::isfinite(v)) return 0;
    return std::clamp(v, -kCoordLimit, kCoordLimit);
}

inline double channel(ColorRef c, int shift) { return ((c >> shift) & 0xFF) / 255.0; }

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct PatternDeleter {
    void operator()(cairo_pattern_t* p) const { cairo_pattern_destroy(p); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, PatternDeleter>;

inline double length(PointD v) { return std::hypot(v.x, v.y); }

// An opaque cairo surface holding the image, or null.
SurfacePtr makeSurface(const PixelImage& image);

struct MetafileCanvas::Segment {
    enum class Op : std::uint8_t { Move, Line, Curve, Close };
    Op op;
    PointD p[3];
};

struct MetafileCanvas::Impl {
    SurfacePtr surface;
    std::unique_ptr<cairo_t, ContextDeleter> cr;
    std::vector<Segment> path;
};

// Adds the segments to cairo's current path.
inline void traceSegments(cairo_t* cr, const std::vector<MetafileCanvas::Segment>& segments) {
    using Op = MetafileCanvas::Segment::Op;
    for (const MetafileCanvas::Segment& s : segments) {
        switch (s.op) {
            case Op::Move:
                cairo_move_to(cr, s.p[0].x, s.p[0].y);
                break;
            case Op::Line:
                cairo_line_to(cr, s.p[0].x, s.p[0].y);
                break;
            case Op::Curve:
                cairo_curve_to(cr, s.p[0].x, s.p[0].y, s.p[1].x, s.p[1].y, s.p[2].x, s.p[2].y);
                break;
            case Op::Close:
                cairo_close_path(cr);
                break;
        }
    }
}

}  // namespace kalder::image::gdi
