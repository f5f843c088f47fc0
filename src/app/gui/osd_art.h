#pragma once

#include <QRect>
#include <QSize>

class QPainter;

namespace kalder::gui {

// The OSD glyphs, in the order of the icon lists.
enum class OsdGlyph {
    Left = 0,
    Right = 1,
    Up = 2,
    Down = 3,
    FlipHorizontal = 4,
    FlipVertical = 5,
    RotateClockwise = 6,
    RotateCounterclockwise = 7,
};

// Draws a glyph filling `box` (18, 28 or 38 pixels square): white with a dark outline so it
// reads on any picture. Arrows always cover the box's centre pixel.
void drawOsdGlyph(QPainter& painter, const QRect& box, OsdGlyph glyph);

// The gamma scale for an icon size: one column per scale position plus a frame.
QSize gammaScaleSize(int iconSide, int positions);
// A track with a tick at the neutral position and a marker at `position` (0 = darkest, left).
void drawGammaScale(QPainter& painter, const QRect& box, int position, int neutral, int last);

}  // namespace kalder::gui
