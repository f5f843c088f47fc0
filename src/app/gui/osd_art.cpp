#include "app/gui/osd_art.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>
#include <algorithm>

namespace kalder::gui {

namespace {

const QColor kInk(255, 255, 255);
const QColor kOutline(0, 0, 0, 170);

void fillOutlined(QPainter& p, const QPainterPath& path, qreal outline) {
    p.setPen(QPen(kOutline, outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kInk);
    p.drawPath(path);
}

// A triangle pointing up inside a unit square centred on the origin; turned for the others.
QPainterPath arrowPath() {
    QPainterPath path;
    path.addPolygon(QPolygonF({{0.0, -0.40}, {0.40, 0.30}, {-0.40, 0.30}, {0.0, -0.40}}));
    return path;
}

// Two triangles pointing apart across a bar: the horizontal flip; turned for the vertical one.
QPainterPath flipPath() {
    QPainterPath path;
    path.addPolygon(QPolygonF({{-0.12, -0.32}, {-0.12, 0.32}, {-0.46, 0.0}, {-0.12, -0.32}}));
    path.addPolygon(QPolygonF({{0.12, -0.32}, {0.12, 0.32}, {0.46, 0.0}, {0.12, -0.32}}));
    path.addRect(QRectF(-0.07, -0.45, 0.14, 0.9));
    return path;
}

// Three quarters of a ring with an arrow head at its end, turning clockwise.
QPainterPath rotatePath() {
    QPainterPath ring;
    const QRectF outer(-0.36, -0.36, 0.72, 0.72), inner(-0.22, -0.22, 0.44, 0.44);
    ring.arcMoveTo(outer, 90);
    ring.arcTo(outer, 90, -270);
    ring.arcTo(inner, 180, 270);
    ring.closeSubpath();
    QPainterPath head;
    head.addPolygon(QPolygonF({{0.0, -0.48}, {0.0, -0.10}, {0.20, -0.29}, {0.0, -0.48}}));
    return ring.united(head);
}

}  // namespace

void drawOsdGlyph(QPainter& painter, const QRect& box, OsdGlyph glyph) {
    if (box.isEmpty()) return;
    QPainterPath unit;
    qreal turn = 0;
    bool mirror = false;
    switch (glyph) {
        case OsdGlyph::Up:
            unit = arrowPath();
            break;
        case OsdGlyph::Right:
            unit = arrowPath();
            turn = 90;
            break;
        case OsdGlyph::Down:
            unit = arrowPath();
            turn = 180;
            break;
        case OsdGlyph::Left:
            unit = arrowPath();
            turn = 270;
            break;
        case OsdGlyph::FlipHorizontal:
            unit = flipPath();
            break;
        case OsdGlyph::FlipVertical:
            unit = flipPath();
            turn = 90;
            break;
        case OsdGlyph::RotateClockwise:
            unit = rotatePath();
            break;
        case OsdGlyph::RotateCounterclockwise:
            unit = rotatePath();
            mirror = true;
            break;
    }
    const qreal side = std::min(box.width(), box.height());
    QTransform t;
    t.translate(box.left() + box.width() / 2.0, box.top() + box.height() / 2.0);
    t.rotate(turn);
    t.scale(mirror ? -side : side, side);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRect(box);
    fillOutlined(painter, t.map(unit), std::max<qreal>(1.0, side / 18.0));
    painter.restore();
}

QSize gammaScaleSize(int iconSide, int positions) {
    return {positions + 4, std::max(8, iconSide / 2)};
}

void drawGammaScale(QPainter& painter, const QRect& box, int position, int neutral, int last) {
    if (box.isEmpty() || last <= 0) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(box, QColor(0, 0, 0, 140));
    const int trackY = box.top() + box.height() / 2;
    const int x0 = box.left() + 2;
    painter.fillRect(QRect(x0, trackY, last + 1, 1), QColor(170, 170, 170));
    painter.fillRect(QRect(x0 + neutral, box.top() + 2, 1, box.height() - 4),
                     QColor(170, 170, 170));
    const int mx = x0 + std::clamp(position, 0, last);
    painter.fillRect(QRect(mx - 1, box.top() + 1, 3, box.height() - 2), kInk);
    painter.restore();
}

}  // namespace kalder::gui
