// The folder model's headers come before Qt's keyword macros can reach them.
#include "app/gui/thumbnail_browser.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <cstdlib>

#include "image/format_table.h"
#include "image/image_reader.h"
#include "shell/file_operations.h"
#include "shell/trash.h"
#include "support/test_support.h"
#include "view/folder_images.h"

using kalder::gui::ThumbnailBrowser;
using kalder::test::Bytes;
using kalder::test::TempDir;
namespace view = kalder::view;
namespace fs = std::filesystem;

namespace {

using kalder::test::haveBmpReader;

// Left half red, right half blue.
std::vector<std::uint8_t> halfAndHalf(int w, int h) {
    return kalder::test::bmp24(w, h, [w](int x, int) { return x < w / 2 ? 0xFF0000u : 0x0000FFu; });
}

// A folder of small images in a browser of a known size.
struct Browser {
    TempDir dir;
    view::FolderImages images;
    ThumbnailBrowser browser;

    explicit Browser(int files, int height = 330) {
        for (int i = 0; i < files; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "f%02d.bmp", i);
            kalder::test::writeFile(dir / name, halfAndHalf(20, 10));
        }
        EXPECT_TRUE(images.loadFolder(dir.path()));
        browser.setImages(&images);
        browser.resize(500, height);
        browser.show();
        browser.setMode(ThumbnailBrowser::Mode::SmallThumbnails);
        browser.refresh();
        browser.setCurrent(images.at(0));
    }
    std::size_t current() const { return browser.current()->index(); }
    std::vector<std::size_t> selected() const {
        std::vector<std::size_t> out;
        for (const view::ImageEntry* e : images.selectedEntries()) out.push_back(e->index());
        return out;
    }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(&browser, k, m);
    }
    void click(std::size_t i, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::mouseClick(browser.viewport(), Qt::LeftButton, m, browser.cellRect(i).center());
    }
};

}  // namespace

