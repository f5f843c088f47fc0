#include "view/render.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/bitmap32.h"

namespace kalder::view {
namespace {

using image::Bitmap32;

void setPixel(Bitmap32& b, int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t bl) {
    std::uint8_t* p = b.row(y) + x * 4;
    p[0] = bl;
    p[1] = g;
    p[2] = r;
}

// Every pixel's red = x, green = y, blue = (x + y) & 255.
void fillCoordinates(Bitmap32& b) {
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            setPixel(b, x, y, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                     static_cast<std::uint8_t>(x + y));
}

void fillSolid(Bitmap32& b, std::uint8_t r, std::uint8_t g, std::uint8_t bl) {
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) setPixel(b, x, y, r, g, bl);
}

// Collects blits; tiles of a 32-bit buffer are copied onto a canvas for pixel checks.
struct Recorder : PaintTarget {
    struct Blit {
        PixelRect source;  // blitSource only
        PixelRect dest;
        bool direct;
    };
    std::vector<Blit> blits;
    std::int32_t canvasWidth = 0, canvasHeight = 0;
    std::vector<std::uint32_t> canvas;
    bool refuse = false;

    Recorder(std::int32_t w = 0, std::int32_t h = 0)
        : canvasWidth(w), canvasHeight(h), canvas(static_cast<std::size_t>(w) * h, 0) {}

