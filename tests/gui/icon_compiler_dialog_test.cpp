// The "Icon/Cursor Compiler" dialog over a compiler with scripted answers.
#include "app/gui/tools/icon_compiler/icon_compiler_dialog.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTreeWidget>

#include "image/image_document.h"
#include "support/test_support.h"
#include "tools/recording_tool_host.h"

using namespace kalder;
namespace fs = std::filesystem;

namespace {

// Yes to every question; records every message.
struct Answers : test::RecordingToolHost, tools::IconQuestions {
    bool told() const { return !errors.empty() || !warnings.empty() || !notes.empty(); }
    bool chooseColour(image::ColorRef& c) override {
        c = image::makeColorRef(0, 0, 0);
        return true;
    }
    bool askHotSpot(std::int32_t& x, std::int32_t& y) override {
        x = 3;
        y = 4;
        return true;
    }
    bool askDelay(std::uint32_t& d) override {
        d = 25;
        return true;
    }
};

// The n-th button with this caption.
QPushButton* button(QWidget& root, const QString& caption, int n = 0) {
    for (QPushButton* b : root.findChildren<QPushButton*>())
        if (b->text() == caption && n-- == 0) return b;
    return nullptr;
}

}  // namespace

TEST(IconCompilerDialog, ButtonsEditThePagesAndCompileWrites) {
    test::TempDir dir;
    for (const char* name : {"a.bmp", "b.bmp"})
        test::writeFile(dir / name,
                        test::bmp24(16, 16, [](int x, int) { return x < 8 ? 0 : 0xFF; }));
    Answers answers;
    tools::IconCompiler compiler(answers, answers);
    ASSERT_TRUE(compiler.open({dir / "a.bmp", dir / "b.bmp"}));
    gui::IconCompilerDialog dialog(compiler, nullptr);
    EXPECT_EQ(dialog.outputFile().toStdString(), (dir / "Output.ico").string());
    QString written;
    dialog.reportWritten = [&](const QString& path) { written = path; };
    auto* pages = dialog.findChild<QTreeWidget*>();
    ASSERT_TRUE(pages);
    ASSERT_EQ(pages->topLevelItemCount(), 2) << "the opened files start the list";
    button(dialog, QStringLiteral("None"), 1)->click();
    button(dialog, QStringLiteral("Invert"), 1)->click();
    EXPECT_EQ(pages->selectedItems().size(), 2);
    for (const char* caption : {"Set Transparent C&olor", "Set Hot &Spot", "Set D&elay"})
        button(dialog, QString::fromLatin1(caption))->click();
    EXPECT_EQ(pages->topLevelItem(1)->text(1).toStdString(),
              "Color: #000000; Hot Spot: 3,4; Delay: 25");

    QPushButton* animate = button(dialog, QStringLiteral("Play Animation"));
    ASSERT_TRUE(animate);
    animate->click();
    EXPECT_TRUE(dialog.animating());
    EXPECT_EQ(animate->text(), QStringLiteral("Stop Animation"));
    animate->click();
    EXPECT_FALSE(dialog.animating());

    dialog.setOutputFile(QString::fromStdString((dir / "out.ani").string()));
    button(dialog, QStringLiteral("&Compile"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(answers.told());
    EXPECT_EQ(written.toStdString(), (dir / "out.ani").string());
    image::ImageDocument doc;
    image::LoadOptions o;
    o.path = dir / "out.ani";
    ASSERT_TRUE(doc.loadAll(o, true));
    EXPECT_EQ(doc.PageCount(), 2);
    EXPECT_EQ(doc.PageAt(0).delay, 25u);
}

TEST(IconCompilerDialog, StandardSizesComeFromOnePicture) {
    test::TempDir dir;
    test::writeFile(dir / "logo.bmp", test::bmp24(64, 64, [](int x, int) { return x * 4; }));
    test::writeFile(dir / "big.bmp", test::bmp24(300, 300, [](int, int y) { return y; }));
    test::writeFile(dir / "wide.bmp", test::bmp24(300, 200, [](int, int) { return 0; }));
    EXPECT_TRUE(tools::IconCompiler::isLargeSquare(dir / "big.bmp"));
    EXPECT_FALSE(tools::IconCompiler::isLargeSquare(dir / "logo.bmp"));
    EXPECT_FALSE(tools::IconCompiler::isLargeSquare(dir / "wide.bmp"));

    Answers answers;
    tools::IconCompiler compiler(answers, answers);
    ASSERT_TRUE(compiler.open({dir / "logo.bmp"}));
    gui::IconCompilerDialog dialog(compiler, nullptr);
    auto* pages = dialog.findChild<QTreeWidget*>();
    ASSERT_TRUE(pages);
    button(dialog, QStringLiteral("Add Standard Si&zes"))->click();
    QStringList names;
    for (int i = 0; i < pages->topLevelItemCount(); ++i) names << pages->topLevelItem(i)->text(0);
    EXPECT_EQ(names.join(u'|').toStdString(),
              "logo.bmp|logo.bmp (16x16)|logo.bmp (24x24)|logo.bmp (32x32)|logo.bmp (48x48)");
    EXPECT_FALSE(answers.told());
}
