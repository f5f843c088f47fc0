#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
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

struct Rgba {
    std::uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

// A picture in top-down order, the form every encoder below starts from.
struct Picture {
    int w = 0, h = 0;
    std::vector<Rgba> px;
    const Rgba& at(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x]; }
};

std::uint8_t q5(std::uint8_t v) { return static_cast<std::uint8_t>((v >> 3) * 255 / 31); }

// Runs of equal pixels (so run-length packets form and cross rows) mixed with unique ones.
Picture makePicture(int w, int h, bool gray, bool fiveBit) {
    Picture p{w, h, {}};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int k = (x + y * w) / 3 % 2 == 0 ? 7 : x * 31 + y * 57;
            Rgba c{static_cast<std::uint8_t>(k * 13 + 40), static_cast<std::uint8_t>(k * 29),
                   static_cast<std::uint8_t>(255 - k * 7), static_cast<std::uint8_t>(k * 50 + 3)};
            if (gray) c.g = c.b = c.r;
            if (fiveBit) c = {q5(c.r), q5(c.g), q5(c.b), 255};
            p.px.push_back(c);
        }
    }
    return p;
}

struct TgaVariant {
    std::string name;
    int type;
    int depth;
    int mapBits;  // colour-mapped types only
    int descriptor;
};

std::vector<std::uint8_t> pixelBytes(const Rgba& c, const TgaVariant& v,
                                     const std::map<std::uint32_t, int>& index) {
    auto key = [](const Rgba& c) { return c.r | (c.g << 8) | (c.b << 16); };
    switch (v.type == 9 || v.type == 10 || v.type == 11 ? v.type - 8 : v.type) {
        case 1:
            return {static_cast<std::uint8_t>(index.at(key(c)))};
        case 3:
            if (v.depth == 16) return {c.r, c.a};
            return {c.r};
        default:
            if (v.depth == 16) {
                const unsigned w = ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3);
                return {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8)};
            }
            if (v.depth == 24) return {c.b, c.g, c.r};
            return {c.b, c.g, c.r, c.a};
    }
}

// Encodes the picture; run-length packets are made over the whole pixel stream, so they run
// across row ends as real files do.
std::vector<std::uint8_t> encodeTga(const Picture& p, const TgaVariant& v) {
    const bool mapped = v.type == 1 || v.type == 9;
    std::map<std::uint32_t, int> index;
    std::vector<Rgba> colours;
    if (mapped) {
        for (const Rgba& c : p.px) {
            const std::uint32_t k = c.r | (c.g << 8) | (c.b << 16);
            if (index.emplace(k, static_cast<int>(colours.size())).second) colours.push_back(c);
        }
    }
    Bytes b;
    b.u8(3).u8(mapped ? 1 : 0).u8(v.type);
    b.u16le(0).u16le(static_cast<std::uint32_t>(colours.size())).u8(mapped ? v.mapBits : 0);
    b.u16le(0).u16le(0).u16le(p.w).u16le(p.h).u8(v.depth).u8(v.descriptor);
    b.str("abc");  // image ID
    for (const Rgba& c : colours) {
        if (v.mapBits == 16) {
            const unsigned w = ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3);
            b.u16le(w);
        } else {
            b.u8(c.b).u8(c.g).u8(c.r);
            if (v.mapBits == 32) b.u8(0x80);
        }
    }
    // File order: bottom-up unless bit 5, right-to-left when bit 4.
    std::vector<std::vector<std::uint8_t>> stream;
    for (int fy = 0; fy < p.h; ++fy) {
        const int y = (v.descriptor & 0x20) ? fy : p.h - 1 - fy;
        for (int fx = 0; fx < p.w; ++fx) {
            const int x = (v.descriptor & 0x10) ? p.w - 1 - fx : fx;
            stream.push_back(pixelBytes(p.at(x, y), v, index));
        }
    }
    if (v.type < 9) {
        for (const auto& px : stream) b.append(px);
        return b.data;
    }
    std::size_t i = 0;
    while (i < stream.size()) {
        std::size_t run = 1;
        while (i + run < stream.size() && run < 128 && stream[i + run] == stream[i]) ++run;
        if (run > 1) {
            b.u8(0x80 | (run - 1)).append(stream[i]);
            i += run;
            continue;
        }
        std::size_t raw = 1;
        while (i + raw < stream.size() && raw < 128 &&
               (i + raw + 1 >= stream.size() || stream[i + raw + 1] != stream[i + raw]))
            ++raw;
        b.u8(raw - 1);
        for (std::size_t k = 0; k < raw; ++k) b.append(stream[i + k]);
        i += raw;
    }
    return b.data;
}

