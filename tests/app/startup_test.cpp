#include "app/core/startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/core/shortcuts.h"
#include "support/test_support.h"

namespace kalder::app {
namespace {
namespace fs = std::filesystem;

const FixedScreenInfo kScreen({1280, 1024}, Rect{0, 0, 1280, 1000}, 17);

// Records what start-up asked for, in order, in one log shared with the hooks.
class FakeUi : public StartupUi {
public:
    explicit FakeUi(std::vector<std::string>& log, bool answer) : m_log(log), m_answer(answer) {}
    bool askYesNo(std::string_view caption, std::string_view text) override {
        m_log.push_back("ask " + std::string(caption) + ": " + std::string(text));
        return m_answer;
    }
    bool askWithChoice(std::string_view caption, std::string_view text, std::string_view choice,
                       bool& chosen) override {
        chosen = m_answer;
        return askYesNo(caption, std::string(text) + " [" + std::string(choice) + "]");
    }
    void openOptions() override { m_log.push_back("options"); }
    void useKeyScheme(KeyScheme scheme) override {
        m_log.push_back("scheme " + std::to_string(static_cast<int>(scheme)));
    }

private:
    std::vector<std::string>& m_log;
    bool m_answer;
};

class FakeHooks : public AssociationHooks {
public:
    explicit FakeHooks(std::vector<std::string>& log) : m_log(log) {}
    void uninstall() override { m_log.push_back("uninstall"); }
    void verifyAtStartup() override { m_log.push_back("verify"); }

private:
    std::vector<std::string>& m_log;
};

const std::string kQuestion =
    std::string("ask Kalder: ") + kFirstRunQuestion + " [" + kKeySchemeChoice + "]";

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", (m_dir / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        m_env.executablePath = m_dir / "bin" / "kalder";
        m_env.settingsFile = m_dir / "bin" / "Kalder.cfg";
        m_env.registryFile = m_dir / "config" / "kalder" / "kalder.conf";
        m_env.screen = &kScreen;
        m_env.currentDirectory = "/home/ann";
        fs::create_directories(m_dir / "bin");
    }

    // One whole run: start, (window), first-run step, exit. Returns the log.
    std::vector<std::string> run(const std::string& commandLine, bool answer = true,
                                 bool windowCreated = true) {
        std::vector<std::string> log;
        FakeHooks hooks(log);
        FakeUi ui(log, answer);
        ApplicationCore core(m_env, &hooks);
        if (core.startUp(commandLine) == StartupResult::ShowWindow) {
            log.push_back("window " + core.openRequest().path);
            if (windowCreated) core.afterMainWindowShown(ui);
        }
        EXPECT_EQ(core.exitInstance(), 0);
        return log;
    }

    shell::RegistryStore storedRegistry() const {
        shell::RegistryStore store(m_env.registryFile);
        EXPECT_TRUE(store.load());
        return store;
    }

    test::TempDir m_dir;
    StartupEnvironment m_env;
};

TEST_F(StartupTest, FirstRunShowsWindowThenChecksThenAsks) {
    EXPECT_EQ(run("", true), (std::vector<std::string>{"window /home/ann", "verify", kQuestion,
                                                       "scheme 1", "options"}));
    EXPECT_TRUE(fs::exists(m_env.settingsFile));
    // The desktop keys were chosen, and are what the next start finds.
    Settings s;
    s.Load({m_env.settingsFile, &kScreen, "/home/ann", nullptr});
    readStoreOptions(storedRegistry(), kRegistryKey, s);
    EXPECT_EQ(s.keyScheme, KeyScheme::Desktop);
    EXPECT_EQ(s.shortcuts, schemeShortcuts(KeyScheme::Desktop));
    // The saved file ends the first-run questions.
    EXPECT_EQ(run(""), (std::vector<std::string>{"window /home/ann", "verify"}));
}

TEST_F(StartupTest, NoToTheFirstRunQuestionsOpensAndChangesNothing) {
    EXPECT_EQ(run("", false), (std::vector<std::string>{"window /home/ann", "verify", kQuestion}));
}

TEST_F(StartupTest, TruncatedFileWithMagicIsNotAFirstRun) {
    test::writeFile(m_env.settingsFile, {'K', 'a', 'l', '0', 1, 1});
    EXPECT_EQ(run(""), (std::vector<std::string>{"window /home/ann", "verify"}));
}

