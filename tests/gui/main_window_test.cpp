#include "app/gui/main_window.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QtMath>
#include <cstdlib>

#include "app/core/command_ids.h"
#include "app/core/startup.h"
#include "app/gui/browser_pane.h"
#include "app/gui/dialogs/dialog_base.h"
#include "app/gui/dialogs/help_window.h"
#include "app/gui/folder_navigator.h"
#include "app/gui/name_bar.h"
#include "app/gui/properties_panel.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/tools/tool_context.h"
#include "app/gui/viewer_frames.h"
#include "app/gui/viewing_area.h"
#include "image/bitmap32.h"
#include "image/format_table.h"
#include "image/image_reader.h"
#include "support/test_support.h"
#include "view/folder_images.h"

using kalder::gui::MainWindow;
using kalder::gui::ViewingArea;
using kalder::test::Bytes;
using kalder::test::TempDir;
namespace view = kalder::view;

namespace {

using kalder::test::haveBmpReader;

// Left half red, right half blue.
std::vector<std::uint8_t> halfAndHalf(int w, int h) {
    return kalder::test::bmp24(w, h, [w](int x, int) { return x < w / 2 ? 0xFF0000u : 0x0000FFu; });
}

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
    // A small picture may be decoded and announced before openFile returns.
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    EXPECT_TRUE(shown.takeFirst().at(0).toBool());
    auto* view = window.viewingArea();
    ASSERT_NE(view->image(), nullptr);
    // Device pixels: on a scaled screen the image fills the screen's own resolution.
    const view::PixelSize client = view->clientSize();
    EXPECT_EQ(view->image()->width(), client.width) << "the wide image fills the width";
    const QImage shot = view->grab().toImage();
    const int y = client.height / 2;
    EXPECT_EQ(QColor(shot.pixel(client.width / 4, y)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(3 * client.width / 4, y)), QColor(0, 0, 255));
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
    ASSERT_TRUE(window.folder().openFolder(dir.path()));
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    shown.clear();
    EXPECT_EQ(window.currentFile().filename(), "a.bmp");
    EXPECT_EQ(window.viewingArea()->image()->width(), 20);
    QTest::keyClick(window.viewingArea(), Qt::Key_PageDown);
    // A prefetched neighbour is announced before the key returns.
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    shown.clear();
    EXPECT_EQ(window.currentFile().filename(), "b.bmp");
    EXPECT_EQ(window.viewingArea()->image()->width(), 30);
    QTest::keyClick(window.viewingArea(), Qt::Key_Home);
    // A prefetched neighbour is announced before the key returns.
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    shown.clear();
    EXPECT_EQ(window.currentFile().filename(), "a.bmp");
}

TEST(MainWindow, RefusesWhatIsNotAFile) {
    TempDir dir;
    MainWindow window;
    EXPECT_FALSE(window.folder().openFolder(dir.path())) << "an empty folder has nothing to show";
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
    // The flip icon shows while the image is mirrored, not after it was mirrored back.
    v.key(Qt::Key_BracketLeft, Qt::AltModifier);
    ASSERT_TRUE(v.waitShown());
    EXPECT_EQ(v.area()->osdIcon(), 0);
    v.key(Qt::Key_BracketLeft, Qt::AltModifier);
    ASSERT_TRUE(v.waitShown());
    EXPECT_EQ(v.area()->osdIcon(), -1);
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
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.frames().idle(); }, 10000));
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
    kalder::gui::ThumbnailBrowser* list = window.browserPane()->fileList();
    ASSERT_EQ(window.images().size(), 2u);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);  // Last File
    EXPECT_EQ(window.currentFile().filename(), "b.bmp");
    QTest::keyClick(list, Qt::Key_Return);  // Viewer/Browser
    EXPECT_TRUE(window.viewerMode());
    EXPECT_TRUE(window.viewerFromBrowser());
    EXPECT_FALSE(window.browserPane()->isVisible());
    EXPECT_FALSE(window.menuBar()->isVisible());
    QTest::keyClick(window.viewingArea(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.viewerMode(); }, 5000));
    EXPECT_TRUE(window.isVisible()) << "Escape went back to the browser, not out of the program";
    EXPECT_FALSE(window.viewerFromBrowser());
    EXPECT_EQ(window.currentFile().filename(), "b.bmp");
    EXPECT_EQ(list->current(), window.images().at(1));
    EXPECT_TRUE(window.images().at(1)->selected);
    EXPECT_FALSE(window.images().at(0)->selected);
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
        if (exitWithEsc) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 5000));
        } else {
            QCoreApplication::processEvents();
            EXPECT_TRUE(window.isVisible());
            EXPECT_TRUE(window.viewerMode());
        }
    }
}

