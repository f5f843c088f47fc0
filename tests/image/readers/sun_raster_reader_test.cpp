#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/format_table.h"
#include "image/image_reader.h"
#include "support/test_support.h"

using namespace kalder::image;
using kalder::test::Bytes;
using kalder::test::RgbImage;
using kalder::test::TempDir;
using kalder::test::writeFile;

namespace {

struct SunVariant {
    std::string name;
    int depth;
    int type;        // 1 standard, 2 byte-encoded, 3 red-green-blue order
    int mapEntries;  // 0: no colour map
};

std::vector<std::uint8_t> mapColour(int i) {
    return {static_cast<std::uint8_t>(i * 5 + 1), static_cast<std::uint8_t>(255 - i),
            static_cast<std::uint8_t>(i * 11)};
}

// Byte-encoded runs over the whole stream, so they cross rows; 80 hex is always escaped.
std::vector<std::uint8_t> byteEncode(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    while (i < data.size()) {
        std::size_t run = 1;
        while (i + run < data.size() && run < 256 && data[i + run] == data[i]) ++run;
        if (run >= 3 || data[i] == 0x80) {
            if (run == 1) {
                out.insert(out.end(), {0x80, 0x00});
            } else {
                out.insert(out.end(), {0x80, static_cast<std::uint8_t>(run - 1), data[i]});
            }
            i += run;
        } else {
            out.push_back(data[i++]);
        }
    }
    return out;
}

std::vector<std::uint8_t> encodeSun(int w, int h, const SunVariant& v, RgbImage* expected) {
    const int rowBytes = (w * v.depth + 15) / 16 * 2;
    std::vector<std::uint8_t> data;
    *expected = RgbImage{w, h, {}};
    for (int y = 0; y < h; ++y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes), 0);
        for (int x = 0; x < w; ++x) {
            // Long flat stretches for runs, and the escape byte as a value.
            const int k = x < w / 2 ? 0x80 : (x * 37 + y * 3) & 0xff;
            if (v.depth == 24) {
                const std::uint8_t r = k, g = k ^ 0x55, b = 255 - k;
                if (v.type == 3)
                    row[x * 3] = r, row[x * 3 + 1] = g, row[x * 3 + 2] = b;
                else
                    row[x * 3] = b, row[x * 3 + 1] = g, row[x * 3 + 2] = r;
                expected->rgb.insert(expected->rgb.end(), {r, g, b});
            } else if (v.depth == 8) {
                const int index = v.mapEntries ? k % v.mapEntries : k;
                row[x] = static_cast<std::uint8_t>(index);
                const auto c = v.mapEntries
                                   ? mapColour(index)
                                   : std::vector<std::uint8_t>(3, static_cast<std::uint8_t>(index));
                expected->rgb.insert(expected->rgb.end(), c.begin(), c.end());
            } else {
                const int bit = (k >> 2) & 1;
                row[x / 8] |= static_cast<std::uint8_t>(bit << (7 - x % 8));
                const std::uint8_t g = bit ? 0 : 255;  // a set bit is black
                expected->rgb.insert(expected->rgb.end(), {g, g, g});
            }
        }
        data.insert(data.end(), row.begin(), row.end());
    }
    if (v.type == 2) data = byteEncode(data);
    Bytes b;
    b.u32be(0x59A66A95).u32be(w).u32be(h).u32be(v.depth).u32be(data.size()).u32be(v.type);
    b.u32be(v.mapEntries ? 1 : 0).u32be(v.mapEntries * 3);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < v.mapEntries; ++i) b.u8(mapColour(i)[c]);
    b.append(data);
    return b.data;
}

class SunVariants : public testing::TestWithParam<SunVariant> {};

