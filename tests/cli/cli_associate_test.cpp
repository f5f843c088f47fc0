// kalder-cli associate: its words and the defaults it leaves behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "shell/associations.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status;
    std::string out;
};

class CliAssociateTest : public ::testing::Test {
protected:
    // Private folders, the system's holding one program for every type that has no default.
    std::string env() const {
        return "HOME='" + (m_dir / "home").string() + "' XDG_CONFIG_HOME='" + config().string() +
               "' XDG_DATA_HOME='" + (m_dir / "data").string() + "' XDG_DATA_DIRS='" +
               (m_dir / "sys").string() + "' XDG_CURRENT_DESKTOP= DESKTOP_SESSION= DISPLAY=";
    }
    void SetUp() override {
        std::string types;
        for (std::string_view t : kalder::shell::handledMimeTypes()) {
            m_types.emplace_back(t);
            types += std::string(t) + ";";
        }
        kalder::test::writeText(m_dir / "sys/applications/any.desktop",
                                "[Desktop Entry]\nType=Application\nName=Any\nExec=/bin/true "
                                "%f\nMimeType=" +
                                    types + "\n");
        (void)std::system(("update-desktop-database '" + (m_dir / "sys/applications").string() +
                           "' >/dev/null 2>&1")
                              .c_str());
    }
    CliRun cli(const std::string& args) {
        const std::string command =
            env() + " " + KALDER_CLI_PATH + " associate " + args + " 2>/dev/null";
        CliRun r{-1, {}};
        if (FILE* p = popen(command.c_str(), "r")) {
            char buf[256];
            while (std::fgets(buf, sizeof buf, p)) r.out += buf;
            const int status = pclose(p);
            r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return r;
    }
    std::string list() {
        std::ifstream in(config() / "mimeapps.list");
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path config() const { return m_dir / "config"; }
    std::optional<std::string> defaults() const {
        return kalder::test::xdgMimeDefaults(m_types, env());
    }

    kalder::test::TempDir m_dir;
    std::vector<std::string> m_types;
};

TEST_F(CliAssociateTest, AssociatesByNameOrExtensionAndRestores) {
    fs::create_directories(config());
    std::ofstream(config() / "mimeapps.list") << "[Default Applications]\nimage/png=mine.desktop\n";
    ASSERT_EQ(cli("png .tif").status, 0);
    EXPECT_EQ(list(),
              "[Default Applications]\nimage/png=org.kalder.Kalder.desktop\n"
              "image/tiff=org.kalder.Kalder.desktop\n");
    EXPECT_TRUE(fs::exists(m_dir / "data/applications/org.kalder.Kalder.desktop"));
    const CliRun status = cli("--status");
    EXPECT_NE(status.out.find("PNG\tyes\tpng \n"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("TIFF\tyes\ttif tiff \n"), std::string::npos);
    EXPECT_NE(status.out.find("JPEG\tno\t"), std::string::npos);

    ASSERT_EQ(cli("--restore").status, 0);
    EXPECT_EQ(list(), "[Default Applications]\nimage/png=mine.desktop\n");
}

// What --status says and what xdg-mime answers agree, for the chosen types and all others.
TEST_F(CliAssociateTest, OnlyTheNamedTypesChangeAndRestoreGivesAllBack) {
    const std::optional<std::string> before = defaults();
    if (!before) GTEST_SKIP() << "xdg-mime is not installed";
    ASSERT_EQ(cli("png jpeg").status, 0);
    std::string expected = *before;
    for (const char* type : {"image/png=", "image/jpeg="}) {
        const std::size_t at = expected.find(type) + std::string(type).size();
        expected.replace(at, expected.find('\n', at) - at, "org.kalder.Kalder.desktop");
    }
    EXPECT_EQ(defaults(), expected);
    const CliRun status = cli("--status");
    EXPECT_NE(status.out.find("GIF\tno\t"), std::string::npos) << status.out;

    ASSERT_EQ(cli("--restore").status, 0);
    EXPECT_EQ(defaults(), before);
    EXPECT_FALSE(fs::exists(m_dir / "data/applications/org.kalder.Kalder.desktop"));
}

TEST_F(CliAssociateTest, UsageErrorsChangeNothing) {
    for (const char* args : {"", "--all png", "--status --restore", "nosuchformat", "--bogus"}) {
        EXPECT_EQ(cli(args).status, 2) << args;
    }
    EXPECT_FALSE(fs::exists(config() / "mimeapps.list"));
}

}  // namespace
