// The favorites and "Open with" dialogs, and an application started on the shown image.
#include "app/gui/tools/user_lists/user_list_dialogs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "app/core/command_ids.h"
#include "app/gui/main_window.h"
#include "gui/dialog_test_support.h"
#include "support/test_support.h"

using namespace kalder;
using namespace kalder::gui;
using kalder::test::child;

namespace {

using Strings = std::vector<std::string>;

TEST(ApplicationsDialog, EscKeepsAdditionsOnlyAndCloseStoresTheOrder) {
    app::Settings s;
    s.openWithPaths = {"/bin/a", "/bin/b"};
    s.openWithLabels = {"A", "B"};
    {
        ApplicationsDialog dialog(s);
        dialog.askApplication = [](QString& label, QString& path) {
            label = "New";
            path = "/bin/new";
            return true;
        };
        child<QPushButton>(dialog, "add")->click();
        EXPECT_EQ(child<QListWidget>(dialog, "applications")->currentRow(), 2);
        child<QListWidget>(dialog, "applications")->setCurrentRow(0);
        child<QPushButton>(dialog, "remove")->click();
        dialog.reject();
    }
    EXPECT_EQ(s.openWithLabels, (Strings{"A", "B", "New"}));
    {
        ApplicationsDialog dialog(s);
        auto* list = child<QListWidget>(dialog, "applications");
        list->setCurrentRow(2);
        child<QPushButton>(dialog, "up")->click();
        EXPECT_EQ(list->currentRow(), 1);
        child<QPushButton>(dialog, "close")->click();
    }
    EXPECT_EQ(s.openWithLabels, (Strings{"A", "New", "B"}));
    EXPECT_EQ(s.openWithPaths, (Strings{"/bin/a", "/bin/new", "/bin/b"}));
}

TEST(AddApplicationDialog, StaysOpenUntilBothFieldsAreFilled) {
    test::TempDir dir;
    const auto program = dir / "photo editor";
    test::writeText(program, "#!/bin/sh\n");
    AddApplicationDialog dialog;
    dialog.chooseProgram = [&](QWidget*) { return QString::fromStdString(program.string()); };
    dialog.show();
    child<QLineEdit>(dialog, "path")->setText("/bin/x");
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    child<QPushButton>(dialog, "browse")->click();
    EXPECT_EQ(dialog.label(), "photo editor");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(DeleteFavoritesDialog, AsksByLabelAndRemovesBothHalves) {
    app::Settings s;
    s.favoriteFolders = {"/pics", "/scans"};
    s.favoriteLabels = {"Pictures", "Scans"};
    DeleteFavoritesDialog dialog(s);
    QString asked;
    test::ModalHandler<QMessageBox> answer([&](QMessageBox* box) {
        asked = box->text();
        box->button(QMessageBox::Yes)->click();
    });
    child<QPushButton>(dialog, "delete")->click();
    EXPECT_EQ(asked, "Do you want to remove \"Pictures\" from Favorites?");
    EXPECT_EQ(s.favoriteFolders, Strings{"/scans"});
    EXPECT_EQ(s.favoriteLabels, Strings{"Scans"});
    EXPECT_EQ(child<QTreeWidget>(dialog, "favorites")->topLevelItemCount(), 1);
}

TEST(RunApplication, StartsTheProgramWithTheImageAsOneArgument) {
    if (!test::haveBmpReader()) GTEST_SKIP() << "no BMP reader";
    test::TempDir dir;
    std::filesystem::create_directories(dir / "my apps");
    const auto program = dir / "my apps" / "record args";
    const auto out = dir / "args.txt";
    test::writeText(program, "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" + out.string() +
                                 ".tmp\"\n"
                                 "mv \"" +
                                 out.string() + ".tmp\" \"" + out.string() + "\"\n");
    ::chmod(program.c_str(), 0755);
    const auto image = dir / "a picture.bmp";
    test::writeFile(image, test::bmp24(4, 4, [](int, int) { return 0xFF0000u; }));

    MainWindow window;
    window.settings().openWithPaths = {program.string()};
    window.settings().openWithLabels = {"Record"};
    ASSERT_TRUE(window.openFile(image));
    EXPECT_TRUE(window.runCommand(app::cmd::kOpenWithFirst));
    QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(out), 10000);
    EXPECT_EQ(test::readText(out), "1|" + image.string() + "|");
}

}  // namespace