    bool blitTile(const DisplayBuffer& buffer, PixelSize size, Point dest) override {
        blits.push_back({{}, {dest.x, dest.y, dest.x + size.width, dest.y + size.height}, false});
        if (buffer.format() == DisplayFormat::Bgrx32) {
            for (int y = 0; y < size.height; ++y)
                for (int x = 0; x < size.width; ++x) {
                    const int cx = dest.x + x, cy = dest.y + y;
                    if (cx < 0 || cy < 0 || cx >= canvasWidth || cy >= canvasHeight) continue;
                    std::memcpy(&canvas[cy * canvasWidth + cx], buffer.row(y) + x * 4, 4);
                }
        }
        return !refuse;
    }
    bool blitSource(const Bitmap32&, const PixelRect& source, const PixelRect& dest) override {
        blits.push_back({source, dest, true});
        return !refuse;
    }
    std::uint32_t at(int x, int y) const { return canvas[y * canvasWidth + x]; }
};

std::uint32_t bgrx(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return 0xff000000u | (static_cast<std::uint32_t>(r) << 16) |
           (static_cast<std::uint32_t>(g) << 8) | b;
}

const DisplayLut& identityLut() {
    static const DisplayLut lut = *BuildLut(false, 1.0);
    return lut;
}

TEST(BuildLut, InvertGammaOrNothing) {
    EXPECT_FALSE(BuildLut(false, -1.0));
    const DisplayLut id = *BuildLut(false, 1.0);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(id[i], i);
    const DisplayLut dark = *BuildLut(false, 2.0);
    EXPECT_EQ(dark[128], 64);  // 255 * (128/255)^2 = 64.25
    EXPECT_EQ(dark[255], 255);
    EXPECT_EQ((*BuildLut(false, 0.5))[64], 127);  // 127.75 truncated
    EXPECT_EQ((*BuildLut(false, 0.0))[0], 255);
    const DisplayLut inv = *BuildLut(true, -1.0);
    EXPECT_EQ(inv[0], 255);
    EXPECT_EQ(inv[200], 55);
    EXPECT_EQ(*BuildLut(true, 0.3), *BuildLut(true, 3.0))
        << "with invert on, gamma changes nothing";
}

TEST(DisplayFormat, DetectedFromDepthAndMasks) {
    EXPECT_EQ(detectDisplayFormat(8, false, 0, 0, 0), DisplayFormat::Palette8);
    EXPECT_EQ(detectDisplayFormat(16, false, 0, 0, 0), DisplayFormat::Rgb555);
    EXPECT_EQ(detectDisplayFormat(16, true, 0x7c00, 0x3e0, 0x1f), DisplayFormat::Rgb555);
    EXPECT_EQ(detectDisplayFormat(16, true, 0xf800, 0x7e0, 0x1f), DisplayFormat::Rgb565);
    EXPECT_EQ(detectDisplayFormat(16, true, 0x1f, 0x7e0, 0xf800), DisplayFormat::Bgr24);
    EXPECT_EQ(detectDisplayFormat(32, true, 0xff0000, 0xff00, 0xff), DisplayFormat::Bgrx32);
    EXPECT_EQ(detectDisplayFormat(32, true, 0xff, 0xff00, 0xff0000), DisplayFormat::Bgr24);
    EXPECT_EQ(detectDisplayFormat(24, false, 0, 0, 0), DisplayFormat::Bgr24);
}

TEST(DisplayBuffer, RowsArePaddedToFourBytes) {
    EXPECT_EQ(DisplayBuffer(DisplayFormat::Bgr24, false).stride(), 768u);
    EXPECT_EQ(DisplayBuffer(DisplayFormat::Palette8, true).stride(), 256u);
    EXPECT_EQ(DisplayBuffer(DisplayFormat::Rgb565, true).stride(), 512u);
    EXPECT_EQ(DisplayBuffer(DisplayFormat::Bgrx32, false).stride(), 1024u);
}

// Converts a single-colour w x h tile and returns the buffer.
DisplayBuffer convertSolid(DisplayFormat f, bool dither, std::uint8_t r, std::uint8_t g,
                           std::uint8_t b, int w = 8, int h = 8, Point origin = {}) {
    Bitmap32 src;
    EXPECT_TRUE(src.Create(w, h));
    fillSolid(src, r, g, b);
    DisplayBuffer buf(f, dither);
    TileConverter(f, dither, nullptr).convert(src, {0, 0, w, h}, Zoom{}, origin, buf);
    return buf;
}

std::uint16_t word(const DisplayBuffer& b, int x, int y) {
    std::uint16_t v;
    std::memcpy(&v, b.row(y) + x * 2, 2);
    return v;
}

TEST(Convert16, PackingOfBothLayouts) {
    EXPECT_EQ(word(convertSolid(DisplayFormat::Rgb555, false, 255, 0, 0), 0, 0), 0x7c00);
    EXPECT_EQ(word(convertSolid(DisplayFormat::Rgb555, false, 0, 255, 0), 0, 0), 0x03e0);
    EXPECT_EQ(word(convertSolid(DisplayFormat::Rgb555, false, 0, 0, 255), 0, 0), 0x001f);
    EXPECT_EQ(word(convertSolid(DisplayFormat::Rgb565, false, 255, 0, 0), 0, 0), 0xf800);
    EXPECT_EQ(word(convertSolid(DisplayFormat::Rgb565, false, 0, 255, 0), 0, 0), 0x07c0);
    EXPECT_EQ(word(convertSolid(DisplayFormat::Rgb565, false, 0, 0, 255), 0, 0), 0x001f);
    EXPECT_EQ(word(convertSolid(DisplayFormat::Rgb565, true, 255, 255, 255), 3, 1), 0xffdf);
}

TEST(Convert16, LowestGreenBitOf565IsNeverSet) {
    Bitmap32 src;
    ASSERT_TRUE(src.Create(256, 64));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x)
            setPixel(src, x, y, static_cast<std::uint8_t>(x * 7 + y), static_cast<std::uint8_t>(x),
                     static_cast<std::uint8_t>(255 - x));
    for (bool dither : {false, true}) {
        DisplayBuffer buf(DisplayFormat::Rgb565, dither);
        TileConverter(DisplayFormat::Rgb565, dither, nullptr)
            .convert(src, {0, 0, 256, 64}, Zoom{}, {3, 5}, buf);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 256; ++x) ASSERT_EQ(word(buf, x, y) & 0x20, 0) << x << "," << y;
    }
}

TEST(Convert16, DitherLowersALevelWhereTheRemainderIsBelowTheThreshold) {
    // 12 = level 1 remainder 4: lowered where the threshold is 5, 6 or 7 (3 of 8 cells).
    const DisplayBuffer buf = convertSolid(DisplayFormat::Rgb555, true, 0, 0, 12);
    int lowered = 0;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) lowered += word(buf, x, y) == 0;
    EXPECT_EQ(lowered, 3);
    // Values below 8 are never lowered.
    const DisplayBuffer dark = convertSolid(DisplayFormat::Rgb555, true, 0, 0, 7);
    EXPECT_EQ(word(dark, 1, 0), 0);
}

