#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/gui/dialogs/dialog_base.h"

class QCheckBox;
class QLineEdit;

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

// "Copy/Move to Folder": where the browser's selected files go and whether they move. OK accepts
// only a folder the sources may go to and remembers it in settings.copyMoveFolder; the copy or
// move itself is the caller's.
class CopyMoveDialog : public DialogBase {
    Q_OBJECT
public:
    CopyMoveDialog(app::Settings& settings, std::vector<std::filesystem::path> sources,
                   QWidget* parent = nullptr);

    // The destination as the edit box holds it.
    QString destination() const;
    bool moveFiles() const;

    // The folder picker behind "&Browse...": answers the chosen folder, empty when cancelled.
    // `start` is the edit box's text.
    std::function<QString(const QString& start)> pickFolder;
    // Shows a refusal (an error box with the program's caption).
    std::function<void(const QString& text)> reportError;

    // The "&Browse..." and OK handlers, callable without clicking.
    void browse();
    void onOk();

private:
    app::Settings& m_settings;
    std::vector<std::filesystem::path> m_sources;
    QLineEdit* m_folder = nullptr;
    QCheckBox* m_move = nullptr;
};

// "" when `folder` (as typed) may receive the sources, else the message to show. Only absolute
// paths are accepted: a relative one would depend on the program's working folder.
std::string copyMoveRefusal(const std::vector<std::filesystem::path>& sources,
                            const std::string& folder);

}  // namespace kalder::gui
