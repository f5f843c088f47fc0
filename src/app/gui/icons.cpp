#include "app/gui/icons.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProxyStyle>
#include <QStandardPaths>
#include <cmath>
#include <map>

#include "app/core/toolbar_table.h"

namespace kalder::gui {
namespace {

// One palette for the whole set, so the toolbar reads as one family.
const QColor kInk(55, 60, 70);
const QColor kPaper(250, 250, 248);
const QColor kBlue(45, 111, 183);
const QColor kLightBlue(150, 195, 235);
const QColor kFolder(232, 184, 74);
const QColor kRed(200, 66, 59);
const QColor kGreen(63, 155, 74);
const QColor kGray(150, 150, 150);

// Every glyph is drawn on a 24 x 24 grid; the painter scales it to the pixmap.
void page(QPainter& p, QRectF r = QRectF(5, 2.5, 14, 19)) {
    QPainterPath path;
    const qreal fold = 4;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawPath(path);
}

void picture(QPainter& p, QRectF r = QRectF(3, 5, 18, 14)) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kLightBlue);
    p.drawRect(r);
    QPainterPath hill;
    hill.moveTo(r.left() + 1, r.bottom() - 1);
    hill.lineTo(r.left() + r.width() * 0.4, r.top() + r.height() * 0.45);
    hill.lineTo(r.left() + r.width() * 0.65, r.bottom() - r.height() * 0.3);
    hill.lineTo(r.left() + r.width() * 0.78, r.top() + r.height() * 0.6);
    hill.lineTo(r.right() - 1, r.bottom() - 1);
    hill.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawPath(hill);
    p.setBrush(kFolder);
    p.drawEllipse(QPointF(r.right() - r.width() * 0.22, r.top() + r.height() * 0.3),
                  r.width() * 0.09, r.width() * 0.09);
}

void folder(QPainter& p) {
    QPainterPath path;
    path.moveTo(2, 6);
    path.lineTo(9, 6);
    path.lineTo(11, 8);
    path.lineTo(21, 8);
    path.lineTo(21, 19);
    path.lineTo(2, 19);
    path.closeSubpath();
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kFolder);
    p.drawPath(path);
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c, qreal width = 2.4) {
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF a = line;
    a.setLength(5);
    a.setAngle(line.angle() + 35);
    QLineF b = line;
    b.setLength(5);
    b.setAngle(line.angle() - 35);
    p.drawLine(a);
    p.drawLine(b);
}

void triangle(QPainter& p, bool right, qreal x, const QColor& c, qreal y = 12, qreal h = 12) {
    QPolygonF t;
    if (right)
        t << QPointF(x, y - h / 2) << QPointF(x + h * 0.75, y) << QPointF(x, y + h / 2);
    else
        t << QPointF(x, y - h / 2) << QPointF(x - h * 0.75, y) << QPointF(x, y + h / 2);
    p.setPen(QPen(c.darker(130), 1));
    p.setBrush(c);
    p.drawPolygon(t);
}

void bar(QPainter& p, qreal x, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(x, 6, 2.5, 12));
}

void badge(QPainter& p, const QColor& c, const QString& sign) {
    p.setPen(QPen(c.darker(140), 1));
    p.setBrush(c);
    p.drawEllipse(QRectF(13, 13, 10, 10));
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    if (sign == QLatin1String("+")) {
        p.drawLine(QPointF(15.5, 18), QPointF(20.5, 18));
        p.drawLine(QPointF(18, 15.5), QPointF(18, 20.5));
    } else if (sign == QLatin1String("-")) {
        p.drawLine(QPointF(15.5, 18), QPointF(20.5, 18));
    } else if (sign == QLatin1String("x")) {
        p.drawLine(QPointF(15.8, 15.8), QPointF(20.2, 20.2));
        p.drawLine(QPointF(20.2, 15.8), QPointF(15.8, 20.2));
    } else {
        QFont f = p.font();
        f.setPixelSize(8);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(13, 13, 10, 10), Qt::AlignCenter, sign);
    }
}