// ImageMagick keeps a bottom-up file's rows in file order and records the orientation, so the
// oracle has to be asked to apply it.
std::optional<RgbImage> decodeWithImageMagickUpright(const std::filesystem::path& path) {
    if (!kalder::test::haveImageMagick()) return std::nullopt;
    TempDir dir;
    const auto out = dir / "upright.png";
    const std::string command =
        "convert '" + path.string() + "' -auto-orient '" + out.string() + "' >/dev/null 2>&1";
    if (path.string().find('\'') != std::string::npos || std::system(command.c_str()) != 0)
        return std::nullopt;
    return kalder::test::decodeWithImageMagick(out);
}

bool isGrayAlpha(const std::filesystem::path& path) {
    const auto bytes = kalder::test::readFile(path);
    return bytes.size() > 16 && (bytes[2] == 3 || bytes[2] == 11) && bytes[16] == 16;
}

RgbImage expectedRgb(const Picture& p) {
    RgbImage out{p.w, p.h, {}};
    for (const Rgba& c : p.px) out.rgb.insert(out.rgb.end(), {c.r, c.g, c.b});
    return out;
}

// Drives a reader directly (run-length gray files are not recognised by content).
std::optional<RgbImage> decodeWithReader(const std::filesystem::path& path,
                                         ReaderSettings settings = {},
                                         std::vector<std::uint8_t>* alpha = nullptr) {
    auto reader = createReaderForCode(FormatCode::Tga);
    if (!reader->OpenFile(path, settings) || !reader->ReadHeader()) return std::nullopt;
    if (!reader->BeginDecode()) return std::nullopt;
    RgbImage out{reader->Width(), reader->Height(), {}};
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    for (int r = 0; r < out.height; ++r) {
        const int y = reader->IsBottomUp() ? out.height - 1 - r : r;
        if (!reader->ReadRow(out.rgb.data() + static_cast<std::size_t>(y) * out.width * 3, false))
            return std::nullopt;
    }
    reader->EndDecode();
    if (alpha) *alpha = reader->alphaPlane();
    return out;
}

std::unique_ptr<ImageReader> openHeader(const std::vector<std::uint8_t>& bytes, Status& status) {
    auto reader = createReaderForCode(FormatCode::Tga);
    status = reader->OpenMemory(bytes);
    if (status) status = reader->ReadHeader();
    return reader;
}

class TgaVariants : public testing::TestWithParam<TgaVariant> {};

