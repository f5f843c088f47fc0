#pragma once

#include <QCoreApplication>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/core/settings.h"
#include "app/core/shortcuts.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTreeWidget;

namespace kalder::view {
class ColorManager;
}

namespace kalder::gui {

// One page of the options dialog: filled from the working copy when built, written back to it
// on OK. The template number keys its tooltips and help topic.
class OptionsPage : public QWidget {
public:
    OptionsPage(int templateNumber, QWidget* parent)
        : QWidget(parent), m_template(templateNumber) {}
    int templateNumber() const { return m_template; }
    virtual void store(app::Settings& settings) const = 0;

private:
    int m_template;
};

// A push button that picks a colour and shows it beside its caption.
class ColorButton;

class ViewerPage : public OptionsPage {
    Q_DECLARE_TR_FUNCTIONS(kalder::gui::ViewerPage)

public:
    ViewerPage(const app::Settings& settings, QWidget* parent);
    void store(app::Settings& settings) const override;

private:
    QCheckBox* m_center;
    QCheckBox* m_wallpaper;
    QCheckBox* m_exifOrient;
    QCheckBox* m_dither;
    QCheckBox* m_progress;
    QCheckBox* m_copyAtWindowSize;
    QSpinBox* m_minStretch;
    ColorButton* m_transparency;
    ColorButton* m_background;
    QCheckBox* m_themeBackground;
};

class OsdPage : public OptionsPage {
    Q_DECLARE_TR_FUNCTIONS(kalder::gui::OsdPage)

public:
    OsdPage(const app::Settings& settings, QWidget* parent);
    void store(app::Settings& settings) const override;

private:
    QCheckBox* m_enable;
    QComboBox* m_size;
};

class MiscPage : public OptionsPage {
    Q_DECLARE_TR_FUNCTIONS(kalder::gui::MiscPage)

public:
    MiscPage(const app::Settings& settings, QWidget* parent);
    void store(app::Settings& settings) const override;

private:
    QCheckBox* m_exitWithEsc;
    QCheckBox* m_exifThumbnails;
    QCheckBox* m_rotateThumbnails;
    QCheckBox* m_sharedCache;
    QCheckBox* m_cacheRemovable;
    QCheckBox* m_fileTooltips;
    QCheckBox* m_enhancedLayout;
    QCheckBox* m_statusBar;
    QCheckBox* m_toolbarText;
    QSpinBox* m_scrollBar;
    QSpinBox* m_resolutionX;
    QSpinBox* m_resolutionY;
};

class CalibrationPreview;

class ColorPage : public OptionsPage {
    Q_DECLARE_TR_FUNCTIONS(kalder::gui::ColorPage)

public:
    enum Channel { Red, Green, Blue, Additional };

    ColorPage(const app::Settings& settings, QWidget* parent);
    ~ColorPage() override;
    void store(app::Settings& settings) const override;

    // The exponent the page holds for a channel.
    double exponent(Channel channel) const { return m_exponents[channel]; }

private:
    void selectChannel(Channel channel);
    void onSlider(int position);
    void showValue();
    void updateEnabled();
    void selectProfile();
    void updatePreviewTransform();

    std::array<double, 4> m_exponents{};
    Channel m_channel = Red;
    std::string m_profilePath;
    QRadioButton* m_profiles;
    QRadioButton* m_custom;
    QCheckBox* m_useDefault;
    QWidget* m_select;
    QLineEdit* m_path;
    std::array<QRadioButton*, 4> m_channels{};
    QSlider* m_slider;
    QLabel* m_value;
    QLabel* m_instruction;
    CalibrationPreview* m_preview;
    std::unique_ptr<view::ColorManager> m_manager;
};

class ControlsPage : public OptionsPage {
    Q_DECLARE_TR_FUNCTIONS(kalder::gui::ControlsPage)

public:
    ControlsPage(const app::Settings& settings, QWidget* parent);
    void store(app::Settings& settings) const override;

    const app::ShortcutEditor& editor() const { return m_editor; }

private:
    void fill(std::optional<std::size_t> select);
    std::optional<std::size_t> selectedEntry() const;
    void addShortcut();
    void editShortcut();
    void removeShortcut();
    void setDefaults();
    void miscellaneous();
    void chooseScheme(int index);

    app::ShortcutEditor m_editor;
    std::array<std::int32_t, 8> m_controlOptions;
    app::KeyScheme m_scheme;
    QComboBox* m_schemes;
    QTreeWidget* m_list;
};

// "Miscellaneous Controls": what the paging keys and the wheel do, and how dragging files
// behaves (controlOptions[0..3]).
class MiscControlsDialog;

}  // namespace kalder::gui