TEST(ThumbnailBrowser, ColumnsFillTopToBottomAndScrollSideways) {
    if (!haveBmpReader()) GTEST_SKIP();
    Browser b(20);
    const int rowHeight = ThumbnailBrowser::kSmallBox + b.browser.fontMetrics().height() + 8;
    EXPECT_EQ(b.browser.rowHeight(), rowHeight);
    const int rows = b.browser.rowsPerColumn();
    EXPECT_EQ(rows, std::max(1, (b.browser.viewport()->height() - 1) / rowHeight));
    ASSERT_GE(rows, 2);
    // Down the first column, then on in the next one, a gap of one small icon apart.
    EXPECT_EQ(b.browser.cellRect(0), QRect(16, 0, 86, rowHeight));
    EXPECT_EQ(b.browser.cellRect(1).topLeft(), QPoint(16, rowHeight));
    EXPECT_EQ(b.browser.cellRect(static_cast<std::size_t>(rows)).topLeft(),
              QPoint(16 + 86 + 16, 0));
    // 20 files need more columns than 500 pixels hold.
    EXPECT_GT(b.browser.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(b.browser.indexAt(b.browser.cellRect(3).center()), 3);
    EXPECT_EQ(b.browser.indexAt(QPoint(2, 2)), -1) << "the gap left of the first column";
    // The mouse wheel turned towards the user moves the strip on to the right, and back.
    QScrollBar* bar = b.browser.horizontalScrollBar();
    const QPoint inside = b.browser.viewport()->rect().center();
    auto wheel = [&](int delta) {
        QWheelEvent event(inside, b.browser.viewport()->mapToGlobal(inside), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(b.browser.viewport(), &event);
    };
    wheel(-120);
    const int scrolled = bar->value();
    EXPECT_GT(scrolled, 0);
    wheel(120);
    EXPECT_LT(bar->value(), scrolled);

    // The list view: one row per icon or font height, cells as wide as the names.
    b.browser.setMode(ThumbnailBrowser::Mode::List);
    const int listRow = std::max(16, b.browser.fontMetrics().height()) + 1;
    EXPECT_EQ(b.browser.rowHeight(), listRow);
    EXPECT_EQ(b.browser.cellRect(1).top(), listRow);
    EXPECT_EQ(b.browser.thumbnailRect(0), QRect());

    b.browser.setMode(ThumbnailBrowser::Mode::BigThumbnails);
    EXPECT_EQ(b.browser.cellRect(0).width(), 126);
    EXPECT_EQ(b.images.thumbnailLoader().box(), 120);
}

TEST(ThumbnailBrowser, AWideImageGetsAnEightyByTwentySevenThumbnailDrawnFromItsPixels) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir dir;
    kalder::test::writeFile(dir / "wide.bmp", halfAndHalf(3000, 1000));
    kalder::test::writeFile(dir / "a_name_far_too_long_for_a_thumbnail_cell.bmp",
                            halfAndHalf(8, 8));
    view::FolderImages images;
    ASSERT_TRUE(images.loadFolder(dir.path()));
    ThumbnailBrowser browser;
    browser.setImages(&images);
    browser.resize(400, 300);
    browser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&browser));
    browser.setMode(ThumbnailBrowser::Mode::SmallThumbnails);
    browser.refresh();
    ASSERT_EQ(images.at(1)->name(), "wide.bmp");
    ASSERT_TRUE(QTest::qWaitFor([&] { return images.at(1)->thumbnailReady(); }, 10000));
    EXPECT_TRUE(browser.poll()) << "a thumbnail became ready since the last paint";

    const QRect cell = browser.cellRect(1);
    const QRect thumb = browser.thumbnailRect(1);
    EXPECT_EQ(thumb.size(), QSize(80, 27));
    EXPECT_EQ(thumb.center().x(), cell.left() + 3 + 40 - 1);
    const QImage shot = browser.viewport()->grab().toImage();
    const QColor left = shot.pixelColor(thumb.left() + 5, thumb.center().y());
    const QColor right = shot.pixelColor(thumb.right() - 5, thumb.center().y());
    EXPECT_EQ(left, QColor(255, 0, 0));
    EXPECT_EQ(right, QColor(0, 0, 255));
    EXPECT_NE(shot.pixelColor(thumb.center().x(), thumb.top() - 3), QColor(255, 0, 0))
        << "nothing is drawn above the thumbnail";
    EXPECT_FALSE(browser.poll()) << "everything visible was painted";

    // A long name is cut with "..." to the cell, a short one is drawn whole.
    EXPECT_EQ(browser.shownName(1), QStringLiteral("wide.bmp"));
    const QString cut = browser.shownName(0);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("...")));
    EXPECT_LE(browser.fontMetrics().horizontalAdvance(cut), 80);
    EXPECT_TRUE(
        QStringLiteral("a_name_far_too_long_for_a_thumbnail_cell.bmp").startsWith(cut.chopped(3)));
}

