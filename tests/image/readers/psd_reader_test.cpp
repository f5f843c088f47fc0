// PSD reader: documents written here (merged image or layers, raw or PackBits), the layer
// composition rules, layer expansion for the decompiler, refusals, hostile records, samples.
#include "image/readers/psd_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "image/format_table.h"
#include "image/readers/psd_layers.h"
#include "support/psd_builder.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

using test::Bytes;
using test::RgbImage;
using Plane = std::vector<std::uint8_t>;
using test::DocShape;
using test::LayerShape;
using test::makePsd;

Plane pattern(std::size_t n, int seed) {
    Plane p(n);
    for (std::size_t i = 0; i < n; ++i)
        p[i] = static_cast<std::uint8_t>(i < 5 ? seed : (i * 37 + seed * 11) & 0xff);
    return p;
}

std::optional<RgbImage> decodeBytes(const std::vector<std::uint8_t>& bytes,
                                    ColorRef background = 0) {
    test::TempDir dir;
    test::writeFile(dir / "d.psd", bytes);
    return test::decodeWithKalder(dir / "d.psd", 0, false, background);
}

Status headerStatus(std::vector<std::uint8_t> bytes) {
    auto reader = createReaderForCode(FormatCode::Psd);
    KALDER_TRY(reader->OpenMemory(bytes));
    KALDER_TRY(reader->ReadHeader());
    auto begun = reader->BeginDecode();
    if (!begun) return begun.error();
    std::vector<std::uint8_t> row(static_cast<std::size_t>(reader->Width()) * 3);
    for (int y = 0; y < reader->Height(); ++y) KALDER_TRY(reader->ReadRow(row.data(), false));
    return {};
}

struct MergedCase {
    const char* name;
    int mode, depth, channels;
    bool rle;
};

class PsdMerged : public ::testing::TestWithParam<MergedCase> {};

