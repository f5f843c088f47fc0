#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "image/format_table.h"
#include "image/image_document.h"
#include "image/image_reader.h"
#include "image/readers/reader_factory.h"
#include "support/test_support.h"

namespace kalder::test {
namespace {

using image::DecodeError;

// A small bitmap file: file header, information header, masks, colour table, pixel data.
struct BmpSpec {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint32_t bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    std::vector<std::uint32_t> masks;    // after a 40-byte header, or inside a larger one
    std::vector<std::uint8_t> pixels;
    std::uint32_t pixelOffset = 0;  // 0: right after the table
    std::uint32_t gap = 0;          // bytes between table and pixels
    std::int32_t pelsPerMeter = 2835;
};

std::vector<std::uint8_t> buildBmp(const BmpSpec& s) {
    Bytes info;
    info.u32le(s.headerSize);
    if (s.headerSize == 12) {
        info.u16le(s.width).u16le(s.height).u16le(1).u16le(s.bits);
    } else {
        info.u32le(s.width).u32le(static_cast<std::uint32_t>(s.height)).u16le(1).u16le(s.bits);
        info.u32le(s.compression).u32le(0).u32le(s.pelsPerMeter).u32le(s.pelsPerMeter);
        info.u32le(s.coloursUsed).u32le(0);
        if (s.headerSize > 40) {
            for (std::size_t i = 0; i < 4 && info.size() < s.headerSize; ++i)
                info.u32le(i < s.masks.size() ? s.masks[i] : 0);
            info.fill(s.headerSize - info.size(), 0);
        } else {
            for (std::uint32_t m : s.masks) info.u32le(m);
        }
    }
    for (std::uint32_t c : s.palette) {
        info.u8(c).u8(c >> 8).u8(c >> 16);
        if (s.headerSize != 12) info.u8(0);
    }
    info.fill(s.gap, 0xEE);
    const std::uint32_t offset =
        s.pixelOffset ? s.pixelOffset : 14 + static_cast<std::uint32_t>(info.size());
    Bytes file;
    file.str("BM").u32le(14 + info.size() + s.pixels.size()).u32le(0).u32le(offset);
    file.append(info.data).append(s.pixels);
    return file.data;
}

// Pixel rows of an uncompressed image of `bits` from palette indexes or 0xRRGGBB colours, in file
// order, each padded to four bytes.
std::vector<std::uint8_t> packRows(const std::vector<std::vector<std::uint32_t>>& rows,
                                   std::uint32_t bits) {
    std::vector<std::uint8_t> out;
    for (const auto& row : rows) {
        std::vector<std::uint8_t> bytes((row.size() * bits + 31) / 32 * 4, 0);
        for (std::size_t x = 0; x < row.size(); ++x) {
            const std::uint32_t v = row[x];
            if (bits <= 8) {
                const std::size_t bit = x * bits;
                bytes[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
            } else if (bits == 16) {
                bytes[x * 2] = v & 0xff;
                bytes[x * 2 + 1] = (v >> 8) & 0xff;
            } else {
                const std::size_t n = bits / 8;
                bytes[x * n] = v & 0xff;
                bytes[x * n + 1] = (v >> 8) & 0xff;
                bytes[x * n + 2] = (v >> 16) & 0xff;
                if (n == 4) bytes[x * n + 3] = (v >> 24) & 0xff;
            }
        }
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

std::vector<std::uint32_t> grayRamp(std::uint32_t n) {
    std::vector<std::uint32_t> p;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t g = n > 1 ? i * 255 / (n - 1) : 0;
        p.push_back((g << 16) | ((255 - g) << 8) | (i * 37 & 255));
    }
    return p;
}

struct Decoded {
    std::unique_ptr<image::ImageReader> reader;
    RgbImage image;  // top row first
    image::Status status;
};

// Decodes through the reader interface from memory, turning rows upright.
Decoded decodeBytes(const std::vector<std::uint8_t>& bytes) {
    Decoded d;
    d.reader = image::makeBmpReader();
    EXPECT_TRUE(d.reader->OpenMemory(bytes).ok());
    d.status = d.reader->ReadHeader();
    if (!d.status) return d;
    auto begun = d.reader->BeginDecode();
    if (!begun) {
        d.status = begun.error();
        return d;
    }
    const std::int32_t w = d.reader->Width(), h = d.reader->Height();
    d.image.width = w;
    d.image.height = h;
    d.image.rgb.assign(static_cast<std::size_t>(w) * h * 3, 0);
    for (std::int32_t i = 0; i < h; ++i) {
        const std::int32_t y = d.reader->IsBottomUp() ? h - 1 - i : i;
        d.status =
            d.reader->ReadRow(d.image.rgb.data() + static_cast<std::size_t>(y) * w * 3, false);
        if (!d.status) return d;
    }
    d.reader->EndDecode();
    return d;
}

std::array<std::uint8_t, 3> rgbOf(std::uint32_t c) {
    return {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
            static_cast<std::uint8_t>(c)};
}

void expectPixel(const RgbImage& img, int x, int y, std::uint32_t rgb) {
    const std::uint8_t* p = img.at(x, y);
    const auto want = rgbOf(rgb);
    EXPECT_EQ(p[0], want[0]) << "red at " << x << "," << y;
    EXPECT_EQ(p[1], want[1]) << "green at " << x << "," << y;
    EXPECT_EQ(p[2], want[2]) << "blue at " << x << "," << y;
}

// Compares the document's decode of a file with Pillow's when Pillow is installed.
void expectMatchesPillow(const std::filesystem::path& path) {
    auto ours = decodeWithKalder(path);
    ASSERT_TRUE(ours.has_value()) << path;
    auto theirs = decodeWithPillow(path);
    if (!theirs) return;
    EXPECT_EQ(maxChannelDifference(*ours, *theirs), 0) << path;
}

// ---- every depth, both row orders, odd widths ---------------------------------------------

struct DepthCase {
    std::uint32_t bits;
    std::int32_t width;
    bool topDown;
    std::uint32_t headerSize;
};

class BmpDepthTest : public ::testing::TestWithParam<DepthCase> {};

TEST_P(BmpDepthTest, DecodesEveryPixelUpright) {
    const DepthCase c = GetParam();
    const std::int32_t h = 3;
    BmpSpec s;
    s.headerSize = c.headerSize;
    s.width = c.width;
    s.height = c.topDown ? -h : h;
    s.bits = c.bits;
    if (c.bits <= 8) s.palette = grayRamp(1u << c.bits);
    // Expected colours, top row first, and the stored values.
    std::vector<std::vector<std::uint32_t>> stored(h), expected(h);
    for (std::int32_t y = 0; y < h; ++y) {
        for (std::int32_t x = 0; x < c.width; ++x) {
            const std::uint32_t k = static_cast<std::uint32_t>(x * 7 + y * 13);
            std::uint32_t value, colour;
            if (c.bits <= 8) {
                value = k % (1u << c.bits);
                colour = s.palette[value];
            } else if (c.bits == 16) {
                const std::uint32_t r = k % 32, g = (k * 3) % 32, b = (k * 5) % 32;
                value = (r << 10) | (g << 5) | b;
                colour = (r * 255 / 31) << 16 | (g * 255 / 31) << 8 | (b * 255 / 31);
            } else {
                value = (k * 0x010305u + 0x204060u) & 0xFFFFFF;
                if (c.bits == 32) value |= 0x80000000u;  // alpha is ignored by the bitmap reader
                colour = value & 0xFFFFFF;
            }
            stored[static_cast<std::size_t>(y)].push_back(value);
            expected[static_cast<std::size_t>(y)].push_back(colour);
        }
    }
    std::vector<std::vector<std::uint32_t>> fileRows = stored;
    if (!c.topDown) std::reverse(fileRows.begin(), fileRows.end());
    s.pixels = packRows(fileRows, c.bits);
    if (c.headerSize == 12) s.pelsPerMeter = 0;
    const auto bytes = buildBmp(s);

    Decoded d = decodeBytes(bytes);
    ASSERT_TRUE(d.status.ok());
    EXPECT_EQ(d.reader->BitsPerPixel(), c.bits <= 8 ? c.bits : 24u);
    EXPECT_EQ(d.reader->IsBottomUp(), !c.topDown);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < c.width; ++x)
            expectPixel(d.image, x, y,
                        expected[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);

    TempDir dir;
    writeFile(dir / "depth.bmp", bytes);
    auto doc = decodeWithKalder(dir / "depth.bmp");
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(maxChannelDifference(*doc, d.image), 0) << "document placement";
    if (c.bits != 2) expectMatchesPillow(dir / "depth.bmp");
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpDepthTest,
                         ::testing::Values(DepthCase{1, 13, false, 40}, DepthCase{1, 9, true, 40},
                                           DepthCase{2, 7, false, 40}, DepthCase{4, 5, false, 40},
                                           DepthCase{4, 6, true, 108}, DepthCase{8, 3, false, 124},
                                           DepthCase{8, 5, true, 40}, DepthCase{16, 3, false, 40},
                                           DepthCase{24, 5, false, 40}, DepthCase{24, 2, true, 124},
                                           DepthCase{32, 3, false, 40}, DepthCase{8, 7, false, 12},
                                           DepthCase{24, 3, false, 12}));

// ---- bit fields ------------------------------------------------------------------------------

struct FieldCase {
    const char* name;
    std::uint32_t bits;
    std::uint32_t headerSize;
    std::vector<std::uint32_t> masks;
    std::uint32_t value;
    std::uint32_t expected;
};

class BmpBitFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(BmpBitFieldTest, ScalesEachFieldToFullRange) {
    const FieldCase& c = GetParam();
    BmpSpec s;
    s.headerSize = c.headerSize;
    s.bits = c.bits;
    s.compression = 3;
    s.masks = c.masks;
    s.width = 2;
    s.pixels = packRows({{c.value, c.value}}, c.bits);
    Decoded d = decodeBytes(buildBmp(s));
    ASSERT_TRUE(d.status.ok()) << c.name;
    expectPixel(d.image, 1, 0, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, BmpBitFieldTest,
    ::testing::Values(
        FieldCase{"555_white", 16, 40, {0x7C00, 0x03E0, 0x001F}, 0x7FFF, 0xFFFFFF},
        FieldCase{
            "565_mixed", 16, 40, {0xF800, 0x07E0, 0x001F}, (31u << 11) | (32u << 5) | 1, 0xFF8108},
        FieldCase{"444_in_v4", 16, 108, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0x0F80, 0xFF8800},
        FieldCase{
            "32_bgr_swapped", 32, 40, {0x000000FF, 0x0000FF00, 0x00FF0000}, 0x00332211, 0x112233},
        FieldCase{"32_10bit",
                  32,
                  56,
                  {0x3FF00000, 0x000FFC00, 0x000003FF, 0},
                  (1023u << 20) | (512u << 10),
                  0xFF7F00},
        FieldCase{"zero_mask_is_black", 32, 40, {0, 0x0000FF00, 0x000000FF}, 0x00FFFFFF, 0x00FFFF}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- alpha the file declares -----------------------------------------------------------------

// A decode through the document with the alpha plane and, when blending, over `background`.
struct AlphaDecode {
    RgbImage image;
    std::vector<std::uint8_t> alpha;
};

std::optional<AlphaDecode> decodeWithAlpha(const std::filesystem::path& path, bool blend,
                                           image::ColorRef background) {
    image::ImageDocument doc;
    image::LoadOptions options;
    options.path = path;
    options.blendAlpha = blend;
    options.backgroundColour = background;
    options.extractAlpha = true;
    if (!doc.Open(options) || !doc.AddPage() || !doc.DecodePage()) return std::nullopt;
    return AlphaDecode{toRgb(doc.PageAt(0).bitmap), doc.PageAt(0).alphaPlane};
}

struct AlphaCase {
    const char* name;
    std::uint32_t headerSize, bits, compression;
    std::vector<std::uint32_t> masks;
    std::vector<std::uint32_t> pixels;  // one row, as stored
    std::vector<std::uint8_t> alpha;    // expected opacities; empty: opaque, no plane
};

class BmpAlphaTest : public ::testing::TestWithParam<AlphaCase> {};

TEST_P(BmpAlphaTest, DeclaredAlphaReachesPlaneAndBlend) {
    const AlphaCase& c = GetParam();
    BmpSpec s;
    s.headerSize = c.headerSize;
    s.bits = c.bits;
    s.compression = c.compression;
    s.masks = c.masks;
    s.width = static_cast<std::int32_t>(c.pixels.size());
    s.pixels = packRows({c.pixels}, c.bits);
    TempDir dir;
    writeFile(dir / "a.bmp", buildBmp(s));
    const image::ColorRef background = image::makeColorRef(0, 0, 255);
    auto plain = decodeWithAlpha(dir / "a.bmp", false, background);
    auto blended = decodeWithAlpha(dir / "a.bmp", true, background);
    ASSERT_TRUE(plain && blended);
    EXPECT_EQ(plain->alpha, c.alpha);
    for (int x = 0; x < s.width; ++x) {
        const int a = c.alpha.empty() ? 255 : c.alpha[static_cast<std::size_t>(x)];
        for (int k = 0; k < 3; ++k) {
            const int bg = k == 2 ? 255 : 0;
            const int want = (plain->image.at(x, 0)[k] * a + bg * (255 - a) + 127) / 255;
            EXPECT_NEAR(blended->image.at(x, 0)[k], want, 1) << "pixel " << x << " channel " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Masks, BmpAlphaTest,
    ::testing::Values(
        AlphaCase{"v5_fields_argb",
                  124,
                  32,
                  3,
                  {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
                  {0x80FF2010, 0xFF00FF00, 0x00FFFFFF},
                  {0x80, 0xFF, 0}},
        AlphaCase{"alpha_fields_after_info_header",
                  40,
                  32,
                  6,
                  {0xFF00, 0xFF0000, 0xFF000000, 0xFF},
                  {0x336699C0, 0x11223340},
                  {0xC0, 0x40}},
        AlphaCase{
            "v3_a1r5g5b5", 56, 16, 3, {0x7C00, 0x03E0, 0x001F, 0x8000}, {0xFC00, 0x03E0}, {255, 0}},
        AlphaCase{"v5_rgb_with_alpha_mask",
                  124,
                  32,
                  0,
                  {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
                  {0x40102030, 0xFF405060},
                  {0x40, 0xFF}},
        AlphaCase{"declared_but_all_zero_is_opaque",
                  124,
                  32,
                  3,
                  {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
                  {0x00102030, 0x00405060},
                  {}},
        AlphaCase{"plain_32_bit_ignores_fourth_byte", 40, 32, 0, {}, {0x80102030, 0x00405060}, {}},
        AlphaCase{"three_masks_ignore_fourth_byte",
                  40,
                  32,
                  3,
                  {0xFF0000, 0xFF00, 0xFF},
                  {0x80102030, 0x10405060},
                  {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- run-length data -----------------------------------------------------------------------

struct RleCase {
    const char* name;
    std::uint32_t bits;  // 8 or 4
    std::int32_t width;
    std::int32_t height;
    std::vector<std::uint8_t> data;
    std::vector<std::string>
        rows;  // expected palette indexes per file row (hex digits), bottom first
    bool pillowAgrees;
};

class BmpRleTest : public ::testing::TestWithParam<RleCase> {};

TEST_P(BmpRleTest, DecodesRuns) {
    const RleCase& c = GetParam();
    BmpSpec s;
    s.bits = c.bits;
    s.compression = c.bits == 8 ? 1 : 2;
    s.width = c.width;
    s.height = c.height;
    s.palette = grayRamp(16);
    s.pixels = c.data;
    const auto bytes = buildBmp(s);
    Decoded d = decodeBytes(bytes);
    ASSERT_TRUE(d.status.ok()) << c.name;
    ASSERT_EQ(static_cast<std::int32_t>(c.rows.size()), c.height);
    for (std::int32_t r = 0; r < c.height; ++r) {
        const std::int32_t y = c.height - 1 - r;
        for (std::int32_t x = 0; x < c.width; ++x) {
            const int index = std::stoi(std::string(1, c.rows[r][x]), nullptr, 16);
            expectPixel(d.image, x, y, s.palette[static_cast<std::size_t>(index)]);
        }
    }
    EXPECT_EQ(d.reader->Description(), "Windows Bitmap, compressed");
    if (c.pillowAgrees) {
        TempDir dir;
        writeFile(dir / "rle.bmp", bytes);
        expectMatchesPillow(dir / "rle.bmp");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, BmpRleTest,
    ::testing::Values(
        RleCase{
            "rle8_runs_eol", 8, 4, 2, {2, 1, 2, 2, 0, 0, 4, 3, 0, 0, 0, 1}, {"1122", "3333"}, true},
        RleCase{
            "rle8_absolute_odd_padding", 8, 5, 1, {0, 3, 5, 6, 7, 0, 2, 9, 0, 1}, {"56799"}, true},
        RleCase{"rle8_short_row_and_end",
                8,
                4,
                3,
                {1, 4, 0, 0, 2, 5, 0, 1},
                {"4000", "5500", "0000"},
                true},
        RleCase{"rle8_delta_right_and_down",
                8,
                4,
                3,
                {1, 7, 0, 2, 1, 1, 1, 8, 0, 0, 4, 9, 0, 1},
                {"7000", "0080", "9999"},
                false},
        RleCase{"rle8_overflow_dropped_until_eol",
                8,
                2,
                3,
                {2, 3, 2, 4, 0, 0, 1, 5, 0, 1},
                {"33", "50", "00"},
                true},
        RleCase{"rle8_run_cut_at_edge", 8, 3, 2, {5, 6, 0, 0, 3, 1, 0, 1}, {"666", "111"}, true},
        RleCase{"rle4_runs_alternate", 4, 5, 1, {5, 0x12, 0, 1}, {"12121"}, true},
        RleCase{"rle4_absolute_even", 4, 4, 1, {0, 4, 0xAB, 0xCD, 0, 1}, {"abcd"}, true},
        RleCase{"rle4_absolute_odd", 4, 5, 1, {0, 3, 0xAB, 0xC0, 2, 0xEE, 0, 1}, {"abcee"}, false},
        RleCase{
            "rle4_absolute_padded", 4, 6, 1, {0, 6, 0x12, 0x34, 0x56, 0, 0, 1}, {"123456"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- header rules --------------------------------------------------------------------------

TEST(BmpReader, PaletteHasColoursUsedEntries) {
    BmpSpec s;
    s.bits = 8;
    s.coloursUsed = 16;
    s.palette = grayRamp(16);
    s.width = 4;
    s.pixels = packRows({{0, 5, 10, 15}}, 8);
    Decoded d = decodeBytes(buildBmp(s));
    ASSERT_TRUE(d.status.ok());
    image::Palette p{};
    ASSERT_TRUE(d.reader->GetPalette(p));
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(p[i * 3], rgbOf(s.palette[i])[0]);
    for (std::size_t i = 48; i < 768; ++i) EXPECT_EQ(p[i], 0) << i;
    expectPixel(d.image, 3, 0, s.palette[15]);
}

TEST(BmpReader, DescriptionAndResolution) {
    BmpSpec s;
    s.pelsPerMeter = 3780;  // 96.01 dpi
    s.pixels = packRows({{0x123456}}, 24);
    Decoded d = decodeBytes(buildBmp(s));
    ASSERT_TRUE(d.status.ok());
    EXPECT_EQ(d.reader->Description(), "Windows Bitmap, uncompressed");
    EXPECT_EQ(d.reader->DpiX(), 96);
    EXPECT_EQ(d.reader->DpiY(), 96);
    image::Palette p{};
    p[0] = 7;
    EXPECT_TRUE(d.reader->GetPalette(p));
    EXPECT_EQ(p[0], 7) << "a true-colour file leaves the palette alone";
}

TEST(BmpReader, PixelOffsetPastTheTableIsHonoured) {
    BmpSpec s;
    s.bits = 8;
    s.palette = grayRamp(4);
    s.coloursUsed = 4;
    s.gap = 10;
    s.pixelOffset = 14 + 40 + 16 + 10;
    s.width = 2;
    s.pixels = packRows({{3, 1}}, 8);
    Decoded d = decodeBytes(buildBmp(s));
    ASSERT_TRUE(d.status.ok());
    expectPixel(d.image, 0, 0, s.palette[3]);
    // An offset beyond the file falls back to the data right after the table.
    s.gap = 0;
    s.pixelOffset = 100000;
    d = decodeBytes(buildBmp(s));
    ASSERT_TRUE(d.status.ok());
    expectPixel(d.image, 1, 0, s.palette[1]);
}

TEST(BmpReader, InflatedColourCountIsCutAtThePixelData) {
    BmpSpec s;
    s.bits = 8;
    s.coloursUsed = 0xFFFFFFF0u;
    s.palette = grayRamp(3);
    s.width = 3;
    s.pixels = packRows({{2, 1, 0}}, 8);
    Decoded d = decodeBytes(buildBmp(s));
    ASSERT_TRUE(d.status.ok());
    expectPixel(d.image, 0, 0, s.palette[2]);
    image::Palette p{};
    ASSERT_TRUE(d.reader->GetPalette(p));
    EXPECT_EQ(p[3 * 3], 0) << "only three entries fit before the pixels";
}

TEST(BmpReader, SkippedRowsKeepTheRowCountRight) {
    BmpSpec s;
    s.width = 2;
    s.height = 3;
    s.pixels = packRows({{1, 1}, {2, 2}, {0x0A0B0C, 3}}, 24);
    auto reader = image::makeBmpReader();
    const auto bytes = buildBmp(s);
    ASSERT_TRUE(reader->OpenMemory(bytes).ok());
    ASSERT_TRUE(reader->ReadHeader().ok());
    ASSERT_TRUE(reader->BeginDecode().ok());
    std::uint8_t row[6];
    ASSERT_TRUE(reader->ReadRow(row, true).ok());
    ASSERT_TRUE(reader->ReadRow(row, true).ok());
    ASSERT_TRUE(reader->ReadRow(row, false).ok());
    EXPECT_EQ(row[0], 0x0A);
    EXPECT_FALSE(reader->ReadRow(row, false).ok()) << "no fourth row";
}

struct HostileCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool headerFails;  // else decoding fails
};

std::vector<std::uint8_t> hostile(BmpSpec s, std::size_t cut = 0) {
    auto b = buildBmp(s);
    if (cut) b.resize(b.size() - cut);
    return b;
}

BmpSpec plain(std::int32_t w, std::int32_t h) {
    BmpSpec s;
    s.width = w;
    s.height = h;
    return s;
}

class BmpHostileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(BmpHostileTest, FailsCleanly) {
    const HostileCase& c = GetParam();
    Decoded d = decodeBytes(c.bytes);
    EXPECT_FALSE(d.status.ok()) << c.name;
    if (c.headerFails) {
        EXPECT_EQ(d.reader->Width() * d.reader->Height(), 0) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BmpHostileTest,
    ::testing::Values(HostileCase{"width_32768", hostile(plain(32768, 1)), true},
                      HostileCase{"height_minus_32768", hostile(plain(1, -32768)), true},
                      HostileCase{"height_int_min", hostile(plain(1, INT32_MIN)), true},
                      HostileCase{"negative_width", hostile(plain(-5, 1)), true},
                      HostileCase{"zero_width", hostile(plain(0, 1)), true},
                      HostileCase{"huge_colour_count",
                                  [] {
                                      BmpSpec s = plain(1, 1);
                                      s.coloursUsed = 0xFFFFFFF0u;
                                      s.pixelOffset =
                                          0xFFFFFFF0u;  // no offset to cut the table short
                                      return hostile(s);
                                  }(),
                                  true},
                      HostileCase{"bit_count_3",
                                  [] {
                                      BmpSpec s = plain(1, 1);
                                      s.bits = 3;
                                      return hostile(s);
                                  }(),
                                  true},
                      HostileCase{"compression_jpeg",
                                  [] {
                                      BmpSpec s = plain(1, 1);
                                      s.compression = 4;
                                      return hostile(s);
                                  }(),
                                  true},
                      HostileCase{"header_size_20",
                                  [] {
                                      BmpSpec s = plain(1, 1);
                                      s.headerSize = 20;
                                      return hostile(s);
                                  }(),
                                  true},
                      HostileCase{"header_only",
                                  [] {
                                      auto b = buildBmp(plain(1, 1));
                                      b.resize(30);
                                      return b;
                                  }(),
                                  true},
                      HostileCase{"truncated_pixels",
                                  [] {
                                      BmpSpec s = plain(300, 300);
                                      s.pixels.assign(300 * 900, 0x55);
                                      return hostile(s, 2000);
                                  }(),
                                  false},
                      HostileCase{"rle_stream_ends_early",
                                  [] {
                                      BmpSpec s = plain(300, 300);
                                      s.bits = 8;
                                      s.compression = 1;
                                      s.palette = grayRamp(2);
                                      s.pixels = {0, 3, 1, 1, 1};
                                      return hostile(s);
                                  }(),
                                  false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BmpReader, HugeRleImageFromTinyStreamDoesNotHang) {
    // End of bitmap at once: every row is palette entry 0, delivered without reading more.
    BmpSpec s = plain(32767, 40);
    s.bits = 8;
    s.compression = 1;
    s.palette = {0x102030};
    s.coloursUsed = 1;
    s.pixels = {0, 1};
    Decoded d = decodeBytes(buildBmp(s));
    ASSERT_TRUE(d.status.ok());
    expectPixel(d.image, 32766, 39, 0x102030);
}

// ---- the shared test images ----------------------------------------------------------------

struct ManifestEntry {
    std::string path, family, status;
};

std::vector<ManifestEntry> manifest(const std::set<std::string>& families) {
    std::vector<ManifestEntry> out;
    auto root = externalTestData();
    if (!root) return out;
    std::ifstream in(*root / "MANIFEST.tsv");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ManifestEntry e;
        std::getline(fields, e.path, '\t');
        std::getline(fields, e.family, '\t');
        std::getline(fields, e.status, '\t');
        if (families.count(e.family) && e.status != "reference") out.push_back(e);
    }
    return out;
}

// Valid files we refuse on purpose: OS/2 run-length 24-bit data (compression 4 is JPEG in
// Windows files, which we do not read either).
// A bare DIB without the "BM" file header is not recognised by content at all.
const std::set<std::string> kRefusedValid = {
    "image-rs/bmp/rgb24rle24.bmp", "imagemagick-perlmagick/input.dib", "pillow/bmp/clipboard.dib"};

// Run-length files where Pillow drifts: it consumes the two delta bytes twice, and reads odd
// absolute RLE4 runs one pixel short. These are checked against ImageMagick instead.
const std::set<std::string> kPillowDiffers = {
    "image-rs/bmp/pal4rletrns.bmp", "pillow/bmp/g/pal4rle.bmp", "pillow/bmp/q/pal4rletrns.bmp",
    "pillow/bmp/q/pal8rletrns.bmp"};

TEST(BmpReader, SharedTestImages) {
    auto root = externalTestData();
    if (!root) GTEST_SKIP() << "shared external test data not found";
    int compared = 0;
    for (const ManifestEntry& e : manifest({"BMP"})) {
        SCOPED_TRACE(e.path);
        const auto path = *root / e.path;
        auto ours = decodeWithKalder(path);  // must not crash, whatever the status
        if (e.status != "valid" && !kPillowDiffers.count(e.path)) continue;
        if (kRefusedValid.count(e.path)) {
            EXPECT_FALSE(ours.has_value());
            continue;
        }
        EXPECT_TRUE(ours.has_value());
        if (!ours) continue;
        if (kPillowDiffers.count(e.path)) {
            if (auto theirs = decodeWithImageMagick(path)) {
                EXPECT_EQ(maxChannelDifference(*ours, *theirs), 0) << "ImageMagick";
            }
            continue;
        }
        if (auto theirs = decodeWithPillow(path)) {
            EXPECT_EQ(maxChannelDifference(*ours, *theirs), 0);
            ++compared;
        }
    }
    if (havePillow()) {
        EXPECT_GT(compared, 30);
    }
}

TEST(BmpReader, SharedBitmaskImageShowsItsAlpha) {
    auto root = externalTestData();
    if (!root) GTEST_SKIP() << "shared external test data not found";
    const auto path = *root / "gdk-pixbuf/reftests/mandatory-bitmasks.bmp";
    auto ours = decodeWithAlpha(path, false, 0);
    auto ref = decodeWithAlpha(path.string() + ".ref.png", false, 0);
    ASSERT_TRUE(ours && ref);
    ASSERT_EQ(ours->alpha.size(), ref->alpha.size());
    EXPECT_EQ(ours->alpha, ref->alpha);
    EXPECT_TRUE(std::any_of(ours->alpha.begin(), ours->alpha.end(),
                            [](std::uint8_t a) { return a != 255; }));
    // Colours count where they are visible.
    int worst = 0;
    for (int y = 0; y < ours->image.height; ++y)
        for (int x = 0; x < ours->image.width; ++x) {
            if (ref->alpha[static_cast<std::size_t>(y) * ref->image.width + x] == 0) continue;
            for (int k = 0; k < 3; ++k)
                worst = std::max(worst, std::abs(ours->image.at(x, y)[k] - ref->image.at(x, y)[k]));
        }
    EXPECT_EQ(worst, 0);
}

}  // namespace
}  // namespace kalder::test
