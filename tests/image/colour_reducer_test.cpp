#include "image/colour_reducer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "image/bitmap32.h"
#include "image/sinks.h"
#include "image/writers/image_writer.h"

namespace kalder::image {
namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

void fill(Bitmap32& bitmap, std::int32_t w, std::int32_t h, const auto& colourAt) {
    ASSERT_TRUE(bitmap.Create(w, h));
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) {
            const Rgb c = colourAt(x, y);
            std::uint8_t* p = bitmap.row(y) + x * 4;
            p[0] = static_cast<std::uint8_t>(c.b);
            p[1] = static_cast<std::uint8_t>(c.g);
            p[2] = static_cast<std::uint8_t>(c.r);
        }
}

Rgb pixel(const Bitmap32& b, std::int32_t x, std::int32_t y) {
    const std::uint8_t* p = b.row(y) + x * 4;
    return {p[2], p[1], p[0]};
}

Rgb entry(const ColourReducer& reducer, int index) {
    const auto& p = reducer.palette();
    return {p[index * 3], p[index * 3 + 1], p[index * 3 + 2]};
}

// Sets up, builds and maps one image; fails the test on any error.
std::vector<std::uint8_t> reduce(ColourReducer& reducer, const Bitmap32& image,
                                 const ColourReduceOptions& options) {
    const Bitmap32* images[] = {&image};
    EXPECT_TRUE(reducer.Setup(images, options).ok());
    EXPECT_TRUE(reducer.BuildPalette().ok());
    auto indices = reducer.MapImage(0);
    EXPECT_TRUE(indices.ok());
    return indices.ok() ? *indices : std::vector<std::uint8_t>{};
}

ColourReduceOptions with(PaletteType palette, DitherType dither = DitherType::None, int depth = 8) {
    ColourReduceOptions o;
    o.palette = palette;
    o.dither = dither;
    o.targetDepth = depth;
    return o;
}

// ---- Fixed palettes ----

struct KnownEntry {
    int index;
    Rgb colour;
};

struct FixedCase {
    const char* name;
    PaletteType palette;
    int bits, size;
    std::vector<KnownEntry> entries;
};

class FixedPalettes : public testing::TestWithParam<FixedCase> {};

TEST_P(FixedPalettes, HaveTheirSizeAndEntries) {
    const FixedCase& c = GetParam();
    Bitmap32 image;
    fill(image, 2, 2, [](int, int) { return Rgb{1, 2, 3}; });
    ColourReducer reducer;
    reduce(reducer, image, with(c.palette, DitherType::None, 2));  // the palette sets its own depth
    EXPECT_EQ(reducer.bits(), c.bits);
    EXPECT_EQ(reducer.paletteSize(), c.size);
    for (const KnownEntry& e : c.entries)
        EXPECT_EQ(entry(reducer, e.index), e.colour) << "entry " << e.index;
    for (int i = c.size; i < 256; ++i)
        EXPECT_EQ(entry(reducer, i), (Rgb{0, 0, 0})) << "unused entry " << i;
}