TEST_F(StartupTest, AssociationCheckFollowsTheSetting) {
    Settings s;
    s.verifyAssociations = false;
    s.lastFolder = "/data";
    ASSERT_TRUE(s.Save(m_env.settingsFile));
    EXPECT_EQ(run(""), (std::vector<std::string>{"window /data"}));
}

TEST_F(StartupTest, UninstallDeletesTheSettingsAndShowsNoWindow) {
    ASSERT_TRUE(Settings().Save(m_env.settingsFile));
    EXPECT_EQ(run("  -UnInstall"), (std::vector<std::string>{"uninstall"}));
    EXPECT_FALSE(fs::exists(m_env.settingsFile));
    // A second uninstall finds nothing to delete and still ends quietly.
    EXPECT_EQ(run("-uninstall"), (std::vector<std::string>{"uninstall"}));
}

TEST_F(StartupTest, FailedWindowStillSavesTheSettings) {
    EXPECT_EQ(run("/no/such/file.png", true, false),
              (std::vector<std::string>{"window /no/such/file.png"}));
    EXPECT_TRUE(fs::exists(m_env.settingsFile));
}

TEST_F(StartupTest, NothingIsSavedWithoutAStart) {
    {
        ApplicationCore core(m_env);
        EXPECT_EQ(core.exitInstance(), 0);
    }
    EXPECT_FALSE(fs::exists(m_env.settingsFile));
}

