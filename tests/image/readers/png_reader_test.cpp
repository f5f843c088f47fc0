#include "image/readers/png_reader.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "damage_test_support.h"
#include "image/color_space.h"
#include "image/sinks.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

using test::RgbImage;

// --- writing test files with libpng's write side ---------------------------------------------

struct TextChunk {
    int compression;  // PNG_TEXT_COMPRESSION_NONE / _zTXt / PNG_ITXT_COMPRESSION_NONE
    std::string key, text;
    bool afterImage = false;
};

struct PngSpec {
    int width = 13, height = 7;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::uint8_t> trnsAlpha{};  // palette images
    bool trnsColour = false;                // gray / RGB: the colour of pixel (0, 0) is transparent
    std::vector<TextChunk> text{};
    int physUnit = -1;
    std::uint32_t physPpm = 0;
    double gamma = 0;
    bool chrm = false;
    bool srgb = false;
    std::vector<std::uint8_t> icc{};
};

int channelsOf(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        default:
            return 4;
    }
}

// Sample values at the file's bit depth, channel-interleaved, from a fixed mixing function.
std::vector<std::uint32_t> samplesFor(const PngSpec& s) {
    const int channels = channelsOf(s.colorType);
    const std::uint32_t max = (1u << s.bitDepth) - 1;
    std::vector<std::uint32_t> v(static_cast<std::size_t>(s.width) * s.height * channels);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            for (int c = 0; c < channels; ++c) {
                std::uint32_t h = static_cast<std::uint32_t>(x) * 73856093u ^
                                  static_cast<std::uint32_t>(y) * 19349663u ^
                                  static_cast<std::uint32_t>(c) * 83492791u;
                h ^= h >> 13;
                h *= 0x5bd1e995;
                h ^= h >> 15;
                v[(static_cast<std::size_t>(y) * s.width + x) * channels + c] = h & max;
            }
    // Pixel (0, 0) is the transparent colour when there is one; give it a twin at (1, 1).
    if (s.trnsColour && s.width > 1 && s.height > 1)
        for (int c = 0; c < channels; ++c) v[(s.width + 1) * channels + c] = v[c];
    return v;
}

png_color paletteEntry(int i) {
    return {static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i),
            static_cast<png_byte>(i * 11 + 5)};
}