TEST_P(TgaVariants, DecodesExactlyAndAgreesWithOracle) {
    const TgaVariant& v = GetParam();
    const bool gray = v.type == 3 || v.type == 11;
    const bool fiveBit = v.depth == 16 && !gray;
    const bool mapFive = v.mapBits == 16;
    const Picture p = makePicture(13, 5, gray, fiveBit || mapFive);
    TempDir dir;
    const auto path = dir / (v.name + ".tga");
    writeFile(path, encodeTga(p, v));

    auto ours = decodeWithReader(path);
    ASSERT_TRUE(ours);
    const RgbImage expected = expectedRgb(p);
    EXPECT_EQ(kalder::test::maxChannelDifference(*ours, expected), 0);

    if (v.type != 11) {  // the others are recognised by content and go through the document
        auto viaDocument = kalder::test::decodeWithKalder(path);
        ASSERT_TRUE(viaDocument);
        EXPECT_EQ(kalder::test::maxChannelDifference(*viaDocument, expected), 0);
    }
    // ImageMagick reads 16-bit gray as one 16-bit sample instead of gray and alpha.
    const bool grayAlpha = gray && v.depth == 16;
    if (auto oracle = grayAlpha ? std::nullopt : decodeWithImageMagickUpright(path)) {
        EXPECT_EQ(kalder::test::maxChannelDifference(*ours, *oracle), 0) << "ImageMagick";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tga, TgaVariants,
    testing::Values(TgaVariant{"mapped24", 1, 8, 24, 0x00}, TgaVariant{"mapped16", 1, 8, 16, 0x20},
                    TgaVariant{"mapped32", 1, 8, 32, 0x20}, TgaVariant{"rle_mapped", 9, 8, 24, 0},
                    TgaVariant{"true16", 2, 16, 0, 0x20}, TgaVariant{"true24", 2, 24, 0, 0x00},
                    TgaVariant{"true24_top", 2, 24, 0, 0x20},
                    TgaVariant{"true24_right_to_left", 2, 24, 0, 0x10},
                    TgaVariant{"true24_top_right", 2, 24, 0, 0x30},
                    TgaVariant{"true32", 2, 32, 0, 0x08}, TgaVariant{"rle16", 10, 16, 0, 0},
                    TgaVariant{"rle24", 10, 24, 0, 0x20}, TgaVariant{"rle32", 10, 32, 0, 0x08},
                    TgaVariant{"rle32_top_right", 10, 32, 0, 0x38}, TgaVariant{"gray8", 3, 8, 0, 0},
                    TgaVariant{"gray_alpha", 3, 16, 0, 0x28},
                    TgaVariant{"rle_gray", 11, 8, 0, 0x20},
                    TgaVariant{"rle_gray_alpha", 11, 16, 0, 0x08}),
    [](const testing::TestParamInfo<TgaVariant>& info) { return info.param.name; });

// Three pixels wide: a run of five 32-bit pixels ends row 0 and begins row 1.
TEST(TgaReader, RunAcrossRowsDecodesBothRows) {
    Bytes b;
    b.u8(0).u8(0).u8(10).u16le(0).u16le(0).u8(0).u16le(0).u16le(0).u16le(3).u16le(2);
    b.u8(32).u8(0x28);
    b.u8(0x80 | 4).u8(10).u8(20).u8(30).u8(255);  // five of (30, 20, 10)
    b.u8(0).u8(1).u8(2).u8(3).u8(255);            // one literal (3, 2, 1)
    TempDir dir;
    writeFile(dir / "run.tga", b.data);
    auto img = kalder::test::decodeWithKalder(dir / "run.tga");
    ASSERT_TRUE(img);
    const std::vector<std::uint8_t> expected = {30, 20, 10, 30, 20, 10, 30, 20, 10,
                                                30, 20, 10, 30, 20, 10, 3,  2,  1};
    EXPECT_EQ(img->rgb, expected);
}

TEST(TgaReader, AlphaIsBlendedOrKeptAsPlaneInTopDownOrder) {
    // 2 x 2, bottom-up: file row 0 is the picture's bottom row.
    Bytes b;
    b.u8(0).u8(0).u8(2).u16le(0).u16le(0).u8(0).u16le(0).u16le(0).u16le(2).u16le(2);
    b.u8(32).u8(0x08);
    b.u8(0).u8(0).u8(200).u8(0).u8(0).u8(0).u8(200).u8(255);   // bottom: clear, opaque red
    b.u8(200).u8(0).u8(0).u8(128).u8(0).u8(200).u8(0).u8(64);  // top: half blue, quarter green
    TempDir dir;
    writeFile(dir / "a.tga", b.data);

    ReaderSettings blend;
    blend.blendAlpha = true;
    blend.backgroundColour = makeColorRef(0, 0, 255);
    blend.extractAlpha = true;
    std::vector<std::uint8_t> alpha;
    auto img = decodeWithReader(dir / "a.tga", blend, &alpha);
    ASSERT_TRUE(img);
    // (background * (255 - a) + colour * a) >> 8
    EXPECT_EQ(std::vector<std::uint8_t>(img->at(0, 0), img->at(0, 0) + 3),
              (std::vector<std::uint8_t>{0, 0, (255 * 127 + 200 * 128) >> 8}));
    EXPECT_EQ(std::vector<std::uint8_t>(img->at(1, 0), img->at(1, 0) + 3),
              (std::vector<std::uint8_t>{0, (200 * 64) >> 8, (255 * 191) >> 8}));
    EXPECT_EQ(std::vector<std::uint8_t>(img->at(0, 1), img->at(0, 1) + 3),
              (std::vector<std::uint8_t>{0, 0, 254}));
    EXPECT_EQ(alpha, (std::vector<std::uint8_t>{128, 64, 0, 255}));
}

TEST(TgaReader, ThirtyTwoBitColourMapCarriesAlpha) {
    // 3 x 1 top-down, entries: clear red, half green, opaque blue; pixels 2, 1, 0. A map whose
    // alpha bytes are all zero is opaque.
    for (const bool allZero : {false, true}) {
        SCOPED_TRACE(allZero ? "all zero" : "declared");
        const int alphas[3] = {0, allZero ? 0 : 128, allZero ? 0 : 255};
        Bytes b;
        b.u8(0).u8(1).u8(1).u16le(0).u16le(3).u8(32).u16le(0).u16le(0).u16le(3).u16le(1);
        b.u8(8).u8(0x20);
        b.u8(0).u8(0).u8(200).u8(alphas[0]);
        b.u8(0).u8(200).u8(0).u8(alphas[1]);
        b.u8(200).u8(0).u8(0).u8(alphas[2]);
        b.u8(2).u8(1).u8(0);
        TempDir dir;
        writeFile(dir / "m.tga", b.data);
        ReaderSettings settings;
        settings.blendAlpha = true;
        settings.backgroundColour = makeColorRef(0, 0, 255);
        settings.extractAlpha = true;
        std::vector<std::uint8_t> alpha;
        auto img = decodeWithReader(dir / "m.tga", settings, &alpha);
        ASSERT_TRUE(img);
        if (allZero) {
            EXPECT_TRUE(alpha.empty());
            EXPECT_EQ(img->rgb, (std::vector<std::uint8_t>{0, 0, 200, 0, 200, 0, 200, 0, 0}));
            continue;
        }
        EXPECT_EQ(alpha, (std::vector<std::uint8_t>{255, 128, 0}));
        EXPECT_EQ(img->rgb, (std::vector<std::uint8_t>{0, 0, 200, 0, (200 * 128) >> 8,
                                                       (255 * 127) >> 8, 0, 0, 254}));
    }
}

// The shared colour-mapped file uses its map's alpha bytes to cut the picture out; ImageMagick
// reads them too.
TEST(TgaReader, SharedColourMappedFileShowsItsAlpha) {
    auto root = kalder::test::externalTestData();
    if (!root) GTEST_SKIP() << "shared external test data not found";
    const auto file = *root / "kimageformats/tga/colormapped.tga";
    ReaderSettings settings;
    settings.extractAlpha = true;
    std::vector<std::uint8_t> alpha;
    auto img = decodeWithReader(file, settings, &alpha);
    ASSERT_TRUE(img);
    ASSERT_EQ(alpha.size(), static_cast<std::size_t>(img->width) * img->height);
    EXPECT_TRUE(std::count(alpha.begin(), alpha.end(), 0) > 0);
    if (!kalder::test::haveImageMagick()) return;
    TempDir dir;
    const auto png = dir / "alpha.png";
    const std::string command = "convert '" + file.string() + "' -alpha extract -depth 8 '" +
                                png.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    auto theirs = kalder::test::decodeWithKalder(png);
    ASSERT_TRUE(theirs);
    ASSERT_EQ(theirs->rgb.size(), alpha.size() * 3);
    for (std::size_t i = 0; i < alpha.size(); ++i) ASSERT_EQ(alpha[i], theirs->rgb[i * 3]) << i;
}

TEST(TgaReader, DescriptionPaletteAndDepth) {
    struct Case {
        int type, depth, mapBits;
        std::string description;
        std::uint32_t bits;
        bool gray;
    };
    const Case cases[] = {
        {2, 32, 0, "TGA (Truevision Targa Image) with alpha-channel, uncompressed", 24, false},
        {10, 24, 0, "TGA (Truevision Targa Image), compressed", 24, false},
        {2, 16, 0, "TGA (Truevision Targa Image), uncompressed", 24, false},
        {9, 8, 24, "TGA (Truevision Targa Image), compressed", 8, false},
        {3, 8, 0, "TGA (Truevision Targa Image), uncompressed", 8, true},
    };
    for (const Case& c : cases) {
        const Picture p = makePicture(4, 2, false, false);
        Status status;
        auto reader = openHeader(encodeTga(p, {"x", c.type, c.depth, c.mapBits, 0}), status);
        ASSERT_TRUE(status) << c.description;
        EXPECT_EQ(reader->Description(), c.description);
        EXPECT_EQ(reader->BitsPerPixel(), c.bits);
        EXPECT_EQ(reader->GetIsGray(), c.gray) << c.description;
        Palette palette{};
        EXPECT_TRUE(reader->GetPalette(palette));
        if (c.type == 3) {
            EXPECT_EQ(palette[200 * 3 + 1], 200);
        }
        if (c.type == 2) {
            EXPECT_EQ(palette, Palette{});
        }
    }
}

Bytes tgaHeader(int idLength, int mapType, int type, int mapFirst, int mapLength, int mapBits,
                int w, int h, int depth, int descriptor) {
    Bytes b;
    b.u8(idLength).u8(mapType).u8(type).u16le(mapFirst).u16le(mapLength).u8(mapBits);
    b.u16le(0).u16le(0).u16le(w).u16le(h).u8(depth).u8(descriptor);
    return b;
}

TEST(TgaReader, RefusesWhatItCannotShow) {
    struct Case {
        const char* name;
        Bytes bytes;
        DecodeError error;
    };
    const Case cases[] = {
        {"16-bit indexes", tgaHeader(0, 1, 1, 0, 2, 24, 2, 2, 16, 0).fill(6 + 8, 0),
         DecodeError::Unsupported},
        {"8-bit map entries", tgaHeader(0, 1, 1, 0, 2, 8, 2, 2, 8, 0).fill(6, 0),
         DecodeError::Unsupported},
        {"mapped without map", tgaHeader(0, 0, 1, 0, 0, 0, 2, 2, 8, 0).fill(4, 0),
         DecodeError::Corrupt},
        {"map beyond 256", tgaHeader(0, 1, 1, 200, 57, 24, 2, 2, 8, 0).fill(57 * 3 + 4, 0),
         DecodeError::Corrupt},
        {"24-bit gray", tgaHeader(0, 0, 3, 0, 0, 0, 2, 2, 24, 0).fill(12, 0),
         DecodeError::Unsupported},
        {"zero width", tgaHeader(0, 0, 2, 0, 0, 0, 0, 2, 24, 0), DecodeError::Corrupt},
        {"32768 high", tgaHeader(0, 0, 2, 0, 0, 0, 1, 32768, 24, 0), DecodeError::Corrupt},
        {"type 0", tgaHeader(0, 0, 0, 0, 0, 0, 2, 2, 24, 0), DecodeError::BadSignature},
        {"short header", Bytes().fill(10, 2), DecodeError::Truncated},
        {"map cut short", tgaHeader(0, 1, 1, 0, 256, 24, 2, 2, 8, 0).fill(20, 0),
         DecodeError::Truncated},
    };
    for (const Case& c : cases) {
        Status status;
        openHeader(c.bytes.data, status);
        ASSERT_FALSE(status) << c.name;
        EXPECT_EQ(status.error(), c.error) << c.name;
    }
}

// Decodes every row from memory; answers the first failure.
Status decodeAll(const std::vector<std::uint8_t>& bytes) {
    auto reader = createReaderForCode(FormatCode::Tga);
    KALDER_TRY(reader->OpenMemory(bytes));
    KALDER_TRY(reader->ReadHeader());
    KALDER_TRY(reader->BeginDecode());
    std::vector<std::uint8_t> row(static_cast<std::size_t>(reader->Width()) * 3);
    for (int y = 0; y < reader->Height(); ++y) KALDER_TRY(reader->ReadRow(row.data(), y % 2));
    return {};
}

TEST(TgaReader, HostileDataFailsCleanly) {
    // A run announcing more pixels than the file holds, in the last row.
    EXPECT_FALSE(decodeAll(
        tgaHeader(0, 0, 10, 0, 0, 0, 4, 2, 24, 0).u8(0x83).u8(1).u8(2).u8(3).u8(0x7f).u8(9).data));
    // Raw data cut short.
    EXPECT_FALSE(decodeAll(tgaHeader(0, 0, 2, 0, 0, 0, 4, 4, 24, 0).fill(40, 7).data));
    // An absurd size in a tiny file with alpha extraction must not set aside a gigabyte.
    TempDir dir;
    writeFile(dir / "huge.tga", tgaHeader(0, 0, 10, 0, 0, 0, 32767, 32767, 32, 0).fill(64, 0).data);
    ReaderSettings alpha;
    alpha.extractAlpha = true;
    auto reader = createReaderForCode(FormatCode::Tga);
    ASSERT_TRUE(reader->OpenFile(dir / "huge.tga", alpha));
    ASSERT_TRUE(reader->ReadHeader());
    EXPECT_FALSE(reader->BeginDecode());
    EXPECT_TRUE(reader->alphaPlane().empty());
}

TEST(TgaReader, IndexesBeyondTheMapAreBlack) {
    // Map of two entries at 10 and 11; pixels use 10, 11 and 200.
    Bytes b = tgaHeader(0, 1, 1, 10, 2, 24, 3, 1, 8, 0x20);
    b.u8(1).u8(2).u8(3).u8(4).u8(5).u8(6).u8(10).u8(11).u8(200);
    TempDir dir;
    writeFile(dir / "m.tga", b.data);
    auto img = kalder::test::decodeWithKalder(dir / "m.tga");
    ASSERT_TRUE(img);
    EXPECT_EQ(img->rgb, (std::vector<std::uint8_t>{3, 2, 1, 6, 5, 4, 0, 0, 0}));
}

TEST(TgaReader, SkippedRawRowsKeepTheRowsInStep) {
    const Picture p = makePicture(6, 6, false, false);
    const auto bytes = encodeTga(p, {"x", 2, 24, 0, 0x20});
    auto reader = createReaderForCode(FormatCode::Tga);
    ASSERT_TRUE(reader->OpenMemory(bytes));
    ASSERT_TRUE(reader->ReadHeader());
    ASSERT_TRUE(reader->BeginDecode());
    std::vector<std::uint8_t> row(18);
    for (int y = 0; y < 5; ++y) ASSERT_TRUE(reader->ReadRow(row.data(), true));
    ASSERT_TRUE(reader->ReadRow(row.data(), false));
    EXPECT_EQ(std::vector<std::uint8_t>(row.begin(), row.begin() + 3),
              (std::vector<std::uint8_t>{p.at(0, 5).r, p.at(0, 5).g, p.at(0, 5).b}));
}

// Every TGA of the shared collection: valid files decode and match their reference picture or
// ImageMagick; broken ones fail; none crash.
TEST(TgaReader, ExternalFiles) {
    auto root = kalder::test::externalTestData();
    if (!root) GTEST_SKIP() << "shared external test data not found";
    std::ifstream manifest(*root / "MANIFEST.tsv");
    std::string line;
    int valid = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string path, family, status;
        std::getline(fields, path, '\t');
        std::getline(fields, family, '\t');
        std::getline(fields, status, '\t');
        if (family != "TGA" || !path.ends_with(".tga")) continue;
        const auto file = *root / path;
        auto ours = decodeWithReader(file);
        if (status == "malformed") {
            EXPECT_FALSE(ours) << path;
            continue;
        }
        if (status != "valid") continue;
        ++valid;
        ASSERT_TRUE(ours) << path;
        // Pillow's files are named size_mode_origin_compression and share one reference.
        std::optional<RgbImage> reference;
        const auto name = file.filename().string();
        if (path.find("/common/") != std::string::npos) {
            const auto png =
                file.parent_path() / (name.substr(0, name.find('_', name.find('_') + 1)) + ".png");
            reference = kalder::test::decodeWithImageMagick(png);
        } else if (!isGrayAlpha(file)) {  // see DecodesExactlyAndAgreesWithOracle
            reference = decodeWithImageMagickUpright(file);
        }
        if (!reference) continue;
        EXPECT_EQ(kalder::test::maxChannelDifference(*ours, *reference), 0) << path;
    }
    EXPECT_GT(valid, 20);
}

}  // namespace
