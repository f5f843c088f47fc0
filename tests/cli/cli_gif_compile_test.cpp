// kalder-cli gif-compile: its options and what it writes.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli/cli_verb.h"
#include "image/image_document.h"
#include "support/test_support.h"

using namespace kalder;
namespace fs = std::filesystem;

namespace {

int runCli(const std::string& args) {
    const std::string command = std::string(KALDER_CLI_PATH) + " " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::uint32_t frameColour(int frame, int x, int y) {
    const bool square = x >= frame * 4 && x < frame * 4 + 5 && y >= 3 && y < 8;
    return square ? 0xE01020u : (x < 10 ? 0x204080u : 0x30C060u);
}

}  // namespace

TEST(CliGifCompile, BadOptionsAreRefused) {
    for (const auto& bad : {std::vector<std::string>{"a", "b"},
                            {"a", "b", "-o", "o.gif", "--disposal", "4"},
                            {"a", "b", "-o", "o.gif", "--delay", "-1"},
                            {"a", "b", "-o", "o.gif", "--yes", "--no"}})
        EXPECT_NE(cli::gifCompileVerb().check(bad), "");
}

TEST(CliGifCompile, WritesTheFramesAndRefusesUnequalSizes) {
    test::TempDir dir;
    std::string inputs;
    for (int f = 0; f < 3; ++f) {
        const fs::path p = dir / ("f" + std::to_string(f) + ".bmp");
        test::writeFile(p, test::bmp24(20, 12, [f](int x, int y) { return frameColour(f, x, y); }));
        inputs += " '" + p.string() + "'";
    }
    const fs::path out = dir / "out.gif";
    ASSERT_EQ(
        runCli(
            "gif-compile" + inputs + " -o '" + out.string() +
            "' --delay 7 --disposal 2 --minimize --colors 16 --comment 'made here' --interlaced"),
        0);
    std::vector<std::string> comments;
    image::LoadOptions lo;
    lo.path = out;
    lo.comments = &comments;
    image::ImageDocument doc;
    ASSERT_TRUE(doc.loadAll(lo, true));
    ASSERT_EQ(doc.PageCount(), 3);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(doc.PageAt(f).delay, 7u);
        const test::RgbImage got = test::toRgb(doc.PageAt(f).bitmap);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x) {
                const std::uint8_t* p = got.at(x, y);
                ASSERT_EQ(static_cast<std::uint32_t>(p[0] << 16 | p[1] << 8 | p[2]),
                          frameColour(f, x, y))
                    << f << " " << x << "," << y;
            }
    }
    EXPECT_EQ(comments, std::vector<std::string>{"made here"});
    // With --no the existing output stays.
    const auto written = test::readFile(out);
    EXPECT_EQ(runCli("gif-compile" + inputs + " -o '" + out.string() + "' --delay 9 --no"), 1);
    EXPECT_EQ(test::readFile(out), written);

    const fs::path odd = dir / "odd.bmp", out2 = dir / "out2.gif";
    test::writeFile(odd, test::bmp24(20, 13, [](int, int) { return 0u; }));
    EXPECT_EQ(runCli("gif-compile" + inputs + " '" + odd.string() + "' -o '" + out2.string() + "'"),
              1);
    EXPECT_FALSE(fs::exists(out2));
}
