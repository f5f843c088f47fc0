#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_support.h"

namespace {

// Exit status and standard output of kalder-cli.
std::pair<int, std::string> run(const std::string& args) {
    const std::string command = std::string(KALDER_CLI_PATH) + " " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(CliCompanion, ChecksAndFinds) {
    kalder::test::TempDir dir;
    std::filesystem::create_directories(dir / "tools");
    const auto exe = dir / "tools" / "Lumid.exe";
    kalder::test::writeFile(exe, kalder::test::readFile(kalder::test::sourceDir() /
                                                        "tests/data/companion/companion.exe"));
    EXPECT_EQ(run("companion --check '" + exe.string() + "'"),
              std::make_pair(0, std::string("yes\n")));
    EXPECT_EQ(run("companion --check /bin/true").first, 1);
    EXPECT_EQ(run("companion --find '" + dir.path().string() + "'"),
              std::make_pair(0, exe.string() + "\n"));
    EXPECT_EQ(run("companion --find '" + (dir / "none").string() + "'").first, 1);
    EXPECT_EQ(run("companion").first, 2);
}

}  // namespace
