#include "app/gui/viewing_area.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QRegion>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <cstdint>
#include <mutex>
#include <vector>

#include "image/bitmap32.h"
#include "view/render.h"

using kalder::gui::ViewingArea;
using kalder::image::Bitmap32;
namespace view = kalder::view;

namespace {

constexpr kalder::image::ColorRef kBackground = kalder::image::makeColorRef(32, 64, 96);

QRgb patternAt(int x, int y) { return qRgb((x * 7) & 255, (y * 5) & 255, (x ^ y) & 255); }

// A bitmap whose every pixel tells where it came from.
std::unique_ptr<Bitmap32> pattern(int w, int h) {
    auto b = std::make_unique<Bitmap32>();
    EXPECT_TRUE(b->Create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = b->row(y) + x * 4;
            const QRgb c = patternAt(x, y);
            p[0] = static_cast<std::uint8_t>(qBlue(c));
            p[1] = static_cast<std::uint8_t>(qGreen(c));
            p[2] = static_cast<std::uint8_t>(qRed(c));
        }
    b->markAllDone();
    return b;
}

std::unique_ptr<Bitmap32> solid(int w, int h, QRgb c) {
    auto b = std::make_unique<Bitmap32>();
    EXPECT_TRUE(b->Create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = b->row(y) + x * 4;
            p[0] = static_cast<std::uint8_t>(qBlue(c));
            p[1] = static_cast<std::uint8_t>(qGreen(c));
            p[2] = static_cast<std::uint8_t>(qRed(c));
        }
    return b;
}

QRgb opaque(QRgb c) { return c | 0xff000000u; }

struct Area {
    ViewingArea area;
    explicit Area(int w, int h) {
        area.resize(w, h);
        area.SetBackground(kBackground);
        area.SetWallpaper(false);
        area.SetOsdSize(view::OsdSize::Off);  // the OSD test turns it on
        area.show();
    }
    QImage shot() { return area.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

QRgb mapped(QRgb c, const std::optional<view::DisplayLut>& lut) {
    if (!lut) return opaque(c);
    return qRgb((*lut)[qRed(c)], (*lut)[qGreen(c)], (*lut)[qBlue(c)]);
}

struct ZoomCase {
    view::Zoom zoom;
    bool invert;
    double gamma;
    view::DisplayFormat format;
};

}  // namespace

// Every client pixel over the image shows the source pixel the zoom maps it to, through the
// display table; the margins show the background.
TEST(ViewingArea, PaintsTheExpectedPixelsAtEachZoomAndTable) {
    const auto bitmap = pattern(64, 48);
    const std::vector<ZoomCase> cases = {
        {{false, 1}, false, -1.0, view::DisplayFormat::Bgrx32},
        {{false, 3}, false, -1.0, view::DisplayFormat::Bgrx32},
        {{true, 2}, false, -1.0, view::DisplayFormat::Bgrx32},
        {{false, 1}, false, 2.0, view::DisplayFormat::Bgrx32},
        {{false, 3}, false, 0.5, view::DisplayFormat::Bgrx32},
        {{true, 2}, false, 2.0, view::DisplayFormat::Bgrx32},
        {{false, 1}, true, -1.0, view::DisplayFormat::Bgrx32},
        {{false, 3}, true, 2.0, view::DisplayFormat::Bgrx32},
        {{true, 2}, true, -1.0, view::DisplayFormat::Bgrx32},
        {{false, 3}, false, -1.0, view::DisplayFormat::Bgr24},
        {{true, 2}, true, -1.0, view::DisplayFormat::Bgr24},
    };
    for (const ZoomCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "zoom " << (c.zoom.reduce ? "1/" : "") << c.zoom.factor
                                        << " invert " << c.invert << " gamma " << c.gamma
                                        << " format " << static_cast<int>(c.format));
        Area a(220, 170);
        a.area.setDisplayFormat(c.format, false);
        a.area.SetImage(bitmap.get(), true);
        a.area.SetZoom(c.zoom, false);
        a.area.SetGamma(c.gamma, 0);
        a.area.SetInvert(c.invert);
        ASSERT_EQ(a.area.zoom(), c.zoom);
        const auto lut = view::BuildLut(c.invert, c.gamma);
        const QImage shot = a.shot();
        const view::PixelSize d = a.area.DisplayedSize();
        const int ox = (220 - d.width) / 2, oy = (170 - d.height) / 2;
        int wrong = 0;
        for (int y = 0; y < d.height; ++y)
            for (int x = 0; x < d.width; ++x) {
                const int sx = c.zoom.reduce ? x * c.zoom.factor : x / c.zoom.factor;
                const int sy = c.zoom.reduce ? y * c.zoom.factor : y / c.zoom.factor;
                if (shot.pixel(ox + x, oy + y) != mapped(patternAt(sx, sy), lut) && ++wrong < 5)
                    ADD_FAILURE() << "pixel " << x << "," << y;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(shot.pixel(ox - 1, oy), opaque(qRgb(32, 64, 96))) << "margin";
        EXPECT_EQ(shot.pixel(ox, oy + d.height), opaque(qRgb(32, 64, 96))) << "margin";
    }
}

TEST(ViewingArea, SixteenBitDisplayDropsTheLowBits) {
    const auto bitmap = solid(8, 8, qRgb(0xff, 0x07, 0x0f));
    Area a(40, 40);
    a.area.setDisplayFormat(view::DisplayFormat::Rgb565, false);
    a.area.SetImage(bitmap.get(), true);
    const QColor c(a.shot().pixel(20, 20));
    EXPECT_EQ(c.red() >> 3, 0xff >> 3);
    EXPECT_EQ(c.green() >> 3, 0) << "5-bit green: 7 / 8 = 0";
    EXPECT_EQ(c.blue() >> 3, 0x0f >> 3);
}

TEST(ViewingArea, WallpaperTilesAreAlignedToTheClientOrigin) {
    Area a(600, 300);
    a.area.SetWallpaper(true);
    const QImage shot = a.shot();
    const Bitmap32& tile = a.area.wallpaperTile();
    auto tileAt = [&](int x, int y) {
        const std::uint8_t* p = tile.row(y % 256) + (x % 256) * 4;
        return qRgb(p[2], p[1], p[0]);
    };
    for (const QPoint p : {QPoint(0, 0), QPoint(255, 255), QPoint(256, 0), QPoint(300, 17),
                           QPoint(511, 200), QPoint(599, 299), QPoint(131, 290)})
        EXPECT_EQ(shot.pixel(p), tileAt(p.x(), p.y())) << p.x() << "," << p.y();
    // The tile is not uniform, so the comparison above says something about alignment.
    EXPECT_NE(tileAt(0, 0), tileAt(64, 0));

    // Margins around a small centred image are wallpaper too, still aligned to the client.
    const auto bitmap = solid(10, 10, qRgb(200, 0, 0));
    a.area.SetImage(bitmap.get(), true);
    const QImage withImage = a.shot();
    EXPECT_EQ(withImage.pixel(300, 150), opaque(qRgb(200, 0, 0)));
    EXPECT_EQ(withImage.pixel(280, 150), tileAt(280, 150));
}

TEST(ViewingArea, OsdArrowsShowWhereMoreOfTheImageLies) {
    const QRgb fill = qRgb(10, 20, 30);
    const auto bitmap = solid(640, 480, fill);
    Area a(320, 240);
    a.area.SetOsdSize(view::OsdSize::Normal);
    a.area.SetImage(bitmap.get(), true);  // centred: there is more in every direction
    const view::OsdLayout layout = a.area.osdLayout();
    auto centre = [](const view::PixelRect& r) {
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    view::OsdVisibility v = a.area.osdVisibility();
    EXPECT_TRUE(v.up && v.down && v.left && v.right);
    QImage shot = a.shot();
    for (const auto& r : {layout.up, layout.down, layout.left, layout.right})
        EXPECT_EQ(shot.pixel(centre(r)), opaque(qRgb(255, 255, 255)));

    a.area.ScrollTo(0, 0);
    v = a.area.osdVisibility();
    EXPECT_FALSE(v.up || v.left);
    EXPECT_TRUE(v.down && v.right);
    shot = a.shot();
    EXPECT_EQ(shot.pixel(centre(layout.up)), opaque(fill));
    EXPECT_EQ(shot.pixel(centre(layout.left)), opaque(fill));
    EXPECT_EQ(shot.pixel(centre(layout.down)), opaque(qRgb(255, 255, 255)));

    // The rotation icon appears at the bottom-right corner once a rotation was shown.
    const QPoint rot = centre(layout.rotation);
    EXPECT_EQ(a.shot().pixel(rot + QPoint(0, 0)), opaque(fill));
    a.area.ShowOsdIcon(0);
    EXPECT_EQ(a.shot().pixel(rot), opaque(qRgb(255, 255, 255)))
        << "the flip bar crosses the centre";

    a.area.SetOsdSize(view::OsdSize::Off);
    EXPECT_EQ(a.shot().pixel(centre(layout.down)), opaque(fill));
}

TEST(ViewingArea, LensMagnifiesAroundTheCursorInsideAThemedFrame) {
    const auto bitmap = pattern(300, 200);
    Area a(400, 300);
    a.area.SetImage(bitmap.get(), true);
    a.area.SetZoom({false, 2}, false);
    EXPECT_FALSE(a.area.SetLens(true)) << "only at 1:1";
    a.area.SetZoom({false, 1}, false);
    QTest::mouseMove(&a.area, QPoint(200, 150));
    ASSERT_TRUE(a.area.SetLens(true));
    EXPECT_EQ(a.area.cursor().shape(), Qt::BlankCursor);

    const view::LensLayout lens = a.area.geometry().lensLayout({200, 150});
    ASSERT_TRUE(lens.picture.has_value());
    const QImage shot = a.shot();
    const view::PixelRect& src = lens.picture->source;
    for (int j = 0; j < src.bottom - src.top; j += 7)
        for (int i = 0; i < src.right - src.left; i += 5)
            ASSERT_EQ(
                shot.pixel(lens.picture->dest.x + 4 * i + 3, lens.picture->dest.y + 4 * j + 1),
                opaque(patternAt(src.left + i, src.top + j)))
                << i << "," << j;
    // The frame is the theme's mid tone.
    const QRgb frame = opaque(a.area.palette().color(QPalette::Mid).rgb());
    EXPECT_EQ(shot.pixel(lens.frameLeft, lens.frameTop + 30), frame);
    EXPECT_EQ(shot.pixel(lens.frameRight, lens.frameBottom - 30), frame);
    // Outside the lens the picture is the plain 1:1 image.
    const view::Point o = a.area.geometry().imageOrigin();
    EXPECT_EQ(shot.pixel(o.x + 2, o.y + 3), opaque(patternAt(2, 3)));

    a.area.SetLens(false);
    EXPECT_EQ(a.area.cursor().shape(), Qt::OpenHandCursor);
    EXPECT_EQ(a.shot().pixel(200, 150), opaque(patternAt(200 - o.x, 150 - o.y)));
}

TEST(ViewingArea, WheelNotchesCarryTheirRemainder) {
    const auto bitmap = solid(100, 100, qRgb(0, 0, 0));
    Area a(200, 200);
    a.area.SetImage(bitmap.get(), true);
    QSignalSpy notches(&a.area, &ViewingArea::wheelNotch);
    auto turn = [&](int delta, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWheelEvent e(QPointF(50, 60), a.area.mapToGlobal(QPointF(50, 60)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&a.area, &e);
    };
    turn(60);
    EXPECT_EQ(notches.count(), 0);
    turn(60);
    ASSERT_EQ(notches.count(), 1);
    EXPECT_TRUE(notches.takeFirst().at(0).toBool()) << "away from the user is forward";
    turn(-300, Qt::ShiftModifier);
    ASSERT_EQ(notches.count(), 2) << "-300 gives two notches and keeps -60";
    EXPECT_FALSE(notches.at(0).at(0).toBool());
    EXPECT_TRUE(notches.at(0).at(1).toBool()) << "shift is passed on";
    notches.clear();
    turn(-60);
    EXPECT_EQ(notches.count(), 1);
    EXPECT_EQ(a.area.geometry().cursor(), (view::Point{50, 60}));
}

TEST(ViewingArea, KeysScrollOrGoToTheOwner) {
    const auto bitmap = solid(1200, 900, qRgb(0, 0, 0));
    Area a(240, 120);
    a.area.SetImage(bitmap.get(), false);
    EXPECT_EQ(a.area.scroll(), (view::Point{0, 0}));
    QTest::keyClick(&a.area, Qt::Key_Right);
    QTest::keyClick(&a.area, Qt::Key_Down);
    EXPECT_EQ(a.area.scroll(), (view::Point{20, 10})) << "a twelfth of the client";
    QTest::keyClick(&a.area, Qt::Key_Left);
    EXPECT_EQ(a.area.scroll().x, 0);

    QSignalSpy paging(&a.area, &ViewingArea::pagingKey);
    QSignalSpy deletes(&a.area, &ViewingArea::deleteRequested);
    QSignalSpy browser(&a.area, &ViewingArea::toggleBrowserRequested);
    QTest::keyClick(&a.area, Qt::Key_PageUp);
    QTest::keyClick(&a.area, Qt::Key_PageDown);
    QTest::keyClick(&a.area, Qt::Key_Home);
    QTest::keyClick(&a.area, Qt::Key_End);
    QTest::keyClick(&a.area, Qt::Key_Delete);
    QTest::mouseDClick(&a.area, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    ASSERT_EQ(paging.count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(paging.at(i).at(0).toInt(), i);
    EXPECT_EQ(deletes.count(), 1);
    EXPECT_EQ(browser.count(), 1);
    // With a modifier the key belongs to the window's shortcuts, not to scrolling.
    QTest::keyClick(&a.area, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(a.area.scroll().x, 0);
}

TEST(ViewingArea, DraggingMovesTheImageWithHandCursors) {
    const auto bitmap = solid(1000, 1000, qRgb(0, 0, 0));
    Area a(200, 200);
    a.area.SetImage(bitmap.get(), false);
    EXPECT_EQ(a.area.cursor().shape(), Qt::OpenHandCursor);
    QTest::mousePress(&a.area, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(a.area.cursor().shape(), Qt::ClosedHandCursor);
    QMouseEvent move(QEvent::MouseMove, QPointF(70, 60), a.area.mapToGlobal(QPointF(70, 60)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&a.area, &move);
    EXPECT_EQ(a.area.scroll(), (view::Point{30, 40}));
    QTest::mouseRelease(&a.area, Qt::LeftButton, Qt::NoModifier, QPoint(70, 60));
    EXPECT_EQ(a.area.cursor().shape(), Qt::OpenHandCursor);
}

namespace {
// Records the rectangles the area repaints.
struct PaintLog : QObject {
    std::vector<QRect> rects;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) rects.push_back(static_cast<QPaintEvent*>(e)->rect());
        return false;
    }
    bool covered(const QRect& r) const {
        QRegion painted;
        for (const QRect& p : rects) painted += p;
        return (QRegion(r) - painted).isEmpty();
    }
};
}  // namespace

TEST(ViewingArea, ProgressiveRepaintFollowsTheRowsTheLoaderMarks) {
    Bitmap32 bitmap;
    ASSERT_TRUE(bitmap.Create(40, 30));
    Area a(100, 100);
    a.area.SetZoom({false, 2}, false);
    a.area.SetImage(&bitmap, true);
    a.area.SetZoom({false, 2}, false);  // 80 x 60, origin (10, 20)
    PaintLog log;
    a.area.installEventFilter(&log);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return log.covered(a.area.rect()); }));  // the first full paint
    log.rects.clear();
    auto writeRows = [&](int from, int to) {
        {
            std::lock_guard lock(bitmap.pixelLock());
            for (int y = from; y < to; ++y)
                for (int x = 0; x < 40; ++x) bitmap.row(y)[x * 4 + 2] = 255;
        }
        for (int y = from; y < to; ++y) bitmap.MarkRowDone(y);
    };
    writeRows(0, 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.covered(QRect(10, 20, 80, 20)); }));
    log.rects.clear();
    writeRows(10, 15);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.covered(QRect(10, 40, 80, 10)); }));
    for (const QRect& r : log.rects) EXPECT_GE(r.top(), 40) << "only the new rows are repainted";
    EXPECT_EQ(QColor(a.shot().pixel(50, 45)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(a.shot().pixel(50, 52)), QColor(0, 0, 0)) << "rows not yet decoded";
}

TEST(ViewingArea, ProgressStripShowsThePercentage) {
    Area a(200, 100);
    a.area.SetBackground(kalder::image::makeColorRef(0, 0, 0));
    a.area.SetProgress(50);
    const view::ProgressStrip strip = view::layoutProgressStrip({200, 100}, false, 50, 0);
    ASSERT_FALSE(strip.line.isEmpty());
    const QImage shot = a.shot();
    EXPECT_EQ(QColor(shot.pixel(strip.line.left, strip.line.top)), QColor(255, 255, 255));
    EXPECT_EQ(QColor(shot.pixel(strip.line.right, strip.line.top)), QColor(0, 0, 0));
    a.area.SetProgress(-1);
    EXPECT_EQ(QColor(a.shot().pixel(strip.line.left, strip.line.top)), QColor(0, 0, 0));
}
