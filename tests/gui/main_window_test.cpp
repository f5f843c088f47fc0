#include "app/gui/main_window.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>
#include <QTest>

#include "app/core/command_ids.h"
#include "app/gui/browser_pane.h"
#include "app/gui/name_bar.h"
#include "app/gui/viewing_area.h"
#include "image/bitmap32.h"
#include "image/format_table.h"
#include "image/image_reader.h"
#include "support/test_support.h"

using kalder::gui::MainWindow;
using kalder::gui::ViewingArea;
using kalder::test::Bytes;
using kalder::test::TempDir;
namespace view = kalder::view;

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

// A window showing one file at its own size (no fitting), ready for view commands.
struct Viewer {
    TempDir dir;
    MainWindow window;
    QSignalSpy shown{&window, &MainWindow::imageShown};

    Viewer(int w, int h, int imageW, int imageH, int fitMode = 0) {
        window.settings().fitMode = fitMode;
        window.settings().wallpaperBackground = false;
        window.applySettings();
        window.resize(w, h);
        window.show();
        kalder::test::writeFile(dir / "image.bmp", halfAndHalf(imageW, imageH));
        EXPECT_TRUE(window.openFile(dir / "image.bmp"));
        EXPECT_TRUE(waitShown());
    }
    bool waitShown() {
        if (shown.isEmpty() && !shown.wait(5000)) return false;
        return shown.takeFirst().at(0).toBool();
    }
    ViewingArea* area() const { return window.viewingArea(); }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(area(), k, m); }
};

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
    auto* view = window.viewingArea();
    ASSERT_NE(view->image(), nullptr);
    EXPECT_EQ(view->image()->width(), view->width()) << "the wide image fills the width";
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
    window.settings().zoomScope = 2;  // zoom large images only
    window.applySettings();
    window.resize(400, 300);
    window.show();
    QSignalSpy shown(&window, &MainWindow::imageShown);
    ASSERT_TRUE(window.openFolder(dir.path()));
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_EQ(window.currentFile().filename(), "a.bmp");
    EXPECT_EQ(window.viewingArea()->image()->width(), 20);
    QTest::keyClick(window.viewingArea(), Qt::Key_PageDown);
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_EQ(window.currentFile().filename(), "b.bmp");
    EXPECT_EQ(window.viewingArea()->image()->width(), 30);
    QTest::keyClick(window.viewingArea(), Qt::Key_Home);
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_EQ(window.currentFile().filename(), "a.bmp");
}

TEST(MainWindow, RefusesWhatIsNotAFile) {
    TempDir dir;
    MainWindow window;
    EXPECT_FALSE(window.openFolder(dir.path())) << "an empty folder has nothing to show";
}

TEST(MainWindow, ZoomKeysStopAtTwentyAndAtOneTenth) {
    if (!haveBmpReader()) GTEST_SKIP();
    Viewer v(400, 300, 100, 80);
    for (int i = 0; i < 25; ++i) v.key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(v.area()->zoom(), (view::Zoom{false, 20}));
    EXPECT_EQ(v.area()->DisplayedSize(), (view::PixelSize{2000, 1600}));
    v.key(Qt::Key_Insert);
    EXPECT_EQ(v.area()->zoom(), (view::Zoom{}));
    v.key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(v.area()->zoom(), (view::Zoom{true, 2}));
    for (int i = 0; i < 25; ++i) v.key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(v.area()->zoom(), (view::Zoom{true, 10}));
    v.key(Qt::Key_Plus);  // the main keyboard's '+' is not bound
    EXPECT_EQ(v.area()->zoom(), (view::Zoom{true, 10}));
}

TEST(MainWindow, WheelZoomsAtTheCursorOrScrollsAsTheControlsSay) {
    if (!haveBmpReader()) GTEST_SKIP();
    Viewer v(400, 300, 1000, 1000);
    v.window.settings().controlOptions[1] = 1;  // the wheel zooms
    auto turn = [&](int delta, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWheelEvent e(QPointF(10, 10), v.area()->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v.area(), &e);
    };
    const view::Point before = v.area()->scroll();
    turn(120);
    EXPECT_EQ(v.area()->zoom(), (view::Zoom{false, 2}));
    // The image point under the cursor stays under it.
    EXPECT_EQ(v.area()->scroll().x, (before.x + 10) * 2 - 10);
    const view::Point zoomed = v.area()->scroll();
    turn(-120, Qt::ShiftModifier);  // with Shift the wheel scrolls a fifth of the client down
    EXPECT_EQ(v.area()->zoom(), (view::Zoom{false, 2}));
    EXPECT_EQ(v.area()->scroll().y, zoomed.y + 300 / 5);
}

