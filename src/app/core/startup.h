#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "app/core/settings.h"
#include "app/core/translatable.h"
#include "shell/registry_store.h"

namespace kalder::app {

inline constexpr char kAppTitle[] = "Kalder";
inline constexpr char kVersionText[] = "3.0a";
inline constexpr char kRegistryKey[] = "Software\\Brenmoor Software\\Kalder";
inline constexpr char kLegacyRegistryKey[] = "Software\\Halvard_Quent";
inline constexpr char kFirstRunQuestion[] = QT_TRANSLATE_NOOP(
    "Startup",
    "You have started Kalder for the first time.\nDo you want to review and adjust the options "
    "now?");
// The check box under the first-run question; Tools > Options > Controls changes it later.
inline constexpr char kKeySchemeChoice[] = QT_TRANSLATE_NOOP(
    "Startup",
    "Use the keyboard shortcuts common to desktop programs (Ctrl+O opens a file, Ctrl+Q quits, "
    "the arrow keys go to the previous and next file)");

// What start-up asks of the GUI.
class StartupUi {
public:
    virtual ~StartupUi() = default;
    // A question box (question icon, Yes and No) with this caption; true for Yes.
    virtual bool askYesNo(std::string_view caption, std::string_view text) = 0;
    // The same box with one check box, unticked, under the text; `chosen` says whether the user
    // ticked it, whatever the answer.
    virtual bool askWithChoice(std::string_view caption, std::string_view text,
                               std::string_view choice, bool& chosen) = 0;
    // Opens the options dialog, as the "&Options..." command (702) does, once the event loop runs.
    virtual void openOptions() = 0;
    // The first-run answer chose another key scheme: the window takes its table.
    virtual void useKeyScheme(KeyScheme scheme) = 0;
};

// The file-association steps of start-up and uninstall. The defaults do nothing.
class AssociationHooks {
public:
    virtual ~AssociationHooks() = default;
    // Restores the previous associations and removes ours; never reports errors.
    virtual void uninstall() {}
    // Runs when settings.verifyAssociations is set, after the main window is shown; may ask
    // the user (owned by the main window).
    virtual void verifyAtStartup() {}
};

// The association steps on the XDG MIME defaults (shell::Associations), with the undo values
// in the registry store file.
class DesktopAssociationHooks : public AssociationHooks {
public:
    DesktopAssociationHooks(std::filesystem::path registryFile, std::filesystem::path executable)
        : m_registryFile(std::move(registryFile)), m_executable(std::move(executable)) {}

    // The settings whose format flags the start-up check reads; nothing is checked without.
    void setSettings(const Settings* settings) { m_settings = settings; }
    // Runs when some wanted association is missing (the GUI asks the user what to do).
    void setMismatchHandler(std::function<void()> handler) { m_onMismatch = std::move(handler); }

    void uninstall() override;
    void verifyAtStartup() override;

private:
    std::filesystem::path m_registryFile;
    std::filesystem::path m_executable;
    const Settings* m_settings = nullptr;
    std::function<void()> m_onMismatch;
};

// Where things are for this run.
struct StartupEnvironment {
    std::filesystem::path executablePath;  // full path; empty when unknown
    std::filesystem::path settingsFile;    // see settingsFilePath()
    std::filesystem::path registryFile;    // see shell::RegistryStore::defaultPath()
    const ScreenInfo* screen = nullptr;
    std::string currentDirectory;

    // The running process: its executable (from /proc/self/exe), the settings file beside it or
    // in our configuration folder, the registry store and the current directory.
    static StartupEnvironment forProcess(const ScreenInfo& screen);
};

enum class StartupResult {
    ShowWindow,  // create and show the main window, then call afterMainWindowShown()
    Quit,        // end at once (after exitInstance())
};

// What the main window opens first.
struct OpenRequest {
    std::string path;     // the command line's file, or the last folder
    bool isFile = false;  // false: `path` is a folder (settings.lastFolder)
    bool print = false;   // print the file, then exit
};

// The application object's logic, without a window system. The GUI drives it:
//
//   ApplicationCore core(StartupEnvironment::forProcess(screen));
//   if (core.startUp(commandLine) == StartupResult::ShowWindow && createMainWindow(core)) {
//       core.afterMainWindowShown(ui);
//       runEventLoop();
//   }
//   return core.exitInstance();
//
// The main window uses settings().windowRect and windowShowCmd for its frame and openRequest()
// for its first content.
class ApplicationCore {
public:
    explicit ApplicationCore(StartupEnvironment environment, AssociationHooks* hooks = nullptr);
    ApplicationCore(const ApplicationCore&) = delete;
    ApplicationCore& operator=(const ApplicationCore&) = delete;

    // Loads the settings, records our path and version in the registry store (and drops the
    // empty legacy key), and reads the command line. Quit after "-uninstall".
    StartupResult startUp(std::string_view commandLine);
    // The association check, then the first-run question.
    void afterMainWindowShown(StartupUi& ui);
    // Saves the settings, or deletes the settings file after "-uninstall"; nothing when start-up
    // never read the command line. Always 0, the process's exit code.
    int exitInstance();

    // For the File Associations dialog's OK, which saves at once.
    // The settings file, and the options that live in the store.
    bool saveSettings();

    Settings& settings() { return m_settings; }
    const Settings& settings() const { return m_settings; }
    OpenRequest openRequest() const;
    const std::string& helpFilePath() const { return m_helpFilePath; }
    bool uninstalling() const { return m_uninstalling; }
    bool started() const { return m_started; }
    const StartupEnvironment& environment() const { return m_environment; }
    const shell::RegistryStore& registry() const { return m_registry; }

private:
    void recordInRegistry();

    StartupEnvironment m_environment;
    AssociationHooks m_noHooks;
    AssociationHooks* m_hooks;
    Settings m_settings;
    shell::RegistryStore m_registry;
    bool m_registryReadable = false;
    std::string m_helpFilePath;
    bool m_uninstalling = false;
    bool m_started = false;
};

}  // namespace kalder::app
