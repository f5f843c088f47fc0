// kalder-cli associate: its words and the defaults it leaves behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status;
    std::string out;
};

class CliAssociateTest : public ::testing::Test {
protected:
    CliRun cli(const std::string& args) {
        const std::string command =
            "HOME='" + (m_dir / "home").string() + "' XDG_CONFIG_HOME='" + config().string() +
            "' XDG_DATA_HOME='" + (m_dir / "data").string() +
            "' XDG_CURRENT_DESKTOP= " + KALDER_CLI_PATH + " associate " + args + " 2>/dev/null";
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

    kalder::test::TempDir m_dir;
};

TEST_F(CliAssociateTest, AssociatesByNameOrExtensionAndRestores) {
    fs::create_directories(config());
    std::ofstream(config() / "mimeapps.list") << "[Default Applications]\nimage/png=mine.desktop\n";
    ASSERT_EQ(cli("png .tif").status, 0);
    EXPECT_EQ(list(),
              "[Default Applications]\nimage/png=kalder.desktop\nimage/tiff=kalder.desktop\n");
    EXPECT_TRUE(fs::exists(m_dir / "data/applications/kalder.desktop"));
    const CliRun status = cli("--status");
    EXPECT_NE(status.out.find("PNG\tyes\tpng \n"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("TIFF\tyes\ttif tiff \n"), std::string::npos);
    EXPECT_NE(status.out.find("JPEG\tno\t"), std::string::npos);

    ASSERT_EQ(cli("--restore").status, 0);
    EXPECT_EQ(list(), "[Default Applications]\nimage/png=mine.desktop\n");
}

TEST_F(CliAssociateTest, UsageErrorsChangeNothing) {
    for (const char* args : {"", "--all png", "--status --restore", "nosuchformat", "--bogus"}) {
        EXPECT_EQ(cli(args).status, 2) << args;
    }
    EXPECT_FALSE(fs::exists(config() / "mimeapps.list"));
}

}  // namespace