// A file opening full screen is asked for at the screen's size before the window shows, and the
// window once shown asks for nothing else: the decode begun early is the one that is shown.
TEST(MainWindow, AFullScreenStartDecodesWhileTheWindowIsBuilt) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    kalder::test::writeFile(dir / "a.bmp", halfAndHalf(3000, 200));
    MainWindow window;
    window.settings().fullScreenViewing = true;
    window.settings().wallpaperBackground = false;
    window.applySettings();
    ASSERT_TRUE(window.Create({(dir / "a.bmp").string(), true, false}));
    const view::DisplayLoader& loader = window.images().displayLoader();
    const view::DisplayRequest early = loader.requestSlots()[view::DisplayLoader::Current];
    ASSERT_EQ(early.entry, window.currentEntry());
    const QScreen* screen = window.screen();
    EXPECT_EQ(early.fitWidth, qFloor(screen->geometry().width() * screen->devicePixelRatio()));

    QSignalSpy shown(&window, &MainWindow::imageShown);
    window.show();
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_TRUE(shown.takeFirst().at(0).toBool());
    EXPECT_EQ(loader.requestSlots()[view::DisplayLoader::Current], early);
    EXPECT_EQ(window.viewingArea()->image()->width(), window.viewingArea()->clientSize().width);
}

// The properties window takes the keyboard when it opens: Escape closes it and nothing else.
TEST(MainWindow, EscapeInThePropertiesWindowClosesOnlyIt) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    kalder::test::writeFile(dir / "a.bmp", halfAndHalf(40, 30));
    MainWindow window;
    window.settings().exitWithEsc = true;
    window.settings().fullScreenViewing = false;
    window.applySettings();
    ASSERT_TRUE(window.Create({(dir / "a.bmp").string(), true, false}));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.runCommand(kalder::app::cmd::kImageProperties);
    auto* panel = window.findChild<kalder::gui::PropertiesPanel*>();
    ASSERT_TRUE(panel && panel->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
    ASSERT_TRUE(QApplication::focusWidget());
    EXPECT_EQ(QApplication::focusWidget()->window(), panel);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isVisible()) << "Escape in the properties window ended the program";
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
    v.window.settings().themeBackground = false;  // the user's own colours
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

TEST(MainWindow, NextFileShowsThePrefetchedImageWithoutDecodingAgain) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        kalder::test::writeFile(dir / name, halfAndHalf(300, 200));
    MainWindow window;
    window.settings().wallpaperBackground = false;
    window.applySettings();
    window.resize(640, 480);
    window.show();
    QSignalSpy shown(&window, &MainWindow::imageShown);
    ASSERT_TRUE(window.openFile(dir / "a.bmp"));
    ASSERT_TRUE(shown.count() > 0 || shown.wait(5000));
    shown.clear();
    view::DisplayLoader& loader = window.images().displayLoader();
    ASSERT_TRUE(loader.waitUntilIdle(std::chrono::seconds(5)));
    view::ImageEntry* b = window.images().at(1);
    ASSERT_GT(b->pageCount(), 0) << "the next image was decoded ahead";
    const std::int32_t starts = loader.starts();

    window.runCommand(kalder::app::cmd::kNextFile);
    // On screen at once: no wait for a worker.
    ASSERT_EQ(shown.count(), 1);
    EXPECT_TRUE(shown.takeFirst().at(0).toBool());
    EXPECT_EQ(window.currentEntry(), b);
    EXPECT_EQ(window.viewingArea()->image(), &b->document().PageAt(0).bitmap);
    EXPECT_EQ(loader.starts(), starts) << "the window moved on; nothing was decoded again";
    EXPECT_EQ(loader.requestSlots()[view::DisplayLoader::Previous].entry, window.images().at(0));
    EXPECT_EQ(loader.requestSlots()[view::DisplayLoader::Next].entry, window.images().at(2));

    // Back again: the previous image is still decoded too.
    window.runCommand(kalder::app::cmd::kPreviousFile);
    ASSERT_EQ(shown.count(), 1);
    EXPECT_EQ(window.viewingArea()->image(), &window.images().at(0)->document().PageAt(0).bitmap);
}

