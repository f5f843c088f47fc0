// The browser's text dialogs: Describe Image hands back one trimmed line, Find Image and File
// Filter read their settings and write them back only on Find/OK; the filter box follows the
// radio buttons and keeps the custom string while another mode is shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/core/settings.h"
#include "app/gui/dialogs/describe_image_dialog.h"
#include "app/gui/dialogs/file_filter_dialog.h"
#include "app/gui/dialogs/find_image_dialog.h"
#include "gui/dialog_test_support.h"

using namespace kalder;
using namespace kalder::gui;

using kalder::test::child;
using kalder::test::press;

namespace {

QString filterOf(view::FilterMode mode) {
    return QString::fromStdString(view::filterString(mode, {}));
}

// A radio button answers clicks on its indicator and text only, not on the rest of its row.
void clickRadio(QDialog& dialog, const char* name) {
    auto* radio = child<QRadioButton>(dialog, name);
    QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2));
}

const char* const kRadios[] = {"modeDefault", "modeJpeg", "modeAll", "modeCustom"};

}  // namespace

TEST(DescribeImage, DescriptionIsOneTrimmedLine) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"  sunset at the lake \t", "sunset at the lake"},
        {"first\r\nsecond", "first second"},
        {"a\nb\rc", "a b c"},
        {"two\n\nbreaks", "two  breaks"},
        {"\r\n\r\n", ""},
        {"tab\tinside", "tab\tinside"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(oneLineDescription(c.in), c.out) << c.in;
}

TEST(DescribeImage, DialogShowsNameAndEditsTheDescription) {
    DescribeImageDialog dialog("my pic.jpg", "old text");
    EXPECT_EQ(dialog.windowTitle(), "Describe Image");
    EXPECT_EQ(child<QLabel>(dialog, "name")->text(), "my pic.jpg");
    auto* edit = child<QLineEdit>(dialog, "description");
    EXPECT_EQ(edit->text(), "old text");
    EXPECT_EQ(dialog.description(), "old text");
    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains("Name:"));
    EXPECT_TRUE(labels.contains("Description:"));

    dialog.open();
    edit->clear();
    QTest::keyClicks(edit, "  a new one  ");
    press(dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.description(), "a new one");
    EXPECT_EQ(child<QPushButton>(dialog, "help")->text(), "&Help");
}

TEST(FindImage, OptionsFollowTheSettings) {
    app::Settings settings;
    const view::FindOptions defaults = findOptionsFrom(settings);
    EXPECT_FALSE(defaults.matchCase);
    EXPECT_FALSE(defaults.wholeWords);
    EXPECT_TRUE(defaults.searchDescriptions);
    EXPECT_FALSE(defaults.namesWithExtensions);
    settings.findOptions = {5, 1, 0, 1, 0, 0, 0, 0};  // any non-zero value is on
    const view::FindOptions set = findOptionsFrom(settings);
    EXPECT_TRUE(set.matchCase);
    EXPECT_TRUE(set.wholeWords);
    EXPECT_FALSE(set.searchDescriptions);
    EXPECT_TRUE(set.namesWithExtensions);
}

TEST(FindImage, FindStoresTextAndOptions) {
    app::Settings settings;
    settings.findText = "cat";
    settings.findOptions = {1, 0, 1, 0, 0, 0, 9, 0};
    FindImageDialog dialog(settings);
    EXPECT_EQ(dialog.windowTitle(), "Find Image");
    EXPECT_EQ(child<QLineEdit>(dialog, "findText")->text(), "cat");
    const char* names[] = {"matchCase", "wholeWords", "searchDescriptions", "namesWithExtensions"};
    const char* texts[] = {"Match &case", "Match whole &words only", "Search &descriptions",
                           "Search names+&extensions"};
    for (int i = 0; i < 4; ++i) {
        auto* box = child<QCheckBox>(dialog, names[i]);
        EXPECT_EQ(box->text(), texts[i]);
        EXPECT_EQ(box->isChecked(), settings.findOptions[i] != 0) << names[i];
        box->toggle();
    }
    auto* find = child<QPushButton>(dialog, "find");
    EXPECT_EQ(find->text(), "Find");
    EXPECT_TRUE(find->isDefault());

    dialog.open();
    auto* edit = child<QLineEdit>(dialog, "findText");
    edit->clear();
    QTest::keyClicks(edit, "dog");
    QTest::keyClick(edit, Qt::Key_Return);  // the default button
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.findText, "dog");
    const std::array<std::int32_t, 8> expected{0, 1, 0, 1, 0, 0, 9, 0};
    EXPECT_EQ(settings.findOptions, expected) << "entries past the four stay";
}

