#include "app/gui/main_window.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "app/gui/image_widget.h"
#include "image/format_table.h"
#include "image/image_reader.h"
#include "support/test_support.h"

using kalder::gui::MainWindow;
using kalder::test::Bytes;
using kalder::test::TempDir;

namespace {

// A bottom-up 24-bit BMP: left half red, right half blue.
std::vector<std::uint8_t> halfAndHalf(int w, int h) {
    const int stride = (w * 3 + 3) & ~3;
    Bytes b;
    b.str("BM").u32le(54 + stride * h).u32le(0).u32le(54);
    b.u32le(40).u32le(w).u32le(h).u16le(1).u16le(24).u32le(0).u32le(stride * h);
    b.u32le(2835).u32le(2835).u32le(0).u32le(0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (x < w / 2) b.u8(0).u8(0).u8(255);
            else b.u8(255).u8(0).u8(0);
        }
        b.fill(stride - w * 3, 0);
    }
    return b.data;
}

bool haveBmpReader() { return kalder::image::createReaderForCode(kalder::image::FormatCode::Bmp) != nullptr; }

}  // namespace

TEST(MainWindow, ShowsALargeImageFittedToTheWindow) {
    if (!haveBmpReader()) GTEST_SKIP() << "no BMP reader in this build";
    TempDir dir;
    kalder::test::writeFile(dir / "wide.bmp", halfAndHalf(800, 200));
    MainWindow window;
    window.resize(400, 300);
    window.show();
    QSignalSpy shown(&window, &MainWindow::imageShown);
    ASSERT_TRUE(window.openFile(dir / "wide.bmp"));
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_TRUE(shown.takeFirst().at(0).toBool());
    auto* view = window.imageWidget();
    ASSERT_NE(view->bitmap(), nullptr);
    EXPECT_EQ(view->bitmap()->width(), view->width()) << "the wide image fills the width";
    const QImage shot = view->grab().toImage();
    const int y = view->height() / 2;
    EXPECT_EQ(QColor(shot.pixel(view->width() / 4, y)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(3 * view->width() / 4, y)), QColor(0, 0, 255));
}

TEST(MainWindow, SmallImagesKeepTheirSizeAndNeighboursAreOneKeyAway) {
    if (!haveBmpReader()) GTEST_SKIP() << "no BMP reader in this build";
    TempDir dir;
    kalder::test::writeFile(dir / "a.bmp", halfAndHalf(20, 10));
    kalder::test::writeFile(dir / "b.bmp", halfAndHalf(30, 10));
    MainWindow window;
    window.resize(400, 300);
    window.show();
    QSignalSpy shown(&window, &MainWindow::imageShown);
    ASSERT_TRUE(window.openFolder(dir.path()));
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_EQ(window.currentFile().filename(), "a.bmp");
    EXPECT_EQ(window.imageWidget()->bitmap()->width(), 20);
    QTest::keyClick(&window, Qt::Key_Right);
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_EQ(window.currentFile().filename(), "b.bmp");
    EXPECT_EQ(window.imageWidget()->bitmap()->width(), 30);
}

TEST(MainWindow, RefusesWhatIsNotAFile) {
    TempDir dir;
    MainWindow window;
    // The message box would block; the refusal is what matters here.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QMessageBox")) w->close();
    });
    EXPECT_FALSE(window.openFolder(dir.path())) << "an empty folder has nothing to show";
}
