// The browser's mouse work beyond plain clicks: the rubber band, renaming in place (F2 and the
// slow second click), and dragging files out.
#include <gtest/gtest.h>

#include <QCursor>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QUrl>
#include <cstdlib>
#include <fstream>

#include "app/gui/thumbnail_browser.h"
#include "image/format_table.h"
#include "image/image_reader.h"
#include "shell/file_operations.h"
#include "shell/trash.h"
#include "support/test_support.h"
#include "view/descriptions.h"
#include "view/folder_images.h"

using kalder::gui::ThumbnailBrowser;
using kalder::test::Bytes;
using kalder::test::TempDir;
namespace view = kalder::view;
namespace fs = std::filesystem;

namespace {

using kalder::test::haveBmpReader;

std::vector<std::uint8_t> grayBmp() {
    return kalder::test::bmp24(8, 8, [](int, int) { return 0x808080u; });
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A browser over a folder of small files, with file operations on a private Trash.
struct Editing {
    TempDir home;
    TempDir dir;
    std::string savedData;
    bool hadData = false;
    std::unique_ptr<kalder::shell::Trash> trash;
    std::unique_ptr<kalder::shell::FileOperations> operations;
    view::FolderImages images;
    ThumbnailBrowser browser;
    QStringList warnings;

    explicit Editing(int files) {
        if (const char* d = std::getenv("XDG_DATA_HOME")) {
            hadData = true;
            savedData = d;
        }
        ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        trash = std::make_unique<kalder::shell::Trash>();
        operations = std::make_unique<kalder::shell::FileOperations>(*trash);
        for (int i = 0; i < files; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "f%02d.bmp", i);
            kalder::test::writeFile(dir / name, grayBmp());
        }
        EXPECT_TRUE(images.loadFolder(dir.path()));
        browser.setImages(&images);
        browser.setFileOperations(operations.get());
        browser.showWarning = [this](const QString& text) { warnings.push_back(text); };
        browser.resize(500, 330);
        browser.show();
        browser.setMode(ThumbnailBrowser::Mode::SmallThumbnails);
        browser.refresh();
        browser.setCurrent(images.at(0));
    }
    ~Editing() {
        if (hadData)
            ::setenv("XDG_DATA_HOME", savedData.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    std::vector<std::string> selectedNames() const {
        std::vector<std::string> out;
        for (const view::ImageEntry* e : images.selectedEntries()) out.push_back(e->name());
        return out;
    }
    QWidget* viewport() { return browser.viewport(); }
};

}  // namespace

TEST(BrowserEditing, TheRubberBandSelectsTheCellsItCrossesAndGoesAwayOnRelease) {
    if (!haveBmpReader()) GTEST_SKIP();
    Editing e(8);
    ASSERT_GE(e.browser.rowsPerColumn(), 2);
    const QRect first = e.browser.cellRect(0);
    const QRect second = e.browser.cellRect(1);
    // From the gap left of the first column down across the first two cells.
    const QPoint start(first.left() - 4, first.top() + 5);
    ASSERT_LT(e.browser.indexAt(start), 0);
    QSignalSpy selection(&e.browser, &ThumbnailBrowser::selectionChanged);
    QTest::mousePress(e.viewport(), Qt::LeftButton, Qt::NoModifier, start);
    EXPECT_TRUE(e.selectedNames().empty());
    EXPECT_TRUE(e.browser.bandActive());
    QTest::mouseMove(e.viewport(), QPoint(first.left() + 10, second.top() + 10));
    EXPECT_EQ(e.selectedNames(), (std::vector<std::string>{"f00.bmp", "f01.bmp"}));
    EXPECT_FALSE(e.browser.bandRect().isEmpty());
    // Shrinking the band gives cells back.
    QTest::mouseMove(e.viewport(), QPoint(first.left() + 10, first.top() + 10));
    EXPECT_EQ(e.selectedNames(), std::vector<std::string>{"f00.bmp"});
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, Qt::NoModifier,
                        QPoint(first.left() + 10, first.top() + 10));
    EXPECT_FALSE(e.browser.bandActive());
    EXPECT_TRUE(e.browser.bandRect().isEmpty());
    EXPECT_GE(selection.count(), 3);
}

TEST(BrowserEditing, RenamingInPlaceRenamesTheFileAndKeepsItsDescription) {
    if (!haveBmpReader()) GTEST_SKIP();
    Editing e(3);
    e.images.at(1)->description = "the middle one";
    ASSERT_TRUE(view::writeDescriptions(e.dir.path(), e.images.entries()));
    e.browser.setCurrent(e.images.at(1));
    QSignalSpy renamed(&e.browser, &ThumbnailBrowser::entryRenamed);

    ASSERT_TRUE(e.browser.startRename());
    QLineEdit* editor = e.browser.renameEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("f01.bmp"));
    // Only the base name is selected, so typing keeps the extension.
    EXPECT_EQ(editor->selectedText(), QStringLiteral("f01"));
    QTest::keyClicks(editor, QStringLiteral("zz"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(e.browser.renaming());

    EXPECT_FALSE(fs::exists(e.dir / "f01.bmp"));
    EXPECT_TRUE(fs::exists(e.dir / "zz.bmp"));
    ASSERT_EQ(renamed.count(), 1);
    auto* entry = renamed.front().front().value<view::ImageEntry*>();
    EXPECT_EQ(entry->name(), "zz.bmp");
    // The list is sorted again and the renamed entry stays current.
    EXPECT_EQ(e.images.at(2), entry);
    EXPECT_EQ(e.browser.current(), entry);
    EXPECT_EQ(slurp(e.dir / "Descript.ion"), "zz.bmp the middle one\r\n");
    EXPECT_TRUE(e.warnings.isEmpty());
}

TEST(BrowserEditing, EscapeAnInvalidNameOrAnExistingFileLeaveEverythingAsItWas) {
    if (!haveBmpReader()) GTEST_SKIP();
    Editing e(2);
    QSignalSpy renamed(&e.browser, &ThumbnailBrowser::entryRenamed);
    ASSERT_TRUE(e.browser.startRename());
    QTest::keyClicks(e.browser.renameEditor(), QStringLiteral("other"));
    QTest::keyClick(e.browser.renameEditor(), Qt::Key_Escape);
    EXPECT_FALSE(e.browser.renaming());
    EXPECT_TRUE(fs::exists(e.dir / "f00.bmp"));

    // Another file of that name is never replaced.
    EXPECT_FALSE(e.browser.renameEntry(e.images.at(0), QStringLiteral("f01.bmp")));
    EXPECT_EQ(e.warnings.size(), 1);
    EXPECT_FALSE(e.browser.renameEntry(e.images.at(0), QStringLiteral("a/b.bmp")));
    EXPECT_EQ(e.warnings.size(), 2);
    // The same name is no rename at all, and says nothing.
    EXPECT_FALSE(e.browser.renameEntry(e.images.at(0), QStringLiteral("f00.bmp")));
    EXPECT_EQ(e.warnings.size(), 2);
    EXPECT_TRUE(fs::exists(e.dir / "f00.bmp"));
    EXPECT_TRUE(fs::exists(e.dir / "f01.bmp"));
    EXPECT_EQ(renamed.count(), 0);
    EXPECT_EQ(e.images.at(0)->name(), "f00.bmp");
}

TEST(BrowserEditing, ASlowSecondClickOnTheCurrentItemRenamesButADoubleClickDoesNot) {
    if (!haveBmpReader()) GTEST_SKIP();
    Editing e(3);
    e.browser.setFocus();
    const QPoint on = e.browser.cellRect(0).center();
    QCursor::setPos(e.viewport()->mapToGlobal(on));
    QTest::mouseClick(e.viewport(), Qt::LeftButton, Qt::NoModifier, on);
    EXPECT_FALSE(e.browser.renaming());
    QTRY_VERIFY_WITH_TIMEOUT(e.browser.renaming(), 2000);
    QTest::keyClick(e.browser.renameEditor(), Qt::Key_Escape);

    // A click followed by a double click opens the file instead.
    QSignalSpy activated(&e.browser, &ThumbnailBrowser::activated);
    QTest::mouseClick(e.viewport(), Qt::LeftButton, Qt::NoModifier, on);
    QTest::mouseDClick(e.viewport(), Qt::LeftButton, Qt::NoModifier, on);
    EXPECT_FALSE(QTest::qWaitFor([&] { return e.browser.renaming(); }, 1000));
    EXPECT_EQ(activated.count(), 1);

    // A click on another item only moves there.
    QTest::mouseClick(e.viewport(), Qt::LeftButton, Qt::NoModifier, e.browser.cellRect(2).center());
    EXPECT_FALSE(QTest::qWaitFor([&] { return e.browser.renaming(); }, 1000));
    EXPECT_EQ(e.browser.current(), e.images.at(2));
}

TEST(BrowserEditing, DraggingOutCarriesTheWholeSelectionAndAMoveRemovesOnlyWhatLeft) {
    if (!haveBmpReader()) GTEST_SKIP();
    Editing e(5);
    TempDir elsewhere;
    QList<QUrl> carried;
    bool reallyMove = true;
    e.browser.runDrag = [&](QMimeData* data) {
        carried = data->urls();
        // The target moves the first file only and reports a move.
        if (reallyMove)
            fs::rename(fs::path(carried.front().toLocalFile().toStdString()),
                       elsewhere / "moved.bmp");
        return Qt::MoveAction;
    };
    // Select 1..3, then press on 2 and drag: the selection survives the press.
    QTest::mouseClick(e.viewport(), Qt::LeftButton, Qt::NoModifier, e.browser.cellRect(1).center());
    QTest::mouseClick(e.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      e.browser.cellRect(3).center());
    QSignalSpy removed(&e.browser, &ThumbnailBrowser::entriesRemoved);
    const QPoint from = e.browser.cellRect(2).center();
    QTest::mousePress(e.viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(e.viewport(), from + QPoint(30, 0));
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, Qt::NoModifier, from + QPoint(30, 0));

    ASSERT_EQ(carried.size(), 3);
    EXPECT_EQ(carried.front().toLocalFile().toStdString(), (e.dir / "f01.bmp").string());
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(e.images.size(), 4u);
    EXPECT_EQ(e.images.find("f01.bmp"), nullptr);
    EXPECT_NE(e.images.find("f02.bmp"), nullptr);

    // A target that claims a move but left the files changes nothing in the list.
    reallyMove = false;
    e.browser.setCurrent(e.images.at(0));
    const QPoint again = e.browser.cellRect(0).center();
    QTest::mousePress(e.viewport(), Qt::LeftButton, Qt::NoModifier, again);
    QTest::mouseMove(e.viewport(), again + QPoint(30, 0));
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, Qt::NoModifier, again + QPoint(30, 0));
    EXPECT_EQ(carried.size(), 1);
    EXPECT_EQ(e.images.size(), 4u);
    EXPECT_EQ(removed.count(), 1);
}

TEST(BrowserEditing, TooltipsComeAfterTwoDoubleClickTimesWithTheFileFactsOrTheWholeName) {
    if (!haveBmpReader()) GTEST_SKIP();
    Editing e(2);
    const std::string longName = "a-rather-long-name-that-cannot-fit-under-a-thumbnail.bmp";
    kalder::test::writeFile(e.dir / longName, grayBmp());
    ASSERT_TRUE(e.images.loadFolder(e.dir.path()));
    e.browser.refresh();
    ASSERT_EQ(e.images.at(0)->name(), longName);
    EXPECT_EQ(e.browser.tooltipText(0).toStdString(), longName);
    const QString facts = e.browser.tooltipText(1);
    EXPECT_TRUE(facts.contains(QStringLiteral("bytes"))) << facts.toStdString();
    EXPECT_TRUE(facts.contains(QStringLiteral("8x8 pixels"))) << facts.toStdString();
    e.browser.setFileTooltips(false);
    EXPECT_TRUE(e.browser.tooltipText(1).isEmpty());
    e.browser.setFileTooltips(true);

    QApplication::setDoubleClickInterval(100);
    const QPoint on = e.browser.cellRect(1).center();
    QElapsedTimer resting;
    resting.start();
    QCursor::setPos(e.viewport()->mapToGlobal(on));
    QTest::mouseMove(e.viewport(), on);
    ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 1000));
    EXPECT_GE(resting.elapsed(), 120) << "not before two double-click times";
    EXPECT_EQ(QToolTip::text(), facts);
    // A press puts it away.
    QTest::mousePress(e.viewport(), Qt::LeftButton, Qt::NoModifier, on);
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, Qt::NoModifier, on);
    QTRY_VERIFY_WITH_TIMEOUT(!QToolTip::isVisible(), 1000);
}

TEST(BrowserEditing, ADropThatListsTheFolderAgainDuringTheDragLeavesAConsistentList) {
    if (!haveBmpReader()) GTEST_SKIP();
    Editing e(4);
    TempDir elsewhere;
    // Our own folder tree takes the drop, moves the file and has the window list the folder
    // again while the drag is still running: every entry of the old list is freed.
    e.browser.runDrag = [&](QMimeData* data) {
        const fs::path source(data->urls().front().toLocalFile().toStdString());
        fs::rename(source, elsewhere / source.filename());
        e.images.reload(nullptr);
        e.browser.refresh();
        return Qt::MoveAction;
    };
    const QPoint from = e.browser.cellRect(1).center();
    QTest::mouseClick(e.viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mousePress(e.viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(e.viewport(), from + QPoint(30, 0));
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, Qt::NoModifier, from + QPoint(30, 0));
    EXPECT_EQ(e.images.size(), 3u);
    EXPECT_EQ(e.images.find("f01.bmp"), nullptr);
    EXPECT_TRUE(fs::exists(elsewhere / "f01.bmp"));
}
