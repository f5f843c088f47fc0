// The PSD Decompiler dialog: its choices reach the engine, a completed run closes it, a failed
// one leaves it open.
#include "app/gui/tools/psd_decompiler/psd_decompiler_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include "support/psd_builder.h"
#include "support/test_support.h"
#include "tools/recording_tool_host.h"

using kalder::gui::PsdDecompilerDialog;
namespace test = kalder::test;
namespace tools = kalder::tools;
namespace fs = std::filesystem;

namespace {

// Cancels every file question; keeps the errors where the test sees them after the dialog
// dropped the host.
struct Host : test::RecordingToolHost {
    std::vector<std::string>* kept;
    explicit Host(std::vector<std::string>* e) : kept(e) { otherwise = tools::ToolAnswer::Cancel; }
    void error(const std::string& text) override { kept->push_back(text); }
};

QAbstractButton* button(QWidget& dialog, const QString& text) {
    for (auto* b : dialog.findChildren<QAbstractButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace

TEST(PsdDecompilerDialog, DecompilesWithTheChosenOptions) {
    test::TempDir dir;
    test::DocShape d(3, 8, 3, 4, 3);
    for (int c = 0; c < 3; ++c) d.merged.push_back(test::Plane(12, 0));
    d.layers = {test::LayerShape(
        1, 1, 3, 2, {{0, test::Plane(2, 10)}, {1, test::Plane(2, 20)}, {2, test::Plane(2, 30)}})};
    test::writeFile(dir / "a.psd", test::makePsd(d));
    std::vector<std::string> errors;

    tools::PsdDecompileOptions start = tools::loadPsdOptions({0, 1, 0, 0, 0, 0, 0, 0});
    start.outputFolder = dir.path();
    PsdDecompilerDialog dialog({dir / "a.psd"}, start);
    dialog.makeHost = [&] { return std::make_unique<Host>(&errors); };
    ASSERT_TRUE(button(dialog, QStringLiteral("BMP (alpha as separate file)"))->isChecked());
    auto* expand = qobject_cast<QCheckBox*>(
        button(dialog, QStringLiteral("&Expand/crop layers to image size")));
    ASSERT_TRUE(expand && expand->isChecked());
    button(dialog, QStringLiteral("PNG (alpha as transparency)"))->click();
    dialog.show();
    button(dialog, QStringLiteral("&Decompile"))->click();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    auto out = test::decodeWithKalder(dir / "a_000_layer.png");
    ASSERT_TRUE(out);
    EXPECT_EQ(out->width, 4);  // expanded to the document
    tools::PsdSettingsFields stored{0, 1, 0, 0, 0, 0, 0, 0};
    tools::storePsdOptions(dialog.options(), stored);
    EXPECT_EQ(stored[0], 1);

    // The file now exists and the question is cancelled: the dialog stays open.
    PsdDecompilerDialog again({dir / "a.psd"}, dialog.options());
    again.makeHost = [&] { return std::make_unique<Host>(&errors); };
    again.show();
    again.Decompile();
    EXPECT_TRUE(again.isVisible());
}