INSTANTIATE_TEST_SUITE_P(
    ColourReducer, FixedPalettes,
    testing::Values(
        FixedCase{
            "BlackWhite", PaletteType::BlackWhite, 1, 2, {{0, {0, 0, 0}}, {1, {255, 255, 255}}}},
        FixedCase{"Vga",
                  PaletteType::Vga,
                  4,
                  16,
                  {{0, {0, 0, 0}},
                   {1, {128, 0, 0}},
                   {2, {0, 128, 0}},
                   {3, {128, 128, 0}},
                   {4, {0, 0, 128}},
                   {5, {128, 0, 128}},
                   {6, {0, 128, 128}},
                   {7, {192, 192, 192}},
                   {8, {128, 128, 128}},
                   {9, {255, 0, 0}},
                   {10, {0, 255, 0}},
                   {11, {255, 255, 0}},
                   {12, {0, 0, 255}},
                   {13, {255, 0, 255}},
                   {14, {0, 255, 255}},
                   {15, {255, 255, 255}}}},
        // Entry b*36 + g*6 + r is (51r, 51g, 51b); 216..255 black.
        FixedCase{"WebSafe",
                  PaletteType::WebSafe,
                  8,
                  256,
                  {{0, {0, 0, 0}},
                   {1, {51, 0, 0}},
                   {6, {0, 51, 0}},
                   {36, {0, 0, 51}},
                   {129, {153, 153, 153}},
                   {215, {255, 255, 255}},
                   {216, {0, 0, 0}},
                   {255, {0, 0, 0}}}},
        FixedCase{"System",
                  PaletteType::System,
                  8,
                  256,
                  {{0, {0, 0, 0}},         {1, {128, 0, 0}},       {2, {0, 128, 0}},
                   {3, {128, 128, 0}},     {4, {0, 0, 128}},       {5, {128, 0, 128}},
                   {6, {0, 128, 128}},     {7, {128, 128, 128}},   {8, {192, 220, 192}},
                   {9, {166, 202, 240}},   {246, {255, 251, 240}}, {247, {160, 160, 164}},
                   {248, {128, 128, 128}}, {249, {255, 0, 0}},     {250, {0, 255, 0}},
                   {251, {255, 255, 0}},   {252, {0, 0, 255}},     {253, {255, 0, 255}},
                   {254, {0, 255, 255}},   {255, {255, 255, 255}}}}),
    [](const testing::TestParamInfo<FixedCase>& info) { return std::string(info.param.name); });

TEST(ColourReducer, SystemPaletteMiddleUsesFourBlueLevels) {
    Bitmap32 image;
    fill(image, 1, 1, [](int, int) { return Rgb{0, 0, 0}; });
    ColourReducer reducer;
    reduce(reducer, image, with(PaletteType::System));
    std::set<int> blues;
    for (int i = 10; i < 246; ++i) blues.insert(entry(reducer, i).b);
    EXPECT_EQ(blues, (std::set<int>{0, 85, 170, 255}));
}

// ---- Undithered mapping ----

struct PointCase {
    const char* name;
    PaletteType palette;
    Rgb colour;
    int index;
};

class UnditheredMapping : public testing::TestWithParam<PointCase> {};

TEST_P(UnditheredMapping, GivesTheIndexTheRuleDefines) {
    const PointCase& c = GetParam();
    Bitmap32 image;
    fill(image, 3, 2, [&](int, int) { return c.colour; });
    ColourReducer reducer;
    const auto indices = reduce(reducer, image, with(c.palette));
    for (std::uint8_t i : indices) EXPECT_EQ(i, c.index);
}

INSTANTIATE_TEST_SUITE_P(
    ColourReducer, UnditheredMapping,
    testing::Values(
        // Levels (c + 25) / 51: 128 -> 3 in every channel, 3*36 + 3*6 + 3 = 129.
        PointCase{"WebSafeMidGray", PaletteType::WebSafe, {128, 128, 128}, 129},
        // 230 -> (255)/51 = 5, 25 -> 50/51 = 0, 26 -> 1: 0*36 + 1*6 + 5.
        PointCase{"WebSafeLevels", PaletteType::WebSafe, {230, 26, 25}, 11},
        PointCase{"WebSafeTop", PaletteType::WebSafe, {231, 255, 240}, 215},
        // Y = (6969 R + 23434 G + 2365 B) >> 15: 127 -> 127 black, 128 -> 128 white.
        PointCase{"BlackWhite127", PaletteType::BlackWhite, {127, 127, 127}, 0},
        PointCase{"BlackWhite128", PaletteType::BlackWhite, {128, 128, 128}, 1},
        // Pure green weighs 23434/32768 of white: Y = 182 -> white; pure blue Y = 18 -> black.
        PointCase{"BlackWhiteGreen", PaletteType::BlackWhite, {0, 255, 0}, 1},
        PointCase{"BlackWhiteBlue", PaletteType::BlackWhite, {0, 0, 255}, 0},
        PointCase{"VgaWhite", PaletteType::Vga, {255, 255, 255}, 15},
        PointCase{"VgaNearGray", PaletteType::Vga, {100, 100, 100}, 8},
        PointCase{"VgaLightGray", PaletteType::Vga, {200, 190, 200}, 7},
        // Equally far from entry 0 (black) and 4 (navy): the lower index wins.
        PointCase{"VgaTieLowestIndex", PaletteType::Vga, {0, 0, 64}, 0},
        PointCase{"SystemWhite", PaletteType::System, {255, 255, 255}, 255},
        PointCase{"SystemCream", PaletteType::System, {254, 250, 241}, 246}),
    [](const testing::TestParamInfo<PointCase>& info) { return std::string(info.param.name); });

