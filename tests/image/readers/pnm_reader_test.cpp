#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/format_table.h"
#include "image/image_document.h"
#include "image/image_reader.h"
#include "support/test_support.h"

using namespace kalder::image;
using kalder::test::Bytes;
using kalder::test::RgbImage;
using kalder::test::TempDir;
using kalder::test::writeFile;

namespace {

struct PnmVariant {
    std::string name;
    int kind;  // the digit after P
    std::uint32_t maxValue;
    int width;
};

std::uint32_t sampleAt(int x, int y, int c, std::uint32_t maxValue) {
    // Includes 9, 10, 13 and 32 early on: blank characters that are ordinary data in binary files.
    static const std::uint32_t first[] = {10, 32, 9, 13};
    if (y == 0 && x < 4 && c == 0) return first[x] % (maxValue + 1);
    return (static_cast<std::uint32_t>(x) * 7919u + y * 104729u + c * 31u) % (maxValue + 1);
}

std::vector<std::uint8_t> encodePnm(const PnmVariant& v, int h, RgbImage* expected) {
    const int w = v.width;
    const bool bits = v.kind == 1 || v.kind == 4;
    const int channels = (v.kind == 3 || v.kind == 6) ? 3 : 1;
    const std::uint32_t maxValue = bits ? 1 : v.maxValue;
    std::string head = "P" + std::to_string(v.kind) + "\n# made for a test\n" + std::to_string(w) +
                       " " + std::to_string(h) + "\n";
    if (!bits) head += std::to_string(maxValue) + "\n";
    Bytes b;
    b.str(head);
    *expected = RgbImage{w, h, {}};
    for (int y = 0; y < h; ++y) {
        std::vector<std::uint8_t> packed((w + 7) / 8, 0);
        for (int x = 0; x < w; ++x) {
            std::uint8_t rgb[3];
            for (int c = 0; c < channels; ++c) {
                const std::uint32_t s = sampleAt(x, y, c, maxValue);
                if (v.kind == 1)
                    b.str(s ? "1" : "0").str(x % 5 == 4 ? " " : "");
                else if (v.kind == 4)
                    packed[x / 8] |= static_cast<std::uint8_t>(s << (7 - x % 8));
                else if (v.kind <= 3)
                    b.str(std::to_string(s) + (c + 1 < channels || x + 1 < w ? " " : "\n"));
                else if (maxValue > 255)
                    b.u16be(s);
                else
                    b.u8(s);
                rgb[c] = bits ? (s ? 0 : 255) : static_cast<std::uint8_t>(s * 255 / maxValue);
            }
            if (channels == 1) rgb[1] = rgb[2] = rgb[0];
            expected->rgb.insert(expected->rgb.end(), rgb, rgb + 3);
        }
        if (v.kind == 4) b.append(packed);
        if (v.kind == 1) b.str("\n");
    }
    return b.data;
}

class PnmVariants : public testing::TestWithParam<PnmVariant> {};

TEST_P(PnmVariants, DecodesExactlyAndAgreesWithOracle) {
    const PnmVariant& v = GetParam();
    RgbImage expected;
    TempDir dir;
    const auto path = dir / (v.name + ".pnm");
    writeFile(path, encodePnm(v, 6, &expected));
    auto ours = kalder::test::decodeWithKalder(path);
    ASSERT_TRUE(ours);
    EXPECT_EQ(kalder::test::maxChannelDifference(*ours, expected), 0);
    if (auto oracle = kalder::test::decodeWithImageMagick(path)) {
        EXPECT_EQ(kalder::test::maxChannelDifference(*ours, *oracle), 0) << "ImageMagick";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pnm, PnmVariants,
    testing::Values(PnmVariant{"p1", 1, 1, 13}, PnmVariant{"p2", 2, 255, 9},
                    PnmVariant{"p2_max15", 2, 15, 9}, PnmVariant{"p2_max100", 2, 100, 9},
                    PnmVariant{"p2_16bit", 2, 65535, 9}, PnmVariant{"p3", 3, 255, 7},
                    PnmVariant{"p3_max1000", 3, 1000, 7}, PnmVariant{"p4", 4, 1, 13},
                    PnmVariant{"p4_whole_bytes", 4, 1, 16}, PnmVariant{"p5", 5, 255, 9},
                    PnmVariant{"p5_max15", 5, 15, 9}, PnmVariant{"p5_16bit", 5, 65535, 9},
                    PnmVariant{"p6", 6, 255, 7}, PnmVariant{"p6_max100", 6, 100, 7},
                    PnmVariant{"p6_16bit", 6, 65535, 7}),
    [](const testing::TestParamInfo<PnmVariant>& info) { return info.param.name; });

std::optional<RgbImage> decodeBytes(const std::string& text,
                                    std::vector<std::string>* comments = nullptr) {
    TempDir dir;
    writeFile(dir / "x.pnm", std::vector<std::uint8_t>(text.begin(), text.end()));
    ImageDocument doc;
    LoadOptions options;
    options.path = dir / "x.pnm";
    options.comments = comments;
    if (!doc.Open(options) || !doc.AddPage() || !doc.DecodePage()) return std::nullopt;
    return kalder::test::toRgb(doc.PageAt(0).bitmap);
}

std::vector<std::uint8_t> grays(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) out.insert(out.end(), 3, static_cast<std::uint8_t>(v));
    return out;
}

TEST(PnmReader, TextForms) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::uint8_t> rgb;
    };
    const Case cases[] = {
        {"P1 digits without blanks", "P1 4 1\n0110", grays({255, 0, 0, 255})},
        {"P1 with comments between samples", "P1\n2 2\n1#x\n0 0\n1", grays({0, 255, 255, 0})},
        {"P2 long sample clamped", "P2 2 1 100\n1234567 50\n", grays({255, 127})},
        {"P2 without final line end", "P2 2 1 3\n0 3", grays({0, 255})},
        {"P3 with comment in header", "P3 1 1 # the maximum\n255 1 2 3", {1, 2, 3}},
        {"P5 max 15 scales the first sample too", "P5 3 1 15\n\x0f\x01\x0a", grays({255, 17, 170})},
    };
    for (const Case& c : cases) {
        auto img = decodeBytes(c.text);
        ASSERT_TRUE(img) << c.name;
        EXPECT_EQ(img->rgb, c.rgb) << c.name;
    }
}