std::vector<std::uint8_t> encodePng(const PngSpec& s) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t n) {
            auto* v = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
            v->insert(v->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const auto samples = samplesFor(s);
    const int channels = channelsOf(s.colorType);
    if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
        std::vector<png_color> palette;
        for (int i = 0; i < (1 << s.bitDepth); ++i) palette.push_back(paletteEntry(i));
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        if (!s.trnsAlpha.empty())
            png_set_tRNS(png, info, s.trnsAlpha.data(), static_cast<int>(s.trnsAlpha.size()),
                         nullptr);
    }
    if (s.trnsColour) {
        png_color_16 colour{};
        if (channels == 1) {
            colour.gray = static_cast<png_uint_16>(samples[0]);
        } else {
            colour.red = static_cast<png_uint_16>(samples[0]);
            colour.green = static_cast<png_uint_16>(samples[1]);
            colour.blue = static_cast<png_uint_16>(samples[2]);
        }
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    if (s.physUnit >= 0) png_set_pHYs(png, info, s.physPpm, s.physPpm, s.physUnit);
    if (s.gamma > 0) png_set_gAMA(png, info, s.gamma);
    if (s.chrm) png_set_cHRM(png, info, 0.3127, 0.329, 0.64, 0.33, 0.3, 0.6, 0.15, 0.06);
    if (s.srgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    if (!s.icc.empty())
        png_set_iCCP(png, info, "test", 0, s.icc.data(), static_cast<png_uint_32>(s.icc.size()));
    auto setText = [&](bool after) {
        std::vector<png_text> chunks;
        for (const TextChunk& t : s.text) {
            if (t.afterImage != after) continue;
            png_text p{};
            p.compression = t.compression;
            p.key = const_cast<char*>(t.key.c_str());
            p.text = const_cast<char*>(t.text.c_str());
            p.text_length = t.text.size();
            chunks.push_back(p);
        }
        if (!chunks.empty())
            png_set_text(png, info, chunks.data(), static_cast<int>(chunks.size()));
    };
    setText(false);
    png_write_info(png, info);

    const std::size_t rowBytes =
        (static_cast<std::size_t>(s.width) * channels * s.bitDepth + 7) / 8;
    std::vector<std::uint8_t> image(rowBytes * s.height, 0);
    for (int y = 0; y < s.height; ++y) {
        std::uint8_t* row = &image[rowBytes * y];
        for (int i = 0; i < s.width * channels; ++i) {
            const std::uint32_t v = samples[static_cast<std::size_t>(y) * s.width * channels + i];
            if (s.bitDepth == 16) {
                row[i * 2] = static_cast<std::uint8_t>(v >> 8);
                row[i * 2 + 1] = static_cast<std::uint8_t>(v);
            } else if (s.bitDepth == 8) {
                row[i] = static_cast<std::uint8_t>(v);
            } else {
                const int bit = i * s.bitDepth;
                row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - s.bitDepth - bit % 8));
            }
        }
    }
    std::vector<png_bytep> rows;
    for (int y = 0; y < s.height; ++y) rows.push_back(&image[rowBytes * y]);
    png_write_image(png, rows.data());
    setText(true);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// What the file means, worked out from the samples: 8-bit colour, and the opacity of each pixel.
struct Expected {
    RgbImage image;
    std::vector<std::uint8_t> alpha;
};

std::uint8_t to8(std::uint32_t v, int depth) {
    if (depth == 16)
        return static_cast<std::uint8_t>(v >> 8);  // libpng's strip keeps the high byte
    return static_cast<std::uint8_t>(v * 255 / ((1u << depth) - 1));
}

Expected expectedFor(const PngSpec& s) {
    const auto samples = samplesFor(s);
    const int channels = channelsOf(s.colorType);
    Expected e;
    e.image = {s.width, s.height,
               std::vector<std::uint8_t>(static_cast<std::size_t>(s.width) * s.height * 3)};
    e.alpha.assign(static_cast<std::size_t>(s.width) * s.height, 255);
    for (std::size_t i = 0; i < e.alpha.size(); ++i) {
        const std::uint32_t* px = &samples[i * channels];
        std::uint8_t* out = &e.image.rgb[i * 3];
        if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
            const png_color c = paletteEntry(static_cast<int>(px[0]));
            out[0] = c.red, out[1] = c.green, out[2] = c.blue;
            if (px[0] < s.trnsAlpha.size()) e.alpha[i] = s.trnsAlpha[px[0]];
            continue;
        }
        const bool colour = channels >= 3;
        for (int c = 0; c < 3; ++c) out[c] = to8(px[colour ? c : 0], s.bitDepth);
        if (channels == 2 || channels == 4) e.alpha[i] = to8(px[channels - 1], s.bitDepth);
        if (s.trnsColour && std::equal(px, px + channels, samples.data())) e.alpha[i] = 0;
    }
    return e;
}

// Pillow, with 16-bit gray taken by its high byte (its own conversion clips instead).
std::optional<RgbImage> decodeWithPillowPng(const std::filesystem::path& path) {
    if (!test::havePillow()) return std::nullopt;
    const std::string script =
        "import sys\nfrom PIL import Image\nim=Image.open(sys.argv[1])\n"
        "if im.mode.startswith('I'):\n"
        "    im=Image.frombytes('L',im.size,bytes((v>>8)&255 for v in im.getdata()))\n"
        "im=im.convert('RGB')\n"
        "sys.stdout.buffer.write(b'%d %d\\n' % im.size + im.tobytes())\n";
    std::string command =
        "/usr/bin/python3 -c \"$KALDER_PNG_SCRIPT\" '" + path.string() + "' 2>/dev/null";
    ::setenv("KALDER_PNG_SCRIPT", script.c_str(), 1);
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (::pclose(pipe) != 0) return std::nullopt;
    const std::size_t eol = out.find('\n');
    if (eol == std::string::npos) return std::nullopt;
    RgbImage img;
    std::istringstream(out.substr(0, eol)) >> img.width >> img.height;
    img.rgb.assign(out.begin() + static_cast<std::ptrdiff_t>(eol) + 1, out.end());
    if (img.rgb.size() != static_cast<std::size_t>(img.width) * img.height * 3) return std::nullopt;
    return img;
}

struct Decoded {
    Status header;
    Status decode;
    RgbImage image;
};

