// Utah RLE reader: files assembled here from the operation codes, checked against the pixels we
// meant and an independent decoder; hostile operands; the shared sample files.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "image/format_table.h"
#include "image/image_reader.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

using test::Bytes;
using test::RgbImage;

struct RleShape {
    int colours = 3;
    bool background = true;
    int mapChannels = 0;
    bool comment = false;
    bool longOperands = false;
    bool clearFirst = true;  // paint the background before each line
};

constexpr int kW = 12;
constexpr int kH = 5;

// Channel c of pixel (x, y), y counted from the bottom as the file stores rows.
std::uint8_t valueAt(int x, int y, int c) {
    if (x < 3) return static_cast<std::uint8_t>(40 + 10 * y + c);  // a run
    return static_cast<std::uint8_t>((x * 29 + y * 71 + c * 101) & 0xff);
}

void op(Bytes& b, int code, std::uint32_t operand, bool forceLong) {
    if (forceLong || operand > 255) {
        b.u8(code | 0x40).u8(0).u16le(operand);
    } else {
        b.u8(code).u8(operand);
    }
}

// Rows y = 0 and y = 3 are left out (skipped lines); in row 2 pixels 5 ... 6 are skipped.
std::vector<std::uint8_t> makeRle(const RleShape& s) {
    Bytes b;
    int flags = 0;
    if (!s.background) flags |= 0x02;
    if (s.comment) flags |= 0x08;
    if (s.clearFirst) flags |= 0x01;
    b.u16le(0xcc52).u16le(10).u16le(20).u16le(kW).u16le(kH);
    b.u8(flags).u8(s.colours).u8(8).u8(s.mapChannels).u8(8);
    if (s.background) {
        for (int c = 0; c < s.colours; ++c) b.u8(7 + c);
        if (s.colours % 2 == 0) b.u8(0);
    } else {
        b.u8(0);
    }
    for (int c = 0; c < s.mapChannels; ++c)
        for (int i = 0; i < 256; ++i) b.u16le(((255 - i) ^ (c * 40)) << 8 | 0x12);
    if (s.comment) b.u16le(5).str("a=bcd").u8(0);
    op(b, 1, 1, s.longOperands);  // row 0 left to the background
    for (int y = 1; y < kH; ++y) {
        if (y == 3) {
            op(b, 1, 1, s.longOperands);
            continue;
        }
        for (int c = 0; c < s.colours; ++c) {
            op(b, 2, c, false);
            op(b, 6, 2, s.longOperands);  // three pixels
            b.u16le(valueAt(0, y, c));
            int x = 3;
            if (y == 2) {
                op(b, 5, 1, s.longOperands);  // two pixels, no padding
                b.u8(valueAt(3, y, c)).u8(valueAt(4, y, c));
                op(b, 3, 2, s.longOperands);
                x = 7;
            }
            op(b, 5, kW - x - 1, s.longOperands);
            for (int i = x; i < kW; ++i) b.u8(valueAt(i, y, c));
            if ((kW - x) & 1) b.u8(0);
        }
        op(b, 1, 1, s.longOperands);
    }
    b.u8(7).u8(0);
    return b.data;
}

RgbImage expected(const RleShape& s) {
    RgbImage img;
    img.width = kW;
    img.height = kH;
    img.rgb.resize(kW * kH * 3);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            std::uint8_t* p = img.rgb.data() + ((kH - 1 - y) * kW + x) * 3;
            const bool drawn = y != 0 && y != 3 && !(y == 2 && (x == 5 || x == 6));
            for (int k = 0; k < 3; ++k) {
                const int c = s.colours >= 3 ? k : 0;
                std::uint8_t v = drawn                          ? valueAt(x, y, c)
                                 : s.background && s.clearFirst ? 7 + c
                                                                : 0;
                if (s.mapChannels) {
                    const int m = s.mapChannels == 3 ? k : 0;
                    v = static_cast<std::uint8_t>((255 - v) ^ (m * 40));
                }
                p[k] = v;
            }
        }
    }
    return img;
}

class RleVariant : public ::testing::TestWithParam<RleShape> {};

