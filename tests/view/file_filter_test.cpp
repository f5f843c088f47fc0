#include "view/file_filter.h"

#include <gtest/gtest.h>

#include "image/format_table.h"

namespace kalder::view {
namespace {

struct FilterCase {
    const char* filter;
    const char* name;
    bool listed;
};

class FilterMatches : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterMatches, ListsOrHides) {
    FileFilter f;
    ASSERT_TRUE(f.compile(GetParam().filter));
    EXPECT_EQ(f.matches(GetParam().name), GetParam().listed)
        << GetParam().filter << " / " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    FileFilter, FilterMatches,
    ::testing::Values(
        // Inclusion, then exclusion after "|"; case does not matter.
        FilterCase{"*.jpg *.png | thumb*.*", "a.JPG", true},
        FilterCase{"*.jpg *.png | thumb*.*", "b.png", true},
        FilterCase{"*.jpg *.png | thumb*.*", "thumb1.jpg", false},
        FilterCase{"*.jpg *.png | thumb*.*", "c.gif", false},
        // Only an exclusion: nothing is listed.
        FilterCase{"| *.*", "a.jpg", false}, FilterCase{"| *.*", "README", false},
        // Everything, names without a dot included.
        FilterCase{"*.*", "a.jpg", true}, FilterCase{"*.*", "README", true},
        FilterCase{"*.*", ".hidden", true},
        // Characters after "*" are not compared.
        FilterCase{"a*b.jpg", "axyz.jpg", true}, FilterCase{"a*b.jpg", "bxyz.jpg", false},
        // "?" is exactly one character; the text must not be longer than the pattern.
        FilterCase{"a?.jpg", "ab.jpg", true}, FilterCase{"a?.jpg", "a.jpg", false},
        FilterCase{"a?.jpg", "abc.jpg", false}, FilterCase{"a.jp?", "a.jpeg", false},
        // A token starting with "." has "*" as its name part.
        FilterCase{".png", "x.PNG", true},
        // A token without "." only matches names without an extension.
        FilterCase{"read*", "readme", true}, FilterCase{"read*", "readme.txt", false},
        // The token's first "." splits; the name's last "." splits.
        FilterCase{"*.tar.gz", "a.tar.gz", false}, FilterCase{"a.*", "a.b.c", false},
        FilterCase{"a.b.*", "a.b.c", false},
        // "|" also ends a token; the last matching pair decides.
        FilterCase{"*.jpg|x.*", "x.jpg", false}, FilterCase{"| x.* *.jpg", "x.jpg", false},
        FilterCase{"*.* | *.tmp *.tmp", "a.tmp", false},
        // Tabs and line feeds separate tokens like spaces.
        FilterCase{"*.gif\t*.bmp\n*.png", "q.bmp", true}));

TEST(FileFilter, EmptyTextMatchesOnlyEmptyOrStarPattern) {
    EXPECT_TRUE(matchFilterPart("", ""));
    EXPECT_TRUE(matchFilterPart("*", ""));
    EXPECT_FALSE(matchFilterPart("?", ""));
    EXPECT_FALSE(matchFilterPart("", "a"));
}

TEST(FileFilter, ModeStrings) {
    const std::string all = filterString(FilterMode::Default, "");
    ASSERT_FALSE(image::extensionTable().empty());
    // "*" before every extension, in table order, one space apart.
    std::string expected;
    for (const auto& e : image::extensionTable()) {
        if (!expected.empty()) expected += ' ';
        expected += "*" + std::string(e.extension);
    }
    EXPECT_EQ(all, expected);
    const std::string jpeg = filterString(FilterMode::JpegOnly, "");
    EXPECT_NE(jpeg.find("*.jpg"), std::string::npos);
    EXPECT_EQ(jpeg.find("*.png"), std::string::npos);
    EXPECT_EQ(filterString(FilterMode::AllFiles, "ignored"), "*.*");
    EXPECT_EQ(filterString(FilterMode::Custom, " \t\r\n*.a | b.*\f "), "*.a | b.*");

    FileFilter f;
    ASSERT_TRUE(f.compile(all));
    EXPECT_TRUE(f.matches("photo.JPEG"));
    EXPECT_TRUE(f.matches("anim.gif"));
    EXPECT_FALSE(f.matches("notes.txt"));
}

TEST(FileFilter, OverlongFilterIsCutToThePatternArea) {
    std::string filter;
    for (int i = 0; i < 1000; ++i) filter += "*.e" + std::to_string(i) + " ";
    FileFilter f;
    EXPECT_FALSE(f.compile(filter));
    EXPECT_GT(f.patterns().size(), 100u);
    EXPECT_LT(f.patterns().size(), 1000u);
    EXPECT_TRUE(f.matches("a.e0"));
    EXPECT_FALSE(f.matches("a.e999"));
}

}  // namespace
}  // namespace kalder::view
