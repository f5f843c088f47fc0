// The browser's file dialogs: Copy/Move refuses destinations the files cannot go to and keeps
// the dialog open, the file-exists question answers each button and renames only to a new
// name. Boxes and nested dialogs are answered by replaced hooks or a polling timer, so nothing
// waits on a modal loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>

#include "app/core/settings.h"
#include "app/gui/dialogs/copy_move_dialog.h"
#include "app/gui/dialogs/file_exists_dialog.h"
#include "gui/dialog_test_support.h"
#include "support/test_support.h"

using namespace kalder;
using namespace kalder::gui;
namespace fs = std::filesystem;

using kalder::test::child;
using kalder::test::ModalHandler;

namespace {

QString qs(const fs::path& p) { return QString::fromStdString(p.string()); }

// A Copy/Move dialog over a temp tree: album/ (the moved folder) with album/sub/, and other/.
struct CopyMoveFixture {
    test::TempDir dir;
    app::Settings settings;
    QStringList errors;
    fs::path album = dir / "album";
    fs::path other = dir / "other";

    CopyMoveFixture() {
        fs::create_directories(album / "sub");
        fs::create_directories(other);
    }
    std::unique_ptr<CopyMoveDialog> open(const QString& destination) {
        auto dialog = std::make_unique<CopyMoveDialog>(settings, std::vector<fs::path>{album});
        dialog->reportError = [this](const QString& text) { errors << text; };
        dialog->pickFolder = [](const QString&) -> QString {
            ADD_FAILURE() << "no picker expected";
            return {};
        };
        child<QLineEdit>(*dialog, "destination")->setText(destination);
        dialog->open();
        return dialog;
    }
    static void clickOk(CopyMoveDialog& dialog) {
        child<QDialogButtonBox>(dialog, "buttons")->button(QDialogButtonBox::Ok)->click();
    }
};

}  // namespace

TEST(CopyMoveDialog, ShowsItsControlsPrefilled) {
    app::Settings settings;
    settings.copyMoveFolder = "/some/where";
    CopyMoveDialog dialog(settings, {});
    EXPECT_EQ(dialog.windowTitle(), "Copy/Move to Folder");
    EXPECT_EQ(dialog.destination(), "/some/where");
    EXPECT_EQ(child<QPushButton>(dialog, "browse")->text(), "&Browse...");
    EXPECT_FALSE(child<QPushButton>(dialog, "browse")->toolTip().isEmpty());
    EXPECT_EQ(child<QCheckBox>(dialog, "moveFiles")->text(), "&Move Files");
    EXPECT_FALSE(dialog.moveFiles());
    EXPECT_EQ(child<QPushButton>(dialog, "help")->text(), "&Help");
}

TEST(CopyMoveDialog, RefusesAndStaysOpen) {
    CopyMoveFixture f;
    f.settings.copyMoveFolder = "/kept";
    const struct {
        QString destination;
        QString message;
    } cases[] = {
        {qs(f.dir / "missing"), "Invalid destination folder."},
        {qs(f.dir / "album" / "f.jpg"), "Invalid destination folder."},  // not a folder
        {"", "Invalid destination folder."},
        {"other", "Invalid destination folder."},  // relative: depends on the working folder
        {qs(f.album / "sub"), "The folder cannot be moved/copied to its own sub-folder."},
        {qs(f.album), "The folder cannot be moved/copied to its own sub-folder."},
    };
    test::writeFile(f.album / "f.jpg", {1, 2, 3});
    for (const auto& c : cases) {
        f.errors.clear();
        auto dialog = f.open(c.destination);
        CopyMoveFixture::clickOk(*dialog);
        EXPECT_EQ(f.errors, QStringList{c.message}) << c.destination.toStdString();
        EXPECT_TRUE(dialog->isVisible()) << c.destination.toStdString();
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_EQ(f.settings.copyMoveFolder, "/kept");
    }
}

TEST(CopyMoveDialog, AcceptsAnExistingFolderAndRemembersIt) {
    CopyMoveFixture f;
    auto dialog = f.open(qs(f.other));
    child<QCheckBox>(*dialog, "moveFiles")->setChecked(true);
    CopyMoveFixture::clickOk(*dialog);
    EXPECT_TRUE(f.errors.isEmpty()) << f.errors.join('\n').toStdString();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(f.settings.copyMoveFolder, f.other.string());
    EXPECT_EQ(dialog->destination(), qs(f.other));
    EXPECT_TRUE(dialog->moveFiles());
}

