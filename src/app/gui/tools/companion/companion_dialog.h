#pragma once

// The companion editor hand-off: "Lumidrex..." starts it on the current image, finding it first
// with "Locate Lumidrex" when the stored path is missing or is not the companion.

#include <QString>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/gui/dialogs/dialog_base.h"

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

class ToolContext;

inline constexpr const char* kCompanionSite = "https://lumidrex.example.org/";
inline constexpr const char* kCompanionDownload = "https://lumidrex.example.org/download";

// "Locate Lumidrex". Accepted once a companion executable is stored in the settings.
class LocateCompanionDialog : public DialogBase {
    Q_OBJECT
public:
    explicit LocateCompanionDialog(app::Settings& settings, QWidget* parent = nullptr);

    void findAutomatically();
    void specifyManually();

    // What the search and the chooser use; tests replace them.
    std::function<std::vector<std::filesystem::path>()> searchRoots;
    std::function<QString(QWidget* parent)> chooseFile;
    std::function<void(const QString& url)> openUrl;

private:
    app::Settings& m_settings;
};

// LocateCompanion: runs the dialog; true when it ended with a companion stored.
bool LocateCompanion(app::Settings& settings, QWidget* parent);

// EditWithCompanion: the companion on `image` (an empty argument without one). `locate` runs
// LocateCompanion and `start` the program; both can be replaced by tests.
struct CompanionHooks {
    std::function<bool()> locate;
    std::function<bool(const QString& program, const QStringList& args)> start;
    std::function<void(const QString& text)> error;
};
void EditWithCompanion(app::Settings& settings, const QString& image, const CompanionHooks& hooks);

// "Lumidrex..." (Ctrl+L) and "&Lumidrex Home Page".
void registerCompanionCommands(ToolContext& context);

}  // namespace kalder::gui
