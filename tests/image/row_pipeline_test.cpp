#include "image/row_pipeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "image/bitmap32.h"

using namespace kalder::image;

namespace {

// A source of gray rows: value(x, y) for each delivered row index y, counting decoded rows.
struct GraySource {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::function<std::uint8_t(std::int32_t, std::int32_t)> value;
    std::int32_t delivered = 0;
    std::int32_t decoded = 0;

    RowSource source() {
        return [this](std::uint8_t* rgb, bool skip) -> Status {
            if (delivered >= height) return DecodeError::Truncated;
            if (!skip) {
                ++decoded;
                for (std::int32_t x = 0; x < width; ++x)
                    rgb[x * 3] = rgb[x * 3 + 1] = rgb[x * 3 + 2] = value(x, delivered);
            }
            ++delivered;
            return {};
        };
    }
};

std::vector<std::vector<int>> grayOf(const Bitmap32& b) {
    std::vector<std::vector<int>> out(static_cast<std::size_t>(b.height()));
    for (std::int32_t y = 0; y < b.height(); ++y)
        for (std::int32_t x = 0; x < b.width(); ++x) out[y].push_back(b.row(y)[x * 4]);
    return out;
}

std::vector<std::vector<int>> run(PipelineSettings s, std::int32_t tw, std::int32_t th,
                                  std::function<std::uint8_t(std::int32_t, std::int32_t)> value,
                                  GraySource* counter = nullptr) {
    GraySource src{s.sourceWidth, s.sourceHeight, std::move(value)};
    Bitmap32 target;
    EXPECT_TRUE(target.Create(tw, th));
    EXPECT_TRUE(runRowPipeline(s, target, src.source()).ok());
    if (counter) *counter = src;
    return grayOf(target);
}

PipelineSettings settings(std::int32_t w, std::int32_t h) {
    PipelineSettings s;
    s.sourceWidth = w;
    s.sourceHeight = h;
    return s;
}

// Source 3 x 2 with values 10 * (y * 3 + x) + 10: rows {10, 20, 30}, {40, 50, 60}.
std::uint8_t numbered(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>(10 * (y * 3 + x) + 10);
}

}  // namespace

struct PlacementCase {
    const char* name;
    int rotation;
    bool flipH, flipV, bottomUp;
    std::vector<std::vector<int>> expected;
};

class PlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTest, RowsLandRotatedAndFlipped) {
    const auto& c = GetParam();
    auto s = settings(3, 2);
    s.rotation = c.rotation;
    s.flipHorizontal = c.flipH;
    s.flipVertical = c.flipV;
    s.bottomUp = c.bottomUp;
    const bool quarter = c.rotation & 1;
    auto value = c.bottomUp ? [](std::int32_t x, std::int32_t y) { return numbered(x, 1 - y); }
                            : [](std::int32_t x, std::int32_t y) { return numbered(x, y); };
    EXPECT_EQ(run(s, quarter ? 2 : 3, quarter ? 3 : 2, value), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Orientations, PlacementTest,
    ::testing::Values(
        PlacementCase{"upright", 0, false, false, false, {{10, 20, 30}, {40, 50, 60}}},
        PlacementCase{"bottom-up delivery", 0, false, false, true, {{10, 20, 30}, {40, 50, 60}}},
        PlacementCase{"quarter clockwise", 1, false, false, false, {{40, 10}, {50, 20}, {60, 30}}},
        PlacementCase{"half turn", 2, false, false, false, {{60, 50, 40}, {30, 20, 10}}},
        PlacementCase{
            "quarter counter-clockwise", 3, false, false, false, {{30, 60}, {20, 50}, {10, 40}}},
        PlacementCase{"mirror", 0, true, false, false, {{30, 20, 10}, {60, 50, 40}}},
        PlacementCase{"upside down", 0, false, true, false, {{40, 50, 60}, {10, 20, 30}}},
        PlacementCase{
            "clockwise then mirrored", 1, true, false, false, {{10, 40}, {20, 50}, {30, 60}}},
        PlacementCase{
            "clockwise bottom-up", 1, false, false, true, {{40, 10}, {50, 20}, {60, 30}}}));

TEST(ScalingPath, ChoiceFollowsSizesAndSwitches) {
    auto s = settings(20, 20);
    s.smoothEnlargeMinSize = 64;
    EXPECT_EQ(chooseScalingPath(s, 20, 20), ScalingPath::Copy);
    // A small icon enlarged with the minimum size 64 keeps hard pixel edges.
    EXPECT_EQ(chooseScalingPath(s, 200, 200), ScalingPath::NearestEnlarge);
    s.smoothEnlargeMinSize = 10;
    EXPECT_EQ(chooseScalingPath(s, 200, 200), ScalingPath::BilinearEnlarge);
    s.smoothEnlarge = false;
    EXPECT_EQ(chooseScalingPath(s, 200, 200), ScalingPath::NearestEnlarge);
    EXPECT_EQ(chooseScalingPath(s, 10, 10), ScalingPath::AreaReduce);
    s.smoothShrink = false;
    EXPECT_EQ(chooseScalingPath(s, 10, 10), ScalingPath::NearestReduce);
}

TEST(NearestScaling, EnlargeRepeatsPixels) {
    auto s = settings(2, 2);
    s.smoothEnlarge = false;
    auto out =
        run(s, 4, 4, [](std::int32_t x, std::int32_t y) { return std::uint8_t(x * 100 + y * 10); });
    EXPECT_EQ(out,
              (std::vector<std::vector<int>>{
                  {0, 0, 100, 100}, {0, 0, 100, 100}, {10, 10, 110, 110}, {10, 10, 110, 110}}));
}

TEST(NearestScaling, ReduceLetsTheLastRowWinAndSkipsTheOthers) {
    auto s = settings(4, 4);
    s.smoothShrink = false;
    GraySource counted;
    auto out = run(
        s, 2, 2, [](std::int32_t x, std::int32_t y) { return std::uint8_t(x * 10 + y); }, &counted);
    // Rows 0 and 1 fall on target row 0 (row 1 wins); columns 0 and 2 are sampled.
    EXPECT_EQ(out, (std::vector<std::vector<int>>{{1, 21}, {3, 23}}));
    EXPECT_EQ(counted.decoded, 2) << "overwritten rows need no decoding";
}

TEST(BilinearScaling, InterpolatesBetweenRowsAndColumns) {
    auto s = settings(2, 2);
    // Steps: sx = sy = (2 - 1) / 4 = 0.25. Source {0, 100} / {100, 200}.
    auto out = run(s, 4, 4,
                   [](std::int32_t x, std::int32_t y) { return std::uint8_t(x * 100 + y * 100); });
    EXPECT_EQ(out,
              (std::vector<std::vector<int>>{
                  {0, 25, 50, 75}, {25, 50, 75, 100}, {50, 75, 100, 125}, {75, 100, 125, 150}}));
}

TEST(AreaScaling, WeightsFollowTheForwardSplat) {
    auto s = settings(4, 4);
    // Horizontal: cx = 1/4, samples at 0, .25, .5, .75 all on pixel 0 with fx shared to pixel 1.
    auto across = run(s, 2, 2, [](std::int32_t x, std::int32_t) { return std::uint8_t(x * 40); });
    EXPECT_EQ(across[0], (std::vector<int>{40, 93}));
    // Vertical: cy = 1/2; row 0 = (0 * 1 + 30 * .5) / 1.5, row 1 = (30 * .5 + 60 + 90 * .5) / 2.
    auto down = run(s, 2, 2, [](std::int32_t, std::int32_t y) { return std::uint8_t(y * 30); });
    EXPECT_EQ(down[0][0], 10);
    EXPECT_EQ(down[1][0], 60);
}

TEST(AreaScaling, StrongReductionSamplesEveryFewRowsOnly) {
    auto s = settings(100, 100);
    GraySource counted;
    auto out = run(
        s, 10, 10, [](std::int32_t, std::int32_t) { return std::uint8_t(77); }, &counted);
    // cy = 0.1 < 0.25: one row in 2.5 is read, four per target row.
    EXPECT_EQ(counted.decoded, 40);
    for (const auto& row : out)
        for (int v : row) EXPECT_EQ(v, 77);
}

// The wide splat adds four lanes at a time; every pixel must come out as the narrow one makes it,
// channels in their places.
TEST(AreaScaling, WideAndNarrowSplatsMakeTheSamePixels) {
    const auto reduce = [](bool wide) {
        useWideSplat(wide);
        const std::int32_t w = 517, h = 311;
        std::int32_t y = 0;
        const RowSource colours = [&](std::uint8_t* rgb, bool) -> Status {
            for (std::int32_t x = 0; x < w; ++x) {
                rgb[x * 3] = static_cast<std::uint8_t>(x * 7 + y * 3);
                rgb[x * 3 + 1] = static_cast<std::uint8_t>((x ^ y) * 13);
                rgb[x * 3 + 2] = static_cast<std::uint8_t>(x * y + 91);
            }
            ++y;
            return {};
        };
        Bitmap32 target;
        EXPECT_TRUE(target.Create(173, 97));
        EXPECT_TRUE(runRowPipeline(settings(w, h), target, colours).ok());
        return std::vector<std::uint8_t>(target.pixels(), target.pixels() + target.byteSize());
    };
    const bool haveWide = useWideSplat(true);
    const auto narrow = reduce(false);
    if (!haveWide) GTEST_SKIP() << "this processor has no four-lane path";
    EXPECT_EQ(reduce(true), narrow);
    useWideSplat(true);
}

TEST(RowPipeline, GammaTableAppliesPerChannel) {
    auto s = settings(1, 1);
    std::vector<std::uint8_t> table(768);
    for (int i = 0; i < 256; ++i) {
        table[i] = 1;        // red
        table[256 + i] = 2;  // green
        table[512 + i] = 3;  // blue
    }
    s.gammaTable = table.data();
    Bitmap32 target;
    ASSERT_TRUE(target.Create(1, 1));
    ASSERT_TRUE(runRowPipeline(s, target, [](std::uint8_t* rgb, bool) -> Status {
                    rgb[0] = rgb[1] = rgb[2] = 9;
                    return {};
                }).ok());
    EXPECT_EQ(target.row(0)[0], 3);  // blue
    EXPECT_EQ(target.row(0)[1], 2);  // green
    EXPECT_EQ(target.row(0)[2], 1);  // red
    EXPECT_FALSE(target.takeDirtyRect().isEmpty());
}

TEST(RowPipeline, AReaderErrorStopsThePage) {
    auto s = settings(4, 4);
    Bitmap32 target;
    ASSERT_TRUE(target.Create(4, 4));
    int rows = 0;
    Status st = runRowPipeline(s, target, [&rows](std::uint8_t*, bool) -> Status {
        return ++rows > 2 ? Status{DecodeError::Truncated} : Status{};
    });
    EXPECT_FALSE(st.ok());
    EXPECT_EQ(st.error(), DecodeError::Truncated);
    EXPECT_EQ(target.takeDirtyRect(), (PixelRect{0, 0, 4, 2}));
}

// A source in the page's own layout lands the same as red, green, blue rows, whether written
// straight into the page (same size, flipped or not) or taken through another path.
TEST(RowPipeline, PageLayoutSourceMatchesTheRgbOne) {
    const auto colour = [](std::int32_t x, std::int32_t y, int c) {
        return static_cast<std::uint8_t>(x * 40 + y * 7 + c * 90);
    };
    for (const auto& [tw, th, flipV] : {std::tuple{6, 4, false}, {6, 4, true}, {3, 2, false}}) {
        Bitmap32 expected, actual;
        ASSERT_TRUE(expected.Create(tw, th) && actual.Create(tw, th));
        auto s = settings(6, 4);
        s.flipVertical = flipV;
        std::int32_t y = 0;
        ASSERT_TRUE(runRowPipeline(s, expected, [&](std::uint8_t* rgb, bool) -> Status {
                        for (std::int32_t x = 0; x < 6; ++x)
                            for (int c = 0; c < 3; ++c) rgb[x * 3 + c] = colour(x, y, c);
                        ++y;
                        return {};
                    }).ok());
        s.sourceBgrx = true;
        y = 0;
        ASSERT_TRUE(runRowPipeline(s, actual, [&](std::uint8_t* bgrx, bool) -> Status {
                        for (std::int32_t x = 0; x < 6; ++x)
                            for (int c = 0; c < 3; ++c) bgrx[x * 4 + 2 - c] = colour(x, y, c);
                        ++y;
                        return {};
                    }).ok());
        for (std::int32_t r = 0; r < th; ++r)
            for (std::int32_t x = 0; x < tw; ++x)
                ASSERT_EQ(0, std::memcmp(expected.row(r) + x * 4, actual.row(r) + x * 4, 3))
                    << tw << "x" << th << " flip " << flipV << " at " << x << "," << r;
    }
}