namespace {

// A 2 x 2 GIF of solid frames, each `delay` hundredths long. Every pixel code follows a clear
// code, so the LZW stream stays at three bits without a dictionary.
std::vector<std::uint8_t> solidFramesGif(const std::vector<int>& colours, int delay) {
    Bytes b;
    b.str("GIF89a").u16le(2).u16le(2).u8(0x81).u8(0).u8(0);  // 4-entry global table
    for (std::uint8_t c : {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255}) b.u8(c);
    b.u8(0x21).u8(0xff).u8(11).str("NETSCAPE2.0").u8(3).u8(1).u16le(0).u8(0);
    for (const int colour : colours) {
        b.u8(0x21).u8(0xf9).u8(4).u8(0).u16le(delay).u8(0).u8(0);
        b.u8(0x2c).u16le(0).u16le(0).u16le(2).u16le(2).u8(0).u8(2);
        std::uint32_t bits = 0;
        int count = 0;
        std::vector<std::uint8_t> data;
        auto put = [&](std::uint32_t code) {
            bits |= code << count;
            count += 3;
            while (count >= 8) {
                data.push_back(static_cast<std::uint8_t>(bits));
                bits >>= 8;
                count -= 8;
            }
        };
        for (int i = 0; i < 4; ++i) {
            put(4);
            put(static_cast<std::uint32_t>(colour));
        }
        put(5);
        if (count > 0) data.push_back(static_cast<std::uint8_t>(bits));
        b.u8(static_cast<std::uint8_t>(data.size()));
        for (std::uint8_t d : data) b.u8(d);
        b.u8(0);
    }
    b.u8(0x3b);
    return b.data;
}

}  // namespace

TEST(MainWindow, AnimationsPlayByTheirDelaysAndFrameKeysStopThem) {
    if (!kalder::image::createReaderForCode(kalder::image::FormatCode::Gif)) GTEST_SKIP();
    TempDir dir;
    kalder::test::writeFile(dir / "anim.gif", solidFramesGif({1, 2, 3}, 10));
    MainWindow window;
    window.resize(320, 240);
    window.show();
    QSignalSpy shown(&window, &MainWindow::imageShown);
    ASSERT_TRUE(window.openFile(dir / "anim.gif"));
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    view::ImageEntry* e = window.currentEntry();
    ASSERT_EQ(e->pageCount(), 3);
    auto page = [&](int i) { return &e->document().PageAt(i).bitmap; };
    // Every frame comes round, and after the last the first again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.viewingArea()->image() == page(1); }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.viewingArea()->image() == page(2); }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.viewingArea()->image() == page(0); }, 3000));
    EXPECT_TRUE(window.frames().animation().playing());

    window.runCommand(kalder::app::cmd::kLastFrame);
    EXPECT_FALSE(window.frames().animation().playing());
    EXPECT_EQ(window.viewingArea()->image(), page(2));
    window.runCommand(kalder::app::cmd::kNextFrame);
    EXPECT_EQ(window.viewingArea()->image(), page(2)) << "nothing after the last frame";
    window.runCommand(kalder::app::cmd::kPreviousFrame);
    EXPECT_EQ(window.viewingArea()->image(), page(1));
    window.runCommand(kalder::app::cmd::kAnimation);
    EXPECT_TRUE(window.frames().animation().playing());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.viewingArea()->image() == page(2); }, 3000));
}

