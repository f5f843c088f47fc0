// The main window's file commands end to end: deleting and renaming from the viewer, Find Image
// and Find Next, Copy/Move to Folder, the file filter, and the folder read again after the
// program was in the background.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "app/core/command_ids.h"
#include "app/gui/browser_pane.h"
#include "app/gui/dialogs/copy_move_dialog.h"
#include "app/gui/dialogs/file_filter_dialog.h"
#include "app/gui/dialogs/find_image_dialog.h"
#include "app/gui/folder_navigator.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/main_window.h"
#include "app/gui/thumbnail_browser.h"
#include "image/format_table.h"
#include "image/image_reader.h"
#include "support/test_support.h"
#include "view/folder_images.h"

using kalder::gui::MainWindow;
using kalder::test::Bytes;
using kalder::test::TempDir;
namespace cmd = kalder::app::cmd;
namespace fs = std::filesystem;

namespace {

using kalder::test::haveBmpReader;

std::vector<std::uint8_t> smallBmp() {
    return kalder::test::bmp24(2, 2, [](int, int) { return 0x606060u; });
}

// Answers the next modal dialog or message box: `act` gets it once it is up. Returns the
// texts of the message boxes it closed, in order.
class ModalAnswers : public QObject {
public:
    using Act = std::function<void(QWidget*)>;
    void then(Act act) {
        m_acts.push_back(std::move(act));
        if (!m_armed) arm();
    }
    QStringList messages;

private:
    // One polling chain at a time; it ends with the last answer or with this object.
    void arm() {
        m_armed = true;
        QTimer::singleShot(20, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                arm();
                return;
            }
            if (auto* box = qobject_cast<QMessageBox*>(modal)) messages.push_back(box->text());
            Act act = std::move(m_acts.front());
            m_acts.erase(m_acts.begin());
            act(modal);
            m_armed = false;
            if (!m_acts.empty()) arm();
        });
    }
    std::vector<Act> m_acts;
    bool m_armed = false;
};

void closeBox(QWidget* w) { static_cast<QMessageBox*>(w)->accept(); }

// A window on a folder of named files, with the Trash in a private place.
struct Files {
    TempDir home;
    TempDir dir;
    std::string savedData;
    bool hadData = false;
    std::unique_ptr<MainWindow> window;

    explicit Files(std::initializer_list<const char*> names) {
        if (const char* d = std::getenv("XDG_DATA_HOME")) {
            hadData = true;
            savedData = d;
        }
        ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        for (const char* n : names) kalder::test::writeFile(dir / n, smallBmp());
        window = std::make_unique<MainWindow>();
        window->settings().wallpaperBackground = false;
        window->applySettings();
        window->resize(640, 480);
        window->show();
        if (names.size() > 0) {
            EXPECT_TRUE(window->folder().openFolder(dir.path()));
        }
    }
    ~Files() {
        window.reset();
        if (hadData)
            ::setenv("XDG_DATA_HOME", savedData.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    std::string current() const {
        return window->currentEntry() ? window->currentEntry()->name() : "";
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < window->images().size(); ++i)
            out.push_back(window->images().at(i)->name());
        return out;
    }
};

}  // namespace

TEST(MainWindowFiles, DeleteInTheViewerTrashesTheFileOnScreenAndShowsTheNext) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({"a.bmp", "b.bmp", "c.bmp"});
    ASSERT_TRUE(f.window->viewerMode());
    f.window->runCommand(cmd::kNextFile);
    ASSERT_EQ(f.current(), "b.bmp");
    f.window->runCommand(cmd::kDeleteFiles);
    EXPECT_FALSE(fs::exists(f.dir / "b.bmp"));
    EXPECT_TRUE(fs::exists(f.home / "data" / "Trash" / "files" / "b.bmp"));
    EXPECT_EQ(f.current(), "c.bmp");
    // Deleting the last file makes the one before it current; deleting all clears the view.
    f.window->runCommand(cmd::kDeleteFiles);
    EXPECT_EQ(f.current(), "a.bmp");
    f.window->runCommand(cmd::kDeleteFiles);
    EXPECT_EQ(f.window->currentEntry(), nullptr);
    EXPECT_TRUE(f.window->currentFile().empty());
}

