// The acquisition dialog against the scanner library's test backend: feeder pages each reach the
// save step, a cancelled Save dialog skipping only its page.
#include "app/gui/tools/scan/scan_dialogs.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>

#include "gui/dialog_test_support.h"
#include "support/test_support.h"
#include "tools/scan/sane_test_backend.h"

using namespace kalder;
using namespace kalder::gui;
using kalder::test::child;

namespace {

TEST(AcquireDialog, SavesEveryFeederPage) {
    KALDER_REQUIRE_SANE_TEST_BACKEND();
    test::TempDir dir;
    ScanState state;
    state.device = "test:0";
    AcquireDialog dialog(state);
    QStringList errors;
    std::vector<std::string> offered;
    dialog.reportError = [&](const QString& t) { errors << t; };
    dialog.askSave = [&](const tools::ScanSaveRequest& r) -> std::optional<tools::ScanSaveChoice> {
        offered.push_back(r.defaultName);
        if (offered.size() == 2) return std::nullopt;  // the second Save dialog cancelled
        return tools::ScanSaveChoice{dir / r.defaultName, r.type};
    };
    auto* source = child<QComboBox>(dialog, "source");
    ASSERT_GE(source->findText("Automatic Document Feeder"), 0);
    source->setCurrentText("Automatic Document Feeder");
    child<QComboBox>(dialog, "mode")->setCurrentIndex(1);

    QSignalSpy finished(&dialog, &AcquireDialog::scanFinished);
    dialog.startScan(false);
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(", ").toStdString();
    ASSERT_EQ(offered.size(), 10u);  // the test feeder holds ten sheets
    EXPECT_EQ(offered[1], "Output1.bmp");
    EXPECT_EQ(offered[2], "Output1.bmp");
    EXPECT_EQ(offered[3], "Output2.bmp");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              9);
    EXPECT_TRUE(child<QPushButton>(dialog, "scanButton")->isEnabled());
}

}  // namespace
