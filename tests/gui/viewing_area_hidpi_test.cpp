// The viewing area on a scaled screen. The scale comes from QT_SCALE_FACTOR, which must be set
// before the application exists, so this file has its own main; CTest runs it at several
// factors (2 when run by hand).
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "app/core/settings.h"
#include "app/gui/main_window.h"
#include "app/gui/viewing_area.h"
#include "image/bitmap32.h"
#include "support/test_support.h"

using kalder::gui::ViewingArea;
using kalder::image::Bitmap32;
namespace view = kalder::view;

namespace {

constexpr QRgb kBackground = 0xff204060u;

// Black and white alternating pixel by pixel: any doubled row or column shows at once.
std::unique_ptr<Bitmap32> checkerboard(int w, int h) {
    auto b = std::make_unique<Bitmap32>();
    EXPECT_TRUE(b->Create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t v = ((x + y) & 1) ? 255 : 0;
            std::uint8_t* p = b->row(y) + x * 4;
            p[0] = p[1] = p[2] = v;
        }
    b->markAllDone();
    return b;
}
QRgb checkerAt(int x, int y) { return ((x + y) & 1) ? 0xffffffffu : 0xff000000u; }

double expectedRatio() {
    const char* f = std::getenv("QT_SCALE_FACTOR");
    return f ? std::atof(f) : 1.0;
}

struct Area {
    ViewingArea area;
    Area(int w, int h) {
        area.resize(w, h);
        area.SetBackground(kalder::image::makeColorRef(0x20, 0x40, 0x60));
        area.SetWallpaper(false);
        area.SetOsdSize(view::OsdSize::Off);
        area.show();
    }
    // The grab at device resolution, one QImage pixel per device pixel.
    QImage shot() { return area.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// Counts the pixels of `shot` in the displayed image that differ from the source pixel the
// zoom maps them to.
int wrongPixels(const QImage& shot, const ViewingArea& area, int factor) {
    const view::Point o = area.geometry().imageOrigin();
    const view::PixelSize d = area.DisplayedSize();
    int wrong = 0;
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x)
            if (shot.pixel(o.x + x, o.y + y) != checkerAt(x / factor, y / factor)) ++wrong;
    return wrong;
}

}  // namespace

TEST(ViewingAreaScaled, ClientCountsDevicePixels) {
    const double ratio = expectedRatio();
    for (const QSize logical : {QSize(301, 203), QSize(400, 300), QSize(97, 61)}) {
        Area a(logical.width(), logical.height());
        ASSERT_DOUBLE_EQ(a.area.pixelRatio(), ratio);
        const view::PixelSize client = a.area.clientSize();
        EXPECT_EQ(client.width, static_cast<int>(std::floor(logical.width() * ratio)));
        EXPECT_EQ(client.height, static_cast<int>(std::floor(logical.height() * ratio)));
        EXPECT_EQ(a.area.geometry().clientSize(), client);
    }
}

// At 1:1 and at integer magnifications every device pixel shows its own image pixel: no row
// or column is repeated by the screen scaling, and the margins have no seam.
TEST(ViewingAreaScaled, OneImagePixelPerDevicePixel) {
    const auto bitmap = checkerboard(90, 70);
    for (const int factor : {1, 2, 3}) {
        SCOPED_TRACE(factor);
        Area a(301, 233);  // holds the picture whole at every factor
        a.area.SetImage(bitmap.get(), true);
        a.area.SetZoom({false, factor}, false);
        EXPECT_EQ(a.area.DisplayedSize(), (view::PixelSize{90 * factor, 70 * factor}));
        const QImage shot = a.shot();
        const view::PixelSize client = a.area.clientSize();
        ASSERT_GE(shot.width(), client.width);
        ASSERT_GE(shot.height(), client.height);
        EXPECT_EQ(wrongPixels(shot, a.area, factor), 0);
        // Background everywhere outside the picture, up to the last device row and column.
        const view::Point o = a.area.geometry().imageOrigin();
        const view::PixelSize d = a.area.DisplayedSize();
        int wrong = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const bool inside = x >= o.x && x < o.x + d.width && y >= o.y && y < o.y + d.height;
                if (!inside && shot.pixel(x, y) != kBackground) ++wrong;
            }
        EXPECT_EQ(wrong, 0);
    }
}

// A drag by logical pixels scrolls by the device pixels it covers, and the wheel anchor is the
// device pixel under the pointer.
TEST(ViewingAreaScaled, PointerPositionsAreDevicePixels) {
    const double ratio = expectedRatio();
    const auto bitmap = checkerboard(2000, 2000);
    Area a(200, 200);
    a.area.SetImage(bitmap.get(), false);
    QTest::mousePress(&a.area, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(60, 80), a.area.mapToGlobal(QPointF(60, 80)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&a.area, &move);
    QTest::mouseRelease(&a.area, Qt::LeftButton, Qt::NoModifier, QPoint(60, 80));
    const int dx =
        static_cast<int>(std::floor(100 * ratio)) - static_cast<int>(std::floor(60 * ratio));
    const int dy =
        static_cast<int>(std::floor(100 * ratio)) - static_cast<int>(std::floor(80 * ratio));
    EXPECT_EQ(a.area.scroll(), (view::Point{dx, dy}));
    EXPECT_EQ(a.area.geometry().cursor(), (view::Point{static_cast<int>(std::floor(60 * ratio)),
                                                       static_cast<int>(std::floor(80 * ratio))}));
}

// The loader is asked for the client in device pixels, so a fitted image uses the screen's
// whole resolution.
TEST(ViewingAreaScaled, FittedImageIsDecodedAtDeviceResolution) {
    if (!kalder::test::haveBmpReader()) GTEST_SKIP() << "no BMP reader in this build";
    kalder::test::TempDir dir;
    kalder::test::writeFile(dir / "wide.bmp", kalder::test::bmp24(1600, 200, [](int x, int) {
                                return x < 800 ? 0xFF0000u : 0x0000FFu;
                            }));
    kalder::gui::MainWindow window;
    window.settings().wallpaperBackground = false;
    window.applySettings();
    window.resize(400, 300);
    window.show();
    QSignalSpy shown(&window, &kalder::gui::MainWindow::imageShown);
    ASSERT_TRUE(window.openFile(dir / "wide.bmp"));
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    ViewingArea* area = window.viewingArea();
    ASSERT_NE(area->image(), nullptr);
    const int deviceWidth = static_cast<int>(std::floor(area->width() * expectedRatio()));
    EXPECT_EQ(area->clientSize().width, deviceWidth);
    EXPECT_EQ(area->image()->width(), deviceWidth) << "the wide image fills the device width";
    const QImage shot = area->grab().toImage();
    const int y = area->clientSize().height / 2;
    // The reduction filter may leave a unit off full intensity.
    const QRgb left = shot.pixel(deviceWidth / 4, y), right = shot.pixel(3 * deviceWidth / 4, y);
    EXPECT_TRUE(qRed(left) > 240 && qBlue(left) < 16) << std::hex << left;
    EXPECT_TRUE(qBlue(right) > 240 && qRed(right) < 16) << std::hex << right;
}

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QT_SCALE_FACTOR", "2", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