Decoded decodeAll(PngReader& reader) {
    Decoded d;
    d.header = reader.ReadHeader();
    if (!d.header) return d;
    auto begun = reader.BeginDecode();
    if (!begun) {
        d.decode = begun.error();
        return d;
    }
    d.image = {reader.Width(), reader.Height(), {}};
    d.image.rgb.resize(static_cast<std::size_t>(d.image.width) * d.image.height * 3);
    for (int y = 0; y < d.image.height; ++y) {
        d.decode =
            reader.ReadRow(&d.image.rgb[static_cast<std::size_t>(y) * d.image.width * 3], false);
        if (!d.decode) return d;
    }
    reader.EndDecode();
    return d;
}

Decoded decodeBytes(const std::vector<std::uint8_t>& bytes) {
    PngReader reader;
    EXPECT_TRUE(reader.OpenMemory(bytes));
    return decodeAll(reader);
}

// --- every colour type, bit depth, interlace and transparency --------------------------------

using PixelParam =
    std::tuple<int /*colour type*/, int /*depth*/, bool /*interlaced*/, int /*tRNS*/>;

class PngPixelTest : public ::testing::TestWithParam<PixelParam> {};

TEST_P(PngPixelTest, MatchesTheSamples) {
    const auto [colorType, depth, interlaced, trns] = GetParam();
    PngSpec spec;
    spec.width = 19;
    spec.height = 11;
    spec.colorType = colorType;
    spec.bitDepth = depth;
    spec.interlaced = interlaced;
    if (trns && colorType == PNG_COLOR_TYPE_PALETTE) {
        spec.trnsAlpha = {255, 0, 128};
        spec.trnsAlpha.resize(std::min<std::size_t>(3, 1u << depth));
    }
    if (trns && colorType != PNG_COLOR_TYPE_PALETTE) spec.trnsColour = true;
    test::TempDir dir;
    const auto path = dir / "t.png";
    test::writeFile(path, encodePng(spec));
    const Expected expected = expectedFor(spec);

    // Colour as stored, alpha ignored.
    PngReader plain;
    ASSERT_TRUE(plain.OpenFile(path, {}));
    auto d = decodeAll(plain);
    ASSERT_TRUE(d.header);
    ASSERT_TRUE(d.decode);
    EXPECT_EQ(test::maxChannelDifference(d.image, expected.image), 0);
    if (auto pillow = decodeWithPillowPng(path)) {
        EXPECT_EQ(test::maxChannelDifference(d.image, *pillow), 0);
    }

    // Composited over the background, with the opacities kept.
    ReaderSettings settings;
    settings.blendAlpha = true;
    settings.extractAlpha = true;
    settings.backgroundColour = makeColorRef(10, 200, 30);
    PngReader blended;
    ASSERT_TRUE(blended.OpenFile(path, settings));
    auto b = decodeAll(blended);
    ASSERT_TRUE(b.decode);
    const bool hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) || trns;
    if (!hasAlpha) {
        EXPECT_TRUE(blended.alphaPlane().empty());
        EXPECT_EQ(test::maxChannelDifference(b.image, expected.image), 0);
        return;
    }
    EXPECT_EQ(blended.alphaPlane(), expected.alpha);
    const std::uint8_t bg[3] = {10, 200, 30};
    int worst = 0;
    for (std::size_t i = 0; i < expected.alpha.size(); ++i)
        for (int c = 0; c < 3; ++c) {
            const int a = expected.alpha[i];
            const int want = (bg[c] * (255 - a) + expected.image.rgb[i * 3 + c] * a) >> 8;
            worst = std::max(worst, std::abs(want - b.image.rgb[i * 3 + c]));
        }
    EXPECT_EQ(worst, 0);
}

std::vector<PixelParam> allPixelCases() {
    const std::pair<int, std::vector<int>> types[] = {{PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},
                                                      {PNG_COLOR_TYPE_RGB, {8, 16}},
                                                      {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},
                                                      {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
                                                      {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}}};
    std::vector<PixelParam> cases;
    for (const auto& [type, depths] : types)
        for (int depth : depths)
            for (bool interlaced : {false, true}) {
                cases.emplace_back(type, depth, interlaced, 0);
                if (!(type & PNG_COLOR_MASK_ALPHA)) cases.emplace_back(type, depth, interlaced, 1);
            }
    return cases;
}

std::string pixelCaseName(const ::testing::TestParamInfo<PixelParam>& info) {
    const auto [type, depth, interlaced, trns] = info.param;
    return "type" + std::to_string(type) + "_depth" + std::to_string(depth) +
           (interlaced ? "_adam7" : "") + (trns ? "_trns" : "");
}

