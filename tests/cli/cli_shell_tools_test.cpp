// kalder-cli companion and thumbs --cache: the engines of the viewer, headless.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
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

// thumbs --cache fills the shared cache's normal flavour for every picture of the folder.
TEST(CliThumbs, CacheIsFilled) {
    if (!kalder::test::haveBmpReader()) GTEST_SKIP() << "no BMP reader";
    kalder::test::TempDir dir;
    std::filesystem::create_directories(dir / "pics");
    for (const char* name : {"a.bmp", "b.bmp"})
        kalder::test::writeFile(dir / "pics" / name, kalder::test::bmp24(300, 200, [](int x, int) {
                                    return x * 0x010101u;
                                }));
    const std::string command = "XDG_CACHE_HOME='" + (dir / "cache").string() + "' " +
                                KALDER_CLI_PATH + " thumbs '" + (dir / "pics").string() +
                                "' --cache >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "cache/thumbnails/normal"))
        entries += e.path().extension() == ".png";
    EXPECT_EQ(entries, 2);
}

}  // namespace
