// The options are kept when the options dialog closes with OK, and SIGTERM ends the event loop
// normally, so that the options are saved on the way out.
#include "app/gui/quit_on_signal.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QSignalSpy>
#include <QTimer>
#include <csignal>

#include "app/core/command_ids.h"
#include "app/gui/dialogs/options_dialog.h"
#include "app/gui/main_window.h"
#include "gui/dialog_test_support.h"
#include "support/test_support.h"

using kalder::gui::MainWindow;
using kalder::gui::QuitOnSignal;

namespace {

// Presses OK in the options dialog once it is up, after clearing "Exit with ESC key".
void answerOptions() {
    QTimer::singleShot(20, [] {
        auto* dialog = qobject_cast<kalder::gui::OptionsDialog*>(QApplication::activeModalWidget());
        if (!dialog) return answerOptions();
        kalder::test::child<QCheckBox>(*dialog, "exitWithEsc")->setChecked(false);
        kalder::test::press(*dialog, QDialogButtonBox::Ok);
    });
}

}  // namespace

TEST(SettingsKept, OkInTheOptionsSavesAtOnce) {
    MainWindow window;
    std::vector<bool> saved;
    window.setSettingsSaver([&](const kalder::app::Settings& s) {
        saved.push_back(s.exitWithEsc);
        return true;
    });
    ASSERT_TRUE(window.settings().exitWithEsc);
    answerOptions();
    window.runCommand(kalder::app::cmd::kOptions);
    EXPECT_EQ(saved, std::vector<bool>{false});
}

TEST(SettingsKept, SigtermEndsTheLoopAndTheOptionsAreWritten) {
    kalder::test::TempDir dir;
    const std::filesystem::path file = dir / "Kalder.cfg";
    MainWindow window;
    window.settings().slideDelay = 17;
    window.setSettingsSaver([&](const kalder::app::Settings& s) { return s.Save(file); });
    QuitOnSignal quit;
    ASSERT_TRUE(quit.isActive());
    QSignalSpy received(&quit, &QuitOnSignal::received);
    QTimer::singleShot(0, [] { ::raise(SIGTERM); });
    // Should the signal go astray the loop still ends, and the test fails.
    QTimer::singleShot(5000, [] { QCoreApplication::exit(3); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    ASSERT_EQ(received.count(), 1);
    EXPECT_EQ(received.at(0).at(0).toInt(), SIGTERM);
    EXPECT_TRUE(quit.requested());
    // What the program does once its loop has ended.
    ASSERT_TRUE(window.saveSettings());
    const std::vector<std::uint8_t> bytes = kalder::test::readFile(file);
    kalder::app::Settings back;
    EXPECT_EQ(kalder::app::readSettingsFile(bytes, back), kalder::app::SettingsLoad::Complete);
    EXPECT_EQ(back.slideDelay, 17);
}
