#pragma once

#include <cstdint>
#include <memory>

#include "app/core/settings.h"
#include "app/gui/dialogs/dialog_base.h"

class QTabWidget;

namespace kalder::gui {

class OptionsPage;

// "Options": the pages "Viewer", "OSD", "Color Management", "Controls" and "Misc.". The pages
// work on a copy of the settings; OK writes the fields they show into the record and emits
// settingsApplied(), Cancel forgets everything.
//
//     OptionsDialog dialog(settings, this);
//     connect(&dialog, &OptionsDialog::settingsApplied, this, [&] { react to dialog.changes() });
//     dialog.exec();
class OptionsDialog : public DialogBase {
    Q_OBJECT
public:
    // Which groups of fields the last OK changed, so that each consumer is told only about its
    // own (the colour options in particular re-decode the images).
    enum Change : std::uint32_t {
        DisplayChanged = 1u << 0,         // dithering, progress, minimal stretch size
        BackgroundChanged = 1u << 1,      // backgroundColor, wallpaperBackground
        CenterChanged = 1u << 2,          // centerOnLoad
        OsdChanged = 1u << 3,             // osdSize
        ColorChanged = 1u << 4,           // colour-management choice, profile, gammas
        ShortcutsChanged = 1u << 5,       // shortcuts and controlOptions
        TooltipsChanged = 1u << 6,        // fileTooltips
        StatusBarChanged = 1u << 7,       // statusBarFileInfo
        ExifThumbnailsChanged = 1u << 8,  // Exif thumbnails, their rotation, the shared cache
        TransparencyChanged = 1u << 9,    // transparencyColor
        ExifOrientChanged = 1u << 10,     // exifAutoOrient
        LayoutChanged = 1u << 11,         // enhancedLayout
        ResolutionChanged = 1u << 12,     // defaultResolutionX/Y
        ScrollBarChanged = 1u << 13,      // browserScrollBarSize
        ExitWithEscChanged = 1u << 14,    // exitWithEsc
    };

    explicit OptionsDialog(app::Settings& settings, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    // The groups the last OK changed (0 before any OK).
    std::uint32_t changes() const { return m_changes; }
    // The copy the pages edit.
    app::Settings& working() { return m_work; }

    // The fields the dialog shows, from one record to another.
    static void copyOptions(const app::Settings& from, app::Settings& to);
    static std::uint32_t compareOptions(const app::Settings& before, const app::Settings& after);

signals:
    // OK was pressed and the record holds the new values.
    void settingsApplied();

protected:
    QString helpTopic() const override;

private:
    void onOk();

    app::Settings& m_settings;
    app::Settings m_work;
    QTabWidget* m_tabs = nullptr;
    std::uint32_t m_changes = 0;
};

}  // namespace kalder::gui