TEST(MainWindowFiles, RenameInTheViewerAsksForTheNameAndShowsTheRenamedFile) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({"a.bmp", "b.bmp"});
    ModalAnswers answers;
    answers.then([](QWidget* w) {
        auto* input = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(input, nullptr);
        EXPECT_EQ(input->textValue(), QStringLiteral("a.bmp"));
        input->setTextValue(QStringLiteral("z.bmp"));
        input->accept();
    });
    f.window->runCommand(cmd::kRenameFile);
    EXPECT_TRUE(fs::exists(f.dir / "z.bmp"));
    EXPECT_EQ(f.current(), "z.bmp");
    EXPECT_EQ(f.window->currentFile(), f.dir / "z.bmp");
    EXPECT_EQ(f.names(), (std::vector<std::string>{"b.bmp", "z.bmp"}));
}

TEST(MainWindowFiles, FindAndFindNextWalkTheWholeWordHitsAndSayWhenTheRoundIsComplete) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({"cat.bmp", "concat.bmp", "dog.bmp", "my-cat.bmp"});
    f.window->settings().findOptions = {0, 1, 0, 0, 0, 0, 0, 0};
    f.window->runCommand(cmd::kNextFile);  // start on concat.bmp
    ModalAnswers answers;
    answers.then([](QWidget* w) {
        auto* dialog = qobject_cast<kalder::gui::FindImageDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>()->setText(QStringLiteral("cat"));
        dialog->onFind();
    });
    f.window->runCommand(cmd::kFindImage);
    EXPECT_EQ(f.current(), "my-cat.bmp");
    EXPECT_EQ(f.window->settings().findText, "cat");
    // Wrapping round to the first hit again.
    f.window->runCommand(cmd::kFindNextImage);
    EXPECT_EQ(f.current(), "cat.bmp");
    answers.then(closeBox);
    f.window->runCommand(cmd::kFindNextImage);
    EXPECT_EQ(f.current(), "my-cat.bmp");
    EXPECT_EQ(answers.messages, QStringList{QStringLiteral("Search is complete.")});

    answers.then([](QWidget* w) {
        auto* dialog = qobject_cast<kalder::gui::FindImageDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>()->setText(QStringLiteral("bmp"));
        dialog->onFind();
    });
    answers.then(closeBox);
    f.window->runCommand(cmd::kFindImage);
    EXPECT_EQ(answers.messages.back(), QStringLiteral("No image found."));
    EXPECT_EQ(f.current(), "my-cat.bmp");
}

TEST(MainWindowFiles, MovingToAFolderTakesTheFilesOutOfTheList) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({"a.bmp", "b.bmp", "c.bmp"});
    TempDir target;
    kalder::test::writeFile(target / "a.bmp", {'x'});
    ModalAnswers answers;
    answers.then([&](QWidget* w) {
        auto* dialog = qobject_cast<kalder::gui::CopyMoveDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>()->setText(QString::fromStdString(target.path().string()));
        dialog->findChild<QCheckBox*>()->setChecked(true);
        dialog->onOk();
    });
    // a.bmp is already there: skip it.
    answers.then([](QWidget* w) {
        ASSERT_STRNE(w->metaObject()->className(), "QMessageBox");
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("&Skip")) b->click();
    });
    // The viewer moves what is on screen: a.bmp, then b.bmp.
    f.window->runCommand(cmd::kCopyMoveToFolder);
    EXPECT_TRUE(fs::exists(f.dir / "a.bmp"));
    EXPECT_EQ(kalder::test::readFile(target / "a.bmp"), std::vector<std::uint8_t>{'x'});
    EXPECT_EQ(f.names().size(), 3u);

    f.window->runCommand(cmd::kNextFile);
    answers.then([&](QWidget* w) {
        auto* dialog = qobject_cast<kalder::gui::CopyMoveDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->destination().toStdString(), target.path().string())
            << "the last folder comes back";
        dialog->findChild<QCheckBox*>()->setChecked(true);
        dialog->onOk();
    });
    f.window->runCommand(cmd::kCopyMoveToFolder);
    EXPECT_TRUE(fs::exists(target / "b.bmp"));
    EXPECT_EQ(f.names(), (std::vector<std::string>{"a.bmp", "c.bmp"}));
    EXPECT_EQ(f.current(), "c.bmp") << "the file that followed the moved one";
    EXPECT_EQ(f.window->windowTitle().toStdString(), f.current() + " - Kalder");
}

