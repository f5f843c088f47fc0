// SGI reader: every storage/depth/channel variant written here and checked against the pixels
// we wrote and an independent decoder; hostile tables and runs; the shared sample files.
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

struct SgiShape {
    int width = 5;
    int height = 4;
    int channels = 3;
    int bytesPerChannel = 1;
    bool rle = false;
    int dimension = 3;
};

// Sample c of pixel (x, y) in file order (row 0 is the bottom row).
std::uint32_t sampleAt(const SgiShape& s, int x, int y, int c) {
    const std::uint32_t v =
        static_cast<std::uint32_t>((x * 37 + y * 91 + c * 53 + (x / 2) * 11) & 0xff);
    // Repeat a few values so the run-length encoder makes runs.
    const std::uint32_t eight = x >= 2 && x < 5 ? static_cast<std::uint32_t>(y * 20 + c) : v;
    return s.bytesPerChannel == 2 ? (eight << 8) | ((x * 7 + c) & 0xff) : eight;
}

void putSample(Bytes& b, const SgiShape& s, std::uint32_t v) {
    if (s.bytesPerChannel == 2)
        b.u16be(v);
    else
        b.u8(v);
}

// Run-length encodes one channel row the way the format's writers do.
Bytes encodeRow(const SgiShape& s, int y, int c) {
    Bytes out;
    int x = 0;
    const auto code = [&](std::uint32_t v) { putSample(out, s, v); };
    while (x < s.width) {
        int run = 1;
        while (x + run < s.width && run < 127 && sampleAt(s, x + run, y, c) == sampleAt(s, x, y, c))
            ++run;
        if (run >= 2) {
            code(static_cast<std::uint32_t>(run));
            putSample(out, s, sampleAt(s, x, y, c));
            x += run;
            continue;
        }
        int lit = 1;
        while (x + lit < s.width && lit < 127 &&
               !(x + lit + 1 < s.width &&
                 sampleAt(s, x + lit, y, c) == sampleAt(s, x + lit + 1, y, c)))
            ++lit;
        code(0x80u | static_cast<std::uint32_t>(lit));
        for (int i = 0; i < lit; ++i) putSample(out, s, sampleAt(s, x + i, y, c));
        x += lit;
    }
    code(0);
    return out;
}

Bytes sgiHeader(const SgiShape& s) {
    Bytes b;
    b.u16be(474).u8(s.rle ? 1 : 0).u8(s.bytesPerChannel).u16be(s.dimension);
    b.u16be(s.width).u16be(s.height).u16be(s.channels);
    b.u32be(0).u32be(s.bytesPerChannel == 2 ? 65535 : 255).u32be(0);
    b.fill(80, 0).u32be(0).fill(404, 0);
    return b;
}

std::vector<std::uint8_t> makeSgi(const SgiShape& s) {
    Bytes b = sgiHeader(s);
    const int rows = s.height * s.channels;
    if (!s.rle) {
        for (int c = 0; c < s.channels; ++c)
            for (int y = 0; y < s.height; ++y)
                for (int x = 0; x < s.width; ++x) putSample(b, s, sampleAt(s, x, y, c));
        return b.data;
    }
    std::vector<Bytes> encoded;
    for (int c = 0; c < s.channels; ++c)
        for (int y = 0; y < s.height; ++y) encoded.push_back(encodeRow(s, y, c));
    std::uint32_t offset = 512 + rows * 8;
    for (const auto& e : encoded) {
        b.u32be(offset);
        offset += static_cast<std::uint32_t>(e.size());
    }
    for (const auto& e : encoded) b.u32be(static_cast<std::uint32_t>(e.size()));
    for (const auto& e : encoded) b.append(e.data);
    return b.data;
}

// What the reader should show (alpha left unblended), top row first.
RgbImage expected(const SgiShape& s) {
    RgbImage img;
    img.width = s.width;
    img.height = s.height;
    img.rgb.resize(static_cast<std::size_t>(s.width) * s.height * 3);
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            std::uint8_t* p = img.rgb.data() + ((s.height - 1 - y) * s.width + x) * 3;
            for (int k = 0; k < 3; ++k) {
                const int c = s.channels >= 3 ? k : 0;
                std::uint32_t v = sampleAt(s, x, y, c);
                if (s.bytesPerChannel == 2) v >>= 8;
                p[k] = static_cast<std::uint8_t>(v);
            }
        }
    }
    return img;
}

// A reader over its own copy of the bytes (OpenMemory borrows them).
struct Opened {
    std::unique_ptr<std::vector<std::uint8_t>> bytes;
    std::unique_ptr<ImageReader> reader;
    Status status;
};