TEST(CopyMoveDialog, BrowseStartsAtTheTypedFolderAndKeepsItOnCancel) {
    CopyMoveFixture f;
    auto dialog = f.open(qs(f.dir.path()));
    std::deque<QString> answers{qs(f.other), QString()};
    QStringList starts;
    dialog->pickFolder = [&](const QString& start) {
        starts << start;
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    };
    QTest::mouseClick(child<QPushButton>(*dialog, "browse"), Qt::LeftButton);
    EXPECT_EQ(dialog->destination(), qs(f.other));
    dialog->browse();  // cancelled picker
    EXPECT_EQ(dialog->destination(), qs(f.other));
    EXPECT_EQ(starts, (QStringList{qs(f.dir.path()), qs(f.other)}));
}

TEST(CopyMoveDialog, RefusalBoxCarriesTheProgramName) {
    app::Settings settings;
    settings.copyMoveFolder = "/no/such/folder/here";
    CopyMoveDialog dialog(settings, {});
    dialog.open();
    QStringList seen;
    ModalHandler<QMessageBox> boxes([&](QMessageBox* box) {
        seen << box->windowTitle() << box->text();
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        box->done(QMessageBox::Ok);
    });
    dialog.onOk();
    EXPECT_EQ(seen, (QStringList{"Kalder", "Invalid destination folder."}));
    EXPECT_TRUE(dialog.isVisible());
}

TEST(FileExistsNames, NameAndReplacement) {
    EXPECT_EQ(fileNameOf("/photos/2024/a.b.jpg"), "a.b.jpg");
    EXPECT_EQ(fileNameOf("plain.png"), "plain.png");
    EXPECT_EQ(fileNameOf("/photos/"), "");
    EXPECT_EQ(withFileName("/photos/2024/a.jpg", "b.jpg"), "/photos/2024/b.jpg");
    EXPECT_EQ(withFileName("/photos/2024.d/a", "x"), "/photos/2024.d/x");  // only the last part
    EXPECT_EQ(withFileName("a.jpg", "b.jpg"), "b.jpg");
    EXPECT_EQ(withFileName("/a.jpg", "b.jpg"), "/b.jpg");

    EXPECT_FALSE(isNewFileName("a.jpg", "a.jpg"));
    EXPECT_TRUE(isNewFileName("a.jpg", "A.jpg")) << "exact comparison";
    EXPECT_TRUE(isNewFileName("a.jpg", "a.jpg "));
    for (const char* bad : {"", ".", "..", "x/y.jpg"}) {
        EXPECT_FALSE(isNewFileName("a.jpg", bad)) << bad;
    }
    EXPECT_FALSE(isUsableFileName(std::string_view("a\0b", 3)));
}

TEST(FileExistsDialog, ShowsTheQuestion) {
    FileExistsDialog dialog("File is read-only:", "/photos/a.jpg", true);
    EXPECT_EQ(dialog.windowTitle(), "Kalder");
    EXPECT_EQ(child<QLabel>(dialog, "message")->text(), "File is read-only:");
    EXPECT_EQ(child<QLabel>(dialog, "path")->text(), "/photos/a.jpg");
    EXPECT_FALSE(child<QLabel>(dialog, "icon")->pixmap().isNull());
    const QStringList texts{"&Overwrite", "O&verwrite all", "&Skip",
                            "Skip &All",  "&Rename...",     "Cancel"};
    QStringList shown;
    for (const char* name : {"overwrite", "overwriteAll", "skip", "skipAll", "rename", "cancel"}) {
        shown << child<QPushButton>(dialog, name)->text();
    }
    EXPECT_EQ(shown, texts);
    EXPECT_TRUE(child<QPushButton>(dialog, "rename")->isEnabled());
}