void magnifier(QPainter& p, const QString& sign) {
    p.setPen(QPen(kInk, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
    p.setPen(QPen(kInk, 1.6));
    p.setBrush(QColor(230, 242, 252));
    p.drawEllipse(QRectF(2.5, 2.5, 13, 13));
    p.setPen(QPen(kBlue, 2, Qt::SolidLine, Qt::RoundCap));
    if (sign == QLatin1String("+") || sign == QLatin1String("-"))
        p.drawLine(QPointF(6, 9), QPointF(12, 9));
    if (sign == QLatin1String("+")) p.drawLine(QPointF(9, 6), QPointF(9, 12));
    if (sign == QLatin1String("1")) {
        QFont f = p.font();
        f.setPixelSize(8);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(2.5, 2.5, 13, 13), Qt::AlignCenter, QStringLiteral("1:1"));
    }
}

void frameBox(QPainter& p, QRectF outer, QRectF inner) {
    p.setPen(QPen(kInk, 1.2, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(outer);
    picture(p, inner);
}

void curvedArrow(QPainter& p, bool clockwise) {
    p.setPen(QPen(kBlue, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF r(4, 5, 16, 16);
    if (clockwise) {
        p.drawArc(r, 160 * 16, -230 * 16);
        triangle(p, true, 15, kBlue, 5.5, 7);
    } else {
        p.drawArc(r, 20 * 16, 230 * 16);
        triangle(p, false, 9, kBlue, 5.5, 7);
    }
}

void gear(QPainter& p) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kGray.lighter(130));
    QPainterPath path;
    for (int i = 0; i < 8; ++i) {
        QTransform t;
        t.translate(12, 12);
        t.rotate(i * 45);
        path.addPolygon(t.map(QPolygonF(QRectF(-2, -10, 4, 5))));
    }
    path.addEllipse(QPointF(12, 12), 7, 7);
    p.drawPath(path.simplified());
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(12, 12), 2.8, 2.8);
}

void star(QPainter& p, const QColor& c) {
    QPolygonF s;
    for (int i = 0; i < 10; ++i) {
        const qreal r = (i % 2) ? 4.2 : 9.5;
        const qreal a = (i * 36 - 90) * 3.14159265 / 180.0;
        s << QPointF(11 + r * std::cos(a), 11 + r * std::sin(a));
    }
    p.setPen(QPen(c.darker(150), 1));
    p.setBrush(c);
    p.drawPolygon(s);
}

void letter(QPainter& p, const QString& text, const QColor& c) {
    p.setPen(QPen(c.darker(140), 1));
    p.setBrush(c);
    p.drawRoundedRect(QRectF(2.5, 2.5, 19, 19), 4, 4);
    QFont f = p.font();
    f.setPixelSize(text.size() > 1 ? 9 : 14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(2.5, 2.5, 19, 19), Qt::AlignCenter, text);
}

void gamma(QPainter& p, const QString& sign) {
    p.setPen(QPen(kFolder.darker(130), 1.6, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 8; ++i) {
        QLineF ray(QPointF(10, 10), QPointF(10, 1.5));
        ray.setAngle(i * 45);
        p.drawLine(QLineF(ray.pointAt(0.7), ray.p2()));
    }
    p.setBrush(kFolder);
    p.drawEllipse(QPointF(10, 10), 4.5, 4.5);
    badge(p, sign == QLatin1String("=") ? kGray : kBlue, sign);
}

void thumbnails(QPainter& p, int perRow) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kLightBlue);
    const qreal cell = 19.0 / perRow;
    for (int y = 0; y < perRow; ++y)
        for (int x = 0; x < perRow; ++x)
            p.drawRect(QRectF(2.5 + x * cell + 0.8, 2.5 + y * cell + 0.8, cell - 1.6, cell - 1.6));
}

void listLines(QPainter& p) {
    for (int i = 0; i < 4; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(3, 4.5 + i * 4.5, 3, 3));
        p.setBrush(kInk);
        p.drawRect(QRectF(8, 5.2 + i * 4.5, 13, 1.6));
    }
}

