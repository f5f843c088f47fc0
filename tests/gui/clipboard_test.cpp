// The clipboard offer for an image: what is in it, in this process and, under an X server, as
// another program reads it. The window's headers come before Qt's keyword macros.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/core/command_ids.h"
#include "app/core/settings.h"
#include "app/core/startup.h"
#include "app/gui/main_window.h"
#include "image/bitmap32.h"
#include "shell/qt/clipboard_qt.h"
#include "support/test_support.h"

using namespace kalder;

namespace {

// 4 x 3, black but for a red pixel at (2, 1).
void makeFrame(image::Bitmap32& frame) {
    ASSERT_TRUE(frame.Create(4, 3));
    frame.row(1)[2 * 4 + 2] = 255;
}

// The picture in these bytes (a PNG or BMP file), decoded by our own readers.
void expectFrame(const QByteArray& bytes, const char* name) {
    test::TempDir dir;
    test::writeFile(dir / name, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    const std::optional<test::RgbImage> image = test::decodeWithKalder(dir / name);
    ASSERT_TRUE(image) << name;
    ASSERT_EQ(image->width, 4);
    ASSERT_EQ(image->height, 3);
    EXPECT_EQ(image->at(2, 1)[0], 255);
    EXPECT_EQ(image->at(2, 1)[1], 0);
    EXPECT_EQ(image->at(1, 2)[0], 0);
}

const std::filesystem::path kFile = "/photos/my pic ü.png";

TEST(Clipboard, OffersPictureTextAndFile) {
    image::Bitmap32 frame;
    makeFrame(frame);
    ASSERT_TRUE(shell::copyImageToClipboard(frame, kFile));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    expectFrame(data->data("image/png"), "copy.png");
    // The bitmap is the 24-bit kind a paste into older programs expects.
    const QByteArray bmp = data->data("image/bmp");
    ASSERT_GT(bmp.size(), 30);
    EXPECT_EQ(bmp.left(2), QByteArray("BM"));
    EXPECT_EQ(bmp[28], 24);
    expectFrame(bmp, "copy.bmp");
    EXPECT_EQ(data->text(), QString::fromUtf8("/photos/my pic ü.png"));
    ASSERT_EQ(data->urls().size(), 1);
    EXPECT_EQ(data->urls()[0].toLocalFile(), QString::fromUtf8("/photos/my pic ü.png"));
    EXPECT_EQ(data->data("x-special/gnome-copied-files"),
              QByteArray("copy\nfile:///photos/my%20pic%20%C3%BC.png"));

    image::Bitmap32 empty;
    EXPECT_FALSE(shell::copyImageToClipboard(empty, kFile));
}

// A file name that is not UTF-8 reaches file managers byte for byte, not as U+FFFD.
TEST(Clipboard, FileNamesKeepTheirBytes) {
    image::Bitmap32 frame;
    makeFrame(frame);
    ASSERT_TRUE(shell::copyImageToClipboard(frame, "/photos/lat\xE9.jpg"));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->data("text/uri-list").trimmed(), QByteArray("file:///photos/lat%E9.jpg"));
    EXPECT_EQ(data->data("x-special/gnome-copied-files"),
              QByteArray("copy\nfile:///photos/lat%E9.jpg"));
}

// "Copy Image to Clipboard" from the browser, where the viewing area is a small pane: the
// picture itself at its own size, or fitted to the area when the settings ask for that.
TEST(Clipboard, TheBrowserCopiesThePictureAtItsOwnSize) {
    if (!test::haveBmpReader()) GTEST_SKIP() << "no BMP reader in this build";
    test::TempDir dir;
    test::writeFile(dir / "wide.bmp", test::bmp24(300, 200, [](int x, int) {
                        return x < 150 ? 0xFF0000u : 0x0000FFu;
                    }));
    gui::MainWindow window;
    window.settings().fullScreenViewing = false;
    window.applySettings();
    window.resize(400, 300);
    ASSERT_TRUE(window.Create({dir.path().string(), false, false}));
    window.show();
    QSignalSpy shown(&window, &gui::MainWindow::imageShown);
    ASSERT_TRUE(window.openFile(dir / "wide.bmp"));
    if (shown.isEmpty()) {
        ASSERT_TRUE(shown.wait(5000));
    }
    ASSERT_FALSE(window.viewerMode());
    for (const bool atWindowSize : {false, true}) {
        window.settings().copyAtWindowSize = atWindowSize;
        QGuiApplication::clipboard()->clear();
        window.runCommand(app::cmd::kCopyImage);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_TRUE(data && data->hasFormat("image/png"));
        const QByteArray png = data->data("image/png");
        test::TempDir out;
        test::writeFile(out / "copy.png", std::vector<std::uint8_t>(png.begin(), png.end()));
        const std::optional<test::RgbImage> copy = test::decodeWithKalder(out / "copy.png");
        ASSERT_TRUE(copy);
        if (atWindowSize) {
            EXPECT_LT(copy->width, 300);
            continue;
        }
        ASSERT_EQ(copy->width, 300);
        ASSERT_EQ(copy->height, 200);
        EXPECT_EQ(copy->at(10, 100)[0], 255) << "the picture, not a flat fill";
        EXPECT_EQ(copy->at(290, 100)[2], 255);
        EXPECT_EQ(data->urls().value(0).toLocalFile().toStdString(), (dir / "wide.bmp").string());
    }
}

// Another process reads our picture from the X clipboard. The test runs itself again on an
// X server of its own, where the clipboard is real.
TEST(Clipboard, AnotherProgramReadsThePicture) {
    if (QGuiApplication::platformName() == "xcb") {
        image::Bitmap32 frame;
        makeFrame(frame);
        ASSERT_TRUE(shell::copyImageToClipboard(frame, kFile));
        // The owner must keep serving the selection while xclip asks for it.
        QProcess xclip;
        QEventLoop loop;
        QObject::connect(&xclip, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        xclip.start("xclip", {"-o", "-selection", "clipboard", "-t", "image/png"});
        loop.exec();
        ASSERT_EQ(xclip.state(), QProcess::NotRunning);
        expectFrame(xclip.readAllStandardOutput(), "read.png");
        return;
    }
    if (std::system("command -v xvfb-run >/dev/null && command -v xclip >/dev/null") != 0)
        GTEST_SKIP() << "xvfb-run or xclip is missing";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command =
        "QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 640x480x24 -noreset' '" + self +
        "' --gtest_filter=Clipboard.AnotherProgramReadsThePicture >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

}  // namespace
