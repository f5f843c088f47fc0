// The acquisition dialog against the scanner library's test backend: a feeder run asks once,
// and cancelling that question stops the run.
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

TEST(AcquireDialog, FeederRunAsksOnceAndCancelStopsIt) {
    KALDER_REQUIRE_SANE_TEST_BACKEND();
    test::TempDir dir;
    ScanState state;
    state.device = "test:0";
    state.saves.setFolder(dir.path());
    AcquireDialog dialog(state);
    QStringList errors;
    std::vector<tools::ScanSaveRequest> asked;
    bool cancel = false;
    dialog.reportError = [&](const QString& t) { errors << t; };
    dialog.askSave = [&](const tools::ScanSaveRequest& r) -> std::optional<tools::ScanSaveChoice> {
        asked.push_back(r);
        if (cancel) return std::nullopt;
        return tools::ScanSaveChoice{r.folder / r.defaultName, r.type};
    };
    auto* source = child<QComboBox>(dialog, "source");
    ASSERT_GE(source->findText("Automatic Document Feeder"), 0);
    source->setCurrentText("Automatic Document Feeder");
    child<QComboBox>(dialog, "mode")->setCurrentIndex(1);
    const auto files = [&] {
        return std::distance(std::filesystem::directory_iterator(dir.path()),
                             std::filesystem::directory_iterator());
    };

    QSignalSpy finished(&dialog, &AcquireDialog::scanFinished);
    dialog.startScan(false);
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(", ").toStdString();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].folder, dir.path());
    EXPECT_EQ(files(), 10);  // the test feeder holds ten sheets
    EXPECT_TRUE(std::filesystem::exists(dir / "Output-10.bmp"));
    EXPECT_TRUE(child<QPushButton>(dialog, "scanButton")->isEnabled());

    // Cancelling the Save dialog stops the run: nothing more is written, and no error.
    cancel = true;
    dialog.startScan(false);
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(files(), 10);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(", ").toStdString();
}

}  // namespace