TEST_P(PsdMerged, MatchesWrittenPixelsAndOracle) {
    const MergedCase c = GetParam();
    DocShape d(c.mode, c.depth, c.channels, 19, 4);
    const std::size_t rowBytes = c.mode == 0 ? 3 : d.width * c.depth / 8;
    for (int i = 0; i < c.channels; ++i)
        d.merged.push_back(pattern(rowBytes * d.height, 40 * i + 3));
    d.mergedRle = c.rle;
    Palette palette{};
    for (int i = 0; i < 768; ++i) palette[i] = static_cast<std::uint8_t>(i * 7);
    const auto bytes = makePsd(d, c.mode == 2 ? &palette : nullptr);
    auto ours = decodeBytes(bytes);
    ASSERT_TRUE(ours) << c.name;
    for (int y = 0; y < d.height; ++y) {
        for (int x = 0; x < d.width; ++x) {
            for (int k = 0; k < 3; ++k) {
                const std::size_t i = y * rowBytes;
                std::uint8_t want;
                switch (c.mode) {
                    case 0:
                        want = (d.merged[0][i + x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
                        break;
                    case 2:
                        want = palette[d.merged[0][i + x] * 3 + k];
                        break;
                    case 3:
                        want = d.merged[k][i + x * c.depth / 8];
                        break;
                    default:
                        want = d.merged[0][i + x * c.depth / 8];
                        break;
                }
                ASSERT_EQ(ours->at(x, y)[k], want) << c.name << " at " << x << "," << y;
            }
        }
    }
    test::TempDir dir;
    test::writeFile(dir / "m.psd", bytes);
    auto oracle = c.depth == 8 && c.mode != 0 ? test::decodeWithPillow(dir / "m.psd")
                                              : test::decodeWithImageMagick(dir / "m.psd");
    if (oracle) {
        EXPECT_LE(test::maxChannelDifference(*ours, *oracle), c.depth == 16 ? 1 : 0) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(All, PsdMerged,
                         ::testing::Values(MergedCase{"rgb raw", 3, 8, 3, false},
                                           MergedCase{"rgb packed", 3, 8, 3, true},
                                           MergedCase{"rgb with alpha channel", 3, 8, 4, true},
                                           MergedCase{"gray raw", 1, 8, 1, false},
                                           MergedCase{"gray packed", 1, 8, 1, true},
                                           MergedCase{"indexed", 2, 8, 1, true},
                                           MergedCase{"bitmap", 0, 1, 1, false},
                                           MergedCase{"rgb 16-bit", 3, 16, 3, true},
                                           MergedCase{"gray 16-bit", 1, 16, 1, false}));

// A 4 x 2 document: an opaque red background layer and one layer on top.
DocShape twoLayers(LayerShape top) {
    DocShape d(3, 8, 3, 4, 2);
    for (int c = 0; c < 3; ++c) d.merged.push_back(Plane(8, 0));
    LayerShape bottom(0, 0, 4, 2, {{0, Plane(8, 200)}, {1, Plane(8, 0)}, {2, Plane(8, 0)}});
    bottom.rle = true;
    d.layers = {bottom, std::move(top)};
    return d;
}

TEST(PsdReader, LayerCompositionRules) {
    const LayerShape green(
        1, 0, 3, 2, {{-1, Plane(4, 255)}, {0, Plane(4, 0)}, {1, Plane(4, 100)}, {2, Plane(4, 0)}});
    struct Row {
        const char* name;
        std::function<void(LayerShape&)> change;
        std::uint8_t red, greenValue;  // expected at pixel 1
    } rows[] = {
        {"opaque", [](LayerShape&) {}, 0, 100},
        {"hidden", [](LayerShape& l) { l.flags = 0x02; }, 200, 0},
        {"half transparent", [](LayerShape& l) { l.channels[0].second = Plane(4, 128); },
         (200 * 127) >> 8, (100 * 128) >> 8},
        {"opacity halves alpha", [](LayerShape& l) { l.opacity = 128; }, (200 * 127) >> 8,
         (100 * 128) >> 8},
        {"opacity without transparency",
         [](LayerShape& l) {
             l.opacity = 128;
             l.channels.erase(l.channels.begin());
         },
         (200 * 127) >> 8, (100 * 128) >> 8},
        {"clear pixels leave the row alone",
         [](LayerShape& l) { l.channels[0].second = Plane(4, 0); }, 200, 0},
        {"mask hides the layer",
         [](LayerShape& l) {
             l.maskData = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 0};
             l.channels.push_back({-2, Plane(6, 0)});
         },
         200, 0},
        {"disabled mask",
         [](LayerShape& l) {
             l.maskData = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 4, 0, 2, 0, 0};
             l.channels.push_back({-2, Plane(6, 0)});
         },
         0, 100},
        {"packed rows", [](LayerShape& l) { l.rle = true; }, 0, 100},
    };
    for (const auto& r : rows) {
        LayerShape top = green;
        r.change(top);
        auto ours = decodeBytes(makePsd(twoLayers(top)));
        ASSERT_TRUE(ours) << r.name;
        EXPECT_EQ(ours->at(1, 1)[0], r.red) << r.name;
        EXPECT_EQ(ours->at(1, 1)[1], r.greenValue) << r.name;
        EXPECT_EQ(ours->at(0, 0)[0], 200) << r.name;  // outside the top layer
    }
}

TEST(PsdReader, LayersOffTheCanvasAndExpansion) {
    DocShape d(3, 8, 3, 100, 100);
    for (int c = 0; c < 3; ++c) d.merged.push_back(Plane(10000, 0));
    Plane red(100);
    for (int i = 0; i < 100; ++i) red[i] = static_cast<std::uint8_t>(i);
    d.layers = {LayerShape(-5, -5, 5, 5, {{0, red}, {1, Plane(100, 1)}, {2, Plane(100, 2)}}, 255, 0,
                           "corner")};
    d.negativeCount = true;
    test::TempDir dir;
    test::writeFile(dir / "e.psd", makePsd(d));
    auto ours = test::decodeWithKalder(dir / "e.psd", 0, false, makeColorRef(9, 9, 9));
    ASSERT_TRUE(ours);
    EXPECT_EQ(ours->at(0, 0)[0], 55);  // layer pixel (5, 5)
    EXPECT_EQ(ours->at(4, 4)[0], 99);
    EXPECT_EQ(ours->at(5, 5)[0], 9);  // background

    auto plain = readPsdLayers(dir / "e.psd", false);
    ASSERT_TRUE(plain);
    ASSERT_EQ(plain->layers.size(), 1u);
    EXPECT_EQ(plain->layers[0].name, "corner");

    // The Unicode name wins over the Latin-1 one; a character past the first plane is one
    // surrogate pair, and a lone surrogate becomes U+FFFD.
    d.layers[0].unicodeName = u"B\u00fcro \U0001F600 \xD800!";
    test::writeFile(dir / "u.psd", makePsd(d));
    auto named = readPsdLayers(dir / "u.psd", false);
    ASSERT_TRUE(named);
    EXPECT_EQ(named->layers[0].name, "B\u00fcro \U0001F600 \uFFFD!");
    EXPECT_EQ(plain->layers[0].left, -5);
    EXPECT_EQ(plain->layers[0].rgba.size(), 400u);
    EXPECT_FALSE(plain->layers[0].hasTransparency);

    auto expanded = readPsdLayers(dir / "e.psd", true);
    ASSERT_TRUE(expanded);
    const auto& layer = expanded->layers[0];
    EXPECT_EQ(layer.right - layer.left, 100);
    ASSERT_EQ(layer.rgba.size(), 40000u);
    EXPECT_EQ(layer.rgba[0], 55);  // the layer's lower-right 5 x 5 pixels in the corner
    EXPECT_EQ(layer.rgba[(4 * 100 + 4) * 4], 99);
    EXPECT_EQ(layer.rgba[3], 255);
    EXPECT_EQ(layer.rgba[(5 * 100 + 5) * 4 + 3], 0);  // outside: transparent, not black
}

// 16-bit documents keep their layers in a tagged block; the decompiler reads every layer from
// there, the viewer shows the merged image (fill layers have no pixels in the block).
TEST(PsdReader, SixteenBitLayersFromTheirTaggedBlock) {
    DocShape d(3, 16, 3, 4, 2);
    for (int c = 0; c < 3; ++c) d.merged.push_back(Plane(16, 0));
    auto wide = [](std::uint8_t high, std::size_t pixels) {
        Plane p;
        for (std::size_t i = 0; i < pixels; ++i) p.insert(p.end(), {high, 0x99});
        return p;
    };
    LayerShape bottom(0, 0, 4, 2, {{0, wide(200, 8)}, {1, wide(10, 8)}, {2, wide(20, 8)}});
    LayerShape middle(0, 0, 2, 1, {{0, wide(30, 2)}, {1, wide(40, 2)}, {2, wide(50, 2)}});
    middle.rle = true;
    LayerShape top(3, 1, 4, 2,
                   {{-1, wide(255, 1)}, {0, wide(1, 1)}, {1, wide(2, 1)}, {2, wide(3, 1)}});
    d.layers = {bottom, middle, top};
    d.layersTagged = true;
    test::TempDir dir;
    test::writeFile(dir / "wide.psd", makePsd(d));
    auto ours = test::decodeWithKalder(dir / "wide.psd");
    ASSERT_TRUE(ours);
    EXPECT_EQ(ours->at(2, 0)[0], 0);
    auto set = readPsdLayers(dir / "wide.psd", false);
    ASSERT_TRUE(set);
    ASSERT_EQ(set->layers.size(), 3u);
    EXPECT_EQ(set->layers[2].left, 3);
    EXPECT_EQ(set->layers[1].rgba[2], 50);
    EXPECT_EQ(set->layers[2].rgba[3], 255);
    EXPECT_EQ(set->layers[0].blendMode, "norm");
}

// CMYK is stored as inverted ink; without a profile channel = ink' * black' / 255, with the
// document's own profile through it. Layers whose data we cannot read are not passed off as
// the document's layers.
TEST(PsdReader, CmykLayersAndUnreadableLayers) {
    DocShape d(4, 8, 4, 2, 1);
    for (int c = 0; c < 4; ++c) d.merged.push_back(Plane(2, 255));
    // Pixel 0 full cyan, pixel 1 half black.
    d.layers = {LayerShape(
        0, 0, 2, 1,
        {{0, Plane{0, 255}}, {1, Plane{255, 255}}, {2, Plane{255, 255}}, {3, Plane{255, 127}}})};
    test::TempDir dir;
    test::writeFile(dir / "cmyk.psd", makePsd(d));
    auto ours = test::decodeWithKalder(dir / "cmyk.psd");
    ASSERT_TRUE(ours);
    EXPECT_EQ(ours->at(0, 0)[0], 0);
    EXPECT_EQ(ours->at(0, 0)[1], 255);
    EXPECT_EQ(ours->at(1, 0)[2], 127);
    auto set = readPsdLayers(dir / "cmyk.psd", false);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->layers[0].rgba[0], 0);
    EXPECT_EQ(set->layers[0].rgba[6], 127);

    const std::filesystem::path profile = "/usr/share/color/icc/ghostscript/default_cmyk.icc";
    if (std::filesystem::exists(profile)) {
        d.iccResource = test::readFile(profile);
        test::writeFile(dir / "profiled.psd", makePsd(d));
        auto managed = test::decodeWithKalder(dir / "profiled.psd");
        ASSERT_TRUE(managed);
        EXPECT_LT(managed->at(0, 0)[1], 230);  // a press cyan is no screen cyan
        EXPECT_GT(managed->at(0, 0)[2], 150);
    }

    // The first channel's compression word (before four 4-byte channels and the merged image)
    // names a method that does not exist.
    auto bytes = makePsd(d);
    bytes[bytes.size() - 2 - 8 - 4 * 4] = 9;
    test::writeFile(dir / "odd.psd", bytes);
    EXPECT_TRUE(test::decodeWithKalder(dir / "odd.psd"));  // the merged image still shows
    EXPECT_FALSE(readPsdLayers(dir / "odd.psd", false));
}

TEST(PsdReader, HeaderFactsAndRefusals) {
    DocShape d(3, 8, 3, 4, 2);
    for (int c = 0; c < 3; ++c) d.merged.push_back(Plane(8, 1));
    const auto good = makePsd(d);
    auto reader = createReaderForCode(FormatCode::Psd);
    ASSERT_TRUE(reader->OpenMemory(good));
    ASSERT_TRUE(reader->ReadHeader());
    EXPECT_EQ(reader->Description(), "Adobe Photoshop Image");
    EXPECT_EQ(reader->BitsPerPixel(), 24u);
    Palette palette{};
    EXPECT_TRUE(reader->GetPalette(palette));

    struct Row {
        const char* name;
        std::size_t offset;
        std::uint8_t value;
        DecodeError error;
    } rows[] = {
        {"CMYK with three channels", 25, 4, DecodeError::Corrupt},
        {"Lab", 25, 9, DecodeError::Unsupported},
        {"32-bit", 23, 32, DecodeError::Unsupported},
        {"large document", 5, 2, DecodeError::Unsupported},
        {"bad signature", 0, 'X', DecodeError::BadSignature},
        {"too many channels", 13, 60, DecodeError::Corrupt},
        {"wider than 32767", 19, 0x80, DecodeError::TooLarge},  // width 0x8004
    };
    for (const auto& r : rows) {
        auto bytes = good;
        bytes[r.offset] = r.value;
        if (r.offset == 19) bytes[20] = 0x00, bytes[21] = 0x04;
        const Status s = headerStatus(bytes);
        EXPECT_FALSE(s) << r.name;
        if (!s) {
            EXPECT_EQ(s.error(), r.error) << r.name;
        }
    }
}

TEST(PsdReader, HostileLayerRecordsFailCleanly) {
    const LayerShape layer(0, 0, 4, 2, {{0, Plane(8, 1)}, {1, Plane(8, 2)}, {2, Plane(8, 3)}});
    const auto good = makePsd(twoLayers(layer));
    ASSERT_TRUE(headerStatus(good));
    // The first record starts after header (26), mode data (4), resources (4), section and info
    // lengths (8) and the count (2): top at 44, left 48, bottom 52, right 56, channels 60.
    struct Row {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> mutate;
    } rows[] = {
        {"absurd rectangle", [](auto& b) { b[56] = 0x7f; }},
        {"absurd height", [](auto& b) { b[52] = 0x70; }},
        {"inverted rectangle", [](auto& b) { b[48] = 0x10; }},
        {"channel count lies", [](auto& b) { b[61] = 50; }},
        {"too many layers", [](auto& b) { b[43] = 0x7f; }},
        {"blend signature", [](auto& b) { b[62 + 18] = 'X'; }},
        {"row counts past the end", [](auto& b) { b.resize(b.size() - 60); }},
        {"cut in the records", [](auto& b) { b.resize(70); }},
    };
    for (const auto& r : rows) {
        auto bytes = good;
        r.mutate(bytes);
        EXPECT_FALSE(headerStatus(bytes)) << r.name;
    }
}

// ImageMagick's merged image flattened over black, as our composite is over a black background.
// `options` go before the output (a profile to convert through, for example).
std::optional<RgbImage> flattenedOracle(const std::filesystem::path& path, const test::TempDir& dir,
                                        const std::string& options = {}) {
    if (!test::haveImageMagick()) return std::nullopt;
    const auto out = dir / "flat.ppm";
    const std::string command = "convert '" + path.string() +
                                "[0]' -background black -alpha remove " + options + " -depth 8 '" +
                                out.string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return std::nullopt;
    return test::decodeWithImageMagick(out);
}

TEST(PsdReader, SharedSampleFiles) {
    auto root = test::externalTestData();
    if (!root) GTEST_SKIP() << "shared test images not found beside the checkout";
    // Colour modes that need colour management or tone mapping, refused on purpose.
    const std::set<std::string> refused = {
        "psd-tools/32bit5x5.psd", "psd-tools/colormodes/4x4_16bit_multichannel.psd",
        "psd-tools/colormodes/4x4_32bit_rgb.psd", "psd-tools/colormodes/4x4_8bit_lab.psd"};
    // CMYK with its own profile, converted through it: the oracle is told to do the same.
    const std::set<std::string> profiled = {"kimageformats/psd/cmyk8_testcard.psd",
                                            "psd-tools/colormodes/4x4_8bit_cmyk.psd"};
    const std::filesystem::path srgb = "/usr/share/color/icc/ghostscript/srgb.icc";
    // Files whose stored merged image is not the composite of their layers.
    const std::set<std::string> mergedDiffers = {"kimageformats/psd/testcard_graya8.psd"};
    int seen = 0;
    for (const auto& [path, family, status] : kalder::test::manifestEntries("PSD")) {
        ++seen;
        auto ours = test::decodeWithKalder(*root / path);
        if (status != "valid") continue;
        if (refused.count(path)) {
            EXPECT_FALSE(ours) << path;
            continue;
        }
        ASSERT_TRUE(ours) << path;
        if (mergedDiffers.count(path)) continue;
        test::TempDir dir;
        if (profiled.count(path)) {
            // Layer blending, the libraries' black points and rounding: a few levels.
            const auto oracle =
                std::filesystem::exists(srgb)
                    ? flattenedOracle(*root / path, dir,
                                      "-intent perceptual -profile " + srgb.string())
                    : std::nullopt;
            if (oracle) {
                EXPECT_LE(test::maxChannelDifference(*ours, *oracle), 12) << path;
            }
            continue;
        }
        // Layer blending divides by 256 and 16-bit samples keep their high byte: one level.
        if (auto oracle = flattenedOracle(*root / path, dir)) {
            EXPECT_LE(test::maxChannelDifference(*ours, *oracle), 1) << path;
        }
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
}  // namespace kalder::image