TEST(Convert16, DitherPhaseFollowsTheOrigin) {
    const DisplayBuffer a = convertSolid(DisplayFormat::Rgb565, true, 100, 13, 200, 16, 4, {0, 0});
    const DisplayBuffer b = convertSolid(DisplayFormat::Rgb565, true, 100, 13, 200, 16, 4, {1, 1});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 15; ++x) ASSERT_EQ(word(b, x, y), word(a, x + 1, y + 1));
    // Negative positions wrap like positive ones.
    const DisplayBuffer c =
        convertSolid(DisplayFormat::Rgb565, true, 100, 13, 200, 16, 4, {-4, -2});
    for (int x = 0; x < 16; ++x) ASSERT_EQ(word(c, x, 0), word(a, x, 0));
}

struct PaletteCase {
    std::uint8_t r, g, b;
    bool dither;
    std::uint8_t index;
};
class Convert8 : public ::testing::TestWithParam<PaletteCase> {};
TEST_P(Convert8, MapsToTheDisplayPalette) {
    const PaletteCase& c = GetParam();
    const DisplayBuffer buf = convertSolid(DisplayFormat::Palette8, c.dither, c.r, c.g, c.b);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(buf.row(y)[x], c.index) << x << "," << y;
}
INSTANTIATE_TEST_SUITE_P(
    Render, Convert8,
    ::testing::Values(PaletteCase{255, 255, 255, false, 232}, PaletteCase{255, 255, 255, true, 232},
                      PaletteCase{255, 0, 0, false, 180}, PaletteCase{255, 0, 0, true, 180},
                      PaletteCase{0, 0, 0, true, 216}, PaletteCase{128, 128, 128, false, 224},
                      PaletteCase{51, 102, 153, true, 36 + 12 + 3},
                      PaletteCase{0, 255, 50, false, 30}));

TEST(Convert8, OrderedDitherCounts) {
    // Grey 8: 216 + 0, raised where the 4 x 4 value is below 8: half the cells.
    DisplayBuffer grey = convertSolid(DisplayFormat::Palette8, true, 8, 8, 8, 4, 4);
    int raised = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) raised += grey.row(y)[x] == 217;
    EXPECT_EQ(raised, 8);
    // Red 25 (level 0, remainder round(25 * 64 / 51) = 31): raised in 31 of 64 cells.
    DisplayBuffer red = convertSolid(DisplayFormat::Palette8, true, 25, 0, 0, 8, 8);
    raised = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) raised += red.row(y)[x] == 36;
    EXPECT_EQ(raised, 31);
}

TEST(DisplayPalette, CubeAndGreys) {
    const auto& p = displayPalette();
    EXPECT_EQ(p[180].red, 255);
    EXPECT_EQ(p[180].green, 0);
    EXPECT_EQ(p[36 + 12 + 3].blue, 153);
    EXPECT_EQ(p[224].red, 128);
    EXPECT_EQ(p[231].green, 240);
    EXPECT_EQ(p[232].blue, 255);
}

TEST(Convert, ThirtyTwoBitAndTwentyFourBitThroughTheTable) {
    Bitmap32 src;
    ASSERT_TRUE(src.Create(2, 1));
    setPixel(src, 0, 0, 10, 20, 30);
    setPixel(src, 1, 0, 200, 100, 0);
    const DisplayLut inv = *BuildLut(true, -1);
    DisplayBuffer b32(DisplayFormat::Bgrx32, false);
    EXPECT_EQ(TileConverter(DisplayFormat::Bgrx32, false, &inv)
                  .convert(src, {0, 0, 2, 1}, Zoom{}, {}, b32),
              (PixelSize{2, 1}));
    const std::uint8_t* p = b32.row(0);
    EXPECT_EQ(p[0], 225);
    EXPECT_EQ(p[1], 235);
    EXPECT_EQ(p[2], 245);
    EXPECT_EQ(p[3], 255);
    DisplayBuffer b24(DisplayFormat::Bgr24, false);
    TileConverter(DisplayFormat::Bgr24, false, nullptr).convert(src, {0, 0, 2, 1}, Zoom{}, {}, b24);
    const std::uint8_t expected[6] = {30, 20, 10, 0, 100, 200};
    EXPECT_EQ(std::memcmp(b24.row(0), expected, 6), 0);
}

