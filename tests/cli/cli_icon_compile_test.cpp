// kalder-cli icon-compile: its words, and the files it writes or refuses to write.
#include "cli/cli_icon_compile.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "image/image_document.h"
#include "support/test_support.h"

using namespace kalder;
namespace fs = std::filesystem;

namespace {

int runCli(const std::string& args) {
    const std::string command =
        std::string(KALDER_CLI_PATH) + " icon-compile " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

fs::path source(const fs::path& path, int side) {
    test::writeFile(path, test::bmp24(side, side, [](int x, int) {
                        return x < 4 ? 0x00FF00u : static_cast<std::uint32_t>(x * 0x050403);
                    }));
    return path;
}

}  // namespace

TEST(CliIconCompile, ParsesItsWordsAndRefusesBadOnes) {
    std::string error;
    const auto o = cli::parseIconCompile(
        {"a.png", "b.png", "-o", "x.CUR", "--hotspot", "40,5", "--delay", "20"}, error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(o.inputs.size(), 2u);
    ASSERT_TRUE(o.hotSpot);
    EXPECT_EQ(o.hotSpot->first, 40);
    EXPECT_EQ(o.delay, 20u);
    const std::vector<std::vector<std::string>> bad = {
        {"a.png"},
        {"-o", "x.ico"},
        {"a.png", "-o", "x.png"},
        {"a.png", "-o", "x.ico", "--transparent", "12345"},
        {"a.png", "-o", "x.ico", "--hotspot", "4"},
        {"a.png", "-o", "x.ico", "--delay", "-1"},
        {"a.png", "-o", "x.ico", "--transparent", "FFFFFF", "--mask", "m.bmp"},
        {"a.png", "-o", "x.ico", "--mask"},
    };
    for (const auto& args : bad) {
        (void)cli::parseIconCompile(args, error);
        EXPECT_NE(error, "") << args.back();
    }
}

TEST(CliIconCompile, WritesTheFileOrNothing) {
    test::TempDir dir;
    const fs::path a = source(dir / "a.bmp", 32), b = source(dir / "b.bmp", 16);
    const fs::path out = dir / "out.cur";
    ASSERT_EQ(runCli(a.string() + " " + b.string() + " -o " + out.string() +
                     " --transparent 00FF00 --hotspot 40,5"),
              0);
    image::ImageDocument doc;
    image::LoadOptions o;
    o.path = out;
    o.extractAlpha = true;
    ASSERT_TRUE(doc.loadAll(o, true));
    ASSERT_EQ(doc.PageCount(), 2);
    EXPECT_EQ(doc.PageAt(0).hotSpotX, 31);
    EXPECT_EQ(doc.PageAt(1).hotSpotX, 15);
    EXPECT_EQ(doc.PageAt(0).alphaPlane.at(3), 0) << "the green columns are transparent";
    EXPECT_EQ(doc.PageAt(0).alphaPlane.at(4), 255);

    // Unreadable or refused inputs, and an output that cannot be written: no file.
    source(dir / "odd.bmp", 24);
    EXPECT_EQ(runCli((dir / "odd.bmp").string() + " -o " + (dir / "x.ico").string()), 1);
    EXPECT_EQ(runCli((dir / "none.bmp").string() + " -o " + (dir / "x.ico").string()), 1);
    EXPECT_EQ(runCli(a.string() + " --mask " + b.string() + " -o " + (dir / "x.ico").string()), 1)
        << "a mask that is not black-and-white or gray";
    EXPECT_FALSE(fs::exists(dir / "x.ico"));
    EXPECT_EQ(runCli(a.string() + " -o " + (dir / "no" / "x.ani").string()), 1);
    EXPECT_EQ(runCli(a.string() + " -o " + (dir / "x.bmp").string()), 2);
}
