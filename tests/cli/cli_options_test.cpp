#include "cli/cli_options.h"

#include <gtest/gtest.h>

using namespace kalder::cli;

namespace {
ParseResult parse(std::initializer_list<const char*> args) {
    return parseCommandLine(std::vector<std::string>(args.begin(), args.end()));
}
}  // namespace

TEST(CliOptions, DecodeOptionsAreRead) {
    auto r = parse({"decode", "in.gif", "--fit", "640x480", "--autofit", "--zoom-rule", "2",
                    "--rotate", "3", "--flip-h", "--flip-v", "--no-smooth", "--all-pages",
                    "--alpha", "--background", "3366cc", "-o", "out.pam"});
    ASSERT_EQ(r.error, "");
    const auto& o = r.options;
    EXPECT_EQ(o.command, Command::Decode);
    EXPECT_EQ(o.inputs, std::vector<std::string>{"in.gif"});
    EXPECT_EQ(o.fitWidth, 640);
    EXPECT_EQ(o.fitHeight, 480);
    EXPECT_TRUE(o.autoFit);
    EXPECT_EQ(o.zoomRule, 2);
    EXPECT_EQ(o.rotation, 3);
    EXPECT_TRUE(o.flipHorizontal && o.flipVertical && o.allPages && o.alpha);
    EXPECT_FALSE(o.smooth);
    EXPECT_EQ(o.background, 0x3366ccu);
    EXPECT_EQ(o.output, "out.pam");
}

TEST(CliOptions, UsageErrorsAreReported) {
    const std::vector<std::vector<const char*>> bad = {
        {},
        {"explode", "x"},
        {"decode", "in.bmp"},             // no output
        {"decode", "a", "b", "-o", "x"},  // two inputs
        {"decode", "in", "-o", "x", "--rotate", "4"},
        {"decode", "in", "-o", "x", "--fit", "10"},
        {"decode", "in", "-o", "x", "--fit", "0x10"},
        {"decode", "in", "-o", "x", "--background", "red"},
        {"decode", "in", "-o", "x", "--page"},
        {"decode", "in", "-o", "x", "--calibration", "1,2,3"},
        {"thumb", "in", "-o", "x"},  // no size
        {"thumbs", "dir", "--size", "0", "-o", "x"},
        {"info"},
        {"info", "a", "--bogus"},
    };
    for (const auto& args : bad) {
        auto r = parseCommandLine(std::vector<std::string>(args.begin(), args.end()));
        EXPECT_NE(r.error, "") << (args.empty() ? "(nothing)" : args[0]);
    }
}

TEST(CliOptions, InfoTakesManyFilesAndHelpWins) {
    auto r = parse({"info", "a.png", "b.jpg", "--json"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.inputs.size(), 2u);
    EXPECT_TRUE(r.options.json);
    EXPECT_EQ(parse({"decode", "--help"}).options.command, Command::Help);
    EXPECT_EQ(parse({"--version"}).options.command, Command::Version);
    auto c = parse({"decode", "in", "-o", "x", "--calibration", "1,1.5,0.8,2"});
    ASSERT_EQ(c.error, "");
    EXPECT_EQ(*c.options.calibration, (std::vector<double>{1, 1.5, 0.8, 2}));
}
