#include "tools/convert/overlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/test_support.h"

namespace kalder::tools {
namespace {

void fill(image::Bitmap32& b, std::int32_t w, std::int32_t h, std::uint8_t v) {
    ASSERT_TRUE(b.Create(w, h));
    std::fill(b.pixels(), b.pixels() + b.byteSize(), v);
}

const std::uint8_t* at(const image::Bitmap32& b, std::int32_t x, std::int32_t y) {
    return b.row(y) + x * 4;
}

// The bounding box (inclusive) of page pixels that are no longer black.
image::PixelRect changed(const image::Bitmap32& page) {
    image::PixelRect r{page.width(), page.height(), -1, -1};
    for (std::int32_t y = 0; y < page.height(); ++y)
        for (std::int32_t x = 0; x < page.width(); ++x) {
            const std::uint8_t* p = at(page, x, y);
            if (p[0] | p[1] | p[2])
                r = {std::min(r.left, x), std::min(r.top, y), std::max(r.right, x),
                     std::max(r.bottom, y)};
        }
    return r;
}

OverlaySettings textSettings(TextBackground background) {
    OverlaySettings s;
    s.mode = OverlayMode::Text;
    s.text = "Kalder\tgj";
    s.font.pointSize = 18;
    s.background = background;
    return s;
}

TEST(Overlay, TextBottomRightKeepsTheSpacing) {
    OverlaySettings s = textSettings(TextBackground::Box);
    s.boxOpacity = 100;  // the box then covers the whole layer
    s.boxColor = 0x000000FF;
    OverlayLayer layer;
    ASSERT_TRUE(Overlay::Prepare(s, layer));
    EXPECT_GT(layer.width, 60);
    image::Bitmap32 page;
    fill(page, 300, 120, 0);
    Overlay::Stamp(page, nullptr, layer, s);
    EXPECT_EQ(changed(page), (image::PixelRect{300 - 10 - layer.width, 120 - 10 - layer.height,
                                               300 - 11, 120 - 11}));
}

TEST(Overlay, TextBackgrounds) {
    OverlayLayer plain, box, shadow;
    ASSERT_TRUE(Overlay::Prepare(textSettings(TextBackground::None), plain));
    EXPECT_TRUE(plain.backgroundCoverage.empty());
    OverlaySettings s = textSettings(TextBackground::Box);
    s.boxMargin = 4;
    ASSERT_TRUE(Overlay::Prepare(s, box));
    EXPECT_EQ(std::pair(box.width, box.height), std::pair(plain.width + 8, plain.height + 8));
    EXPECT_EQ(box.backgroundCoverage,
              std::vector<std::uint8_t>(box.backgroundCoverage.size(), 127));

    s = textSettings(TextBackground::Shadow);
    s.textColor = 0x00336699;
    ASSERT_TRUE(Overlay::Prepare(s, shadow));  // offset 3
    ASSERT_EQ(shadow.width, plain.width + 3);
    EXPECT_EQ(shadow.backgroundColor, 0u);
    EXPECT_EQ(std::vector(at(shadow.pixels, 1, 1), at(shadow.pixels, 1, 1) + 3),
              (std::vector<std::uint8_t>{0x33, 0x66, 0x99}));
    // The shadow is the text's coverage moved right and down.
    std::int64_t inked = 0;
    for (std::int32_t y = 0; y + 3 < shadow.height; ++y)
        for (std::int32_t x = 0; x + 3 < shadow.width; ++x) {
            inked += shadow.coverage[y * shadow.width + x];
            ASSERT_EQ(shadow.backgroundCoverage[(y + 3) * shadow.width + x + 3],
                      shadow.coverage[y * shadow.width + x]);
        }
    EXPECT_GT(inked, 0);
}

TEST(Overlay, TextThatCannotBeRenderedFails) {
    struct Case {
        double size;
        std::string text;
        bool renders;
    };
    const Case cases[] = {
        {0, "a", false},
        {-3, "a", false},
        {1e9, "a", false},
        {std::nan(""), "a", false},
        {18, std::string(200000, 'W'), false},                // too long
        {18, std::string(2000, 'W'), false},                  // wider than a layer may be
        {3000, std::string(300, '\t'), false},                // wider than the layout can measure
        {18, std::string("bad \xff\xfe utf\0-8", 13), true},  // replaced, not refused
    };
    for (const Case& c : cases) {
        OverlaySettings s = textSettings(TextBackground::None);
        s.font.pointSize = c.size;
        s.text = c.text;
        OverlayLayer layer;
        EXPECT_EQ(Overlay::Prepare(s, layer), c.renders) << c.size << " " << c.text.size();
    }
}

TEST(Overlay, AlignmentPlacesShortLines) {
    // Where the short first line's ink starts and ends, in percent of the layer's width.
    auto firstLine = [](TextAlignment alignment) {
        OverlaySettings s = textSettings(TextBackground::None);
        s.text = "ii\nWWWWWWWW";
        s.alignment = alignment;
        OverlayLayer layer;
        EXPECT_TRUE(Overlay::Prepare(s, layer));
        std::int32_t left = layer.width, right = -1;
        for (std::int32_t y = 0; y < layer.height / 2; ++y)
            for (std::int32_t x = 0; x < layer.width; ++x)
                if (layer.coverage[y * layer.width + x] > 128) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        return std::pair{left * 100 / layer.width, right * 100 / layer.width};
    };
    EXPECT_LT(firstLine(TextAlignment::Left).second, 25);
    const auto centre = firstLine(TextAlignment::Center);
    EXPECT_GT(centre.first, 35);
    EXPECT_LT(centre.second, 65);
    EXPECT_GT(firstLine(TextAlignment::Right).first, 75);
}

TEST(Overlay, WideCentredLayerIsCutOnBothSides) {
    OverlayLayer layer;
    layer.width = 10;
    layer.height = 1;
    ASSERT_TRUE(layer.pixels.Create(10, 1));
    for (int x = 0; x < 10; ++x) layer.pixels.row(0)[x * 4] = static_cast<std::uint8_t>(x + 1);
    OverlaySettings s;
    s.horizontalAnchor = s.verticalAnchor = 1;
    image::Bitmap32 page;
    fill(page, 4, 3, 0);
    Overlay::Stamp(page, nullptr, layer, s);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(at(page, x, 1)[0], x + 4);  // layer columns 3..6
        EXPECT_EQ(at(page, x, 0)[0], 0);
    }
}

TEST(Overlay, CompositingRules) {
    struct Case {
        bool background;  // the coverage is the background's, else the pixel image's
        bool alphaPlane;
        std::uint8_t c, a;       // coverage, page alpha before
        std::uint8_t p, aAfter;  // page blue byte and alpha after (page 100, colour 200)
    };
    const Case cases[] = {
        {false, true, 100, 0, 200, 100},   // A = 0: the colour with the coverage as alpha
        {false, true, 100, 50, 138, 150},  // (200 * 100 + 100 * 155) >> 8
        {false, false, 100, 0, 138, 0},   {false, true, 0, 50, 100, 50},
        {false, true, 255, 50, 200, 255}, {false, true, 200, 200, 177, 255},  // alpha saturates
        {true, true, 255, 0, 200, 255},   {true, true, 100, 0, 200, 100},
        {true, true, 100, 50, 138, 150},  {true, false, 0, 0, 100, 0},
    };
    for (const Case& c : cases) {
        OverlayLayer layer;
        layer.width = layer.height = 1;
        ASSERT_TRUE(layer.pixels.Create(1, 1));
        if (c.background) {
            layer.backgroundColor = 200 << 16;  // blue 200
            layer.backgroundCoverage = {c.c};
            layer.coverage = {0};
        } else {
            std::fill(layer.pixels.pixels(), layer.pixels.pixels() + 3, 200);
            layer.coverage = {c.c};
        }
        image::Bitmap32 page;
        fill(page, 1, 1, 100);
        std::uint8_t alpha = c.a;
        OverlaySettings topLeft;
        topLeft.horizontalAnchor = topLeft.verticalAnchor = 0;
        topLeft.horizontalSpacing = topLeft.verticalSpacing = 0;
        Overlay::Stamp(page, c.alphaPlane ? &alpha : nullptr, layer, topLeft);
        EXPECT_EQ(at(page, 0, 0)[0], c.p) << int(c.c) << "/" << int(c.a);
        EXPECT_EQ(at(page, 0, 0)[3], 100);  // the fourth byte is not the alpha plane
        if (c.alphaPlane) {
            EXPECT_EQ(alpha, c.aAfter) << int(c.c) << "/" << int(c.a);
        }
    }
}

TEST(Overlay, ImageFileWithAndWithoutAlpha) {
    if (!test::haveBmpReader()) GTEST_SKIP() << "no BMP reader in this build";
    test::TempDir dir;
    test::writeFile(dir / "o.bmp", test::bmp24(3, 2, [](int x, int y) {
                        return static_cast<std::uint32_t>(0x102030 + x + 16 * y);
                    }));
    // 2 x 1 top-down 32-bit TGA: one opaque pixel, one at alpha 64.
    test::Bytes tga;
    tga.u8(0).u8(0).u8(2).fill(9, 0).u16le(2).u16le(1).u8(32).u8(0x28);
    tga.u8(1).u8(2).u8(3).u8(255).u8(4).u8(5).u8(6).u8(64);
    test::writeFile(dir / "a.tga", tga.data);

    OverlaySettings s;
    s.mode = OverlayMode::ImageFile;
    s.imagePath = dir / "o.bmp";
    s.horizontalAnchor = s.verticalAnchor = 0;
    s.horizontalSpacing = s.verticalSpacing = 1;
    OverlayLayer layer;
    ASSERT_TRUE(Overlay::Prepare(s, layer));
    EXPECT_TRUE(layer.coverage.empty());
    image::Bitmap32 page;
    fill(page, 5, 4, 0);
    std::vector<std::uint8_t> alpha(20, 0);
    Overlay::Stamp(page, alpha.data(), layer, s);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
            EXPECT_EQ(alpha[y * 5 + x], inside ? 255 : 0) << x << "," << y;
            EXPECT_EQ(at(page, x, y)[0], inside ? 0x30 + (x - 1) + 16 * (y - 1) : 0);
        }

    s.imagePath = dir / "a.tga";
    ASSERT_TRUE(Overlay::Prepare(s, layer));
    EXPECT_EQ(layer.coverage, (std::vector<std::uint8_t>{255, 64}));

    s.imagePath = dir / "missing.png";
    EXPECT_FALSE(Overlay::Prepare(s, layer));
}

}  // namespace
}  // namespace kalder::tools