void drawGlyph(QPainter& p, std::int32_t image) {
    switch (image) {
        case 1:  // copy to clipboard
            page(p, QRectF(3, 2, 11, 14));
            page(p, QRectF(9, 7, 11, 14));
            break;
        case 2:  // rename file
            page(p);
            p.setPen(QPen(kBlue, 1.6));
            p.drawLine(QPointF(8, 14), QPointF(16, 14));
            p.drawLine(QPointF(12, 10), QPointF(12, 18));
            break;
        case 3:  // copy / move to folder
            folder(p);
            arrow(p, QPointF(5, 13), QPointF(16, 13), kBlue);
            break;
        case 4:  // describe
            page(p);
            p.setPen(QPen(kInk, 1.2));
            for (int i = 0; i < 4; ++i) p.drawLine(QPointF(8, 8 + i * 3), QPointF(16, 8 + i * 3));
            break;
        case 5:
            page(p);
            badge(p, kRed, QStringLiteral("x"));
            break;
        case 6:
            folder(p);
            badge(p, kGreen, QStringLiteral("+"));
            break;
        case 7:
            folder(p);
            p.setPen(QPen(kBlue, 1.6));
            p.drawLine(QPointF(7, 14), QPointF(16, 14));
            break;
        case 8:
            folder(p);
            badge(p, kRed, QStringLiteral("x"));
            break;
        case 9:
            thumbnails(p, 2);
            break;
        case 10:
            thumbnails(p, 3);
            break;
        case 11:
            listLines(p);
            break;
        case 12:  // refresh
            p.setPen(QPen(kGreen, 2.4, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(4, 4, 16, 16), 100 * 16, 290 * 16);
            triangle(p, true, 11, kGreen, 4, 7);
            break;
        case 13:  // print
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(kPaper);
            p.drawRect(QRectF(7, 3, 10, 7));
            p.setBrush(kGray.lighter(120));
            p.drawRoundedRect(QRectF(3, 9, 18, 9), 2, 2);
            p.setBrush(kPaper);
            p.drawRect(QRectF(7, 15, 10, 6));
            break;
        case 14:
            triangle(p, false, 16, kBlue);
            break;
        case 15:
            triangle(p, true, 8, kBlue);
            break;
        case 16:
            bar(p, 5, kBlue);
            triangle(p, false, 17, kBlue);
            break;
        case 17:
            triangle(p, true, 7, kBlue);
            bar(p, 16.5, kBlue);
            break;
        case 18:  // slide show
            picture(p, QRectF(2, 3, 20, 15));
            triangle(p, true, 10, kRed, 17, 8);
            break;
        case 19:
            bar(p, 4, kGreen);
            triangle(p, false, 12, kGreen);
            triangle(p, false, 20, kGreen);
            break;
        case 20:
            triangle(p, true, 4, kGreen);
            triangle(p, true, 12, kGreen);
            bar(p, 17.5, kGreen);
            break;
        case 21:
            triangle(p, true, 7, kGreen, 12, 14);
            break;
        case 22:  // tiled wallpaper
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 2; ++x) picture(p, QRectF(2 + x * 10, 4 + y * 8, 10, 8));
            break;
        case 23:
            frameBox(p, QRectF(2, 3, 20, 17), QRectF(7, 8, 10, 7));
            break;
        case 24:
            frameBox(p, QRectF(2, 3, 20, 17), QRectF(3, 4, 18, 15));
            break;
        case 25:
            bar(p, 16, kGreen);
            triangle(p, false, 14, kGreen);
            break;
        case 26:
            bar(p, 5.5, kGreen);
            triangle(p, true, 10, kGreen);
            break;
        case 27:  // full screen
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(kPaper);
            p.drawRect(QRectF(2.5, 4.5, 19, 14));
            arrow(p, QPointF(9, 11), QPointF(4.5, 6.5), kBlue, 1.8);
            arrow(p, QPointF(15, 12), QPointF(19.5, 16.5), kBlue, 1.8);
            break;
        case 28:  // name bar
            picture(p, QRectF(3, 3, 18, 12));
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawRect(QRectF(3, 17, 18, 4));
            break;
        case 29:  // lens
            picture(p);
            p.setPen(QPen(kInk, 1.6));
            p.setBrush(QColor(255, 255, 255, 110));
            p.drawEllipse(QRectF(8, 7, 10, 10));
            break;
        case 30:
            magnifier(p, QStringLiteral("+"));
            break;
        case 31:
            magnifier(p, QStringLiteral("-"));
            break;
        case 32:
            magnifier(p, QStringLiteral("1"));
            break;
        case 33:
            picture(p);
            badge(p, kBlue, QStringLiteral("J"));
            break;
        case 34:  // batch convertor
            picture(p, QRectF(2, 2, 12, 9));
            picture(p, QRectF(10, 13, 12, 9));
            arrow(p, QPointF(6, 13), QPointF(6, 19), kBlue, 1.8);
            break;
        case 35:  // properties
            page(p);
            p.setPen(QPen(kBlue, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(12, 11), QPointF(12, 18));
            p.drawPoint(QPointF(12, 7.5));
            break;
        case 36:
            frameBox(p, QRectF(2, 2, 20, 20), QRectF(4, 7, 16, 10));
            break;
        case 37:
            frameBox(p, QRectF(2, 5, 20, 14), QRectF(2, 7, 20, 10));
            arrow(p, QPointF(12, 12), QPointF(21, 12), kRed, 1.4);
            arrow(p, QPointF(12, 12), QPointF(3, 12), kRed, 1.4);
            break;
        case 38:
            frameBox(p, QRectF(5, 2, 14, 20), QRectF(7, 2, 10, 20));
            arrow(p, QPointF(12, 12), QPointF(12, 21), kRed, 1.4);
            arrow(p, QPointF(12, 12), QPointF(12, 3), kRed, 1.4);
            break;
        case 39:
            frameBox(p, QRectF(2, 2, 20, 20), QRectF(5, 5, 14, 14));
            badge(p, kBlue, QStringLiteral("A"));
            break;
        case 40:
            curvedArrow(p, false);
            break;
        case 41:
            curvedArrow(p, true);
            break;
        case 42:  // flip horizontally
            p.setPen(QPen(kInk, 1, Qt::DashLine));
            p.drawLine(QPointF(12, 2), QPointF(12, 22));
            triangle(p, false, 10, kBlue, 12, 12);
            triangle(p, true, 14, kLightBlue, 12, 12);
            break;
        case 43: {
            p.setPen(QPen(kInk, 1, Qt::DashLine));
            p.drawLine(QPointF(2, 12), QPointF(22, 12));
            p.setPen(QPen(kBlue.darker(130), 1));
            p.setBrush(kBlue);
            p.drawPolygon(QPolygonF({QPointF(6, 10), QPointF(18, 10), QPointF(12, 2)}));
            p.setBrush(kLightBlue);
            p.drawPolygon(QPolygonF({QPointF(6, 14), QPointF(18, 14), QPointF(12, 22)}));
            break;
        }
        case 44:
            picture(p);
            badge(p, kGreen, QStringLiteral("0"));
            break;
        case 45:
            gamma(p, QStringLiteral("+"));
            break;
        case 46:
            gamma(p, QStringLiteral("-"));
            break;
        case 47:
            gamma(p, QStringLiteral("="));
            break;
        case 48: {  // negative
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(3, 4, 18, 16));
            p.setBrush(kInk);
            p.drawRect(QRectF(12, 4, 9, 16));
            p.drawEllipse(QPointF(8, 12), 3, 3);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(16.5, 12), 3, 3);
            break;
        }
        case 49:
            star(p, kFolder);
            badge(p, kGreen, QStringLiteral("+"));
            break;
        case 50:
            star(p, kFolder);
            badge(p, kRed, QStringLiteral("x"));
            break;
        case 51:  // GIF animation compiler
            picture(p, QRectF(2, 2, 13, 10));
            picture(p, QRectF(5, 6, 13, 10));
            picture(p, QRectF(8, 10, 13, 10));
            break;
        case 52:
            letter(p, QStringLiteral("ic"), kBlue);
            break;
        case 54:
            page(p);
            badge(p, kBlue, QStringLiteral("a"));
            break;
        case 55:
            letter(p, QStringLiteral("?"), kBlue);
            break;
        case 56:
            frameBox(p, QRectF(2, 2, 20, 20), QRectF(4, 4, 16, 16));
            badge(p, kGreen, QStringLiteral("+"));
            break;
        case 57:
            frameBox(p, QRectF(2, 2, 20, 20), QRectF(6, 6, 12, 12));
            badge(p, kInk, QStringLiteral("1"));
            break;
        case 58:
            frameBox(p, QRectF(2, 2, 20, 20), QRectF(6, 6, 12, 12));
            badge(p, kGreen, QStringLiteral("-"));
            break;
        case 59: {  // e-mail
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(kPaper);
            p.drawRect(QRectF(2.5, 5.5, 19, 13));
            p.drawPolyline(QPolygonF({QPointF(2.5, 5.5), QPointF(12, 13), QPointF(21.5, 5.5)}));
            break;
        }
        case 60: {  // acquire
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(kGray.lighter(140));
            p.drawRoundedRect(QRectF(2, 11, 20, 8), 2, 2);
            p.setPen(QPen(kGreen, 2));
            p.drawLine(QPointF(4, 14), QPointF(20, 14));
            arrow(p, QPointF(12, 2), QPointF(12, 10), kBlue, 2);
            break;
        }
        case 61:
            letter(p, QStringLiteral("L"), kRed);
            break;
        case 62: {  // transparency checkerboard
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    p.setPen(Qt::NoPen);
                    p.setBrush((x + y) % 2 ? kGray.lighter(125) : Qt::white);
                    p.drawRect(QRectF(4 + x * 4, 4 + y * 4, 4, 4));
                }
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(4, 4, 16, 16));
            break;
        }
        case 63:
            gear(p);
            break;
        case 64:
            letter(p, QStringLiteral("B"), kGreen);
            break;
        case 65:
            letter(p, QStringLiteral("C"), kFolder.darker(120));
            break;
        case 66:
            folder(p);
            triangle(p, false, 15, kBlue, 14, 8);
            break;
        case 67:
            folder(p);
            triangle(p, true, 9, kBlue, 14, 8);
            break;
        case 68: {  // filter funnel
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(kLightBlue);
            p.drawPolygon(QPolygonF({QPointF(3, 4), QPointF(21, 4), QPointF(14, 12),
                                     QPointF(14, 20), QPointF(10, 18), QPointF(10, 12)}));
            break;
        }
        case 69:
            magnifier(p, QString());
            break;
        case 70:
            magnifier(p, QString());
            triangle(p, true, 15, kGreen, 18, 8);
            break;
        default:
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(kGray.lighter(140));
            p.drawRoundedRect(QRectF(4, 4, 16, 16), 3, 3);
            break;
    }
}