TEST(MainWindow, TheSlideShowMovesOnAndWrapsBackwardWhenRepeating) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        kalder::test::writeFile(dir / name, halfAndHalf(20, 10));
    MainWindow window;
    window.settings().slideDelay = 1;
    window.settings().slideBackward = true;
    window.settings().slideRepeat = true;
    window.applySettings();
    window.resize(320, 240);
    window.show();
    ASSERT_TRUE(window.openFile(dir / "b.bmp"));
    window.runCommand(kalder::app::cmd::kSlideShow);
    EXPECT_TRUE(window.frames().slideShow().running());
    auto current = [&] { return window.currentFile().filename().string(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return current() == "a.bmp"; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return current() == "c.bmp"; }, 5000))
        << "wrapped to the last file";
    window.runCommand(kalder::app::cmd::kSlideShow);
    EXPECT_FALSE(window.frames().slideShow().running());
}

TEST(MainWindow, DeleteInTheBrowserTrashesTheFileAndShowsTheNextOne) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    TempDir home;
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const std::string saved = oldData ? oldData : "";
    ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        kalder::test::writeFile(dir / name, halfAndHalf(40, 30));
    {
        MainWindow window;
        window.settings().fullScreenViewing = false;
        window.applySettings();
        window.resize(640, 480);
        ASSERT_TRUE(window.Create({dir.path().string(), false, false}));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QSignalSpy shown(&window, &MainWindow::imageShown);
        kalder::gui::ThumbnailBrowser* list = window.browserPane()->fileList();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(window.currentFile().filename(), "b.bmp");
        QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
        EXPECT_EQ(window.images().selectedEntries().size(), 2u) << "Shift extends the selection";
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Delete);
        EXPECT_FALSE(std::filesystem::exists(dir / "b.bmp"));
        EXPECT_TRUE(std::filesystem::exists(home / "data" / "Trash" / "files" / "b.bmp"));
        ASSERT_EQ(window.images().size(), 2u);
        EXPECT_EQ(window.currentFile().filename(), "c.bmp");
        EXPECT_EQ(list->current(), window.currentEntry());
        const kalder::image::Bitmap32* frame = &window.currentEntry()->document().PageAt(0).bitmap;
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.viewingArea()->image() == frame; }, 5000));
    }
    if (oldData)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

// Tools work on the browser's selection, and in the viewer on the file on screen only.
TEST(MainWindow, ToolsAreHandedTheSelectionOrTheShownFile) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        kalder::test::writeFile(dir / name, halfAndHalf(40, 30));
    MainWindow window;
    window.settings().fullScreenViewing = false;
    window.applySettings();
    ASSERT_TRUE(window.Create({dir.path().string(), false, false}));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    kalder::gui::ThumbnailBrowser* list = window.browserPane()->fileList();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
    const kalder::gui::ToolContext& tools = window.toolContext();
    EXPECT_EQ(tools.currentFolder(), dir.path());
    EXPECT_EQ(tools.chosenFiles(),
              (std::vector<std::filesystem::path>{dir / "b.bmp", dir / "c.bmp"}));
    window.SetViewerMode(true);
    EXPECT_EQ(tools.chosenFiles(), (std::vector<std::filesystem::path>{window.currentFile()}));
}

TEST(MainWindow, TheBrowserStartsWithTheFirstThumbnailWhole) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    for (int i = 0; i < 60; ++i)
        kalder::test::writeFile(dir / ("f" + std::to_string(100 + i) + ".bmp"), halfAndHalf(8, 8));
    MainWindow window;
    window.resize(800, 600);
    ASSERT_TRUE(window.Create({dir.path().string(), false, false}));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    kalder::gui::ThumbnailBrowser* list = window.browserPane()->fileList();
    ASSERT_EQ(list->current(), window.images().at(0));
    EXPECT_GE(list->cellRect(0).left(), 0);
    EXPECT_EQ(list->horizontalScrollBar()->value(), 0);
    // The neighbours, held back while the thumbnails on screen were made, follow them.
    const view::DisplayLoader& loader = window.images().displayLoader();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return list->visibleThumbnailsMade() &&
                   loader.requestSlots()[view::DisplayLoader::Next].entry == window.images().at(1);
        },
        10000));
}

