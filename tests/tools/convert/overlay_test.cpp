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
    for (const auto background : {TextBackground::None, TextBackground::Box}) {
        OverlaySettings s = textSettings(background);
        s.boxOpacity = 100;
        s.boxColor = 0x000000FF;
        OverlayLayer layer;
        ASSERT_TRUE(Overlay::Prepare(s, layer));
        image::Bitmap32 page;
        fill(page, 300, 120, 0);
        Overlay::Stamp(page, nullptr, layer, s);
        const image::PixelRect r = changed(page);
        if (background == TextBackground::Box) {
            // The opaque box covers the layer exactly.
            EXPECT_EQ(r, (image::PixelRect{300 - 10 - layer.width, 120 - 10 - layer.height,
                                           300 - 11, 120 - 11}));
            EXPECT_TRUE(std::all_of(layer.backgroundCoverage.begin(),
                                    layer.backgroundCoverage.end(),
                                    [](std::uint8_t c) { return c == 255; }));
        } else {
            // Ink stays inside the layer, whose edges are the logical text extents.
            EXPECT_LE(r.right, 300 - 11);
            EXPECT_LE(r.bottom, 120 - 11);
            EXPECT_GE(r.right, 300 - 11 - 6);
            EXPECT_GE(r.bottom, 120 - 11 - 10);  // "g" and "j" reach into the descent
        }
        EXPECT_GT(r.right - r.left, 60);
    }
}

TEST(Overlay, TextBackgrounds) {
    OverlayLayer plain, box, shadow;
    ASSERT_TRUE(Overlay::Prepare(textSettings(TextBackground::None), plain));
    OverlaySettings s = textSettings(TextBackground::Box);
    s.boxMargin = 4;
    ASSERT_TRUE(Overlay::Prepare(s, box));
    EXPECT_EQ(box.width, plain.width + 8);
    EXPECT_EQ(box.height, plain.height + 8);
    EXPECT_TRUE(plain.backgroundCoverage.empty());
    EXPECT_TRUE(std::all_of(box.backgroundCoverage.begin(), box.backgroundCoverage.end(),
                            [](std::uint8_t c) { return c == 127; }));  // 50 %

    s = textSettings(TextBackground::Shadow);
    s.shadowOffset = 3;
    s.textColor = 0x00336699;
    ASSERT_TRUE(Overlay::Prepare(s, shadow));
    ASSERT_EQ(shadow.width, plain.width + 3);
    EXPECT_EQ(shadow.backgroundColor, 0u);
    EXPECT_EQ(std::vector(at(shadow.pixels, 1, 1), at(shadow.pixels, 1, 1) + 3),
              (std::vector<std::uint8_t>{0x33, 0x66, 0x99}));
    std::int64_t inked = 0;
    for (std::int32_t y = 0; y + 3 < shadow.height; ++y)
        for (std::int32_t x = 0; x + 3 < shadow.width; ++x) {
            const std::uint8_t c = shadow.coverage[y * shadow.width + x];
            inked += c;
            ASSERT_EQ(shadow.backgroundCoverage[(y + 3) * shadow.width + x + 3], c);
        }
    EXPECT_GT(inked, 0);
}

TEST(Overlay, TextThatCannotBeRenderedFails) {
    for (const double size : {0.0, -3.0, 1e9, std::nan("")}) {
        OverlaySettings s = textSettings(TextBackground::None);
        s.font.pointSize = size;
        OverlayLayer layer;
        EXPECT_FALSE(Overlay::Prepare(s, layer)) << size;
    }
    OverlaySettings s = textSettings(TextBackground::None);
    OverlayLayer layer;
    for (const std::size_t length : {200000, 2000}) {  // too long, and past the layer's size
        s.text = std::string(length, 'W');
        EXPECT_FALSE(Overlay::Prepare(s, layer)) << length;
    }
    s.font.pointSize = 3000;  // past what the layout can measure
    s.text = std::string(300, '\t');
    EXPECT_FALSE(Overlay::Prepare(s, layer));
    s.font.pointSize = 18;
    s.text = std::string("bad \xff\xfe utf\0-8", 15);  // replaced, not refused
    EXPECT_TRUE(Overlay::Prepare(s, layer));
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