INSTANTIATE_TEST_SUITE_P(AllTypes, PngPixelTest, ::testing::ValuesIn(allPixelCases()),
                         pixelCaseName);

// --- header facts ----------------------------------------------------------------------------

TEST(PngReaderFacts, DescriptionDepthAndPalette) {
    struct Case {
        int type, depth;
        bool interlaced;
        const char* description;
        std::uint32_t bits;
        bool gray;
    } cases[] = {
        {PNG_COLOR_TYPE_GRAY, 1, false, "PNG, gray-scale", 8, true},
        {PNG_COLOR_TYPE_GRAY, 16, false, "PNG, gray-scale", 8, true},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 8, true, "PNG, gray-scale with alpha-channel, interlaced", 8,
         true},
        {PNG_COLOR_TYPE_PALETTE, 4, false, "PNG, color", 4, false},
        {PNG_COLOR_TYPE_RGB, 16, true, "PNG, color, interlaced", 24, false},
        {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, "PNG, color with alpha-channel", 24, false},
    };
    for (const Case& c : cases) {
        PngSpec spec;
        spec.colorType = c.type;
        spec.bitDepth = c.depth;
        spec.interlaced = c.interlaced;
        PngReader reader;
        const auto bytes = encodePng(spec);
        ASSERT_TRUE(reader.OpenMemory(bytes));
        ASSERT_TRUE(reader.ReadHeader());
        EXPECT_EQ(reader.Description(), c.description);
        EXPECT_EQ(reader.BitsPerPixel(), c.bits) << c.description;
        EXPECT_EQ(reader.GetIsGray(), c.gray) << c.description;
        Palette palette{};
        EXPECT_TRUE(reader.GetPalette(palette));
        if (c.type == PNG_COLOR_TYPE_PALETTE) {
            EXPECT_EQ(palette[3 * 3], paletteEntry(3).red);
            EXPECT_EQ(palette[15 * 3 + 2], paletteEntry(15).blue);
            EXPECT_EQ(palette[16 * 3], 0);
        }
    }
}

TEST(PngReaderFacts, TransparentIndexOnlyForOneClearEntry) {
    struct Case {
        std::vector<std::uint8_t> trns;
        int index;
    } cases[] = {{{255, 0, 255}, 1}, {{0}, 0}, {{255, 0, 128}, -1},
                 {{0, 0}, -1},       {{}, -1}, {{255, 255}, -1}};
    for (const Case& c : cases) {
        PngSpec spec;
        spec.colorType = PNG_COLOR_TYPE_PALETTE;
        spec.trnsAlpha = c.trns;
        PngReader reader;
        const auto bytes = encodePng(spec);
        ASSERT_TRUE(reader.OpenMemory(bytes));
        ASSERT_TRUE(reader.ReadHeader());
        EXPECT_EQ(reader.TransparentIndex(), c.index) << c.trns.size();
    }
}

TEST(PngReaderFacts, PhysToDpi) {
    struct Case {
        int unit;
        std::uint32_t ppm;
        int dpi;
    } cases[] = {{1, 2835, 72}, {1, 11811, 300}, {0, 2835, -1}, {-1, 0, -1}};
    for (const Case& c : cases) {
        PngSpec spec;
        spec.physUnit = c.unit;
        spec.physPpm = c.ppm;
        PngReader reader;
        const auto bytes = encodePng(spec);
        ASSERT_TRUE(reader.OpenMemory(bytes));
        ASSERT_TRUE(reader.ReadHeader());
        EXPECT_EQ(reader.DpiX(), c.dpi);
        EXPECT_EQ(reader.DpiY(), c.dpi);
    }
}

// A minimal, well-formed display profile: the header and a white point tag.
std::vector<std::uint8_t> tinyIccProfile() {
    test::Bytes b;
    b.u32be(364).str("none").u32be(0x02100000).str("mntr").str("RGB ").str("XYZ ");
    b.fill(12, 0).str("acsp").fill(24, 0).u32be(0);           // date, magic, platform .. intent
    b.u32be(0x0000F6D6).u32be(0x00010000).u32be(0x0000D32D);  // D50 illuminant
    b.fill(128 - 80, 0);
    b.u32be(1).str("wtpt").u32be(144).u32be(20);  // one tag
    b.str("XYZ ").u32be(0).u32be(0x0000F351).u32be(0x00010000).u32be(0x000116CC);
    // Unreferenced noise: the library ignores an iCCP chunk whose compressed data is tiny.
    for (int i = 0; i < 200; ++i) b.u8((i * 1103515245u + 12345u) >> 16);
    return b.data;
}