TEST(Convert, MagnifyRepeatsAndReduceSamples) {
    Bitmap32 src;
    ASSERT_TRUE(src.Create(16, 16));
    fillCoordinates(src);
    DisplayBuffer buf(DisplayFormat::Bgrx32, false);
    TileConverter conv(DisplayFormat::Bgrx32, false, &identityLut());
    EXPECT_EQ(conv.convert(src, {2, 3, 4, 5}, Zoom{false, 3}, {}, buf), (PixelSize{6, 6}));
    auto px = [&](int x, int y) {
        std::uint32_t v;
        std::memcpy(&v, buf.row(y) + x * 4, 4);
        return v;
    };
    EXPECT_EQ(px(0, 0), bgrx(2, 3, 5));
    EXPECT_EQ(px(2, 2), bgrx(2, 3, 5));
    EXPECT_EQ(px(3, 2), bgrx(3, 3, 6));
    EXPECT_EQ(px(5, 5), bgrx(3, 4, 7));
    EXPECT_EQ(conv.convert(src, {1, 0, 16, 16}, Zoom{true, 4}, {}, buf), (PixelSize{4, 4}));
    EXPECT_EQ(px(0, 0), bgrx(1, 0, 1));
    EXPECT_EQ(px(1, 0), bgrx(5, 0, 5));
    EXPECT_EQ(px(3, 3), bgrx(13, 12, 25));
}

TEST(Paint, ThirtyTwoBitWithoutTableBlitsTheBitmapDirectly) {
    Bitmap32 src;
    ASSERT_TRUE(src.Create(1000, 800));
    DisplayBuffer buf(DisplayFormat::Bgrx32, false);
    Recorder rec;
    PaintJob job{&src, Zoom{false, 3}, {10, 20, 110, 70}, {-5, 7}, {}, nullptr, 0};
    ASSERT_TRUE(Paint(job, buf, rec));
    ASSERT_EQ(rec.blits.size(), 1u);
    EXPECT_TRUE(rec.blits[0].direct);
    EXPECT_EQ(rec.blits[0].source, (PixelRect{10, 20, 110, 70}));
    EXPECT_EQ(rec.blits[0].dest, (PixelRect{-5, 7, 295, 157}));
    rec.blits.clear();
    job.zoom = Zoom{true, 4};
    ASSERT_TRUE(Paint(job, buf, rec));
    EXPECT_EQ(rec.blits[0].dest, (PixelRect{-5, 7, 20, 20}));
}

struct TileCase {
    Zoom zoom;
    PixelRect source;
    std::vector<PixelRect> expected;  // destinations, in paint order
};
class PaintTiles : public ::testing::TestWithParam<TileCase> {};
TEST_P(PaintTiles, CutsTheRectangleIntoBufferSizedTiles) {
    const TileCase& c = GetParam();
    Bitmap32 src;
    ASSERT_TRUE(src.Create(2000, 1000));
    DisplayBuffer buf(DisplayFormat::Bgr24, false);
    Recorder rec;
    ASSERT_TRUE(Paint(PaintJob{&src, c.zoom, c.source, {10, 20}, {}, nullptr, 0}, buf, rec));
    ASSERT_EQ(rec.blits.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i)
        EXPECT_EQ(rec.blits[i].dest, c.expected[i]) << i;
}
INSTANTIATE_TEST_SUITE_P(
    Render, PaintTiles,
    ::testing::Values(
        TileCase{Zoom{},
                 {0, 0, 600, 300},
                 {{10, 20, 266, 276},
                  {266, 20, 522, 276},
                  {522, 20, 610, 276},
                  {10, 276, 266, 320},
                  {266, 276, 522, 320},
                  {522, 276, 610, 320}}},
        // Magnify 3: 85 source pixels (255 screen pixels) per tile.
        TileCase{Zoom{false, 3}, {5, 5, 100, 50}, {{10, 20, 265, 155}, {265, 20, 295, 155}}},
        // Reduce 2: 512 source pixels (256 screen pixels) per tile.
        TileCase{Zoom{true, 2}, {0, 0, 1000, 100}, {{10, 20, 266, 70}, {266, 20, 510, 70}}}));

