// The options dialog: OK writes what the pages show into the record and reports the change,
// Cancel keeps the record; the calibration slider and its label; the shortcut editor's refusal
// of a duplicate key.
#include "app/gui/dialogs/options_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "app/core/key_names.h"
#include "app/core/shortcuts.h"
#include "app/gui/dialogs/edit_shortcut_dialog.h"
#include "gui/dialog_test_support.h"
#include "view/color_calibration.h"

using namespace kalder;
using namespace kalder::gui;

using kalder::test::child;
using kalder::test::press;

namespace {

// Closes the next modal message boxes and keeps their texts.
class MessageBoxes {
public:
    QStringList texts;
    explicit MessageBoxes(QMessageBox::StandardButton answer = QMessageBox::Ok) {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->done(answer);
            }
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

app::Settings freshSettings() {
    app::Settings settings;
    app::ensureShortcuts(settings);
    settings.browserScrollBarSize = 17;
    return settings;
}

}  // namespace

TEST(OptionsDialog, OkWritesEveryPageAndReportsChanges) {
    app::Settings settings = freshSettings();
    OptionsDialog dialog(settings);
    QSignalSpy applied(&dialog, &OptionsDialog::settingsApplied);
    auto* tabs = child<QTabWidget>(dialog, "pages");
    ASSERT_EQ(tabs->count(), 5);
    EXPECT_EQ(tabs->tabText(2), "Color Management");
    EXPECT_EQ(tabs->tabText(4), "Misc.");

    child<QCheckBox>(dialog, "centerOnLoad")->setChecked(false);
    child<QCheckBox>(dialog, "ditherEnabled")->setChecked(false);
    child<QCheckBox>(dialog, "copyAtWindowSize")->setChecked(true);
    child<QSpinBox>(dialog, "minStretchSize")->setValue(64);
    child<QCheckBox>(dialog, "osdEnable")->setChecked(false);
    child<QCheckBox>(dialog, "exitWithEsc")->setChecked(false);
    child<QCheckBox>(dialog, "statusBarFileInfo")->setChecked(true);
    child<QSpinBox>(dialog, "defaultResolutionX")->setValue(72);
    child<QSpinBox>(dialog, "browserScrollBarSize")->setValue(20);
    child<QRadioButton>(dialog, "useColorProfiles")->setChecked(true);
    child<QRadioButton>(dialog, "channelAdditional")->click();
    child<QSlider>(dialog, "calibrationSlider")->setValue(385);  // e = 1.0 exactly
    child<QSlider>(dialog, "calibrationSlider")->setValue(355);  // e = 1.1

    press(dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(applied.count(), 1);
    EXPECT_FALSE(settings.centerOnLoad);
    EXPECT_FALSE(settings.ditherEnabled);
    EXPECT_TRUE(settings.copyAtWindowSize);
    EXPECT_EQ(settings.minStretchSize, 64);
    EXPECT_EQ(settings.osdSize, -1);
    EXPECT_FALSE(settings.exitWithEsc);
    EXPECT_TRUE(settings.statusBarFileInfo);
    EXPECT_EQ(settings.defaultResolutionX, 72);
    EXPECT_EQ(settings.browserScrollBarSize, 20);
    EXPECT_TRUE(settings.useColorProfiles);
    EXPECT_DOUBLE_EQ(settings.gammaExtra, view::sliderToExponent(355));
    EXPECT_DOUBLE_EQ(settings.gammaRed, 1.0);  // not touched by showing it

    const auto changes = dialog.changes();
    EXPECT_TRUE(changes & OptionsDialog::DisplayChanged);
    EXPECT_TRUE(changes & OptionsDialog::CenterChanged);
    EXPECT_TRUE(changes & OptionsDialog::OsdChanged);
    EXPECT_TRUE(changes & OptionsDialog::ColorChanged);
    EXPECT_TRUE(changes & OptionsDialog::StatusBarChanged);
    EXPECT_FALSE(changes & OptionsDialog::ShortcutsChanged);
    EXPECT_FALSE(changes & OptionsDialog::LayoutChanged);
    EXPECT_FALSE(changes & OptionsDialog::TransparencyChanged);
}

TEST(OptionsDialog, CancelLeavesTheRecordAndOkWithoutEditsChangesNothing) {
    const app::Settings original = freshSettings();
    app::Settings settings = original;
    {
        OptionsDialog dialog(settings);
        QSignalSpy applied(&dialog, &OptionsDialog::settingsApplied);
        child<QCheckBox>(dialog, "wallpaperBackground")->setChecked(false);
        child<QComboBox>(dialog, "osdSize")->setCurrentIndex(3);
        child<QSlider>(dialog, "calibrationSlider")->setValue(100);
        press(dialog, QDialogButtonBox::Cancel);
        EXPECT_EQ(applied.count(), 0);
    }
    EXPECT_EQ(settings, original);
    {
        OptionsDialog dialog(settings);
        press(dialog, QDialogButtonBox::Ok);
        EXPECT_EQ(dialog.changes(), 0u);
    }
    EXPECT_EQ(settings, original);
}

TEST(OptionsDialog, OsdSizeAndDisabledState) {
    app::Settings settings = freshSettings();
    settings.osdSize = -1;
    OptionsDialog dialog(settings);
    auto* enable = child<QCheckBox>(dialog, "osdEnable");
    auto* size = child<QComboBox>(dialog, "osdSize");
    EXPECT_FALSE(enable->isChecked());
    EXPECT_FALSE(size->isEnabled());
    enable->setChecked(true);
    size->setCurrentIndex(2);
    press(dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(settings.osdSize, 2);
}

TEST(OptionsDialog, CalibrationSliderAndLabel) {
    app::Settings settings = freshSettings();
    settings.gammaGreen = 0.8;
    OptionsDialog dialog(settings);
    auto* slider = child<QSlider>(dialog, "calibrationSlider");
    auto* label = child<QLabel>(dialog, "currentValue");
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 600);
    // Red at 1.0: position 685 - 300.
    EXPECT_EQ(slider->value(), 385);
    EXPECT_EQ(label->text(), "Current value: 1.000");
    slider->setValue(0);
    EXPECT_EQ(label->text(), "Current value: 0.438");
    slider->setValue(600);  // taken as 599
    EXPECT_EQ(label->text(), "Current value: 3.488");
    child<QToolButton>(dialog, "calibrationDown")->click();
    EXPECT_EQ(slider->value(), 599);
    EXPECT_EQ(label->text(), "Current value: 3.488");

    // Green shows its own value (1 / 0.8) without being moved by the rounding.
    child<QRadioButton>(dialog, "channelGreen")->click();
    EXPECT_EQ(slider->value(), 685 - 240);
    EXPECT_EQ(label->text(), "Current value: 1.250");
    EXPECT_TRUE(child<QLabel>(dialog, "instruction")
                    ->text()
                    .startsWith("Use the slider to adjust the color of the inner square"));
    child<QRadioButton>(dialog, "channelAdditional")->click();
    EXPECT_TRUE(
        child<QLabel>(dialog, "instruction")
            ->text()
            .startsWith("Use the slider to adjust the colors so that the bright and dark areas"));

    press(dialog, QDialogButtonBox::Ok);
    EXPECT_DOUBLE_EQ(settings.gammaGreen, 0.8);
    EXPECT_DOUBLE_EQ(settings.gammaRed, view::sliderToExponent(599));
}

TEST(OptionsDialog, ColorPageEnablesProfileControlsByMode) {
    app::Settings settings = freshSettings();
    OptionsDialog dialog(settings);
    auto* useDefault = child<QCheckBox>(dialog, "useDefaultProfile");
    auto* select = child<QPushButton>(dialog, "selectProfile");
    EXPECT_FALSE(useDefault->isEnabled());  // custom calibration
    child<QRadioButton>(dialog, "useColorProfiles")->setChecked(true);
    EXPECT_TRUE(useDefault->isEnabled());
    EXPECT_FALSE(select->isEnabled());
    useDefault->setChecked(false);
    EXPECT_TRUE(select->isEnabled());
    // The table's tooltips reached the page.
    EXPECT_FALSE(useDefault->toolTip().isEmpty());
    EXPECT_FALSE(child<QCheckBox>(dialog, "centerOnLoad")->toolTip().isEmpty());
}

TEST(EditShortcutDialog, RefusesAKeyAnotherCommandHas) {
    app::ShortcutEditor editor(
        std::vector<app::Shortcut>(app::defaultShortcuts().begin(), app::defaultShortcuts().end()));
    // A new entry starts with the first entry's key: OK reports the duplicate and stays open.
    EditShortcutDialog dialog(editor, editor.newEntry(), std::nullopt);
    dialog.show();
    {
        MessageBoxes boxes;
        press(dialog, QDialogButtonBox::Ok);
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_EQ(boxes.texts.front(), "This shortcut is already defined for some other command.");
    }
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);

    // A free combination is taken.
    auto* key = child<QComboBox>(dialog, "key");
    key->setCurrentIndex(key->findText("F24"));
    child<QCheckBox>(dialog, "ctrl")->setChecked(true);
    child<QCheckBox>(dialog, "alt")->setChecked(true);
    child<QCheckBox>(dialog, "shift")->setChecked(true);
    press(dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.entry().key, *app::keyCodeFromName("F24"));
    EXPECT_EQ(dialog.entry().flags & app::kShortcutModifiers, app::kShortcutModifiers);
}

TEST(EditShortcutDialog, ShowsTheEntryAndKeepsUnlistedKeysUnselected) {
    app::ShortcutEditor editor(
        std::vector<app::Shortcut>(app::defaultShortcuts().begin(), app::defaultShortcuts().end()));
    const std::size_t index = editor.rows().front().entry;
    app::Shortcut entry = editor.entries()[index];
    entry.key = 0xE9;  // not in the key-name table
    EditShortcutDialog dialog(editor, entry, index);
    EXPECT_EQ(child<QComboBox>(dialog, "key")->currentIndex(), -1);
    EXPECT_EQ(child<QComboBox>(dialog, "command")->currentData().toInt(), int(entry.command));
    // With no key chosen, OK closes and leaves the entry alone.
    press(dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.entry(), entry);
}

TEST(OptionsDialog, ControlsPageRemovesAndRestoresShortcuts) {
    app::Settings settings = freshSettings();
    const auto before = settings.shortcuts;
    OptionsDialog dialog(settings);
    auto* list = child<QTreeWidget>(dialog, "shortcuts");
    const int rows = list->topLevelItemCount();
    ASSERT_GT(rows, 10);
    EXPECT_EQ(list->headerItem()->text(0), "Command");
    list->topLevelItem(0)->setSelected(true);
    child<QPushButton>(dialog, "removeShortcut")->click();
    EXPECT_EQ(list->topLevelItemCount(), rows - 1);
    {
        MessageBoxes boxes(QMessageBox::No);  // "Set &Default Shortcuts" answered No
        child<QPushButton>(dialog, "defaultShortcuts")->click();
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_EQ(boxes.texts.front(), QString::fromLatin1(app::kSetDefaultShortcutsQuestion));
    }
    EXPECT_EQ(list->topLevelItemCount(), rows - 1);
    press(dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(settings.shortcuts.size(), before.size() - 1);
    EXPECT_TRUE(dialog.changes() & OptionsDialog::ShortcutsChanged);
}

TEST(OptionsDialog, KeySchemeTextUnderIconsAndThemeBackgroundAreStored) {
    app::Settings settings = freshSettings();
    OptionsDialog dialog(settings);
    auto* schemes = child<QComboBox>(dialog, "keyScheme");
    EXPECT_FALSE(schemes->accessibleName().isEmpty());
    auto* list = child<QTreeWidget>(dialog, "shortcuts");
    const int rows = list->topLevelItemCount();
    schemes->setCurrentIndex(schemes->findData(int(app::KeyScheme::Desktop)));
    EXPECT_NE(list->topLevelItemCount(), rows) << "the list shows the scheme's keys at once";
    child<QCheckBox>(dialog, "toolbarTextUnderIcons")->setChecked(true);
    EXPECT_TRUE(child<QCheckBox>(dialog, "themeBackground")->isChecked());
    child<QCheckBox>(dialog, "themeBackground")->setChecked(false);
    press(dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(settings.keyScheme, app::KeyScheme::Desktop);
    EXPECT_EQ(settings.shortcuts, app::schemeShortcuts(app::KeyScheme::Desktop));
    EXPECT_TRUE(settings.toolbarTextUnderIcons);
    EXPECT_EQ(app::viewerBackground(settings), settings.backgroundColor);
    EXPECT_TRUE(dialog.changes() & OptionsDialog::ShortcutsChanged);
    EXPECT_TRUE(dialog.changes() & OptionsDialog::BackgroundChanged);
}

TEST(MiscControlsDialog, ShowsAndReturnsTheFourValues) {
    std::array<std::int32_t, 8> options{1, 2, 0, 1, 7, 7, 7, 7};
    MiscControlsDialog dialog(options);
    EXPECT_EQ(child<QComboBox>(dialog, "pagingKeys")->currentIndex(), 1);
    EXPECT_EQ(child<QComboBox>(dialog, "mouseWheel")->currentText(), "scrolls the image");
    EXPECT_FALSE(child<QCheckBox>(dialog, "explorerDrag")->isChecked());
    EXPECT_FALSE(child<QComboBox>(dialog, "mouseWheel")->toolTip().isEmpty());
    child<QComboBox>(dialog, "mouseWheel")->setCurrentIndex(1);
    child<QCheckBox>(dialog, "explorerDrag")->setChecked(true);
    const auto result = dialog.options();
    EXPECT_EQ(result, (std::array<std::int32_t, 8>{1, 1, 1, 1, 7, 7, 7, 7}));
}