QPixmap render(std::int32_t image, int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 24.0, side / 24.0);
    drawGlyph(p, image);
    return pixmap;
}

}  // namespace

QIcon toolbarIcon(std::int32_t image) {
    static std::map<std::int32_t, QIcon> cache;
    auto it = cache.find(image);
    if (it != cache.end()) return it->second;
    QIcon icon;
    icon.addPixmap(render(image, 16));
    icon.addPixmap(render(image, 24));
    return cache.emplace(image, icon).first->second;
}

const char* commandIconName(app::CommandId command) {
    using namespace app::cmd;
    // Names from the freedesktop icon naming scheme (and the common extensions every large
    // theme carries, such as view-grid and object-flip-*).
    static const std::map<app::CommandId, const char*> names = {
        {kOpenFile, "document-open"},
        {kCopyImage, "edit-copy"},
        {kSelectAllFiles, "edit-select-all"},
        {kDescribeImage, "document-edit"},
        {kRenameFile, "edit-rename"},
        {kDeleteFiles, "edit-delete"},
        {kNewFolder, "folder-new"},
        {kDeleteFolder, "edit-delete"},
        {kSmallThumbnails, "view-grid"},
        {kBigThumbnails, "view-grid"},
        {kListView, "view-list"},
        {kRefresh, "view-refresh"},
        {kPrint, "document-print"},
        {kAcquire, "scanner"},
        {kSendByEmail, "mail-send"},
        {kRun, "system-run"},
        {kExit, "application-exit"},
        {kPreviousFile, "go-previous"},
        {kNextFile, "go-next"},
        {kFirstFile, "go-first"},
        {kLastFile, "go-last"},
        {kSlideShow, "media-playback-start"},
        {kPreviousFrame, "media-seek-backward"},
        {kNextFrame, "media-seek-forward"},
        {kFirstFrame, "media-skip-backward"},
        {kLastFrame, "media-skip-forward"},
        {kAnimation, "media-playback-start"},
        {kPreviousFolder, "go-up"},
        {kNextFolder, "go-down"},
        {kFindImage, "edit-find"},
        {kImageProperties, "document-properties"},
        {kZoomIn, "zoom-in"},
        {kZoomOut, "zoom-out"},
        {kZoomReset, "zoom-original"},
        {kFit1To1, "zoom-original"},
        {kFitAll, "zoom-fit-best"},
        {kRotateCounterclockwise, "object-rotate-left"},
        {kRotateClockwise, "object-rotate-right"},
        {kFlipHorizontally, "object-flip-horizontal"},
        {kFlipVertically, "object-flip-vertical"},
        {kFullScreen, "view-fullscreen"},
        {kAddFavorite, "bookmark-new"},
        {kBatchConvertor, "document-save-as"},
        {kOptions, "preferences-system"},
        {kHelpContents, "help-contents"},
        {kAbout, "help-about"},
    };
    const auto it = names.find(command);
    return it == names.end() ? "" : it->second;
}