TEST(PngReaderFacts, ColourInformation) {
    struct Case {
        const char* name;
        PngSpec spec;
        bool present;
        ColorSpace::Kind kind;
        bool chromaticities;
        double gamma;
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, auto edit, bool present,
                   ColorSpace::Kind kind = ColorSpace::Kind::Srgb, bool chroma = false,
                   double gamma = 0) {
        PngSpec spec;
        edit(spec);
        cases.push_back({name, spec, present, kind, chroma, gamma});
    };
    add(
        "none", [](PngSpec&) {}, false);
    add(
        "srgb", [](PngSpec& s) { s.srgb = true; }, true, ColorSpace::Kind::Srgb);
    add(
        "gammaOnly", [](PngSpec& s) { s.gamma = 0.45455; }, true, ColorSpace::Kind::Calibrated,
        false, 2.2);
    add(
        "chrmAndGamma", [](PngSpec& s) { s.chrm = true, s.gamma = 1.0; }, true,
        ColorSpace::Kind::Calibrated, true, 1.0);
    add(
        "chrmAlone", [](PngSpec& s) { s.chrm = true; }, true, ColorSpace::Kind::Calibrated, true,
        2.2);
    add(
        "icc", [](PngSpec& s) { s.icc = tinyIccProfile(); }, true, ColorSpace::Kind::Icc);
    for (const Case& c : cases) {
        PngReader reader;
        const auto bytes = encodePng(c.spec);
        ASSERT_TRUE(reader.OpenMemory(bytes));
        ASSERT_TRUE(reader.ReadHeader());
        ColorSpace space;
        ASSERT_EQ(reader.GetColorSpace(space), c.present) << c.name;
        if (!c.present) continue;
        EXPECT_EQ(space.kind, c.kind) << c.name;
        if (c.kind == ColorSpace::Kind::Icc) {
            EXPECT_EQ(space.iccProfile, tinyIccProfile());
        }
        if (c.kind != ColorSpace::Kind::Calibrated) continue;
        EXPECT_EQ(space.hasChromaticities, c.chromaticities) << c.name;
        EXPECT_NEAR(space.gammaGreen, c.gamma, 0.01) << c.name;
        if (c.chromaticities) {
            EXPECT_NEAR(space.whiteX, 0.3127, 1e-4);
            EXPECT_NEAR(space.blueY, 0.06, 1e-4);
        }
    }
}

TEST(PngReaderFacts, TextChunksBecomeComments) {
    PngSpec spec;
    spec.text = {{PNG_TEXT_COMPRESSION_NONE, "Title", "Holiday"},
                 {PNG_TEXT_COMPRESSION_zTXt, "COMMENT", "nice"},
                 {PNG_TEXT_COMPRESSION_NONE, "Empty", ""},
                 {PNG_ITXT_COMPRESSION_NONE, "Author", "  Zo\xc3\xab"},
                 {PNG_TEXT_COMPRESSION_NONE, "Late", "after the image", true}};
    const auto bytes = encodePng(spec);
    std::vector<std::string> comments;
    ReaderSettings settings;
    settings.comments = &comments;
    test::TempDir dir;
    test::writeFile(dir / "t.png", bytes);
    PngReader reader;
    ASSERT_TRUE(reader.OpenFile(dir / "t.png", settings));
    ASSERT_TRUE(decodeAll(reader).decode);
    const std::vector<std::string> expected = {"Title: Holiday", "nice", "Author:   Zo\xc3\xab",
                                               "Late: after the image"};
    EXPECT_EQ(comments, expected);
}

// --- damaged and hostile files ---------------------------------------------------------------

// Finds a chunk, lets `edit` change its data, and fixes its CRC unless told not to.
void editChunk(std::vector<std::uint8_t>& png, const char* type,
               const std::function<void(std::uint8_t*, std::size_t)>& edit, bool fixCrc = true) {
    std::size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const std::size_t length = (std::size_t{png[pos]} << 24) | (png[pos + 1] << 16) |
                                   (png[pos + 2] << 8) | png[pos + 3];
        if (std::memcmp(&png[pos + 4], type, 4) == 0) {
            edit(&png[pos + 8], length);
            if (fixCrc) {
                const uLong crc = crc32(0, &png[pos + 4], static_cast<uInt>(length + 4));
                for (int i = 0; i < 4; ++i)
                    png[pos + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
            }
            return;
        }
        pos += length + 12;
    }
    FAIL() << "no " << type << " chunk";
}