TEST(FileExistsDialog, EachButtonGivesItsChoice) {
    const struct {
        const char* button;
        FileExistsDialog::Choice choice;
        int value;
    } cases[] = {
        {"overwrite", FileExistsDialog::Overwrite, 0},
        {"overwriteAll", FileExistsDialog::OverwriteAll, 1},
        {"skip", FileExistsDialog::Skip, 2},
        {"skipAll", FileExistsDialog::SkipAll, 3},
        {"cancel", FileExistsDialog::Cancel, -1},
    };
    for (const auto& c : cases) {
        FileExistsDialog dialog("File is to be modified:", "/p/a.jpg", false);
        dialog.open();
        QTest::mouseClick(child<QPushButton>(dialog, c.button), Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible()) << c.button;
        EXPECT_EQ(dialog.choice(), c.choice) << c.button;
        EXPECT_EQ(int(dialog.choice()), c.value) << c.button;
        EXPECT_EQ(dialog.path(), "/p/a.jpg");
    }
    FileExistsDialog escaped("File is to be modified:", "/p/a.jpg", false);
    escaped.open();
    QTest::keyClick(&escaped, Qt::Key_Escape);
    EXPECT_FALSE(escaped.isVisible());
    EXPECT_EQ(escaped.choice(), FileExistsDialog::Cancel);
    FileExistsDialog entered("File is to be modified:", "/p/a.jpg", true);
    entered.open();
    QTest::keyClick(&entered, Qt::Key_Return);
    EXPECT_EQ(entered.choice(), FileExistsDialog::Skip) << "Enter takes the safe answer";
}

TEST(FileExistsDialog, RenameNeedsPermission) {
    FileExistsDialog dialog("File is read-only:", "/p/a.jpg", false);
    bool asked = false;
    dialog.askNewName = [&](const QString&) -> std::optional<QString> {
        asked = true;
        return QString("b.jpg");
    };
    dialog.open();
    EXPECT_FALSE(child<QPushButton>(dialog, "rename")->isEnabled());
    dialog.choose(FileExistsDialog::Rename);
    EXPECT_FALSE(asked);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.path(), "/p/a.jpg");
}

TEST(FileExistsDialog, RenameAsksUntilTheNameIsNew) {
    FileExistsDialog dialog("File is read-only:", "/p.d/in dir/a.jpg", true);
    std::deque<std::optional<QString>> answers{QString("a.jpg"), QString(""), QString("b.jpg")};
    QStringList prefills;
    dialog.askNewName = [&](const QString& current) {
        prefills << current;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    };
    dialog.open();
    QTest::mouseClick(child<QPushButton>(dialog, "rename"), Qt::LeftButton);
    EXPECT_EQ(prefills, (QStringList{"a.jpg", "a.jpg", "a.jpg"}));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.choice(), FileExistsDialog::Rename);
    EXPECT_EQ(int(dialog.choice()), 4);
    EXPECT_EQ(dialog.path(), "/p.d/in dir/b.jpg");
}

TEST(FileExistsDialog, CancelledRenameReturnsToTheQuestion) {
    FileExistsDialog dialog("File is read-only:", "/p/a.jpg", true);
    int asked = 0;
    dialog.askNewName = [&](const QString&) -> std::optional<QString> {
        ++asked;
        return std::nullopt;
    };
    dialog.open();
    QTest::mouseClick(child<QPushButton>(dialog, "rename"), Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(child<QPushButton>(dialog, "skip"), Qt::LeftButton);
    EXPECT_EQ(dialog.choice(), FileExistsDialog::Skip);
    EXPECT_EQ(dialog.path(), "/p/a.jpg");
}

TEST(FileExistsDialog, TheRenameDialogAsksForTheName) {
    FileExistsDialog dialog("File is read-only:", "/p/a.jpg", true);
    dialog.open();
    QStringList seen;
    ModalHandler<RenameFileDialog> renames([&](RenameFileDialog* rename) {
        seen << rename->windowTitle() << rename->name();
        auto* label = rename->findChild<QLabel*>();
        seen << (label != nullptr ? label->text() : QString());
        auto* edit = child<QLineEdit>(*rename, "name");
        auto* ok = child<QDialogButtonBox>(*rename, "buttons")->button(QDialogButtonBox::Ok);
        edit->clear();
        EXPECT_FALSE(ok->isEnabled()) << "an empty name cannot be taken";
        edit->setText("c.png");
        ok->click();
    });
    dialog.choose(FileExistsDialog::Rename);
    EXPECT_EQ(seen, (QStringList{"Rename", "a.jpg", "Enter new file name:"}));
    EXPECT_EQ(dialog.choice(), FileExistsDialog::Rename);
    EXPECT_EQ(dialog.path(), "/p/c.png");
}

TEST(FileExistsDialog, AskRunsTheDialog) {
    ModalHandler<FileExistsDialog> answer(
        [](FileExistsDialog* dialog) { child<QPushButton>(*dialog, "skipAll")->click(); });
    const FileExistsDialog::Answer got =
        FileExistsDialog::ask(nullptr, "File is read-only:", "/p/a.jpg", true);
    EXPECT_EQ(got.choice, FileExistsDialog::SkipAll);
    EXPECT_EQ(got.path, "/p/a.jpg");
}
