#include "app/core/file_info_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace kalder::app {
namespace {

class FixedFormatter final : public DateTimeFormatter {
public:
    std::string longDate(std::int64_t time) const override {
        return time == 1146477600 ? "Monday, 1 May 2006" : "?";
    }
    std::string timeOfDay(std::int64_t) const override { return "10:00:00"; }
};

struct SizeCase {
    std::uint64_t size;
    const char* text;
};

class SizeTextTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeTextTest, GroupsDigitsAndAddsUnits) {
    EXPECT_EQ(formatSizeText(GetParam().size), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SizeTextTest,
    ::testing::Values(SizeCase{0, "0 bytes"}, SizeCase{999, "999 bytes"},
                      SizeCase{1023, "1 023 bytes"}, SizeCase{1024, "1 024 bytes (1.0 KB)"},
                      SizeCase{1536, "1 536 bytes (1.5 KB)"},
                      SizeCase{1048575, "1 048 575 bytes (1024.0 KB)"},
                      SizeCase{1048576, "1 048 576 bytes (1.00 MB)"},
                      SizeCase{123456789, "123 456 789 bytes (117.74 MB)"},
                      SizeCase{5000000000, "5 000 000 000 bytes (4768.37 MB)"}));

TEST(SizeText, DecimalPointDoesNotFollowTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        GTEST_SKIP() << "no locale with a decimal comma";
    }
    const std::string text = formatSizeText(1048576);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "1 048 576 bytes (1.00 MB)");
}

struct DepthCase {
    int bits;
    bool gray;
    const char* text;
};

class DepthTextTest : public ::testing::TestWithParam<DepthCase> {};

TEST_P(DepthTextTest, NamesTheDepth) {
    EXPECT_EQ(formatDepthText(GetParam().bits, GetParam().gray), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DepthTextTest,
    ::testing::Values(DepthCase{8, true, "256 gray-levels"}, DepthCase{4, false, "16 colors"},
                      DepthCase{1, false, "2 colors"}, DepthCase{15, false, "32768 colors"},
                      DepthCase{16, false, "high-color"}, DepthCase{16, true, "high-color"},
                      DepthCase{24, false, "true-color"}, DepthCase{32, false, "true-color"},
                      DepthCase{0, false, ""}));

FileFacts photo() {
    FileFacts f;
    f.size = 1024;
    f.modified = 1146477600;
    f.width = 640;
    f.height = 480;
    f.bitsPerPixel = 24;
    f.typeDescription = "JPEG image";
    return f;
}

TEST(FormatFileInfo, OneLineAndTooltipForms) {
    const FixedFormatter fmt;
    const FileFacts f = photo();
    EXPECT_EQ(FormatFileInfo(f, true, fmt),
              "1 024 bytes (1.0 KB) | Monday, 1 May 2006, 10:00:00 | 640x480 pixels | true-color");
    EXPECT_EQ(FormatFileInfo(f, false, fmt),
              "1 024 bytes (1.0 KB)\r\nMonday, 1 May 2006, 10:00:00\r\nJPEG image\r\n"
              "640x480 pixels\ntrue-color");
}

TEST(FormatFileInfo, WithoutDimensionsOrDepth) {
    const FixedFormatter fmt;
    FileFacts f = photo();
    f.bitsPerPixel = 0;
    EXPECT_EQ(FormatFileInfo(f, true, fmt),
              "1 024 bytes (1.0 KB) | Monday, 1 May 2006, 10:00:00 | 640x480 pixels");

    f.hideDimensions = true;
    EXPECT_EQ(FormatFileInfo(f, true, fmt), "1 024 bytes (1.0 KB) | Monday, 1 May 2006, 10:00:00");
    EXPECT_EQ(FormatFileInfo(f, false, fmt),
              "1 024 bytes (1.0 KB)\r\nMonday, 1 May 2006, 10:00:00\r\nJPEG image");

    f.hideDimensions = false;
    f.bitsPerPixel = 8;
    f.height = 0;
    EXPECT_EQ(FormatFileInfo(f, true, fmt), "1 024 bytes (1.0 KB) | Monday, 1 May 2006, 10:00:00");
    EXPECT_EQ(FormatFileInfo(f, false, fmt),
              "1 024 bytes (1.0 KB)\r\nMonday, 1 May 2006, 10:00:00");
}

TEST(FormatFileInfo, SystemFormatterGivesADateAndATime) {
    const SystemDateTimeFormatter fmt;
    EXPECT_FALSE(fmt.longDate(1146477600).empty());
    EXPECT_FALSE(fmt.timeOfDay(1146477600).empty());
}

TEST(StatusBar, ModeTextsAndPartEdges) {
    EXPECT_EQ(statusModeText(true), "Full-Screen");
    EXPECT_EQ(statusModeText(false), "Windowed");
    StatusBarMetrics m;
    m.clientWidth = 800;
    m.helpTextWidth = 90;
    m.fullScreenTextWidth = 60;
    m.windowedTextWidth = 50;
    m.horizontalBorder = 2;
    m.gap = 2;
    const StatusBarEdges e = statusBarPartEdges(m);
    EXPECT_EQ(e.part1Right, 800 - 90 - 2 - 3 * 2 - 8);
    EXPECT_EQ(e.part0Right, 800 - 6 * 2 - 90 - 60 - 2 - 16);
    m.windowedTextWidth = 70;  // the wider of the two mode texts counts
    EXPECT_EQ(statusBarPartEdges(m).part0Right, 800 - 6 * 2 - 90 - 70 - 2 - 16);
}

TEST(NameBar, FileNameWithoutExtensionAndDescription) {
    EXPECT_EQ(nameBarText("holiday.jpg", ""), "holiday");
    EXPECT_EQ(nameBarText("a.b.png", ""), "a.b");
    EXPECT_EQ(nameBarText(".hidden", ""), ".hidden");
    EXPECT_EQ(nameBarText("noext", ""), "noext");
    EXPECT_EQ(nameBarText("beach.gif", "Sunset at the pier"), "beach - Sunset at the pier");
}

TEST(NameBar, TextColourFollowsTheBackgroundLuminance) {
    EXPECT_EQ(nameBarTextColor(0x00FFFFFF), 0x00000000u);  // white: black text
    EXPECT_EQ(nameBarTextColor(0x00000000), 0x00FFFFFFu);  // black: white text
    EXPECT_EQ(nameBarTextColor(0x00808080), 0x00FFFFFFu);  // 128 is below 129
    EXPECT_EQ(nameBarTextColor(0x00818181), 0x00000000u);  // 129 is not
    // Green weighs most: pure green is light, pure blue and red are dark.
    EXPECT_EQ(nameBarTextColor(0x0000FF00), 0x00000000u);
    EXPECT_EQ(nameBarTextColor(0x00FF0000), 0x00FFFFFFu);
    EXPECT_EQ(nameBarTextColor(0x000000FF), 0x00FFFFFFu);
}

}  // namespace
}  // namespace kalder::app