TEST(MainWindow, F1OpensTheHelpOfTheWindowOrDialogThatHasTheKey) {
    using kalder::gui::DialogBase;
    using kalder::gui::HelpWindow;
    HelpWindow::setHelpDirectory(kalder::test::sourceDir() / "help");
    MainWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::keyClick(window.viewingArea(), Qt::Key_F1);
    auto* help = window.findChild<HelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->currentUrl().toLocalFile().endsWith("index.html"));

    DialogBase dialog(145, &window);  // "Adjust Slide Show"
    dialog.show();
    QSignalSpy opened(&dialog, &DialogBase::helpOpened);
    QTest::keyClick(&dialog, Qt::Key_F1);
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toString(), QStringLiteral("adjust_slide_show"));
    HelpWindow::setHelpDirectory(std::nullopt);
}

TEST(MainWindow, AFileThatCannotBeReadIsNamedAndSaysSo) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    kalder::test::writeFile(dir / "a.bmp", halfAndHalf(40, 30));
    const std::string words = "only words, no picture\n";
    kalder::test::writeFile(dir / "notes.jpg",
                            std::vector<std::uint8_t>(words.begin(), words.end()));
    MainWindow window;
    window.settings().fullScreenViewing = false;
    window.settings().nameBarVisible = true;
    window.applySettings();
    QSignalSpy shown(&window, &MainWindow::imageShown);
    ASSERT_TRUE(window.Create({(dir / "notes.jpg").string(), true, false}));
    window.show();
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    EXPECT_FALSE(shown.takeFirst().at(0).toBool());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("notes.jpg - Kalder"));
    EXPECT_EQ(window.nameBar()->text(), QStringLiteral("notes"));
    const QString message = QStringLiteral("Cannot view file: \"%1.\"")
                                .arg(QString::fromStdString((dir / "notes.jpg").string()));
    auto* box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), message);
    EXPECT_EQ(box->informativeText(), QStringLiteral("not a file of this format"));
    EXPECT_TRUE(box->isVisible());
    // Full screen and back asks for the same file again, but the user was told already.
    box->close();
    QCoreApplication::processEvents();
    for (int i = 0; i < 2; ++i) {
        window.runCommand(kalder::app::cmd::kFullScreen);
        if (shown.isEmpty()) {
            ASSERT_TRUE(shown.wait(5000));
        }
        EXPECT_FALSE(shown.takeFirst().at(0).toBool());
    }
    EXPECT_EQ(window.findChild<QMessageBox*>(), nullptr);

    // Reached by paging, the next failure reuses the box still open.
    window.runCommand(kalder::app::cmd::kPreviousFile);
    if (shown.isEmpty()) {
        ASSERT_TRUE(shown.wait(5000));
    }
    EXPECT_TRUE(shown.takeFirst().at(0).toBool());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("a.bmp - Kalder"));
    window.runCommand(kalder::app::cmd::kNextFile);
    if (shown.isEmpty()) {
        ASSERT_TRUE(shown.wait(5000));
    }
    EXPECT_FALSE(shown.takeFirst().at(0).toBool());
    EXPECT_EQ(window.findChildren<QMessageBox*>().size(), 1);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("notes.jpg - Kalder"));
}

TEST(MainWindow, OtherWindowsOpenWithinTheScreen) {
    MainWindow window;
    const QRect area = window.screen()->availableGeometry();
    kalder::gui::HelpWindow help(&window);
    help.move(area.right() - 100, area.bottom() - 100);
    help.show();
    EXPECT_TRUE(area.contains(help.frameGeometry())) << help.frameGeometry().x();
    EXPECT_EQ(help.size(), QSize(640, 520).boundedTo(area.size()));
}

TEST(MainWindow, AStoredRectangleIsPlacedWithinTheScreen) {
    MainWindow window;
    const QRect area = window.screen()->availableGeometry();
    window.placeWindow({area.left() + 10, area.top() + 20, area.left() + 310, area.top() + 220});
    EXPECT_EQ(window.geometry(), QRect(area.left() + 10, area.top() + 20, 300, 200));
    // Stored on a larger screen or at a smaller scale: shrunk and moved onto this one.
    window.placeWindow({area.right() - 50, area.bottom() - 50, area.right() + 3 * area.width(),
                        area.bottom() + 2 * area.height()});
    EXPECT_TRUE(area.contains(window.geometry())) << window.geometry().x();
    EXPECT_EQ(window.geometry().size(), area.size());
}