QIcon commandIcon(app::CommandId command) {
    QIcon drawn;
    if (const auto image = app::toolbarImage(command)) drawn = toolbarIcon(*image);
    const QString name = QString::fromLatin1(commandIconName(command));
    if (name.isEmpty()) return drawn;
    // Recent themes ship many actions only in their symbolic form.
    for (const QString& candidate : {name, name + QStringLiteral("-symbolic")})
        if (QIcon::hasThemeIcon(candidate)) return QIcon::fromTheme(candidate);
    return drawn;
}

void chooseIconTheme() {
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QStringLiteral("hicolor")) return;
    const QString fallback = QStringLiteral("Adwaita");
    // Platforms without a desktop theme plugin may list no icon folders at all; the XDG data
    // folders are where themes are installed.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& dir :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                   QStandardPaths::LocateDirectory))
        if (!paths.contains(dir)) paths.append(dir);
    for (const QString& dir : paths) {
        if (QFileInfo::exists(QDir(dir).filePath(fallback + QStringLiteral("/index.theme")))) {
            QIcon::setThemeSearchPaths(paths);
            QIcon::setThemeName(fallback);
            return;
        }
    }
}

namespace {

class PlainButtonsStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

}  // namespace

void applyDesktopLook() {
    chooseIconTheme();
    // The proxy keeps the platform's style underneath; the application owns it.
    QApplication::setStyle(new PlainButtonsStyle(QApplication::style()->name()));
}

QIcon applicationIcon() {
    // The installed theme icon; the drawn one when the program runs uninstalled.
    const QString themed = QStringLiteral("org.kalder.Kalder");
    if (QIcon::hasThemeIcon(themed)) return QIcon::fromTheme(themed);
    QIcon icon;
    for (const int side : {16, 32, 48}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(side / 24.0, side / 24.0);
        picture(p, QRectF(1.5, 3.5, 21, 17));
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace kalder::gui
