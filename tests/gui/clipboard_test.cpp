// The clipboard offer for an image: what is in it, in this process and, under an X server, as
// another program reads it.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <string>

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

void expectFrame(const QImage& image) {
    ASSERT_EQ(image.size(), QSize(4, 3));
    EXPECT_EQ(image.pixel(2, 1) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(image.pixel(1, 2) & 0xFFFFFF, 0u);
}

const std::filesystem::path kFile = "/photos/my pic ü.png";

TEST(Clipboard, OffersPictureTextAndFile) {
    image::Bitmap32 frame;
    makeFrame(frame);
    ASSERT_TRUE(shell::copyImageToClipboard(frame, kFile));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasImage());
    expectFrame(qvariant_cast<QImage>(data->imageData()));
    EXPECT_EQ(data->text(), QString::fromUtf8("/photos/my pic ü.png"));
    ASSERT_EQ(data->urls().size(), 1);
    EXPECT_EQ(data->urls()[0].toLocalFile(), QString::fromUtf8("/photos/my pic ü.png"));
    EXPECT_EQ(data->data("x-special/gnome-copied-files"),
              QByteArray("copy\nfile:///photos/my%20pic%20%C3%BC.png"));

    image::Bitmap32 empty;
    EXPECT_FALSE(shell::copyImageToClipboard(empty, kFile));
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
        expectFrame(QImage::fromData(xclip.readAllStandardOutput(), "PNG"));
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
