#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "app/gui/dialogs/dialog_base.h"
#include "tools/convert/batch_convertor.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

class ToolContext;
class BatchEffectsPage;
class BatchOverlayPage;

// "Batch Convertor": the modeless panel of the main window that converts the browser's files in
// one run. Its pages are General, Format, Resample, Rotate/Flip, Effects and Overlay; "&Convert"
// checks them, gathers a BatchSettings record and runs it.
class BatchConvertorDialog : public DialogBase {
    Q_OBJECT
public:
    explicit BatchConvertorDialog(ToolContext& context);
    ~BatchConvertorDialog() override;

    // Runs the page checks (their messages shown) and gathers the pages; nullopt when a check
    // failed.
    std::optional<tools::BatchSettings> collectSettings();
    // The "&Convert" button: checks, stores the options and starts the run.
    void convert();
    // What "&Convert" hands the checked settings to; the real run unless a test replaces it.
    std::function<void(const tools::BatchSettings&)> startRun;

    // The file the viewer shows changed (the preview follows it).
    void setCurrentFile(const std::filesystem::path& path);

    // Every page's fields as they stand, unchecked, and the pages set from a record.
    tools::BatchSettings pageSettings() const;
    void showSettings(const tools::BatchSettings& settings);

    // The option fields kept in the settings record, to and from the pages.
    void loadFromSettings();
    void storeToSettings() const;

signals:
    // The panel came up or went away (by its command, Escape or its own Close).
    void visibilityChanged(bool visible);

protected:
    QString helpTopic() const override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildGeneralPage();
    QWidget* buildFormatPage();
    QWidget* buildResamplePage();
    QWidget* buildRotatePage();
    void updateGeneralEnabled();
    void updateFormatEnabled();
    void fillDepths();
    void editFormatOptions();
    void editTransparency();
    void chooseOutputFolder();
    tools::BatchFormat currentFormat() const;
    bool depthChoosable() const;

    ToolContext& m_context;
    app::Settings& m_settings;
    QTabWidget* m_tabs = nullptr;
    tools::WriterOptionsSet m_formatOptions;

    // General.
    QCheckBox* m_placeInFolder = nullptr;
    QLineEdit* m_outputFolder = nullptr;
    QPushButton* m_browseFolder = nullptr;
    QCheckBox* m_copySubfolders = nullptr;
    QLineEdit* m_prefix = nullptr;
    QLineEdit* m_suffix = nullptr;
    QCheckBox* m_preserveDate = nullptr;
    QComboBox* m_applyTo = nullptr;
    QCheckBox* m_setComments = nullptr;
    QLineEdit* m_comments = nullptr;
    QCheckBox* m_keepOriginal = nullptr;

    // Format.
    QComboBox* m_format = nullptr;
    QPushButton* m_formatOptionsButton = nullptr;
    QPushButton* m_transparencyButton = nullptr;
    QComboBox* m_palette = nullptr;
    QComboBox* m_depth = nullptr;
    QComboBox* m_dithering = nullptr;

    // Resample.
    QComboBox* m_width = nullptr;
    QComboBox* m_height = nullptr;
    QComboBox* m_unit = nullptr;
    QRadioButton* m_percents = nullptr;
    QRadioButton* m_units = nullptr;
    QCheckBox* m_keepAspect = nullptr;
    QCheckBox* m_swapForVertical = nullptr;
    QComboBox* m_method = nullptr;
    QLineEdit* m_dpiX = nullptr;
    QLineEdit* m_dpiY = nullptr;

    // Rotate/Flip.
    QCheckBox* m_autoOrient = nullptr;
    QButtonGroup* m_rotation = nullptr;
    QCheckBox* m_mirrorH = nullptr;
    QCheckBox* m_mirrorV = nullptr;

    BatchEffectsPage* m_effects = nullptr;
    BatchOverlayPage* m_overlay = nullptr;
    bool m_running = false;
};

}  // namespace kalder::gui
