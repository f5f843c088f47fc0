#include <gtest/gtest.h>

#include "cli/cli_decode.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"

using namespace kalder::cli;

TEST(CliOptions, DecodeOptionsAreRead) {
    auto r = parseDecodeArgs({"in.gif", "--fit", "640x480", "--autofit", "--zoom-rule", "2",
                              "--rotate", "3", "--flip-h", "--flip-v", "--no-smooth", "--all-pages",
                              "--alpha", "--background", "3366cc", "-o", "out.pam"});
    ASSERT_EQ(r.error, "");
    const auto& o = r.options;
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
    EXPECT_EQ(findVerb("explode"), nullptr);
    const std::vector<std::vector<std::string>> bad = {
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
        // Each verb owns its options: another verb's word is not one of them.
        {"info", "a", "--fit", "10x10"},
        {"thumb", "in", "--size", "8", "-o", "x", "--jobs", "2"},
    };
    for (const auto& args : bad) {
        const Verb* verb = findVerb(args[0]);
        ASSERT_NE(verb, nullptr) << args[0];
        EXPECT_NE(verb->check({args.begin() + 1, args.end()}), "") << args[0];
    }
}

TEST(CliOptions, InfoTakesManyFilesAndHelpWins) {
    EXPECT_EQ(infoVerb().check({"a.png", "b.jpg", "--json"}), "");
    EXPECT_TRUE(asksForHelp({"in", "--help"}));
    EXPECT_FALSE(asksForHelp({"--", "--help"}));
    auto c = parseDecodeArgs({"in", "-o", "x", "--calibration", "1,1.5,0.8,2"});
    ASSERT_EQ(c.error, "");
    EXPECT_EQ(*c.options.calibration, (std::vector<double>{1, 1.5, 0.8, 2}));
    // Thumbnails for the shared cache need no folder and default to its normal size.
    EXPECT_EQ(thumbsVerb().check({"dir", "--cache"}), "");
}