TEST(MainWindowFiles, TheFileFilterListsTheFolderAgainKeepingTheCurrentFile) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({"a.bmp", "b.bmp", "thumb1.bmp"});
    f.window->runCommand(cmd::kNextFile);
    ModalAnswers answers;
    answers.then([](QWidget* w) {
        auto* dialog = qobject_cast<kalder::gui::FileFilterDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->selectMode(kalder::view::FilterMode::Custom);
        dialog->findChild<QLineEdit*>()->setText(QStringLiteral("  *.bmp | thumb*.*  "));
        dialog->onOk();
    });
    f.window->runCommand(cmd::kFileFilter);
    EXPECT_EQ(f.window->settings().filterMode, 3);
    EXPECT_EQ(f.window->settings().customFilter, "*.bmp | thumb*.*");
    EXPECT_EQ(f.names(), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_EQ(f.current(), "b.bmp");
}

TEST(MainWindowFiles, AFileAddedWhileInTheBackgroundAppearsOnReturn) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({"a.bmp", "c.bmp"});
    f.window->runCommand(cmd::kNextFile);
    QApplication::setActiveWindow(f.window.get());
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.window->isActiveWindow(); }));
    QApplication::setActiveWindow(nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.window->isActiveWindow(); }));
    kalder::test::writeFile(f.dir / "b.bmp", smallBmp());
    EXPECT_EQ(f.names().size(), 2u) << "nothing is read while in the background";
    QApplication::setActiveWindow(f.window.get());
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.window->isActiveWindow(); }));
    EXPECT_EQ(f.names(), (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp"}));
    EXPECT_EQ(f.current(), "c.bmp") << "the current file stays current";

    // Without a change, coming back lists nothing again.
    const kalder::view::ImageEntry* before = f.window->images().at(0);
    QApplication::setActiveWindow(nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.window->isActiveWindow(); }));
    QApplication::setActiveWindow(f.window.get());
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.window->isActiveWindow(); }));
    EXPECT_EQ(f.window->images().at(0), before);
}