TEST(Paint, FailedBlitEndsThePaint) {
    Bitmap32 src;
    ASSERT_TRUE(src.Create(600, 600));
    DisplayBuffer buf(DisplayFormat::Palette8, true);
    Recorder rec;
    rec.refuse = true;
    EXPECT_FALSE(Paint(PaintJob{&src, Zoom{}, {0, 0, 600, 600}, {}, {}, nullptr, 0}, buf, rec));
    EXPECT_EQ(rec.blits.size(), 1u);
}

TEST(Paint, PanoramaOffsetMinusOneStartsAtTheLastColumn) {
    Bitmap32 src;
    ASSERT_TRUE(src.Create(1000, 4));
    fillCoordinates(src);
    DisplayBuffer direct(DisplayFormat::Bgrx32, false);
    Recorder rec;
    ASSERT_TRUE(
        Paint(PaintJob{&src, Zoom{}, {0, 0, 1000, 4}, {0, 0}, {}, nullptr, -1}, direct, rec));
    ASSERT_EQ(rec.blits.size(), 2u);
    EXPECT_EQ(rec.blits[0].source, (PixelRect{999, 0, 1000, 4}));
    EXPECT_EQ(rec.blits[0].dest, (PixelRect{0, 0, 1, 4}));
    EXPECT_EQ(rec.blits[1].source, (PixelRect{0, 0, 999, 4}));
    EXPECT_EQ(rec.blits[1].dest, (PixelRect{1, 0, 1000, 4}));

    // Through the table path the pixels themselves show the wrap.
    DisplayBuffer tiles(DisplayFormat::Bgrx32, false);
    Recorder canvas(1000, 4);
    ASSERT_TRUE(Paint(PaintJob{&src, Zoom{}, {0, 0, 1000, 4}, {0, 0}, {}, &identityLut(), -1},
                      tiles, canvas));
    EXPECT_EQ(canvas.at(0, 0), bgrx(999 & 255, 0, 999 & 255));
    EXPECT_EQ(canvas.at(1, 2), bgrx(0, 2, 2));
    EXPECT_EQ(canvas.at(999, 3), bgrx(998 & 255, 3, (998 + 3) & 255));
}

TEST(Paint, PanoramaWrapWhileReducingKeepsTheSampleSpacing) {
    Bitmap32 src;
    ASSERT_TRUE(src.Create(10, 3));
    fillCoordinates(src);
    for (const int offset : {4, 5, -25}) {
        DisplayBuffer buf(DisplayFormat::Bgrx32, false);
        Recorder canvas(4, 1);
        ASSERT_TRUE(
            Paint(PaintJob{&src, Zoom{true, 3}, {0, 0, 10, 3}, {}, {}, &identityLut(), offset}, buf,
                  canvas));
        const int start = ((offset % 10) + 10) % 10;
        for (int i = 0; i < 4; ++i) {
            const int column = (start + 3 * i) % 10;
            EXPECT_EQ(canvas.at(i, 0), bgrx(column, 0, column)) << offset << " output " << i;
        }
    }
}

TEST(Wallpaper, TilesAlignToTheClientOrigin) {
    std::vector<std::pair<PixelRect, Point>> pieces;
    forEachWallpaperPiece({-10, 250, 300, 520}, [&](const PixelRect& r, Point p) {
        pieces.push_back({r, p});
    });
    ASSERT_EQ(pieces.size(), 9u);
    EXPECT_EQ(pieces[0].first, (PixelRect{246, 250, 256, 256}));
    EXPECT_EQ(pieces[0].second, (Point{-10, 250}));
    EXPECT_EQ(pieces[1].first, (PixelRect{0, 250, 256, 256}));
    EXPECT_EQ(pieces[2].first, (PixelRect{0, 250, 44, 256}));
    EXPECT_EQ(pieces[2].second, (Point{256, 250}));
    EXPECT_EQ(pieces[3].first, (PixelRect{246, 0, 256, 256}));
    EXPECT_EQ(pieces[8].first, (PixelRect{0, 0, 44, 8}));
    EXPECT_EQ(pieces[8].second, (Point{256, 512}));
    std::int64_t area = 0;
    for (const auto& [r, p] : pieces)
        area += static_cast<std::int64_t>(r.right - r.left) * (r.bottom - r.top);
    EXPECT_EQ(area, 310 * 270);
}

}  // namespace
}  // namespace kalder::view