TEST(MainWindow, PageDownScrollsSixHundredOfSixHundredAndThree) {
    if (!haveBmpReader()) GTEST_SKIP();
    Viewer v(400, 603, 300, 3000);
    v.window.settings().controlOptions[0] = 1;  // the paging keys scroll the image
    v.window.applySettings();
    ASSERT_EQ(v.area()->height(), 603);
    const int top = v.area()->scroll().y;
    v.key(Qt::Key_PageDown);
    EXPECT_EQ(v.area()->scroll().y, top + 600);
    v.key(Qt::Key_PageUp);
    EXPECT_EQ(v.area()->scroll().y, top);
    v.key(Qt::Key_End);
    EXPECT_EQ(v.area()->scroll().y, 3000 - 603);
    v.key(Qt::Key_Home);
    EXPECT_EQ(v.area()->scroll().y, 0);
}

TEST(MainWindow, GammaAndNegativeKeysChangeThePaintedPixels) {
    if (!haveBmpReader()) GTEST_SKIP();
    Viewer v(200, 200, 100, 100);
    auto pixel = [&] { return QColor(v.area()->grab().toImage().pixel(70, 100)); };  // red half
    EXPECT_EQ(pixel(), QColor(255, 0, 0));
    v.key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(pixel(), QColor(0, 255, 255));
    v.key(Qt::Key_N, Qt::ControlModifier);
    v.key(Qt::Key_Minus, Qt::KeypadModifier | Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(v.window.viewState().gamma(), 1.06);
    EXPECT_TRUE(v.area()->gammaScaleShown());
    v.key(Qt::Key_Asterisk, Qt::KeypadModifier | Qt::ControlModifier);
    EXPECT_EQ(v.window.viewState().gamma(), 1.0);
    EXPECT_FALSE(v.area()->gammaScaleShown());
}

TEST(MainWindow, RotationAndFlipKeysDecodeTheImageAgain) {
    if (!haveBmpReader()) GTEST_SKIP();
    Viewer v(500, 500, 120, 40);
    v.key(Qt::Key_BracketRight);  // rotate clockwise
    ASSERT_TRUE(v.waitShown());
    EXPECT_EQ(v.window.viewState().rotation(), 1);
    ASSERT_NE(v.area()->image(), nullptr);
    EXPECT_EQ(v.area()->image()->width(), 40);
    EXPECT_EQ(v.area()->image()->height(), 120);
    // Red was the left half; after a clockwise turn it is the top half.
    const std::uint8_t* top = v.area()->image()->row(5) + 20 * 4;
    EXPECT_EQ(top[2], 255);
    EXPECT_EQ(top[0], 0);
    v.key(Qt::Key_BracketLeft, Qt::AltModifier);  // flip horizontally
    ASSERT_TRUE(v.waitShown());
    EXPECT_TRUE(v.window.viewState().flipHorizontal());
    v.key(Qt::Key_0);  // reset all
    ASSERT_TRUE(v.waitShown());
    EXPECT_EQ(v.window.viewState().rotation(), 0);
    EXPECT_FALSE(v.window.viewState().flipHorizontal());
    EXPECT_EQ(v.area()->image()->width(), 120);
}

TEST(MainWindow, ZoomFromAFittedViewStepsFromTheActualSizeFrame) {
    if (!haveBmpReader()) GTEST_SKIP();
    Viewer v(400, 300, 1600, 1200, /*fit all*/ 3);
    EXPECT_EQ(v.area()->image()->width(), 400);
    v.key(Qt::Key_Plus, Qt::KeypadModifier);
    ASSERT_TRUE(v.waitShown());
    EXPECT_TRUE(v.window.viewState().manualZoom());
    EXPECT_EQ(v.area()->image()->width(), 1600) << "the actual-size frame";
    // From a fitted 1/4 view, one step in is 1/3 (or the next level that differs enough).
    EXPECT_TRUE(v.area()->zoom().reduce);
    EXPECT_LT(v.area()->zoom().factor, 4);
    v.key(Qt::Key_Asterisk, Qt::KeypadModifier);  // fit all again: leaves fitting (same mode)
    ASSERT_TRUE(v.waitShown());
    EXPECT_EQ(v.window.viewState().fitMode(), view::FitMode::All);
    EXPECT_EQ(v.area()->image()->width(), 400);
}

TEST(MainWindow, LensAndPanoramaKeys) {
    if (!haveBmpReader()) GTEST_SKIP();
    Viewer v(300, 200, 720, 100);
    v.key(Qt::Key_F9);
    EXPECT_TRUE(v.area()->lens());
    v.key(Qt::Key_F9);
    EXPECT_FALSE(v.area()->lens());
    v.key(Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(v.area()->panoramaOffset(), 10) << "width / 72";
    v.key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(v.area()->panoramaOffset(), 9);
    v.key(Qt::Key_Home, Qt::AltModifier);
    EXPECT_EQ(v.area()->panoramaOffset(), 0);
}

// Under ASan this shows the ownership of documents and bitmaps across requests is clean.
TEST(MainWindow, RepeatedCommandsWhileLoadingLeaveNothingBehind) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    kalder::test::writeFile(dir / "a.bmp", halfAndHalf(900, 700));
    kalder::test::writeFile(dir / "b.bmp", halfAndHalf(50, 40));
    {
        MainWindow window;
        window.resize(320, 240);
        window.show();
        ASSERT_TRUE(window.openFile(dir / "a.bmp"));
        for (int i = 0; i < 10; ++i) {
            window.runCommand(kalder::app::cmd::kZoomIn);
            window.runCommand(kalder::app::cmd::kRotateClockwise);
            window.runCommand(kalder::app::cmd::kNextFile);
            window.runCommand(kalder::app::cmd::kZoomOut);
            window.runCommand(kalder::app::cmd::kPreviousFile);
        }
        QTRY_VERIFY_WITH_TIMEOUT(window.isIdle(), 10000);
    }
    SUCCEED();
}

// --- modes, name bar and geometry ---

TEST(MainWindow, EscapeFromAViewerEnteredFromTheBrowserReturnsToTheBrowser) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    kalder::test::writeFile(dir / "a.bmp", halfAndHalf(40, 30));
    kalder::test::writeFile(dir / "b.bmp", halfAndHalf(40, 30));
    MainWindow window;
    window.settings().exitWithEsc = true;
    window.settings().fullScreenViewing = false;
    window.applySettings();
    window.resize(640, 480);
    ASSERT_TRUE(window.Create({dir.path().string(), false, false}));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FALSE(window.viewerMode());
    EXPECT_TRUE(window.browserPane()->isVisible());
    EXPECT_TRUE(window.menuBar()->isVisible());
    QListWidget* list = window.browserPane()->fileList();
    ASSERT_EQ(list->count(), 2);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);  // Last File
    EXPECT_EQ(window.currentFile().filename(), "b.bmp");
    QTest::keyClick(list, Qt::Key_Return);  // Viewer/Browser
    EXPECT_TRUE(window.viewerMode());
    EXPECT_TRUE(window.viewerFromBrowser());
    EXPECT_FALSE(window.browserPane()->isVisible());
    EXPECT_FALSE(window.menuBar()->isVisible());
    QTest::keyClick(window.viewingArea(), Qt::Key_Escape);
    QTRY_VERIFY(!window.viewerMode());
    EXPECT_TRUE(window.isVisible()) << "Escape went back to the browser, not out of the program";
    EXPECT_FALSE(window.viewerFromBrowser());
    EXPECT_EQ(window.currentFile().filename(), "b.bmp");
    EXPECT_EQ(window.browserPane()->selectedFile(), std::optional<std::size_t>(1));
}