TEST(MainWindowFiles, TheWindowFollowsARenamedFolderAndFilesDroppedIntoIt) {
    if (!haveBmpReader()) GTEST_SKIP();
    TempDir top;
    const fs::path before = top / "trip";
    fs::create_directories(before);
    for (const char* n : {"a.bmp", "b.bmp"}) kalder::test::writeFile(before / n, smallBmp());
    Files f({});
    ASSERT_TRUE(f.window->folder().openFolder(before));
    f.window->runCommand(cmd::kNextFile);
    ASSERT_EQ(f.current(), "b.bmp");
    kalder::gui::FolderTreePane* tree = f.window->browserPane()->folderTree();

    const fs::path after = top / "holiday";
    fs::rename(before, after);
    emit tree->folderRenamed(QString::fromStdString(before.string()),
                             QString::fromStdString(after.string()));
    EXPECT_EQ(f.window->images().folder(), after);
    EXPECT_EQ(f.current(), "b.bmp") << "the same file stays current";
    EXPECT_EQ(f.window->currentFile(), after / "b.bmp");

    // Files dropped into the shown folder from elsewhere are listed at once.
    kalder::test::writeFile(after / "c.bmp", smallBmp());
    emit tree->filesDropped(QStringList{QStringLiteral("/elsewhere/c.bmp")},
                            QString::fromStdString(after.string()), false);
    EXPECT_EQ(f.names(), (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp"}));
    EXPECT_EQ(f.current(), "b.bmp");
}

TEST(MainWindowFiles, RefreshListsTheFolderAgainAndMovesOnWhenTheCurrentFileIsGone) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({"a.bmp", "b.bmp", "c.bmp"});
    f.window->runCommand(cmd::kNextFile);
    ASSERT_EQ(f.current(), "b.bmp");
    fs::remove(f.dir / "b.bmp");
    kalder::test::writeFile(f.dir / "d.bmp", smallBmp());
    f.window->runCommand(cmd::kRefresh);
    EXPECT_EQ(f.names(), (std::vector<std::string>{"a.bmp", "c.bmp", "d.bmp"}));
    EXPECT_EQ(f.current(), "a.bmp");
    EXPECT_EQ(f.window->currentFile(), f.dir / "a.bmp");
}

TEST(MainWindowFiles, RenamingInPlaceTakesEveryKeyAndEnterOnlyRenames) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({});
    const fs::path trip = f.dir / "trip";
    fs::create_directories(trip);
    for (const char* n : {"photo.bmp", "z.bmp"}) kalder::test::writeFile(trip / n, smallBmp());
    ASSERT_TRUE(f.window->folder().openFolder(trip));
    f.window->runCommand(cmd::kViewerBrowser);
    ASSERT_FALSE(f.window->viewerMode());
    QApplication::setActiveWindow(f.window.get());
    kalder::gui::ThumbnailBrowser* list = f.window->browserPane()->fileList();
    list->setFocus();
    // P, Space and Enter are commands of the window; in the edit box they are text and
    // the end of the edit.
    QTest::keyClick(list, Qt::Key_F2);
    QLineEdit* editor = list->renameEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(QApplication::focusWidget(), editor);
    editor->selectAll();
    QTest::keyClicks(editor, "renamed photo.bmp");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(fs::exists(trip / "renamed photo.bmp"));
    EXPECT_FALSE(f.window->viewerMode()) << "Enter only ends the edit";
    EXPECT_EQ(f.current(), "renamed photo.bmp");
    EXPECT_EQ(f.window->windowTitle(), QStringLiteral("renamed photo.bmp - Kalder"));

    // Escape cancels the edit and does not close the window, whatever "Exit with ESC" says.
    f.window->settings().exitWithEsc = true;
    QTest::keyClick(list, Qt::Key_F2);
    ASSERT_NE(list->renameEditor(), nullptr);
    QTest::keyClicks(list->renameEditor(), "pp");
    QTest::keyClick(list->renameEditor(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.window->isVisible());
    EXPECT_EQ(f.current(), "renamed photo.bmp");

    // The folder tree's edit box gets the same keys.
    f.window->runCommand(cmd::kRenameFolder);
    auto* folderEditor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(folderEditor, nullptr);
    folderEditor->selectAll();
    QTest::keyClicks(folderEditor, "pp trip");
    QTest::keyClick(folderEditor, Qt::Key_Return);
    // The tree commits its edit from the event loop.
    EXPECT_TRUE(QTest::qWaitFor([&] { return fs::is_directory(f.dir / "pp trip"); }, 5000));
    EXPECT_EQ(f.window->images().folder(), f.dir / "pp trip");
    EXPECT_FALSE(f.window->viewerMode());
}

TEST(MainWindowFiles, ThumbnailsAreMadeAgainAfterTheViewerAndARefresh) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({"a.bmp", "b.bmp"});
    const auto allReady = [&] {
        for (std::size_t i = 0; i < f.window->images().size(); ++i)
            if (!f.window->images().at(i)->thumbnailReady()) return false;
        return true;
    };
    f.window->runCommand(cmd::kViewerBrowser);
    ASSERT_FALSE(f.window->viewerMode());
    ASSERT_TRUE(QTest::qWaitFor(allReady, 5000));
    // The viewer holds the thumbnails; back in the browser they run again.
    f.window->runCommand(cmd::kViewerBrowser);
    f.window->runCommand(cmd::kViewerBrowser);
    ASSERT_FALSE(f.window->viewerMode());
    kalder::test::writeFile(f.dir / "c.bmp", smallBmp());
    f.window->runCommand(cmd::kRefresh);
    ASSERT_EQ(f.names().size(), 3u);
    EXPECT_TRUE(QTest::qWaitFor(allReady, 5000));
}

