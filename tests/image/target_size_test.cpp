#include "image/target_size.h"

#include <gtest/gtest.h>

#include "image/image_reader.h"

using namespace kalder::image;

struct TargetCase {
    const char* name;
    PixelSize source;
    FitRules rules;
    PixelSize expected;
};

class TargetSizeTest : public ::testing::TestWithParam<TargetCase> {};

TEST_P(TargetSizeTest, MatchesHandComputedSize) {
    const auto& c = GetParam();
    EXPECT_EQ(computeTargetSize(c.source, c.rules), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TargetSizeTest,
    ::testing::Values(
        TargetCase{"no box keeps the source", {640, 480}, {}, {640, 480}},
        TargetCase{"panorama autofit fits the height", {3000, 1000}, {true, 800, 600}, {1800, 600}},
        TargetCase{"tall autofit fits the width", {1000, 3000}, {true, 800, 600}, {800, 2400}},
        TargetCase{"plain autofit fits the box", {1600, 1200}, {true, 800, 800}, {800, 600}},
        TargetCase{"fit box by aspect, wide", {1000, 500}, {false, 300, 300}, {300, 150}},
        TargetCase{"fit box by aspect, tall", {500, 1000}, {false, 300, 300}, {150, 300}},
        TargetCase{"enlarging a small image", {10, 5}, {false, 100, 100}, {100, 50}},
        TargetCase{"rounding half up", {3, 2}, {false, 5, 100}, {5, 3}},
        TargetCase{"only the height given", {400, 200}, {false, 0, 100}, {200, 100}},
        TargetCase{"only the width given", {400, 200}, {false, 100, 0}, {100, 50}},
        TargetCase{"width clamp at 32767", {32000, 100}, {false, 0, 1000}, {32640, 102}},
        TargetCase{"zoom rule 1 keeps a large image",
                   {2000, 100},
                   {false, 800, 600, 1, 800, 600},
                   {2000, 100}},
        TargetCase{"zoom rule 1 fits a small image",
                   {200, 100},
                   {false, 800, 600, 1, 800, 600},
                   {800, 400}},
        TargetCase{"zoom rule 2 keeps a small image",
                   {200, 100},
                   {false, 800, 600, 2, 800, 600},
                   {200, 100}},
        TargetCase{"zoom rule 2 fits a large image",
                   {1600, 600},
                   {false, 800, 600, 2, 800, 600},
                   {800, 300}},
        TargetCase{"a side never drops below 1", {10000, 1}, {false, 100, 100}, {100, 1}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST(ThumbnailStep, DecimatesByTheLargestWholeFactor) {
    EXPECT_EQ(thumbnailStep(500, 96), 5);  // 500 / 5 = 100 >= 96, 500 / 6 = 83 < 96
    EXPECT_EQ(thumbnailStep(191, 96), 1);  // half is below the size
    EXPECT_EQ(thumbnailStep(192, 96), 2);
    EXPECT_EQ(thumbnailStep(6000, 120), 50);
    EXPECT_EQ(thumbnailStep(50, 120), 1);
}