TEST_P(RleVariant, MatchesWrittenPixelsAndOracle) {
    const RleShape s = GetParam();
    test::TempDir dir;
    const auto path = dir / "v.rle";
    test::writeFile(path, makeRle(s));
    auto ours = test::decodeWithKalder(path);
    ASSERT_TRUE(ours);
    EXPECT_EQ(test::maxChannelDifference(*ours, expected(s)), 0);
    if (auto oracle = test::decodeWithImageMagick(path)) {
        EXPECT_EQ(test::maxChannelDifference(*ours, *oracle), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(All, RleVariant,
                         ::testing::Values(RleShape{3, true, 0}, RleShape{3, false, 0},
                                           RleShape{1, true, 0}, RleShape{1, false, 0, true},
                                           RleShape{3, true, 3, true}, RleShape{1, true, 3},
                                           RleShape{3, true, 1}, RleShape{3, true, 0, false, true},
                                           RleShape{3, true, 0, false, false, false},
                                           RleShape{2, true, 0}));

struct Reader {
    std::unique_ptr<std::vector<std::uint8_t>> bytes;
    std::unique_ptr<ImageReader> reader;
    Status status;
};

Reader open(std::vector<std::uint8_t> bytes, bool decode) {
    Reader r{std::make_unique<std::vector<std::uint8_t>>(std::move(bytes)),
             createReaderForCode(FormatCode::UtahRle),
             {}};
    r.status = r.reader->OpenMemory(*r.bytes);
    if (r.status) r.status = r.reader->ReadHeader();
    if (r.status && decode) {
        auto begun = r.reader->BeginDecode();
        r.status = begun;
        std::vector<std::uint8_t> row(static_cast<std::size_t>(r.reader->Width()) * 3);
        for (int y = 0; r.status && y < r.reader->Height(); ++y)
            r.status = r.reader->ReadRow(row.data(), false);
    }
    return r;
}

TEST(UtahRleReader, HeaderFacts) {
    auto rgb = open(makeRle({3, true, 0}), false);
    ASSERT_TRUE(rgb.status);
    EXPECT_EQ(rgb.reader->Description(), "Utah RLE");
    EXPECT_EQ(rgb.reader->Width(), kW);
    EXPECT_EQ(rgb.reader->BitsPerPixel(), 24u);
    EXPECT_TRUE(rgb.reader->IsBottomUp());
    auto gray = open(makeRle({1, true, 0}), false);
    EXPECT_EQ(gray.reader->BitsPerPixel(), 8u);
    EXPECT_TRUE(gray.reader->GetIsGray());
    auto mapped = open(makeRle({1, true, 3}), false);
    Palette palette{};
    ASSERT_TRUE(mapped.reader->GetPalette(palette));
    EXPECT_EQ(palette[0], 255);
    EXPECT_EQ(palette[1], 255 ^ 40);
}

TEST(UtahRleReader, RefusesAndSurvivesHostileInput) {
    const auto good = makeRle({3, true, 0});
    struct Row {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> mutate;
    } refused[] = {
        {"bad magic", [](auto& b) { b[1] = 0xcd; }},
        {"no colours", [](auto& b) { b[11] = 0; }},
        {"16-bit pixels", [](auto& b) { b[12] = 16; }},
        {"two map channels", [](auto& b) { b[13] = 2; }},
        {"zero width", [](auto& b) { b[6] = b[7] = 0; }},
        {"huge colour map",
         [](auto& b) {
             b[13] = 3;
             b[14] = 16;
         }},
        {"unknown operation", [](auto& b) { b[18] = 0x3f; }},
        {"cut in the middle", [](auto& b) { b.resize(b.size() / 2); }},
    };
    for (const auto& r : refused) {
        auto bytes = good;
        r.mutate(bytes);
        EXPECT_FALSE(open(std::move(bytes), true).status) << r.name;
    }
    // Operands far beyond the row or the image are dropped, not written.
    Bytes b;
    b.u16le(0xcc52).u16le(0).u16le(0).u16le(4).u16le(3).u8(2).u8(1).u8(8).u8(0).u8(0).u8(0);
    b.u8(2).u8(0);                               // channel 0
    b.u8(6 | 0x40).u8(0).u16le(60000).u16le(9);  // a run of 60001
    b.u8(3 | 0x40).u8(0).u16le(65535);           // skip far right
    b.u8(5).u8(3).u8(1).u8(2).u8(3).u8(4);       // bytes past the row
    b.u8(2).u8(200);                             // a channel we do not show
    b.u8(5).u8(0).u8(9).u8(0);
    b.u8(1 | 0x40).u8(0).u16le(65535);  // skip past the image
    auto hostile = open(b.data, true);
    EXPECT_TRUE(hostile.status);
}

TEST(UtahRleReader, SharedSampleFiles) {
    auto root = test::externalTestData();
    if (!root) GTEST_SKIP() << "shared test images not found beside the checkout";
    int seen = 0;
    for (const auto& [path, family, status] : kalder::test::manifestEntries("RLE")) {
        ++seen;
        auto ours = test::decodeWithKalder(*root / path);
        if (status != "valid") continue;
        ASSERT_TRUE(ours) << path;
        if (auto oracle = test::decodeWithImageMagick(*root / path)) {
            EXPECT_EQ(test::maxChannelDifference(*ours, *oracle), 0) << path;
        }
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
}  // namespace kalder::image