TEST(MainWindowFiles, AClickedFolderStaysHighlightedAndTheTitleFollowsIt) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({});
    kalder::test::writeFile(f.dir / "a.bmp", smallBmp());
    for (int i = 0; i < 40; ++i) fs::create_directories(f.dir / ("sub" + std::to_string(10 + i)));
    ASSERT_TRUE(f.window->folder().openFolder(f.dir.path()));
    f.window->runCommand(cmd::kViewerBrowser);
    ASSERT_EQ(f.window->windowTitle(), QStringLiteral("a.bmp - Kalder"));
    kalder::gui::FolderTreePane* tree = f.window->browserPane()->folderTree();
    QTreeWidgetItem* shown = tree->currentItem();
    ASSERT_NE(shown, nullptr);
    tree->expandItem(shown);
    ASSERT_GT(shown->childCount(), 0);
    // The lowest row in full view: opening it would centre it, scrolling the tree.
    QTreeWidgetItem* low = nullptr;
    for (int i = 0; i < shown->childCount(); ++i)
        if (tree->viewport()->rect().contains(tree->visualItemRect(shown->child(i))))
            low = shown->child(i);
    ASSERT_NE(low, nullptr);
    const fs::path wanted = f.dir / low->text(0).toStdString();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(low).center());
    EXPECT_EQ(f.window->images().folder(), wanted);
    EXPECT_EQ(tree->currentItem(), low);
    ASSERT_EQ(tree->selectedItems().size(), 1);
    EXPECT_EQ(tree->selectedItems().front(), low);
    EXPECT_EQ(f.window->windowTitle(), QStringLiteral("Kalder")) << "the folder has no images";
}

TEST(MainWindowFiles, FindImageMakesTheHitCurrentInAFocusedListAndInView) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({"zebra.bmp"});
    for (int i = 0; i < 60; ++i)
        kalder::test::writeFile(f.dir / ("f" + std::to_string(100 + i) + ".bmp"), smallBmp());
    f.window->runCommand(cmd::kRefresh);
    f.window->runCommand(cmd::kFirstFile);
    f.window->runCommand(cmd::kViewerBrowser);
    ASSERT_FALSE(f.window->viewerMode());
    QApplication::setActiveWindow(f.window.get());
    f.window->browserPane()->folderTree()->setFocus();
    ModalAnswers answers;
    answers.then([](QWidget* w) {
        auto* dialog = qobject_cast<kalder::gui::FindImageDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>()->setText(QStringLiteral("zebra"));
        dialog->onFind();
    });
    f.window->runCommand(cmd::kFindImage);
    QApplication::setActiveWindow(f.window.get());
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.window->isActiveWindow(); }));
    kalder::gui::ThumbnailBrowser* list = f.window->browserPane()->fileList();
    ASSERT_EQ(f.current(), "zebra.bmp");
    EXPECT_EQ(list->current(), f.window->currentEntry());
    EXPECT_TRUE(f.window->currentEntry()->selected);
    EXPECT_EQ(QApplication::focusWidget(), list);
    EXPECT_TRUE(
        list->viewport()->rect().contains(list->cellRect(f.window->currentEntry()->index())));
}

TEST(MainWindowFiles, OpenShowsTheChosenFileAmongItsFolder) {
    if (!haveBmpReader()) GTEST_SKIP();
    Files f({"a.bmp"});
    TempDir other;
    for (const char* n : {"x.bmp", "y.bmp"}) kalder::test::writeFile(other / n, smallBmp());
    f.window->runCommand(cmd::kViewerBrowser);
    QString filter;
    f.window->chooseFileToOpen = [&](const QString& offered, const QString& folder) {
        filter = offered;
        EXPECT_EQ(folder.toStdString(), f.dir.path().string());
        return QString::fromStdString((other / "y.bmp").string());
    };
    f.window->runCommand(cmd::kOpenFile);
    EXPECT_TRUE(filter.startsWith(QStringLiteral("All supported image files (*.")));
    EXPECT_TRUE(filter.contains(QStringLiteral(" *.bmp")));
    EXPECT_TRUE(filter.endsWith(QStringLiteral(";;All files (*)")));
    EXPECT_EQ(f.window->images().folder(), other.path());
    EXPECT_EQ(f.names(), (std::vector<std::string>{"x.bmp", "y.bmp"}));
    EXPECT_EQ(f.current(), "y.bmp");
    EXPECT_EQ(f.window->browserPane()->fileList()->current(), f.window->currentEntry());
    EXPECT_EQ(f.window->browserPane()->folderTree()->currentFolder(), other.path());
}