// ---- Ordered dithering ----

const int kMatrix[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                           {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                           {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                           {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

TEST(ColourReducer, OrderedDitherPatternsOnFlatGray) {
    Bitmap32 gray;
    fill(gray, 16, 16, [](int, int) { return Rgb{128, 128, 128}; });
    // Black-and-white: white where t <= 128/255, i.e. threshold m <= 31 (255*31 <= 63*128 <
    // 255*32): half the cells, in the matrix's own order.
    ColourReducer bw;
    auto indices = reduce(bw, gray, with(PaletteType::BlackWhite, DitherType::Ordered));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(indices[y * 16 + x], kMatrix[y % 8][x % 8] <= 31 ? 1 : 0) << x << "," << y;
    // Web-safe: 128 = 2*51 + 26; one level up where t < 26/50, i.e. m <= 32: 129 (153) else 86
    // (102).
    ColourReducer web;
    indices = reduce(web, gray, with(PaletteType::WebSafe, DitherType::Ordered));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(indices[y * 16 + x], kMatrix[y % 8][x % 8] <= 32 ? 129 : 86) << x << "," << y;
    // VGA: all three bits on where m <= 31 (white, 15), none elsewhere (black).
    ColourReducer vga;
    indices = reduce(vga, gray, with(PaletteType::Vga, DitherType::Ordered));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(indices[y * 16 + x], kMatrix[y % 8][x % 8] <= 31 ? 15 : 0) << x << "," << y;
}

TEST(ColourReducer, OrderedVgaKeepsBlackAndWhitePure) {
    for (auto [colour, index] : {std::pair{Rgb{0, 0, 0}, 0}, std::pair{Rgb{255, 255, 255}, 15},
                                 std::pair{Rgb{255, 0, 0}, 9}, std::pair{Rgb{0, 255, 255}, 14}}) {
        Bitmap32 flat;
        fill(flat, 8, 8, [c = colour](int, int) { return c; });
        ColourReducer vga;
        for (std::uint8_t i : reduce(vga, flat, with(PaletteType::Vga, DitherType::Ordered)))
            ASSERT_EQ(i, index);
    }
}

TEST(ColourReducer, OrderedFallsBackWhereItHasNoRule) {
    Bitmap32 image;
    fill(image, 4, 4, [](int x, int y) { return Rgb{x * 60, y * 60, 7}; });
    ColourReducer optimized;
    reduce(optimized, image, with(PaletteType::Optimized, DitherType::Ordered, 4));
    EXPECT_EQ(optimized.bits(), 8);  // the web-safe palette stands in
    EXPECT_EQ(entry(optimized, 129), (Rgb{153, 153, 153}));
    EXPECT_EQ(optimized.dither(), DitherType::Ordered);
    ColourReducer system;
    reduce(system, image, with(PaletteType::System, DitherType::Ordered));
    EXPECT_EQ(system.dither(), DitherType::None);
    EXPECT_FALSE(orderedDitherAllowed(PaletteType::Optimized));
    EXPECT_FALSE(orderedDitherAllowed(PaletteType::System));
    EXPECT_TRUE(orderedDitherAllowed(PaletteType::Vga));
}

// ---- Error diffusion ----

class Diffusion : public testing::TestWithParam<std::tuple<DitherType, PaletteType, Rgb>> {};

// Weights that sum to the divisor pass the error on whole, so a flat field keeps its mean colour.
// Only the shares that fall off the image are lost; at 256 x 256 they move the mean well under a
// level (at 64 x 64 Jarvis and Stucki lose about two).
TEST_P(Diffusion, KeepsTheMeanOfAFlatField) {
    const auto [dither, palette, colour] = GetParam();
    Bitmap32 flat;
    fill(flat, 256, 256, [c = colour](int, int) { return c; });
    ColourReducer reducer;
    const auto indices = reduce(reducer, flat, with(palette, dither));
    double sum[3] = {0, 0, 0};
    std::set<int> used;
    for (std::uint8_t i : indices) {
        const Rgb c = entry(reducer, i);
        sum[0] += c.r;
        sum[1] += c.g;
        sum[2] += c.b;
        used.insert(i);
    }
    EXPECT_GT(used.size(), 1u);  // it did dither
    const int want[3] = {colour.r, colour.g, colour.b};
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(sum[c] / static_cast<double>(indices.size()), want[c], 1.0) << "channel " << c;
}

INSTANTIATE_TEST_SUITE_P(ColourReducer, Diffusion,
                         testing::Combine(testing::Values(DitherType::FloydSteinberg,
                                                          DitherType::Jarvis, DitherType::Stucki),
                                          testing::Values(PaletteType::BlackWhite, PaletteType::Vga,
                                                          PaletteType::WebSafe),
                                          testing::Values(Rgb{100, 100, 100}, Rgb{200, 200, 200})));

TEST(ColourReducer, DiffusionOfAPaletteColourIsThatIndexEverywhere) {
    for (auto dither : {DitherType::FloydSteinberg, DitherType::Jarvis, DitherType::Stucki}) {
        for (auto [palette, colour, index] :
             {std::tuple{PaletteType::Vga, Rgb{128, 0, 128}, 5},
              std::tuple{PaletteType::WebSafe, Rgb{51, 102, 153}, 121},
              std::tuple{PaletteType::BlackWhite, Rgb{255, 255, 255}, 1}}) {
            Bitmap32 flat;
            fill(flat, 9, 7, [c = colour](int, int) { return c; });
            ColourReducer reducer;
            for (std::uint8_t i : reduce(reducer, flat, with(palette, dither))) ASSERT_EQ(i, index);
        }
    }
}

TEST(ColourReducer, DiffusionServesEveryColumnOnBothRowDirections) {
    // A horizontal ramp in black-and-white: the dark side stays mostly black and the light side
    // mostly white, whichever way a row runs.
    Bitmap32 ramp;
    fill(ramp, 64, 16, [](int x, int) { return Rgb{x * 4, x * 4, x * 4}; });
    for (auto dither : {DitherType::FloydSteinberg, DitherType::Jarvis, DitherType::Stucki}) {
        ColourReducer reducer;
        const auto indices = reduce(reducer, ramp, with(PaletteType::BlackWhite, dither));
        int left = 0, right = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x) {
                left += indices[y * 64 + x];
                right += indices[y * 64 + 56 + x];
            }
        EXPECT_LE(left, 12);
        EXPECT_GE(right, 116);
    }
}

// ---- Optimized palettes ----

TEST(ColourReducer, SixteenColoursAtFourBitsAreLossless) {
    std::mt19937 rng(1);
    std::vector<Rgb> colours;
    for (int i = 0; i < 16; ++i)
        colours.push_back({int(rng() % 256), int(rng() % 256), int(rng() % 256)});
    colours[3] = {8, 8, 8};  // same 5-bit cell as (9, 9, 9): only an exact palette keeps both
    colours[4] = {9, 9, 9};
    Bitmap32 image;
    fill(image, 40, 30, [&](int x, int y) { return colours[(x * 7 + y * 3) % 16]; });
    for (auto dither : {DitherType::None, DitherType::FloydSteinberg}) {
        ColourReducer reducer;
        const auto indices = reduce(reducer, image, with(PaletteType::Optimized, dither, 4));
        EXPECT_EQ(reducer.bits(), 4);
        EXPECT_EQ(reducer.paletteSize(), 16);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(entry(reducer, indices[y * 40 + x]), pixel(image, x, y)) << x << "," << y;
    }
}

TEST(ColourReducer, QuantizerFindsSixteenClusters) {
    // 16 clusters, each spread over one 5-bit cell: far more than 16 colours, so the quantizer
    // runs; each box should hold one cluster, so no pixel is further than 7 from its entry.
    std::mt19937 rng(2);
    Bitmap32 image;
    fill(image, 64, 64, [&](int x, int y) {
        const int k = (x / 16) + 4 * (y / 16);
        return Rgb{(k % 4) * 64 + 16 + int(rng() % 8), (k / 4) * 64 + 8 + int(rng() % 8),
                   128 + int(rng() % 8)};
    });
    ColourReducer reducer;
    const auto indices = reduce(reducer, image, with(PaletteType::Optimized, DitherType::None, 4));
    EXPECT_EQ(reducer.paletteSize(), 16);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const Rgb p = pixel(image, x, y), e = entry(reducer, indices[y * 64 + x]);
            ASSERT_LE(std::abs(p.r - e.r), 7);
            ASSERT_LE(std::abs(p.g - e.g), 7);
            ASSERT_LE(std::abs(p.b - e.b), 7);
        }
}

TEST(ColourReducer, QuantizerSpreadsAGrayRamp) {
    Bitmap32 ramp;
    fill(ramp, 256, 4, [](int x, int) { return Rgb{x, x, x}; });
    for (int depth : {1, 2, 3}) {
        ColourReducer reducer;
        const auto indices =
            reduce(reducer, ramp, with(PaletteType::Optimized, DitherType::None, depth));
        const int colours = 1 << depth;
        EXPECT_EQ(reducer.paletteSize(), colours);
        int worst = 0;
        for (int x = 0; x < 256; ++x)
            worst = std::max(worst, std::abs(entry(reducer, indices[x]).r - x));
        // Ideal equal bins leave at most 128 / colours; allow the 5-bit cells' slack.
        EXPECT_LE(worst, 128 / colours + 8) << depth << " bits";
    }
}

TEST(ColourReducer, GlobalPaletteServesEveryFrame) {
    Bitmap32 a, b;
    fill(a, 10, 10, [](int x, int) { return Rgb{x * 20, 0, 0}; });       // 10 reds
    fill(b, 10, 10, [](int, int y) { return Rgb{0, 0, 40 + y * 20}; });  // 10 blues
    const Bitmap32* frames[] = {&a, &b};
    ColourReducer reducer;
    ASSERT_TRUE(reducer.Setup(frames, with(PaletteType::Optimized, DitherType::None, 5)).ok());
    ASSERT_TRUE(reducer.BuildPalette().ok());
    EXPECT_EQ(reducer.paletteSize(), 20);
    for (std::size_t f = 0; f < 2; ++f) {
        const auto indices = reducer.MapImage(f);
        ASSERT_TRUE(indices.ok());
        const Bitmap32& frame = f == 0 ? a : b;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                ASSERT_EQ(entry(reducer, (*indices)[y * 10 + x]), pixel(frame, x, y));
    }
    EXPECT_FALSE(reducer.MapImage(2).ok());
}

// ---- Source palettes kept ----

TEST(ColourReducer, KeptPaletteTakesTheFirstExactEntry) {
    ColourReduceOptions o = with(PaletteType::Optimized, DitherType::None, 4);
    o.sourceDepth = 4;
    for (int i = 0; i < 16; ++i)
        o.sourcePalette[i * 3] = o.sourcePalette[i * 3 + 1] = o.sourcePalette[i * 3 + 2] = i * 16;
    o.sourcePalette[5 * 3] = 48, o.sourcePalette[5 * 3 + 1] = 48,
                        o.sourcePalette[5 * 3 + 2] = 48;  // = entry 3
    Bitmap32 image;
    fill(image, 3, 1, [](int x, int) {
        return x == 0 ? Rgb{48, 48, 48} : x == 1 ? Rgb{240, 240, 240} : Rgb{100, 99, 101};
    });
    ColourReducer reducer;
    const auto indices = reduce(reducer, image, o);
    EXPECT_EQ(indices, (std::vector<std::uint8_t>{3, 15, 6}));  // 100 is nearest 96 (entry 6)
    EXPECT_EQ(reducer.paletteSize(), 16);
    EXPECT_EQ(reducer.transparentIndex(), -1);
}

TEST(ColourReducer, ReservingAtTheSameDepthMergesTheClosestPair) {
    ColourReduceOptions o = with(PaletteType::Optimized, DitherType::None, 8);
    o.sourceDepth = 8;
    o.reserveTransparent = true;
    for (int i = 0; i < 256; ++i)
        o.sourcePalette[i * 3] = o.sourcePalette[i * 3 + 1] = o.sourcePalette[i * 3 + 2] = i;
    // Entry 200 becomes (10, 10, 11): one away from entry 10, every other pair is further apart.
    o.sourcePalette[600] = 10, o.sourcePalette[601] = 10, o.sourcePalette[602] = 11;
    Bitmap32 image;
    fill(image, 3, 1, [](int x, int) {
        return x == 0 ? Rgb{10, 10, 11} : x == 1 ? Rgb{255, 255, 255} : Rgb{201, 201, 201};
    });
    ColourReducer reducer;
    const auto indices = reduce(reducer, image, o);
    EXPECT_EQ(reducer.transparentIndex(), 255);
    EXPECT_EQ(entry(reducer, 10), (Rgb{10, 10, 10}));      // the average, truncated
    EXPECT_EQ(entry(reducer, 200), (Rgb{201, 201, 201}));  // the rest moved down one place
    EXPECT_EQ(entry(reducer, 254), (Rgb{255, 255, 255}));
    EXPECT_EQ(entry(reducer, 255), (Rgb{0, 0, 0}));
    EXPECT_EQ(indices, (std::vector<std::uint8_t>{10, 254, 200}));
}

// ---- Transparency ----

TEST(ColourReducer, ReservedIndexNeverTakesAPixel) {
    Bitmap32 rich;
    std::mt19937 rng(3);
    fill(rich, 50, 40, [&](int, int) {
        return Rgb{int(rng() % 256), int(rng() % 256), int(rng() % 256)};
    });
    Bitmap32 white;
    fill(white, 4, 4, [](int, int) { return Rgb{255, 255, 255}; });
    struct Case {
        PaletteType palette;
        DitherType dither;
        int depth;
        const Bitmap32* image;
        int reserved;
        int whiteGoesTo;  // -1: not checked
    };
    const Case cases[] = {
        {PaletteType::Optimized, DitherType::None, 8, &rich, 255, -1},
        {PaletteType::Optimized, DitherType::FloydSteinberg, 4, &rich, 15, -1},
        {PaletteType::Optimized, DitherType::None, 1, &rich, 1, -1},
        {PaletteType::Vga, DitherType::None, 4, &white, 15, 7},  // light gray is next nearest
        {PaletteType::Vga, DitherType::Ordered, 4, &white, 15, 7},
        {PaletteType::Vga, DitherType::Stucki, 4, &rich, 15, -1},
        {PaletteType::System, DitherType::None, 8, &white, 255, 246},  // (255, 251, 240)
        {PaletteType::WebSafe, DitherType::Jarvis, 8, &rich, 255, -1},
    };
    for (const Case& c : cases) {
        ColourReduceOptions o = with(c.palette, c.dither, c.depth);
        o.reserveTransparent = true;
        ColourReducer reducer;
        const auto indices = reduce(reducer, *c.image, o);
        EXPECT_EQ(reducer.transparentIndex(), c.reserved);
        for (std::uint8_t i : indices) {
            ASSERT_NE(i, c.reserved) << int(c.palette) << "/" << int(c.dither);
            if (c.whiteGoesTo >= 0) {
                ASSERT_EQ(i, c.whiteGoesTo);
            }
        }
    }
}

TEST(ColourReducer, FillsTheWriterRecord) {
    Bitmap32 image;
    fill(image, 5, 3, [](int x, int y) { return Rgb{x * 50, y * 100, 0}; });
    ColourReduceOptions o = with(PaletteType::Optimized, DitherType::None, 4);
    o.reserveTransparent = true;
    ColourReducer reducer;
    const auto indices = reduce(reducer, image, o);
    WriterImage w;
    w.jpegQuality = 33;
    reducer.fillWriterImage(w, indices);
    EXPECT_EQ(w.bits, 4);
    EXPECT_EQ(w.width, 5);
    EXPECT_EQ(w.height, 3);
    EXPECT_EQ(w.rowBytes(), 5u);
    EXPECT_TRUE(w.transparent);
    EXPECT_EQ(w.transparentIndex, 15);
    EXPECT_EQ(w.jpegQuality, 33);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const int i = w.row(y)[x];
            EXPECT_EQ((Rgb{w.palette[i * 3], w.palette[i * 3 + 1], w.palette[i * 3 + 2]}),
                      pixel(image, x, y));
        }
}

// ---- Set-up, names, progress ----

TEST(ColourReducer, RefusesBadSetups) {
    Bitmap32 a, b, empty;
    fill(a, 4, 4, [](int, int) { return Rgb{0, 0, 0}; });
    fill(b, 4, 5, [](int, int) { return Rgb{0, 0, 0}; });
    ColourReducer reducer;
    EXPECT_EQ(reducer.Setup({}, {}).error(), DecodeError::Corrupt);
    const Bitmap32* unequal[] = {&a, &b};
    EXPECT_EQ(reducer.Setup(unequal, {}).error(), DecodeError::Corrupt);
    const Bitmap32* none[] = {&empty};
    EXPECT_EQ(reducer.Setup(none, {}).error(), DecodeError::Corrupt);
    const Bitmap32* one[] = {&a};
    EXPECT_EQ(reducer.Setup(one, with(PaletteType::Optimized, DitherType::None, 0)).error(),
              DecodeError::Unsupported);
    EXPECT_EQ(reducer.Setup(one, with(PaletteType::Optimized, DitherType::None, 9)).error(),
              DecodeError::Unsupported);
    ColourReduceOptions bw = with(PaletteType::BlackWhite);
    bw.reserveTransparent = true;
    EXPECT_EQ(reducer.Setup(one, bw).error(), DecodeError::Unsupported);
    EXPECT_FALSE(reducer.BuildPalette().ok());
    EXPECT_FALSE(reducer.MapImage(0).ok());
}

TEST(ColourReducer, NamesForTheCommandLine) {
    EXPECT_EQ(paletteTypeFromName("optimized"), PaletteType::Optimized);
    EXPECT_EQ(paletteTypeFromName("WebSafe"), PaletteType::WebSafe);
    EXPECT_EQ(paletteTypeFromName("bw"), PaletteType::BlackWhite);
    EXPECT_EQ(paletteTypeFromName("VGA"), PaletteType::Vga);
    EXPECT_EQ(paletteTypeFromName("system"), PaletteType::System);
    EXPECT_FALSE(paletteTypeFromName("grey"));
    EXPECT_EQ(ditherTypeFromName("none"), DitherType::None);
    EXPECT_EQ(ditherTypeFromName("Ordered"), DitherType::Ordered);
    EXPECT_EQ(ditherTypeFromName("floyd"), DitherType::FloydSteinberg);
    EXPECT_EQ(ditherTypeFromName("JARVIS"), DitherType::Jarvis);
    EXPECT_EQ(ditherTypeFromName("stucki"), DitherType::Stucki);
    EXPECT_FALSE(ditherTypeFromName("floyd-steinberg"));
}

struct CountingSinks final : ProgressSink, CancelSink {
    int rows = 0;
    int stopAfter = 1 << 30;
    void Progress(std::int64_t total, std::int64_t done) override {
        ++rows;
        EXPECT_EQ(total, 12 * 9);
        EXPECT_EQ(done, 12 * rows);
    }
    bool isCancelled() const override { return rows >= stopAfter; }
};

TEST(ColourReducer, ReportsRowsAndStopsWhenAsked) {
    Bitmap32 image;
    fill(image, 12, 9, [](int x, int y) { return Rgb{x * 20, y * 25, 90}; });
    for (auto dither : {DitherType::None, DitherType::FloydSteinberg}) {
        CountingSinks sinks;
        ColourReduceOptions o = with(PaletteType::Vga, dither);
        o.progress = &sinks;
        o.cancel = &sinks;
        ColourReducer reducer;
        reduce(reducer, image, o);
        EXPECT_EQ(sinks.rows, 9);
        sinks.rows = 0;
        sinks.stopAfter = 3;
        EXPECT_EQ(reducer.MapImage(0).error(), DecodeError::Cancelled);
        EXPECT_EQ(sinks.rows, 3);
    }
}

}  // namespace
}  // namespace kalder::image
