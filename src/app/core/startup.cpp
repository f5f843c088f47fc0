#include "app/core/startup.h"

#include <system_error>

#include "app/core/command_line.h"
#include "app/core/shortcuts.h"
#include "shell/associations.h"

namespace kalder::app {
namespace fs = std::filesystem;

StartupEnvironment StartupEnvironment::forProcess(const ScreenInfo& screen) {
    StartupEnvironment env;
    std::error_code ec;
    env.executablePath = fs::read_symlink("/proc/self/exe", ec);
    if (ec) env.executablePath.clear();
    env.settingsFile = settingsFilePath(env.executablePath.parent_path());
    env.registryFile = shell::RegistryStore::defaultPath();
    env.screen = &screen;
    const fs::path current = fs::current_path(ec);
    if (!ec) env.currentDirectory = current.string();
    return env;
}

ApplicationCore::ApplicationCore(StartupEnvironment environment, AssociationHooks* hooks)
    : m_environment(std::move(environment)), m_hooks(hooks ? hooks : &m_noHooks) {}

StartupResult ApplicationCore::startUp(std::string_view commandLine) {
    m_uninstalling = false;
    m_started = false;

    // The settings' defaults read the companion's folder from the store, so it comes first.
    m_registry = shell::RegistryStore(m_environment.registryFile);
    m_registryReadable = m_registry.load();
    const SettingsContext context{m_environment.settingsFile, m_environment.screen,
                                  m_environment.currentDirectory, &m_registry};
    m_settings.Load(context);
    readStoreOptions(m_registry, kRegistryKey, m_settings);

    m_helpFilePath = app::helpFilePath(m_environment.executablePath.string(), m_helpFilePath);
    recordInRegistry();

    const CommandLine parsed = parseCommandLine(commandLine);
    switch (parsed.action) {
        case CommandLineAction::Uninstall:
            m_hooks->uninstall();
            m_uninstalling = true;
            return StartupResult::Quit;
        case CommandLineAction::Print:
            m_settings.commandLineFile = parsed.file;
            m_settings.printMode = true;
            break;
        case CommandLineAction::Open:
            m_settings.commandLineFile = parsed.file;
            break;
        case CommandLineAction::None:
            break;
    }
    m_started = true;
    return StartupResult::ShowWindow;
}

void ApplicationCore::recordInRegistry() {
    // A store we could not read is left alone rather than replaced by our two values.
    if (!m_registryReadable || m_environment.registryFile.empty()) return;
    // An old key of ours goes once nothing is left under it.
    if (m_registry.hasKey(kLegacyRegistryKey) && m_registry.subKeyCount(kLegacyRegistryKey) == 0) {
        m_registry.deleteKey(kLegacyRegistryKey);
    }
    if (!m_environment.executablePath.empty()) {
        m_registry.setValue(kRegistryKey, "ExePath", m_environment.executablePath.string());
    }
    m_registry.setValue(kRegistryKey, "Version", kVersionText);
    m_registry.save();  // failures are silent
}

void ApplicationCore::afterMainWindowShown(StartupUi& ui) {
    // A print request comes from another program's print verb and ends by itself: no question
    // about associations stands between it and the print dialog.
    if (m_settings.verifyAssociations && !m_settings.printMode) m_hooks->verifyAtStartup();
    if (!m_settings.firstRun) return;
    // The key scheme is offered once, in the same box: later it is a choice on the options'
    // Controls page.
    bool desktopKeys = false;
    const bool review =
        ui.askWithChoice(kAppTitle, kFirstRunQuestion, kKeySchemeChoice, desktopKeys);
    if (desktopKeys) {
        ensureShortcuts(m_settings);
        m_settings.shortcuts =
            switchKeyScheme(m_settings.shortcuts, m_settings.keyScheme, KeyScheme::Desktop);
        m_settings.keyScheme = KeyScheme::Desktop;
        ui.useKeyScheme(KeyScheme::Desktop);
    }
    if (review) ui.openOptions();
}

int ApplicationCore::exitInstance() {
    if (m_uninstalling) {
        Settings::DeleteFile(m_environment.settingsFile);
    } else if (m_started) {
        saveSettings();
    }
    return 0;
}

bool ApplicationCore::saveSettings() {
    // Read afresh: other parts (the associations) write their values there while we run.
    shell::RegistryStore store(m_environment.registryFile);
    if (!m_environment.registryFile.empty() && store.load()) {
        writeStoreOptions(store, kRegistryKey, m_settings);
        store.save();  // failures are silent, as for the other values there
    }
    return m_settings.Save(m_environment.settingsFile);
}

void DesktopAssociationHooks::uninstall() {
    shell::RegistryStore store(m_registryFile);
    // Without the undo values we cannot tell what to give back; leave everything alone.
    if (m_registryFile.empty() || !store.load()) return;
    shell::Associations(shell::XdgFolders::fromEnvironment(), store, m_executable).Uninstall();
}

void DesktopAssociationHooks::verifyAtStartup() {
    if (!m_settings || !m_onMismatch) return;
    shell::RegistryStore store(m_registryFile);
    store.load();  // only read here
    const shell::Associations associations(shell::XdgFolders::fromEnvironment(), store,
                                           m_executable);
    if (!associations.CheckWantedAssociations(m_settings->associateFormat)) m_onMismatch();
}

OpenRequest ApplicationCore::openRequest() const {
    if (m_settings.commandLineFile.empty()) return OpenRequest{m_settings.lastFolder, false, false};
    return OpenRequest{m_settings.commandLineFile, true, m_settings.printMode};
}

}  // namespace kalder::app
