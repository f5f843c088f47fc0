#pragma once

#include "app/gui/dialogs/dialog_base.h"
#include "view/file_filter.h"

class QButtonGroup;
class QLineEdit;

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

// "File Filter": the filter mode and, for Custom, the user's filter string. The settings change
// only on OK; recompiling the filter and reloading the folder are the caller's.
class FileFilterDialog : public DialogBase {
    Q_OBJECT
public:
    // The edit box takes at most this many characters.
    static constexpr int kMaxFilterLength = 1536;

    explicit FileFilterDialog(app::Settings& settings, QWidget* parent = nullptr);

    // The mode of the checked radio button.
    view::FilterMode mode() const;

    // Checks the radio button of `mode` and shows its filter string.
    void selectMode(view::FilterMode mode);
    // The OK handler: stores the mode (and, for Custom, the trimmed string), then accepts.
    void onOk();

private:
    // Puts the mode's string in the edit box, keeping the custom string when leaving Custom.
    void showMode(view::FilterMode mode);

    app::Settings& m_settings;
    QButtonGroup* m_modes = nullptr;
    QLineEdit* m_filter = nullptr;
    // The custom string as last edited, kept while another mode is shown.
    QString m_custom;
    // The mode whose string the edit box shows.
    view::FilterMode m_shown = view::FilterMode::AllFiles;
};

}  // namespace kalder::gui
