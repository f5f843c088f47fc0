// Locating the companion editor and handing it an image.
#include "app/gui/tools/companion/companion_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include "app/core/settings.h"
#include "gui/dialog_test_support.h"
#include "support/test_support.h"

using namespace kalder;
using namespace kalder::gui;
using kalder::test::child;

namespace {

namespace fs = std::filesystem;

struct Tree {
    test::TempDir dir;
    Tree() {
        fs::create_directories(dir / "apps/lumidrex");
        test::writeFile(dir / "apps/lumidrex/Lumid.exe",
                        test::readFile(test::sourceDir() / "tests/data/companion/companion.exe"));
    }
};

TEST(LocateCompanion, FindsAndStoresOrStopsOnEscWithoutAWord) {
    Tree tree;
    QStringList messages;
    test::ModalHandler<QMessageBox> close([&](QMessageBox* box) {
        messages << box->text();
        box->accept();
    });
    app::Settings settings;
    {
        LocateCompanionDialog dialog(settings);
        dialog.searchRoots = [&] { return std::vector<fs::path>{tree.dir.path()}; };
        dialog.show();
        QCoreApplication::postEvent(&dialog, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
        child<QPushButton>(dialog, "find")->click();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(settings.companionExePath.empty());
        child<QPushButton>(dialog, "find")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(settings.companionExePath, (tree.dir / "apps/lumidrex/Lumid.exe").string());
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();

    LocateCompanionDialog dialog(settings);
    dialog.searchRoots = [&] { return std::vector<fs::path>{tree.dir / "apps/none"}; };
    dialog.chooseFile = [&](QWidget*) { return QString::fromStdString((tree.dir / "x").string()); };
    QStringList opened;
    dialog.openUrl = [&](const QString& url) { opened << url; };
    dialog.show();
    child<QPushButton>(dialog, "find")->click();
    child<QPushButton>(dialog, "manual")->click();
    child<QPushButton>(dialog, "download")->click();
    EXPECT_EQ(messages,
              (QStringList{"Can't find Lumidrex.", "The Lumidrex's executable file is invalid."}));
    EXPECT_EQ(opened, QStringList{kCompanionDownload});
    EXPECT_TRUE(dialog.isVisible());
}

TEST(EditWithCompanion, ChecksTheStoredProgramAndPassesTheImageAsOneArgument) {
    test::TempDir dir;
    const fs::path native = dir / "lumid";
    test::writeText(native, "#!/bin/sh\necho Lumidrex 3.1\n");
    ::chmod(native.c_str(), 0755);
    app::Settings settings;
    settings.companionExePath = (dir / "gone").string();
    QStringList errors, started;
    int locates = 0;
    CompanionHooks hooks;
    hooks.locate = [&] {
        ++locates;
        settings.companionExePath = native.string();
        return true;
    };
    hooks.start = [&](const QString& program, const QStringList& args) {
        started << program << args;
        return true;
    };
    hooks.error = [&](const QString& text) { errors << text; };
    EditWithCompanion(settings, QString(), hooks);
    EXPECT_EQ(errors, QStringList{"The Lumidrex's executable file is invalid."});
    EXPECT_EQ(locates, 1);
    EXPECT_EQ(started, (QStringList{QString::fromStdString(native.string()), QString()}));

    // Nothing found: nothing started.
    settings.companionExePath.clear();
    started.clear();
    hooks.locate = [] { return false; };
    EditWithCompanion(settings, "/p/a b.jpg", hooks);
    EXPECT_TRUE(started.isEmpty());
}

}  // namespace