TEST_F(StartupTest, CommandLineDecidesWhatOpens) {
    struct Case {
        const char* commandLine;
        OpenRequest expected;
    };
    const Case cases[] = {
        {"", {"/home/ann", false, false}},
        {"-p", {"/home/ann", false, false}},
        {"\"/tmp/my pic.png\"", {"/tmp/my pic.png", true, false}},
        {"\"-p /tmp/my pic.png\"", {"/tmp/my pic.png", true, true}},
        {"/P /tmp/a.png", {"/tmp/a.png", true, true}},
        {"-print", {"rint", true, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        ApplicationCore core(m_env);
        ASSERT_EQ(core.startUp(c.commandLine), StartupResult::ShowWindow);
        const OpenRequest open = core.openRequest();
        EXPECT_EQ(open.path, c.expected.path);
        EXPECT_EQ(open.isFile, c.expected.isFile);
        EXPECT_EQ(open.print, c.expected.print);
        EXPECT_EQ(core.settings().printMode, c.expected.print);
        EXPECT_TRUE(core.started());
    }
}

TEST_F(StartupTest, RecordsPathAndVersion) {
    ApplicationCore core(m_env);
    ASSERT_EQ(core.startUp(""), StartupResult::ShowWindow);
    EXPECT_EQ(core.helpFilePath(), (m_dir / "bin" / "guide.chm").string());
    const shell::RegistryStore store = storedRegistry();
    EXPECT_EQ(store.value(kRegistryKey, "ExePath"), m_env.executablePath.string());
    EXPECT_EQ(store.value(kRegistryKey, "Version"), "3.0a");
}

// Options beyond the settings file's fields go to the store, next to what others wrote there
// while the program ran.
TEST_F(StartupTest, StoreOptionsSurviveARunBesideOtherValues) {
    {
        ApplicationCore core(m_env);
        ASSERT_EQ(core.startUp(""), StartupResult::ShowWindow);
        EXPECT_TRUE(core.settings().sharedThumbnailCache);
        core.settings().sharedThumbnailCache = false;
        core.settings().thumbnailSize = 200;
        core.settings().sortDescending = true;
        shell::RegistryStore other(m_env.registryFile);
        ASSERT_TRUE(other.load());
        other.setValue("Software\\Other", "Undo", "x");
        ASSERT_TRUE(other.save());
        core.exitInstance();
    }
    EXPECT_EQ(storedRegistry().value("Software\\Other", "Undo"), "x");
    ApplicationCore again(m_env);
    ASSERT_EQ(again.startUp(""), StartupResult::ShowWindow);
    EXPECT_FALSE(again.settings().sharedThumbnailCache);
    EXPECT_EQ(again.settings().thumbnailSize, 200);
    EXPECT_TRUE(again.settings().sortDescending);
    EXPECT_FALSE(again.settings().imageInfoOverlay);
}

TEST_F(StartupTest, AThumbnailSizeOutsideTheSliderKeepsTheViewsOwn) {
    for (const char* stored : {"47", "513", "-3", "big"}) {
        shell::RegistryStore store(m_env.registryFile);
        store.load();
        store.setValue(kRegistryKey, "ThumbnailSize", stored);
        ASSERT_TRUE(store.save());
        ApplicationCore core(m_env);
        ASSERT_EQ(core.startUp(""), StartupResult::ShowWindow);
        EXPECT_EQ(core.settings().thumbnailSize, 0) << stored;
    }
}

TEST_F(StartupTest, UnknownExecutablePathWritesOnlyTheVersion) {
    m_env.executablePath.clear();
    ApplicationCore core(m_env);
    ASSERT_EQ(core.startUp(""), StartupResult::ShowWindow);
    EXPECT_EQ(core.helpFilePath(), "");
    const shell::RegistryStore store = storedRegistry();
    EXPECT_FALSE(store.value(kRegistryKey, "ExePath"));
    EXPECT_EQ(store.value(kRegistryKey, "Version"), "3.0a");
}

TEST_F(StartupTest, LegacyKeyGoesOnlyWhenEmpty) {
    for (bool withSubKey : {false, true}) {
        SCOPED_TRACE(withSubKey);
        shell::RegistryStore before(m_env.registryFile);
        before.setValue(kLegacyRegistryKey, "Old", "value");
        if (withSubKey) before.createKey(std::string(kLegacyRegistryKey) + "\\Sub");
        before.setValue("Software\\Someone Else", "Keep", "me");
        ASSERT_TRUE(before.save());

        ApplicationCore core(m_env);
        ASSERT_EQ(core.startUp(""), StartupResult::ShowWindow);
        const shell::RegistryStore after = storedRegistry();
        EXPECT_EQ(after.hasKey(kLegacyRegistryKey), withSubKey);
        EXPECT_EQ(after.value("Software\\Someone Else", "Keep"), "me");
    }
}

TEST_F(StartupTest, UnreadableRegistryStoreIsLeftAlone) {
    fs::create_directories(m_env.registryFile);  // a folder in the file's place
    ApplicationCore core(m_env);
    EXPECT_EQ(core.startUp(""), StartupResult::ShowWindow);
    EXPECT_TRUE(fs::is_directory(m_env.registryFile));
}

TEST_F(StartupTest, CompanionPathComesFromTheStore) {
    shell::RegistryStore before(m_env.registryFile);
    before.setValue(kCompanionKey, kCompanionValue, "/opt/lumid");
    ASSERT_TRUE(before.save());
    ApplicationCore core(m_env);
    ASSERT_EQ(core.startUp(""), StartupResult::ShowWindow);
    EXPECT_EQ(core.settings().companionExePath, "/opt/lumid/Lumid.exe");
}

TEST_F(StartupTest, SettingsSurviveARun) {
    {
        ApplicationCore core(m_env);
        ASSERT_EQ(core.startUp("/tmp/x.png"), StartupResult::ShowWindow);
        core.settings().slideDelay = 9;
        core.settings().windowShowCmd = kShowMaximized;
        core.exitInstance();
    }
    ApplicationCore core(m_env);
    ASSERT_EQ(core.startUp(""), StartupResult::ShowWindow);
    EXPECT_EQ(core.settings().slideDelay, 9);
    EXPECT_EQ(core.settings().windowShowCmd, kShowMaximized);
    EXPECT_TRUE(core.settings().commandLineFile.empty());
    EXPECT_FALSE(core.settings().firstRun);
}

TEST_F(StartupTest, ProcessEnvironmentPointsAtOurFiles) {
    const StartupEnvironment env = StartupEnvironment::forProcess(kScreen);
    EXPECT_EQ(env.executablePath, fs::read_symlink("/proc/self/exe"));
    EXPECT_EQ(env.settingsFile, settingsFilePath(env.executablePath.parent_path()));
    EXPECT_EQ(env.registryFile, m_dir / "config" / "kalder" / "kalder.conf");
    EXPECT_EQ(env.currentDirectory, fs::current_path().string());
    EXPECT_EQ(env.screen, &kScreen);
}

}  // namespace
}  // namespace kalder::app