Opened openHeader(std::vector<std::uint8_t> bytes) {
    Opened o{std::make_unique<std::vector<std::uint8_t>>(std::move(bytes)),
             createReaderForCode(FormatCode::Sgi),
             {}};
    o.status = o.reader->OpenMemory(*o.bytes);
    if (o.status) o.status = o.reader->ReadHeader();
    return o;
}

// Decodes every row through the reader itself; the first failure is returned.
Status decodeAll(ImageReader& reader) {
    auto begun = reader.BeginDecode();
    if (!begun) return begun.error();
    std::vector<std::uint8_t> row(static_cast<std::size_t>(reader.Width()) * 3);
    for (int y = 0; y < reader.Height(); ++y) KALDER_TRY(reader.ReadRow(row.data(), false));
    return {};
}

class SgiVariant : public ::testing::TestWithParam<SgiShape> {};

TEST_P(SgiVariant, MatchesWrittenPixelsAndOracle) {
    const SgiShape s = GetParam();
    test::TempDir dir;
    const auto path = dir / "v.sgi";
    test::writeFile(path, makeSgi(s));
    auto ours = test::decodeWithKalder(path);
    ASSERT_TRUE(ours);
    EXPECT_EQ(test::maxChannelDifference(*ours, expected(s)), 0);
    // Pillow reads 1, 3 and 4 channels of 8 and 16 bits; two channels only ImageMagick.
    auto oracle =
        s.channels == 2 ? test::decodeWithImageMagick(path) : test::decodeWithPillow(path);
    if (oracle && s.channels != 2) {
        EXPECT_EQ(test::maxChannelDifference(*ours, *oracle), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(All, SgiVariant,
                         ::testing::Values(SgiShape{5, 4, 1, 1, false}, SgiShape{5, 4, 1, 1, true},
                                           SgiShape{7, 3, 3, 1, false},
                                           SgiShape{300, 3, 3, 1, true},
                                           SgiShape{6, 5, 4, 1, false}, SgiShape{6, 5, 4, 1, true},
                                           SgiShape{5, 4, 3, 2, false}, SgiShape{5, 4, 3, 2, true},
                                           SgiShape{5, 4, 1, 2, false}, SgiShape{4, 4, 4, 2, true},
                                           SgiShape{4, 3, 2, 1, true},
                                           SgiShape{9, 1, 1, 1, false, 1},
                                           SgiShape{9, 2, 1, 1, true, 2}));

TEST(SgiReader, DescriptionsAndDepth) {
    struct Row {
        SgiShape shape;
        const char* description;
        std::uint32_t bits;
    } rows[] = {
        {{4, 4, 3, 1, true}, "Silicon Graphics Image, compressed", 24},
        {{4, 4, 3, 1, false}, "Silicon Graphics Image, uncompressed", 24},
        {{4, 4, 4, 1, true}, "Silicon Graphics Image with alpha-channel, compressed", 32},
        {{4, 4, 1, 1, false}, "Silicon Graphics Image, uncompressed", 8},
    };
    for (const auto& r : rows) {
        auto o = openHeader(makeSgi(r.shape));
        ASSERT_TRUE(o.status);
        EXPECT_EQ(o.reader->Description(), r.description);
        EXPECT_EQ(o.reader->BitsPerPixel(), r.bits);
        EXPECT_TRUE(o.reader->IsBottomUp());
    }
    auto gray = openHeader(makeSgi({4, 4, 1, 1, false}));
    Palette palette{};
    ASSERT_TRUE(gray.reader->GetPalette(palette));
    EXPECT_EQ(palette[200 * 3 + 1], 200);
    EXPECT_TRUE(gray.reader->GetIsGray());
}

TEST(SgiReader, AlphaIsBlendedOverTheBackgroundAndExtracted) {
    SgiShape s{3, 2, 4, 1, false};
    Bytes b = sgiHeader(s);
    const std::uint8_t planes[4][6] = {{200, 200, 200, 200, 200, 200},
                                       {100, 100, 100, 100, 100, 100},
                                       {50, 50, 50, 50, 50, 50},
                                       {255, 0, 128, 255, 255, 255}};
    for (const auto& p : planes) b.append({p, p + 6});
    test::TempDir dir;
    test::writeFile(dir / "a.sgi", b.data);
    auto blended = test::decodeWithKalder(dir / "a.sgi", 0, true, makeColorRef(0, 0, 255));
    ASSERT_TRUE(blended);
    // The file's first row is the bottom one.
    const std::uint8_t* opaque = blended->at(0, 1);
    EXPECT_EQ(opaque[0], 200);
    const std::uint8_t* clear = blended->at(1, 1);
    EXPECT_EQ(clear[0], 0);
    EXPECT_EQ(clear[2], 254);  // (255 * 255) >> 8
    const std::uint8_t* half = blended->at(2, 1);
    EXPECT_EQ(half[0], (200 * 128) >> 8);

    auto reader = createReaderForCode(FormatCode::Sgi);
    ReaderSettings settings;
    settings.extractAlpha = true;
    ASSERT_TRUE(reader->OpenFile(dir / "a.sgi", settings));
    ASSERT_TRUE(reader->ReadHeader());
    ASSERT_TRUE(decodeAll(*reader));
    ASSERT_EQ(reader->alphaPlane().size(), 6u);
    // Top-down: the file's first row lands in the last plane row.
    EXPECT_EQ(reader->alphaPlane()[3], 255);
    EXPECT_EQ(reader->alphaPlane()[4], 0);
    EXPECT_EQ(reader->alphaPlane()[5], 128);
}

TEST(SgiReader, RefusesWhatItCannotRead) {
    struct Row {
        const char* name;
        std::size_t offset;
        std::uint8_t value;
        DecodeError error;
    } rows[] = {
        {"bad magic", 1, 0xdb, DecodeError::BadSignature},
        {"storage 2", 2, 2, DecodeError::Unsupported},
        {"3 bytes per channel", 3, 3, DecodeError::Unsupported},
        {"zero width", 7, 0, DecodeError::Corrupt},
        {"five channels", 11, 5, DecodeError::Unsupported},
        {"colour map id", 107, 1, DecodeError::Unsupported},
    };
    for (const auto& r : rows) {
        auto bytes = makeSgi({4, 4, 3, 1, false});
        bytes[r.offset] = r.value;
        if (r.offset == 7) bytes[6] = 0;
        auto o = openHeader(bytes);
        EXPECT_FALSE(o.status) << r.name;
        if (!o.status) {
            EXPECT_EQ(o.status.error(), r.error) << r.name;
        }
    }
}

TEST(SgiReader, HostileTablesAndRunsFailCleanly) {
    const SgiShape s{8, 3, 3, 1, true};
    struct Row {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> mutate;
        bool mustFail;  // otherwise it only has to come back
    } rows[] = {
        {"offset past the end", [](auto& b) { b[512] = 0x7f; }, true},
        {"offset into the header",
         [](auto& b) {
             b[512 + 3] = 0;
             b[512 + 2] = 0;
         },
         false},
        {"all rows at one offset",
         [](auto& b) {
             for (int i = 0; i < 9; ++i) b[512 + 4 * i + 3] = 0x70;
         },
         false},
        {"run past the row", [](auto& b) { b[512 + 3 * 3 * 8] = 0x7f; }, true},
        {"literal past the file", [](auto& b) { b.resize(b.size() - 3); }, true},
        {"tables cut short", [](auto& b) { b.resize(530); }, true},
        {"verbatim cut short",
         [](auto& b) {
             b[2] = 0;
             b.resize(550);
         },
         true},
    };
    for (const auto& r : rows) {
        auto bytes = makeSgi(s);
        r.mutate(bytes);
        auto o = openHeader(bytes);
        if (o.status) o.status = decodeAll(*o.reader);
        if (r.mustFail) {
            EXPECT_FALSE(o.status) << r.name;
        }
    }
}

TEST(SgiReader, SkippedRowsKeepTheRowCount) {
    const SgiShape s{6, 5, 3, 1, true};
    auto o = openHeader(makeSgi(s));
    ASSERT_TRUE(o.status);
    ASSERT_TRUE(o.reader->BeginDecode());
    std::vector<std::uint8_t> row(18);
    for (int y = 0; y < 4; ++y) ASSERT_TRUE(o.reader->ReadRow(row.data(), true));
    ASSERT_TRUE(o.reader->ReadRow(row.data(), false));
    const RgbImage want = expected(s);
    EXPECT_EQ(std::vector<std::uint8_t>(row.begin(), row.end()),
              std::vector<std::uint8_t>(want.at(0, 0), want.at(0, 0) + 18));
    EXPECT_FALSE(o.reader->ReadRow(row.data(), false));  // no sixth row
}

TEST(SgiReader, SharedSampleFiles) {
    auto root = test::externalTestData();
    if (!root) GTEST_SKIP() << "shared test images not found beside the checkout";
    int seen = 0;
    for (const auto& [path, family, status] : kalder::test::manifestEntries("SGI")) {
        ++seen;
        auto ours = test::decodeWithKalder(*root / path);
        if (status == "valid") {
            ASSERT_TRUE(ours) << path;
            if (auto oracle = test::decodeWithPillow(*root / path)) {
                EXPECT_EQ(test::maxChannelDifference(*ours, *oracle), 0) << path;
            }
        }
        // Malformed files only have to come back without crashing.
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
}  // namespace kalder::image
