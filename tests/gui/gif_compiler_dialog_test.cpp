// The compiler dialog: page rules, "Apply to all", the preview animation and Compile.
#include "app/gui/tools/gif_compiler/gif_compiler_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "gui/dialog_test_support.h"
#include "support/test_support.h"

using namespace kalder;
using kalder::test::child;

namespace {

// Answers every message box the next actions open with its first button (Yes, OK), keeping
// the texts.
class MessageBoxes {
public:
    QStringList texts;
    MessageBoxes() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->buttons().front()->click();
            }
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

}  // namespace

TEST(GifCompilerDialog, PagesFramesAndCompile) {
    const auto defaults = gui::animationOptionsFrom({0, 7, 0, 0, 1});
    EXPECT_TRUE(defaults.palette == image::PaletteType::Optimized && defaults.colorDepth == 8 &&
                defaults.dither == image::DitherType::None && !defaults.interlaced &&
                defaults.minimize && !defaults.separatePalettes);

    test::TempDir dir;
    std::vector<tools::AnimationFrame> frames;
    for (int i = 0; i < 3; ++i) {
        tools::AnimationFrame f;
        f.path = dir / ("f" + std::to_string(i) + ".bmp");
        test::writeFile(f.path, test::bmp24(16, 8, [i](int x, int) {
                            return x < 4 * i ? 0xFF0000u : 0x0000FFu;
                        }));
        f.preview = std::make_unique<image::Bitmap32>();
        ASSERT_TRUE(f.preview->Create(16, 8));
        frames.push_back(std::move(f));
    }
    tools::AnimationOptions o = defaults;
    o.output = dir / "Output.gif";
    gui::GifCompilerDialog dialog(std::move(frames), o);
    MessageBoxes boxes;

    auto* palette = child<QComboBox>(dialog, "palette");
    auto* dither = child<QComboBox>(dialog, "dither");
    dither->setCurrentIndex(1);  // "Ordered" is refused with "Optimized"
    EXPECT_EQ(dither->currentIndex(), 0);
    EXPECT_EQ(boxes.texts, QStringList{"The ordered dithering cannot be used with this palette."});
    palette->setCurrentIndex(1);
    EXPECT_FALSE(child<QComboBox>(dialog, "depth")->isEnabled());
    EXPECT_EQ(dialog.options().colorDepth, 8);
    palette->setCurrentIndex(0);
    child<QCheckBox>(dialog, "separate")->setChecked(true);
    EXPECT_FALSE(dialog.options().minimize);
    child<QCheckBox>(dialog, "separate")->setChecked(false);

    child<QSpinBox>(dialog, "delay")->setValue(7);
    child<QPushButton>(dialog, "delayToAll")->click();
    EXPECT_EQ(boxes.texts.back(), "Do you want to set delay value to 7 for all frames?");
    child<QComboBox>(dialog, "disposal")->setCurrentIndex(2);
    child<QPushButton>(dialog, "disposalToAll")->click();
    EXPECT_EQ(boxes.texts.back(),
              "Do you want to set disposal method to \"Restore Previous\" for all frames?");
    for (const auto& f : dialog.frames())
        EXPECT_EQ(std::make_pair(f.delay, f.disposal), std::make_pair(7u, 3));

    // The preview moves on once a frame's delay (hundredths) has passed, and wraps around.
    dialog.showFrame(2);
    dialog.advanceAnimation(69);
    EXPECT_EQ(dialog.currentFrame(), 2);
    dialog.advanceAnimation(1);
    EXPECT_EQ(dialog.currentFrame(), 0);

    EXPECT_TRUE(child<QCheckBox>(dialog, "loop")->isChecked());
    EXPECT_EQ(dialog.options().plays, 0u);
    child<QPushButton>(dialog, "compile")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(boxes.texts.back(),
              "The file was written to " + QString::fromStdString(o.output.string()) + ".");
    const auto page = test::decodeWithKalder(dir / "Output.gif", 2);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->at(7, 0)[0], 255);  // the third frame's red band
    EXPECT_EQ(page->at(8, 0)[2], 255);
}
