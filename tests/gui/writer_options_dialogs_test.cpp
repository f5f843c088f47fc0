// The writer option dialogs: OK hands back what the controls show, Cancel keeps the record, and
// the two refused inputs explain themselves in a message box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "app/gui/dialogs/gif_options_dialog.h"
#include "app/gui/dialogs/jpeg_options_dialog.h"
#include "app/gui/dialogs/png_options_dialog.h"
#include "app/gui/dialogs/rle_options_dialog.h"
#include "app/gui/dialogs/tiff_options_dialog.h"
#include "app/gui/dialogs/transparency_options_dialog.h"
#include "gui/dialog_test_support.h"

using namespace kalder;
using namespace kalder::gui;

using kalder::test::child;

namespace {

void clickOk(QDialog& dialog) {
    child<QDialogButtonBox>(dialog, "buttons")->button(QDialogButtonBox::Ok)->click();
}
void clickCancel(QDialog& dialog) {
    child<QDialogButtonBox>(dialog, "buttons")->button(QDialogButtonBox::Cancel)->click();
}

// Message boxes the next action opens: their caption and text, each closed at once. A timer
// polls while the object lives.
class MessageBoxes {
public:
    QStringList texts;
    QStringList captions;
    MessageBoxes() {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                captions << box->windowTitle();
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

}  // namespace

TEST(WriterOptionsDialogs, CheckBoxDialogsRoundTrip) {
    for (const bool start : {false, true}) {
        RleOptionsDialog bmp(QStringLiteral("BMP Options"), start);
        EXPECT_EQ(bmp.windowTitle(), "BMP Options");
        auto* rle = child<QCheckBox>(bmp, "rle");
        EXPECT_EQ(rle->text(), "RLE-compressed");
        EXPECT_EQ(rle->isChecked(), start);
        rle->setChecked(!start);
        clickOk(bmp);
        EXPECT_EQ(bmp.result(), QDialog::Accepted);
        EXPECT_EQ(bmp.rle(), !start);

        RleOptionsDialog tga(QStringLiteral("TGA Options"), start);
        child<QCheckBox>(tga, "rle")->setChecked(!start);
        clickCancel(tga);
        EXPECT_EQ(tga.result(), QDialog::Rejected);
        EXPECT_EQ(tga.rle(), start) << "Cancel keeps the record";
    }
}

TEST(WriterOptionsDialogs, JpegControlsMapToTheRecord) {
    image::JpegOptions start;
    JpegOptionsDialog dialog(start);
    EXPECT_EQ(dialog.windowTitle(), "JPEG Options");
    EXPECT_EQ(child<QSlider>(dialog, "quality")->value(), 75);
    auto* sampling = child<QComboBox>(dialog, "sampling");
    ASSERT_EQ(sampling->count(), 3);
    EXPECT_EQ(sampling->itemText(0), "High quality(4:4:4)");
    EXPECT_EQ(sampling->itemText(1), "Middle quality (4:3:3)");
    EXPECT_EQ(sampling->itemText(2), "Low quality (4:2:2)");
    EXPECT_EQ(child<QCheckBox>(dialog, "copyExif")->text(), "Copy Exif information");
    child<QSlider>(dialog, "quality")->setValue(90);
    child<QSlider>(dialog, "smoothing")->setValue(20);
    sampling->setCurrentIndex(2);
    child<QCheckBox>(dialog, "progressive")->setChecked(true);
    child<QCheckBox>(dialog, "gray")->setChecked(true);
    child<QCheckBox>(dialog, "copyExif")->setChecked(false);
    clickOk(dialog);
    const image::JpegOptions expected{90, 20, 2, true, true, false};
    EXPECT_EQ(dialog.options(), expected);
}

TEST(WriterOptionsDialogs, TiffListFollowsTheDepth) {
    struct Case {
        std::int32_t bits;
        QStringList items;
    };
    const std::vector<Case> cases = {
        {32,
         {"No compression", "Lempel-Ziv & Welch (LZW)", "Baseline JPEG", "PackBits", "Deflate"}},
        {1,
         {"No compression", "CCITT 1D Huffman", "CCITT Group 3 Facsimile",
          "CCITT Group 4 Facsimile", "Lempel-Ziv & Welch (LZW)", "PackBits", "Deflate"}},
        {8, {"No compression", "Lempel-Ziv & Welch (LZW)", "PackBits", "Deflate"}},
    };
    for (const auto& c : cases) {
        TiffOptionsDialog dialog(image::TiffOptions{1}, c.bits);
        auto* list = child<QComboBox>(dialog, "compression");
        QStringList items;
        for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
        EXPECT_EQ(items, c.items) << c.bits;
        EXPECT_EQ(list->currentIndex(), 1);
        list->setCurrentIndex(list->count() - 1);
        clickOk(dialog);
        EXPECT_EQ(dialog.options().compressionIndex, list->count() - 1);
        EXPECT_EQ(image::tiffCompressionFor(dialog.options().compressionIndex, c.bits), 32946);
    }
}

TEST(WriterOptionsDialogs, PaletteIndexOutOfRangeIsRefused) {
    image::TransparencyOptions start;
    start.mode = image::TransparencyMode::PaletteIndex;
    start.paletteIndex = 7;
    TransparencyOptionsDialog dialog(start);
    EXPECT_EQ(dialog.windowTitle(), "Transparency Options");
    EXPECT_EQ(child<QRadioButton>(dialog, "retain")->text(), "&Retain original transparency");
    EXPECT_EQ(child<QRadioButton>(dialog, "remove")->text(), "R&emove any transparency");
    EXPECT_EQ(child<QRadioButton>(dialog, "useColor")->text(),
              "&Use RGB to specify the transparent color");
    EXPECT_EQ(child<QRadioButton>(dialog, "useIndex")->text(),
              "U&se the transparent palette index");
    EXPECT_EQ(child<QPushButton>(dialog, "chooseColor")->text(), "&Choose Color...");
    dialog.show();
    auto* index = child<QLineEdit>(dialog, "paletteIndex");
    EXPECT_EQ(index->text(), "7");
    index->setText("300");
    {
        MessageBoxes boxes;
        clickOk(dialog);
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_EQ(boxes.texts[0], "Palette index must be in range of 0-255.");
        EXPECT_EQ(boxes.captions[0], "Kalder");
    }
    EXPECT_TRUE(dialog.isVisible()) << "the dialog stays open";
    EXPECT_EQ(index->text(), "0");
    index->setText("255");
    clickOk(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.options().paletteIndex, 255);
    EXPECT_EQ(dialog.options().mode, image::TransparencyMode::PaletteIndex);

    // Another choice: the index field is not used and not checked.
    TransparencyOptionsDialog other(start);
    child<QRadioButton>(other, "remove")->setChecked(true);
    child<QLineEdit>(other, "paletteIndex")->setText("999");
    clickOk(other);
    EXPECT_EQ(other.result(), QDialog::Accepted);
    EXPECT_EQ(other.options().mode, image::TransparencyMode::Remove);
    EXPECT_EQ(other.options().paletteIndex, 7);
}

TEST(WriterOptionsDialogs, PngGammaAndComments) {
    image::PngOptions start;
    start.texts = {{"Title", "Old"}};
    PngOptionsDialog dialog(start);
    EXPECT_EQ(dialog.windowTitle(), "PNG Options");
    dialog.show();
    auto* gamma = child<QLineEdit>(dialog, "gamma");
    EXPECT_EQ(gamma->text(), "[default]");
    auto* keyword = child<QComboBox>(dialog, "keyword");
    ASSERT_EQ(keyword->count(), 9);
    EXPECT_EQ(keyword->itemText(4), "Creation Time");

    gamma->setText("abc");
    {
        MessageBoxes boxes;
        clickOk(dialog);
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_EQ(boxes.texts[0], "Invalid gamma value.");
        EXPECT_EQ(boxes.captions[0], "Kalder");
    }
    EXPECT_TRUE(dialog.isVisible());

    gamma->setText("2.2");
    keyword->setCurrentIndex(1);
    child<QLineEdit>(dialog, "text")->setText("Someone");
    child<QPushButton>(dialog, "add")->click();
    auto* texts = child<QTreeWidget>(dialog, "texts");
    texts->setCurrentItem(texts->topLevelItem(0));
    child<QPushButton>(dialog, "remove")->click();
    child<QCheckBox>(dialog, "interlaced")->setChecked(true);
    clickOk(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(dialog.options().gamma, 2.2);
    EXPECT_TRUE(dialog.options().interlaced);
    ASSERT_EQ(dialog.options().texts.size(), 1u);
    EXPECT_EQ(dialog.options().texts[0], (image::PngTextPair{"Author", "Someone"}));

    // An emptied field means no gamma again.
    PngOptionsDialog again(dialog.options());
    EXPECT_EQ(child<QLineEdit>(again, "gamma")->text(), "2.2");
    child<QLineEdit>(again, "gamma")->clear();
    clickOk(again);
    EXPECT_EQ(again.options().gamma, 0.0);
}

TEST(WriterOptionsDialogs, GifTransparencyGoesThroughItsOwnDialog) {
    image::GifOptions start;
    GifOptionsDialog dialog(start);
    EXPECT_EQ(dialog.windowTitle(), "GIF Options");
    dialog.show();
    // Open "Transparency...", pick the index choice with 12, OK.
    QTimer::singleShot(20, qApp, [] {
        auto* t = qobject_cast<TransparencyOptionsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(t, nullptr);
        child<QRadioButton>(*t, "useIndex")->setChecked(true);
        child<QLineEdit>(*t, "paletteIndex")->setText("12");
        clickOk(*t);
    });
    child<QPushButton>(dialog, "transparency")->click();
    child<QCheckBox>(dialog, "interlaced")->setChecked(true);
    clickOk(dialog);
    EXPECT_TRUE(dialog.options().interlaced);
    EXPECT_EQ(dialog.options().transparency.mode, image::TransparencyMode::PaletteIndex);
    EXPECT_EQ(dialog.options().transparency.paletteIndex, 12);
}