TEST(PngReaderHostile, DamagedFilesFailCleanly) {
    PngSpec spec;
    spec.width = 64;
    spec.height = 64;
    const auto good = encodePng(spec);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool headerOk;
        DecodeError error;
    };
    std::vector<Case> cases;
    auto withEdit = [&](const char* type, auto edit, bool fixCrc = true) {
        auto bytes = good;
        editChunk(bytes, type, edit, fixCrc);
        return bytes;
    };
    {
        auto bytes = good;
        bytes[8 + 4 + 4 + 13] ^= 0xFF;  // the header chunk's CRC
        cases.push_back({"headerCrc", bytes, false, DecodeError::Corrupt});
    }
    cases.push_back({"dataCrc",
                     withEdit(
                         "IDAT", [](std::uint8_t* d, std::size_t) { d[4] ^= 0x55; }, false),
                     true, DecodeError::Corrupt});
    cases.push_back({"hugeWidth",
                     withEdit("IHDR",
                              [](std::uint8_t* d, std::size_t) {
                                  d[1] = 0x9C;
                                  d[2] = 0x40;
                                  d[3] = 0;
                              }),
                     false, DecodeError::TooLarge});
    cases.push_back(
        {"zeroHeight",
         withEdit("IHDR", [](std::uint8_t* d, std::size_t) { std::memset(d + 4, 0, 4); }), false,
         DecodeError::Corrupt});
    cases.push_back(
        {"badDeflate",
         withEdit("IDAT", [](std::uint8_t* d, std::size_t n) { std::memset(d + 2, 0xEE, n - 2); }),
         true, DecodeError::Corrupt});
    {
        // The file ends inside the image data.
        auto cut = good;
        std::size_t idat = 0;
        for (std::size_t i = 8; i + 4 < cut.size(); ++i)
            if (std::memcmp(&cut[i], "IDAT", 4) == 0) idat = i;
        cut.resize(idat + 40);
        cases.push_back({"truncatedData", cut, true, DecodeError::Truncated});
    }
    cases.push_back({"signatureOnly", std::vector<std::uint8_t>(good.begin(), good.begin() + 8),
                     false, DecodeError::Truncated});
    cases.push_back(
        {"notPng", std::vector<std::uint8_t>(100, 7), false, DecodeError::BadSignature});
    for (const Case& c : cases) {
        auto d = decodeBytes(c.bytes);
        EXPECT_EQ(d.header.ok(), c.headerOk) << c.name;
        const Status& failed = c.headerOk ? d.decode : d.header;
        EXPECT_FALSE(failed.ok()) << c.name;
        if (!failed.ok() && c.error != DecodeError::Corrupt) {
            EXPECT_EQ(failed.error(), c.error) << c.name;
        }
    }

    // Only the end chunk missing: the whole image is there, so it shows.
    std::vector<std::uint8_t> noEnd(good.begin(), good.end() - 12);
    EXPECT_TRUE(decodeBytes(noEnd).decode);
}

// The chunk walk refuses only what cannot fit: the 1.7 GB text chunk of a 119-byte file (its
// memory is weighed with the other crashers), not a large real one.
TEST(PngReaderHostile, ChunkLongerThanTheFileIsRefused) {
    const auto bytes = test::readFile(test::sourceDir() / "tests" / "data" / "crashers" /
                                      "png_text_chunk_longer_than_file.png");
    ASSERT_EQ(bytes.size(), 119u);
    const Decoded bomb = decodeBytes(bytes);
    ASSERT_FALSE(bomb.header.ok());
    EXPECT_EQ(bomb.header.error(), DecodeError::Truncated);

    PngSpec spec;
    spec.text.push_back({PNG_TEXT_COMPRESSION_NONE, "Comment", std::string(300000, 'a')});
    EXPECT_TRUE(decodeBytes(encodePng(spec)).decode);
}