TEST(FindImage, CancelKeepsTheSettings) {
    app::Settings settings;
    settings.findText = "cat";
    FindImageDialog dialog(settings);
    dialog.open();
    child<QLineEdit>(dialog, "findText")->setText("dog");
    child<QCheckBox>(dialog, "matchCase")->setChecked(true);
    press(dialog, QDialogButtonBox::Cancel);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(settings.findText, "cat");
    EXPECT_EQ(settings.findOptions[0], 0);
}

TEST(FileFilter, RadioButtonsChangeTextAndReadOnly) {
    app::Settings settings;
    settings.filterMode = 1;
    settings.customFilter = "*.jpg | thumb*.*";
    FileFilterDialog dialog(settings);
    EXPECT_EQ(dialog.windowTitle(), "File Filter");
    const char* texts[] = {"&Default (all supported files)", "&JPEG Files Only", "&All Files",
                           "&Custom"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(child<QRadioButton>(dialog, kRadios[i])->text(), texts[i]);
    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains(
        "Filter string (separate filters with space, insert | before exclusion filters):"));

    auto* edit = child<QLineEdit>(dialog, "filter");
    EXPECT_EQ(edit->maxLength(), 1536);
    EXPECT_TRUE(child<QRadioButton>(dialog, "modeJpeg")->isChecked());
    EXPECT_EQ(edit->text(), filterOf(view::FilterMode::JpegOnly));
    EXPECT_TRUE(edit->isReadOnly());

    dialog.open();
    const struct {
        int radio;
        QString text;
        bool readOnly;
    } steps[] = {
        {0, filterOf(view::FilterMode::Default), true},
        {3, "*.jpg | thumb*.*", false},
        {2, "*.*", true},
    };
    for (const auto& s : steps) {
        clickRadio(dialog, kRadios[s.radio]);
        EXPECT_EQ(int(dialog.mode()), s.radio);
        EXPECT_EQ(edit->text(), s.text) << kRadios[s.radio];
        EXPECT_EQ(edit->isReadOnly(), s.readOnly) << kRadios[s.radio];
    }
    EXPECT_TRUE(filterOf(view::FilterMode::Default).startsWith("*."));
    EXPECT_LE(filterOf(view::FilterMode::Default).size(), 1536) << "fits the box uncut";
}

TEST(FileFilter, CustomEditsSurviveModeChangesAndAreTrimmed) {
    app::Settings settings;
    settings.customFilter = "*.png";
    FileFilterDialog dialog(settings);
    dialog.open();
    auto* edit = child<QLineEdit>(dialog, "filter");
    dialog.selectMode(view::FilterMode::Custom);
    EXPECT_EQ(edit->text(), "*.png");
    edit->setText(" \t*.gif *.bmp\f\r\n ");
    dialog.selectMode(view::FilterMode::AllFiles);
    EXPECT_EQ(edit->text(), "*.*");
    dialog.selectMode(view::FilterMode::Custom);
    EXPECT_EQ(edit->text(), " \t*.gif *.bmp\f\r\n ");
    press(dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.filterMode, 3);
    EXPECT_EQ(settings.customFilter, "*.gif *.bmp");
}

TEST(FileFilter, OkOutsideCustomKeepsTheCustomString) {
    app::Settings settings;
    settings.filterMode = 3;
    settings.customFilter = "*.png";
    FileFilterDialog dialog(settings);
    dialog.open();
    child<QLineEdit>(dialog, "filter")->setText("*.tga");
    clickRadio(dialog, "modeJpeg");
    press(dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(settings.filterMode, 1);
    EXPECT_EQ(settings.customFilter, "*.png");
}

TEST(FileFilter, CancelKeepsTheSettings) {
    app::Settings settings;
    settings.filterMode = 0;
    settings.customFilter = "*.png";
    FileFilterDialog dialog(settings);
    dialog.open();
    clickRadio(dialog, "modeCustom");
    child<QLineEdit>(dialog, "filter")->setText("*.gif");
    press(dialog, QDialogButtonBox::Cancel);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(settings.filterMode, 0);
    EXPECT_EQ(settings.customFilter, "*.png");
}

TEST(FileFilter, UnknownStoredModeShowsDefault) {
    for (int stored : {-1, 4, 99}) {
        app::Settings settings;
        settings.filterMode = stored;
        FileFilterDialog dialog(settings);
        EXPECT_EQ(dialog.mode(), view::FilterMode::Default) << stored;
        EXPECT_EQ(child<QLineEdit>(dialog, "filter")->text(), filterOf(view::FilterMode::Default));
    }
}
