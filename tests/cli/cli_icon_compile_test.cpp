// kalder-cli icon-compile: its words, and the files it writes or refuses to write.
#include "cli/cli_icon_compile.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        {"a.png", "b.png", "-o", "x.ico", "--sizes", "standard"},
        {"a.png", "-o", "x.ico", "--sizes", "16,300"},
        {"a.png", "-o", "x.ico", "--sizes", "16,,32"},
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
                     " --transparent 00FF00 --hotspot 10,5"),
              0);
    image::ImageDocument doc;
    image::LoadOptions o;
    o.path = out;
    o.extractAlpha = true;
    ASSERT_TRUE(doc.loadAll(o, true));
    ASSERT_EQ(doc.PageCount(), 2);
    EXPECT_EQ(doc.PageAt(0).hotSpotX, 10);
    EXPECT_EQ(doc.PageAt(1).hotSpotY, 5);
    EXPECT_EQ(doc.PageAt(0).alphaPlane.at(3), 0) << "the green columns are transparent";
    EXPECT_EQ(doc.PageAt(0).alphaPlane.at(4), 255);

    // Unreadable or refused inputs, and an output that cannot be written: no file.
    test::writeFile(dir / "odd.bmp", test::bmp24(24, 20, [](int, int) { return 0u; }));
    EXPECT_EQ(runCli((dir / "odd.bmp").string() + " -o " + (dir / "x.ico").string()), 1);
    EXPECT_EQ(runCli(a.string() + " --hotspot 40,7 -o " + (dir / "x.ico").string()), 1)
        << "a hot spot outside the 32 x 32 picture";
    EXPECT_EQ(runCli((dir / "none.bmp").string() + " -o " + (dir / "x.ico").string()), 1);
    EXPECT_EQ(runCli(a.string() + " --mask " + b.string() + " -o " + (dir / "x.ico").string()), 1)
        << "a mask that is not black-and-white or gray";
    EXPECT_FALSE(fs::exists(dir / "x.ico"));
    EXPECT_EQ(runCli(a.string() + " -o " + (dir / "no" / "x.ani").string()), 1);
    EXPECT_EQ(runCli(a.string() + " -o " + (dir / "x.bmp").string()), 2);
}

TEST(CliIconCompile, AnySquareUpTo256AndTheStandardSetFromOnePicture) {
    test::TempDir dir;
    const fs::path big = source(dir / "big.bmp", 200), out = dir / "set.ico";
    const auto widths = [&](const fs::path& path) {
        image::ImageDocument doc;
        image::LoadOptions o;
        o.path = path;
        std::vector<std::int32_t> sides;
        if (doc.loadAll(o, true))
            for (std::int32_t i = 0; i < doc.PageCount(); ++i)
                sides.push_back(doc.PageAt(i).bitmap.width());
        std::sort(sides.begin(), sides.end());
        return sides;
    };
    ASSERT_EQ(runCli(big.string() + " -o " + out.string()), 0);
    EXPECT_EQ(widths(out), std::vector<std::int32_t>{200});
    ASSERT_EQ(runCli(big.string() + " --sizes standard -o " + out.string()), 0);
    EXPECT_EQ(widths(out), (std::vector<std::int32_t>{16, 24, 32, 48, 64, 128}));
    ASSERT_EQ(runCli(source(dir / "huge.bmp", 512).string() + " --sizes 48,256 -o " + out.string()),
              0);
    EXPECT_EQ(widths(out), (std::vector<std::int32_t>{48, 256}));
    EXPECT_EQ(runCli(big.string() + " --sizes 256 -o " + (dir / "x.ico").string()), 1)
        << "pictures are never blown up";
    EXPECT_FALSE(fs::exists(dir / "x.ico"));
}