TEST(MainWindow, EscapeInAViewerStartedWithAFileExitsOnlyWhenAsked) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    kalder::test::writeFile(dir / "a.bmp", halfAndHalf(40, 30));
    for (const bool exitWithEsc : {false, true}) {
        MainWindow window;
        window.settings().exitWithEsc = exitWithEsc;
        window.settings().fullScreenViewing = false;
        window.applySettings();
        ASSERT_TRUE(window.Create({(dir / "a.bmp").string(), true, false}));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::keyClick(window.viewingArea(), Qt::Key_Escape);
        if (exitWithEsc) QTRY_VERIFY(!window.isVisible());
        else {
            QCoreApplication::processEvents();
            EXPECT_TRUE(window.isVisible());
            EXPECT_TRUE(window.viewerMode());
        }
    }
}

TEST(MainWindow, BrowserOnlyNeedsTheEnhancedLayoutAndEscapeLeavesIt) {
    MainWindow window;
    window.resize(640, 480);
    TempDir dir;
    ASSERT_TRUE(window.Create({dir.path().string(), false, false}));
    window.show();
    window.settings().enhancedLayout = false;
    window.applySettings();
    window.runCommand(kalder::app::cmd::kBrowserOnly);
    EXPECT_FALSE(window.browserOnly()) << "does nothing in the classic layout";
    window.settings().enhancedLayout = true;
    window.applySettings();
    window.runCommand(kalder::app::cmd::kBrowserOnly);
    EXPECT_TRUE(window.browserOnly());
    EXPECT_FALSE(window.menuBar()->isVisible());
    EXPECT_FALSE(window.viewingArea()->isVisible());
    EXPECT_TRUE(window.browserPane()->fileList()->isVisible());
    QTest::keyClick(window.browserPane()->fileList(), Qt::Key_Escape);
    EXPECT_FALSE(window.browserOnly());
    EXPECT_TRUE(window.menuBar()->isVisible());
    EXPECT_TRUE(window.viewingArea()->isVisible());
}