TEST(PnmReader, CommentsAreCollected) {
    std::vector<std::string> comments;
    ASSERT_TRUE(decodeBytes("P2\n#   first one\n# \n2 1 # second\r\n255\n1 2\n", &comments));
    EXPECT_EQ(comments, (std::vector<std::string>{"first one", "second"}));
}

TEST(PnmReader, RefusalsAndHostileInput) {
    struct Case {
        const char* name;
        std::string text;
        DecodeError error;
    };
    const Case cases[] = {
        {"maximum value 0", "P5 1 1 0\n\x00", DecodeError::Corrupt},
        {"maximum value above 16 bits", "P2 1 1 65536\n1", DecodeError::Unsupported},
        {"zero width", "P6 0 1 255\n", DecodeError::Corrupt},
        {"too wide", "P4 32768 1\n", DecodeError::TooLarge},
        {"P7 is not read", "P7 1 1 255\n", DecodeError::BadSignature},
        {"letters in the header", "P2 a 1 255\n", DecodeError::Corrupt},
        {"header cut short", "P3 2", DecodeError::Truncated},
        {"binary data cut short", "P6 4 4 255\n\x01\x02", DecodeError::Truncated},
        {"text data cut short", "P3 2 1 255\n1 2 3 4", DecodeError::Truncated},
        {"garbage among text samples", "P2 2 1 255\n1 x\n", DecodeError::Corrupt},
        {"P1 with other digits", "P1 2 1\n0 2\n", DecodeError::Corrupt},
    };
    for (const Case& c : cases) {
        auto reader = createReaderForCode(FormatCode::Pnm);
        const std::vector<std::uint8_t> bytes(c.text.begin(), c.text.end());
        ASSERT_TRUE(reader->OpenMemory(bytes));
        Status s = reader->ReadHeader();
        if (s) {
            auto begun = reader->BeginDecode();
            s = begun;
            std::vector<std::uint8_t> row(static_cast<std::size_t>(reader->Width()) * 3);
            for (int y = 0; s && y < reader->Height(); ++y) s = reader->ReadRow(row.data(), false);
        }
        ASSERT_FALSE(s) << c.name;
        EXPECT_EQ(s.error(), c.error) << c.name;
    }
}

TEST(PnmReader, SkippedBinaryRowsKeepTheRowsInStep) {
    RgbImage expected;
    for (int kind : {4, 5, 6}) {
        const auto bytes = encodePnm({"x", kind, kind == 5 ? 65535u : 255u, 11}, 5, &expected);
        auto reader = createReaderForCode(FormatCode::Pnm);
        ASSERT_TRUE(reader->OpenMemory(bytes));
        ASSERT_TRUE(reader->ReadHeader());
        ASSERT_TRUE(reader->BeginDecode());
        std::vector<std::uint8_t> row(33);
        for (int y = 0; y < 4; ++y) ASSERT_TRUE(reader->ReadRow(row.data(), true));
        ASSERT_TRUE(reader->ReadRow(row.data(), false));
        EXPECT_TRUE(std::equal(row.begin(), row.end(), expected.at(0, 4))) << kind;
        EXPECT_EQ(reader->Description(), "Portable Bitmap");
        EXPECT_TRUE(reader->GetIsGray() == (kind != 6));
    }
}

TEST(PnmReader, ExternalFiles) {
    auto root = kalder::test::externalTestData();
    if (!root) GTEST_SKIP() << "shared external test data not found";
    int valid = 0;
    for (const auto& [path, family, status] : kalder::test::manifestEntries("PNM")) {
        const auto file = *root / path;
        auto ours = kalder::test::decodeWithKalder(file);
        if (status == "malformed") {
            // Some of these break only a rule that common decoders do not enforce (a comment
            // straight after the maximum value); reading those is fine if ImageMagick agrees.
            if (!ours) continue;
            auto reference = kalder::test::decodeWithImageMagick(file);
            if (!reference) continue;  // its output may carry the comment, which the parser refuses
            EXPECT_EQ(kalder::test::maxChannelDifference(*ours, *reference), 0) << path;
            continue;
        }
        if (status != "valid") continue;
        ++valid;
        ASSERT_TRUE(ours) << path;
        if (auto reference = kalder::test::decodeWithImageMagick(file)) {
            EXPECT_EQ(kalder::test::maxChannelDifference(*ours, *reference), 0) << path;
        }
    }
    EXPECT_GT(valid, 15);
}

}  // namespace