TEST_P(SunVariants, DecodesExactlyAndAgreesWithOracle) {
    const SunVariant& v = GetParam();
    RgbImage expected;
    TempDir dir;
    const auto path = dir / (v.name + ".ras");
    writeFile(path, encodeSun(23, 5, v, &expected));
    auto ours = kalder::test::decodeWithKalder(path);
    ASSERT_TRUE(ours);
    EXPECT_EQ(kalder::test::maxChannelDifference(*ours, expected), 0);
    // ImageMagick drops the last pixels of byte-encoded files and takes their 24-bit pixels
    // as red, green, blue; it is asked about the same picture stored without encoding.
    auto plain = v;
    if (plain.type == 2) plain.type = 1;
    writeFile(dir / "plain.ras", encodeSun(23, 5, plain, &expected));
    if (auto oracle = kalder::test::decodeWithImageMagick(dir / "plain.ras")) {
        EXPECT_EQ(kalder::test::maxChannelDifference(*ours, *oracle), 0) << "ImageMagick";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sun, SunVariants,
    testing::Values(SunVariant{"mono", 1, 1, 0}, SunVariant{"mono_encoded", 1, 2, 0},
                    SunVariant{"map256", 8, 1, 256}, SunVariant{"map16", 8, 1, 16},
                    SunVariant{"map256_encoded", 8, 2, 256}, SunVariant{"gray", 8, 1, 0},
                    SunVariant{"bgr", 24, 1, 0}, SunVariant{"bgr_encoded", 24, 2, 0},
                    SunVariant{"rgb_order", 24, 3, 0}),
    [](const testing::TestParamInfo<SunVariant>& info) { return info.param.name; });

Bytes sunHeader(std::uint32_t w, std::uint32_t h, std::uint32_t depth, std::uint32_t type,
                std::uint32_t mapType, std::uint32_t mapLength) {
    Bytes b;
    b.u32be(0x59A66A95).u32be(w).u32be(h).u32be(depth).u32be(0).u32be(type);
    return b.u32be(mapType).u32be(mapLength);
}

Status decodeAll(const std::vector<std::uint8_t>& bytes) {
    auto reader = createReaderForCode(FormatCode::SunRaster);
    KALDER_TRY(reader->OpenMemory(bytes));
    KALDER_TRY(reader->ReadHeader());
    KALDER_TRY(reader->BeginDecode());
    std::vector<std::uint8_t> row(static_cast<std::size_t>(reader->Width()) * 3);
    for (int y = 0; y < reader->Height(); ++y) KALDER_TRY(reader->ReadRow(row.data(), y % 3 == 1));
    return {};
}

TEST(SunRasterReader, RefusalsAndHostileInput) {
    struct Case {
        const char* name;
        Bytes bytes;
        DecodeError error;
    };
    const Case cases[] = {
        {"32-bit", sunHeader(1, 1, 32, 1, 0, 0).fill(4, 0), DecodeError::Unsupported},
        {"type 4", sunHeader(1, 1, 8, 4, 0, 0).fill(2, 0), DecodeError::Unsupported},
        {"raw colour map", sunHeader(1, 1, 8, 1, 2, 3).fill(5, 0), DecodeError::Unsupported},
        {"map not in thirds", sunHeader(1, 1, 8, 1, 1, 10).fill(12, 0), DecodeError::Corrupt},
        {"map too long", sunHeader(1, 1, 8, 1, 1, 771).fill(773, 0), DecodeError::Corrupt},
        {"zero height", sunHeader(4, 0, 8, 1, 0, 0), DecodeError::Corrupt},
        {"huge width", sunHeader(0x80000000u, 1, 8, 1, 0, 0), DecodeError::Corrupt},
        {"map cut short", sunHeader(1, 1, 8, 1, 1, 768).fill(100, 0), DecodeError::Truncated},
        {"rows cut short", sunHeader(40, 40, 24, 1, 0, 0).fill(500, 0), DecodeError::Truncated},
        {"run past the end of the file", sunHeader(40, 40, 8, 2, 0, 0).u8(0x80).u8(0xff).u8(1),
         DecodeError::Truncated},
        {"escape at the end of the file", sunHeader(4, 1, 8, 2, 0, 0).u8(1).u8(0x80),
         DecodeError::Truncated},
    };
    for (const Case& c : cases) {
        const Status s = decodeAll(c.bytes.data);
        ASSERT_FALSE(s) << c.name;
        EXPECT_EQ(s.error(), c.error) << c.name;
    }
    // Indexes beyond a short map are black.
    Bytes shortMap = sunHeader(2, 1, 8, 1, 1, 3).u8(10).u8(20).u8(30).u8(0).u8(7);
    TempDir dir;
    writeFile(dir / "m.ras", shortMap.data);
    auto img = kalder::test::decodeWithKalder(dir / "m.ras");
    ASSERT_TRUE(img);
    EXPECT_EQ(img->rgb, (std::vector<std::uint8_t>{10, 20, 30, 0, 0, 0}));
}

// Every Sun raster file of the shared collection decodes and matches ImageMagick (or the
// reference picture beside it).
TEST(SunRasterReader, ExternalFiles) {
    auto root = kalder::test::externalTestData();
    if (!root) GTEST_SKIP() << "shared external test data not found";
    int valid = 0;
    for (const auto& [path, family, status] : kalder::test::manifestEntries("SUN")) {
        const auto file = *root / path;
        if (status == "reference") continue;
        auto ours = kalder::test::decodeWithKalder(file);
        if (status == "malformed") {
            EXPECT_FALSE(ours) << path;
            continue;
        }
        if (status != "valid") continue;
        ++valid;
        ASSERT_TRUE(ours) << path;
        const auto bytes = kalder::test::readFile(file);
        if (bytes.size() > 24 && bytes[15] == 24 && bytes[23] == 2) continue;  // see SunVariants
        auto png = file;
        png += ".png";
        auto reference = std::filesystem::exists(png) ? kalder::test::decodeWithImageMagick(png)
                                                      : kalder::test::decodeWithImageMagick(file);
        if (reference) {
            EXPECT_EQ(kalder::test::maxChannelDifference(*ours, *reference), 0) << path;
        }
    }
    EXPECT_GT(valid, 10);
}

}  // namespace