TEST(MainWindow, TheNameBarReadsBlackOnWhiteAndWhiteOnBlackOrMidGray) {
    if (!haveBmpReader()) GTEST_SKIP();
    Viewer v(400, 300, 50, 40);
    v.window.settings().nameBarVisible = true;
    for (const auto& [background, expected] :
         {std::pair{0x00FFFFFFu, QColor(Qt::black)}, std::pair{0x00000000u, QColor(Qt::white)},
          std::pair{0x00808080u, QColor(Qt::white)}}) {
        v.window.settings().backgroundColor = background;
        v.window.applySettings();
        kalder::gui::NameBar* bar = v.window.nameBar();
        ASSERT_TRUE(bar->isVisible());
        EXPECT_EQ(bar->text(), "image");
        EXPECT_EQ(bar->textColor(), expected);
        // The drawn text uses that colour: some pixel of the strip has it.
        const QImage shot = bar->grab().toImage();
        bool found = false;
        for (int y = 0; y < shot.height() && !found; ++y)
            for (int x = 0; x < shot.width() && !found; ++x)
                found = QColor(shot.pixel(x, y)) == expected;
        EXPECT_TRUE(found);
    }
    EXPECT_EQ(v.area()->height() + v.window.nameBar()->height(), 300)
        << "the viewing area leaves room for the strip";
}

TEST(MainWindow, AFileStartLeavesTheStoredWindowRectangleAlone) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    kalder::test::writeFile(dir / "a.bmp", halfAndHalf(40, 30));
    const kalder::app::Rect stored{100, 80, 740, 560};
    {
        MainWindow window;
        window.settings().windowRect = stored;
        window.settings().fullScreenViewing = false;
        window.settings().commandLineFile = (dir / "a.bmp").string();
        window.applySettings();
        ASSERT_TRUE(window.Create({(dir / "a.bmp").string(), true, false}));
        window.show();
        window.move(30, 40);
        window.resize(500, 350);
        QCoreApplication::processEvents();
        EXPECT_EQ(window.settings().windowRect, stored);
        // Once the browser was shown, moves and sizes are stored.
        window.runCommand(kalder::app::cmd::kViewerBrowser);
        EXPECT_TRUE(window.settings().commandLineFile.empty());
        window.resize(520, 360);
        QCoreApplication::processEvents();
        EXPECT_EQ(window.settings().windowRect.right - window.settings().windowRect.left, 520);
        EXPECT_EQ(window.settings().windowRect.bottom - window.settings().windowRect.top, 360);
    }
}

TEST(MainWindow, ACommandLineFolderOrMissingFileIsHandled) {
    TempDir dir;
    MainWindow window;
    // Reads and closes the error box as soon as it appears.
    QString seen;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = box->text();
            box->close();
        }
    });
    closer.start(20);
    const std::string missing = (dir / "gone.png").string();
    EXPECT_FALSE(window.Create({missing, true, false}));
    EXPECT_EQ(seen.toStdString(), "Cannot view file: \"" + missing + ".\"");
}