TEST(ThumbnailBrowser, ArrowKeysFollowTheColumns) {
    if (!haveBmpReader()) GTEST_SKIP();
    Browser b(7);
    const auto rows = static_cast<std::size_t>(b.browser.rowsPerColumn());
    ASSERT_EQ(rows, 3u) << "the browser is three rows high";
    QSignalSpy changed(&b.browser, &ThumbnailBrowser::currentChanged);
    b.key(Qt::Key_Up);
    EXPECT_EQ(b.current(), 0u) << "nothing before the first item";
    b.key(Qt::Key_Down);
    EXPECT_EQ(b.current(), 1u);
    b.key(Qt::Key_Right);
    EXPECT_EQ(b.current(), 4u) << "same row of the next column";
    b.key(Qt::Key_Right);
    EXPECT_EQ(b.current(), 6u) << "the last column is shorter: its last item";
    b.key(Qt::Key_Right);
    EXPECT_EQ(b.current(), 6u);
    b.key(Qt::Key_Up);
    EXPECT_EQ(b.current(), 5u) << "from the first row to the last row of the previous column";
    b.key(Qt::Key_Down);
    EXPECT_EQ(b.current(), 6u);
    b.key(Qt::Key_Left);
    EXPECT_EQ(b.current(), 3u);
    b.key(Qt::Key_Left);
    EXPECT_EQ(b.current(), 0u) << "from the first column to its first item";
    EXPECT_EQ(b.selected(), std::vector<std::size_t>{0});
    b.key(Qt::Key_Down, Qt::ShiftModifier);
    b.key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(b.selected(), (std::vector<std::size_t>{0, 1, 2}));
    b.key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(b.selected(), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(b.current(), 1u);
    EXPECT_EQ(changed.count(), 10);
}

TEST(ThumbnailBrowser, ClicksSelectOneARangeOrToggle) {
    if (!haveBmpReader()) GTEST_SKIP();
    Browser b(8);
    b.click(2);
    EXPECT_EQ(b.current(), 2u);
    EXPECT_EQ(b.selected(), std::vector<std::size_t>{2});
    b.click(5, Qt::ShiftModifier);
    EXPECT_EQ(b.selected(), (std::vector<std::size_t>{2, 3, 4, 5}));
    b.click(3, Qt::ControlModifier);
    EXPECT_EQ(b.selected(), (std::vector<std::size_t>{2, 4, 5}));
    b.click(3, Qt::ControlModifier);
    EXPECT_EQ(b.selected(), (std::vector<std::size_t>{2, 3, 4, 5}));
    b.click(7);
    EXPECT_EQ(b.selected(), std::vector<std::size_t>{7});
    QSignalSpy activated(&b.browser, &ThumbnailBrowser::activated);
    QTest::mouseDClick(b.browser.viewport(), Qt::LeftButton, Qt::NoModifier,
                       b.browser.cellRect(7).center());
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated.front().front().value<view::ImageEntry*>(), b.images.at(7));
    // A click beside every cell clears the selection.
    QTest::mouseClick(b.browser.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    EXPECT_TRUE(b.selected().empty());
}

TEST(ThumbnailBrowser, DeleteMovesTheSelectedFilesToTheTrashAndUndoBringsThemBack) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir home;
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const std::string saved = oldData ? oldData : "";
    ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    {
        Browser b(4);
        kalder::shell::Trash trash;
        ASSERT_EQ(trash.homeTrash(), home / "data" / "Trash");
        kalder::shell::FileOperations operations(trash);
        b.browser.setFileOperations(&operations);
        QSignalSpy removed(&b.browser, &ThumbnailBrowser::entriesRemoved);
        b.click(1);
        b.click(2, Qt::ShiftModifier);
        b.key(Qt::Key_Delete);
        ASSERT_EQ(removed.count(), 1);
        EXPECT_FALSE(fs::exists(b.dir / "f01.bmp"));
        EXPECT_FALSE(fs::exists(b.dir / "f02.bmp"));
        EXPECT_TRUE(fs::exists(home / "data" / "Trash" / "files" / "f01.bmp"));
        EXPECT_TRUE(fs::exists(home / "data" / "Trash" / "files" / "f02.bmp"));
        ASSERT_EQ(b.images.size(), 2u);
        // The one after the last removed file becomes current.
        EXPECT_EQ(b.browser.current()->name(), "f03.bmp");
        EXPECT_EQ(removed.front().front().value<view::ImageEntry*>(), b.browser.current());

        ASSERT_TRUE(operations.canUndo());
        EXPECT_TRUE(operations.undo().ok);
        EXPECT_TRUE(fs::exists(b.dir / "f01.bmp"));
        EXPECT_TRUE(fs::exists(b.dir / "f02.bmp"));
    }
    if (oldData)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

TEST(ThumbnailBrowser, AFileThatCannotBeReadGetsThePlaceholderAtTheBoxSize) {
    TempDir dir;
    const std::string text = "not a picture, only words\n";
    kalder::test::writeFile(dir / "notes.jpg", std::vector<std::uint8_t>(text.begin(), text.end()));
    view::FolderImages images;
    ASSERT_TRUE(images.loadFolder(dir.path()));
    ASSERT_EQ(images.size(), 1u);
    ThumbnailBrowser browser;
    browser.setImages(&images);
    browser.resize(400, 300);
    browser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&browser));
    for (const auto mode :
         {ThumbnailBrowser::Mode::BigThumbnails, ThumbnailBrowser::Mode::SmallThumbnails}) {
        browser.setMode(mode);
        browser.refresh();
        ASSERT_TRUE(QTest::qWaitFor([&] { return images.at(0)->thumbnailReady(); }, 10000));
        EXPECT_EQ(browser.thumbnailRect(0).size(), QSize(browser.box(), browser.box()));
    }
}