// Every chunk's CRC made to match its bytes again, so that damage reaches the decoding behind the
// check; the walk stops at a length that does not fit.
void matchCrcs(std::vector<std::uint8_t>& png) {
    for (std::size_t pos = 8; pos + 12 <= png.size();) {
        const std::size_t length = (std::size_t{png[pos]} << 24) | (png[pos + 1] << 16) |
                                   (png[pos + 2] << 8) | png[pos + 3];
        if (length > png.size() - pos - 12) return;
        const uLong crc = crc32(0, &png[pos + 4], static_cast<uInt>(length + 4));
        for (int i = 0; i < 4; ++i)
            png[pos + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        pos += length + 12;
    }
}

// Every damaged file either fails with an error of its own, or shows a picture of the size its
// header chunk declares; the same bytes always give the same outcome and the same pixels.
TEST(PngReaderHostile, RandomDamageFailsCleanlyOrShowsTheDeclaredSize) {
    PngSpec a;
    a.colorType = PNG_COLOR_TYPE_PALETTE;
    a.trnsAlpha = {0, 128};
    a.width = 40;
    a.height = 30;
    PngSpec b;
    b.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    b.bitDepth = 16;
    b.interlaced = true;
    b.text = {{PNG_TEXT_COMPRESSION_zTXt, "k", "some text"}};
    const auto first = encodePng(a), second = encodePng(b);
    auto big = [](const std::vector<std::uint8_t>& bytes, std::size_t at) {
        return static_cast<int>(bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
                                bytes[at + 3]);
    };
    std::mt19937 rng(11);
    int shown = 0, failed = 0;
    for (int round = 0; round < 400; ++round) {
        auto bytes = (round & 1) ? second : first;
        const int flips = 1 + static_cast<int>(rng() % 6);
        for (int i = 0; i < flips; ++i)
            bytes[8 + rng() % (bytes.size() - 8)] = static_cast<std::uint8_t>(rng());
        if (round % 3 != 0) matchCrcs(bytes);
        if (round % 4 == 0) bytes.resize(8 + rng() % (bytes.size() - 8));
        SCOPED_TRACE("round " + std::to_string(round));
        const auto shownImage = test::shownDespiteDamage<PngReader>(bytes, decodeAll);
        if (!shownImage) {
            ++failed;
            continue;
        }
        ++shown;
        ASSERT_GE(bytes.size(), 24u);
        EXPECT_EQ(shownImage->width, big(bytes, 16));
        EXPECT_EQ(shownImage->height, big(bytes, 20));
    }
    // Both outcomes were met, so neither check above ran empty.
    EXPECT_GE(shown, 5);
    EXPECT_GT(failed, 20);
}

TEST(PngReaderHostile, CancelStopsTheDecode) {
    PngSpec spec;
    spec.interlaced = true;
    test::TempDir dir;
    test::writeFile(dir / "c.png", encodePng(spec));
    CancelFlag cancel;
    cancel.cancel();
    ReaderSettings settings;
    settings.cancel = &cancel;
    PngReader reader;
    ASSERT_TRUE(reader.OpenFile(dir / "c.png", settings));
    auto d = decodeAll(reader);
    ASSERT_TRUE(d.header);
    EXPECT_EQ(d.decode.error(), DecodeError::Cancelled);
}

// --- the shared public test images -----------------------------------------------------------

TEST(PngExternalData, EveryFileDecodesOrFailsCleanly) {
    auto root = test::externalTestData();
    if (!root) GTEST_SKIP() << "external test data not present";
    std::ifstream manifest(*root / "MANIFEST.tsv");
    std::string line;
    int valid = 0, compared = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string path, family, status;
        std::getline(fields, path, '\t');
        std::getline(fields, family, '\t');
        std::getline(fields, status, '\t');
        if (family != "PNG" || status == "reference") continue;
        const auto file = *root / path;
        PngReader reader;
        ASSERT_TRUE(reader.OpenFile(file, {}));
        auto d = decodeAll(reader);
        if (status != "valid") continue;  // damaged files only have to come back
        ++valid;
        ASSERT_TRUE(d.header) << path;
        ASSERT_TRUE(d.decode) << path;
        if (auto pillow = decodeWithPillowPng(file)) {
            ++compared;
            EXPECT_EQ(test::maxChannelDifference(d.image, *pillow), 0) << path;
        }
    }
    EXPECT_GT(valid, 0);
    if (test::havePillow()) {
        EXPECT_EQ(compared, valid);
    }
}

}  // namespace
}  // namespace kalder::image
