#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/core/startup.h"
#include "shell/associations.h"
#include "support/test_support.h"

namespace kalder::app {
namespace {
namespace fs = std::filesystem;

const FixedScreenInfo kScreen({1280, 1024}, Rect{0, 0, 1280, 1000}, 17);

class NoUi : public StartupUi {
public:
    bool askYesNo(std::string_view, std::string_view) override { return false; }
    void openOptions() override {}
    bool askWithChoice(std::string_view, std::string_view, std::string_view, bool&) override {
        return false;
    }
    void useKeyScheme(KeyScheme) override {}
};

class AssociationHooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", (m_dir / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
        unsetenv("XDG_CURRENT_DESKTOP");
        m_env.executablePath = m_dir / "bin" / "kalder";
        m_env.settingsFile = m_dir / "bin" / "Kalder.cfg";
        m_env.registryFile = m_dir / "config" / "kalder" / "kalder.conf";
        m_env.screen = &kScreen;
        fs::create_directories(m_dir / "bin");
        fs::create_directories(m_dir / "config");
        std::ofstream(list()) << "[Default Applications]\nimage/png=mine.desktop\n";
    }
    fs::path list() const { return m_dir / "config" / "mimeapps.list"; }
    std::string listText() const {
        std::ifstream in(list());
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Runs start-up with our hooks; counts how often the mismatch handler ran.
    int startWith(const std::string& commandLine) {
        DesktopAssociationHooks hooks(m_env.registryFile, m_env.executablePath);
        ApplicationCore core(m_env, &hooks);
        int asked = 0;
        hooks.setMismatchHandler([&] { ++asked; });
        hooks.setSettings(&core.settings());
        if (core.startUp(commandLine) == StartupResult::ShowWindow) {
            core.settings().firstRun = false;
            NoUi ui;
            core.afterMainWindowShown(ui);
        }
        core.exitInstance();
        return asked;
    }

    test::TempDir m_dir;
    StartupEnvironment m_env;
};

TEST_F(AssociationHooksTest, StartupAsksOnlyWhileAWantedTypeIsElsewhereAndUninstallGivesBack) {
    EXPECT_EQ(startWith(""), 1);  // every format is wanted by default, none is ours yet
    {
        shell::RegistryStore store(m_env.registryFile);
        ASSERT_TRUE(store.load());
        shell::Associations a(shell::XdgFolders::fromEnvironment(), store, m_env.executablePath);
        a.AssociateAll();
        ASSERT_TRUE(a.flush());
    }
    EXPECT_EQ(startWith(""), 0);
    EXPECT_EQ(startWith("-uninstall"), 0);
    EXPECT_EQ(listText(), "[Default Applications]\nimage/png=mine.desktop\n");
    EXPECT_FALSE(fs::exists(m_dir / "data/applications/kalder.desktop"));
}

}  // namespace
}  // namespace kalder::app
