// PSD decompiler: layered documents built from bytes, written out as PNG or BMP with masks,
// read back by our readers and by Pillow; unreadable inputs and existing outputs.
#include "tools/psd_decompiler/psd_decompiler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "support/psd_builder.h"
#include "support/test_support.h"
#include "tools/recording_tool_host.h"

namespace kalder::tools {
namespace {

namespace fs = std::filesystem;
using test::DocShape;
using test::LayerShape;
using test::Plane;

// Answers every file question `otherwise`; stops once layer `stopAtLayer` is reported.
struct Host : test::RecordingToolHost {
    int stopAtLayer = -2;

    Host() {
        stopWhen = [](const RecordingToolHost& h) {
            return !h.reports.empty() && h.stages.back() == "Writing ..." &&
                   h.reports.back().done == static_cast<const Host&>(h).stopAtLayer;
        };
    }
};

Plane ramp(std::size_t n, int seed) {
    Plane p(n);
    for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>(seed + 13 * i);
    return p;
}

// 8 x 6 RGB: an opaque full-size layer, a 3 x 2 layer at (2, 1) with transparency, and a
// 4 x 4 layer hanging off the right edge, without transparency.
std::vector<std::uint8_t> threeLayers() {
    DocShape d(3, 8, 3, 8, 6);
    for (int c = 0; c < 3; ++c) d.merged.push_back(Plane(48, 0));
    d.layers = {
        LayerShape(0, 0, 8, 6, {{0, ramp(48, 1)}, {1, ramp(48, 2)}, {2, ramp(48, 3)}}),
        LayerShape(2, 1, 5, 3,
                   {{-1, Plane{0, 64, 128, 192, 255, 10}},
                    {0, ramp(6, 50)},
                    {1, ramp(6, 60)},
                    {2, ramp(6, 70)}}),
        LayerShape(6, 2, 10, 6, {{0, Plane(16, 200)}, {1, Plane(16, 100)}, {2, Plane(16, 50)}}),
    };
    return test::makePsd(d);
}

// Red, green, blue and alpha bytes of a file through Pillow.
std::optional<std::vector<std::uint8_t>> pillowRgba(const fs::path& path) {
    if (!test::havePillow()) return std::nullopt;
    const std::string command =
        "/usr/bin/python3 -c \"import sys; from PIL import Image; "
        "sys.stdout.buffer.write(Image.open(sys.argv[1]).convert('RGBA').tobytes())\" '" +
        path.string() + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return std::nullopt;
    std::vector<std::uint8_t> out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        out.insert(out.end(), buffer, buffer + n);
    return out;
}

TEST(PsdDecompiler, PngLayersAtTheirOwnSizeWithAlpha) {
    test::TempDir dir;
    test::writeFile(dir / "doc.psd", threeLayers());
    Host host;
    PsdDecompileOptions options{PsdLayerFormat::PngWithAlpha, false, dir.path()};
    const auto result = decompilePsdFiles({dir / "doc.psd"}, options, host);
    EXPECT_TRUE(result.completed);
    EXPECT_TRUE(host.errors.empty());
    const std::pair<int, int> sizes[] = {{8, 6}, {3, 2}, {4, 4}};
    for (int j = 0; j < 3; ++j) {
        const fs::path out = dir / ("doc_00" + std::to_string(j) + "_layer.png");
        auto ours = test::decodeWithKalder(out);
        ASSERT_TRUE(ours) << out;
        EXPECT_EQ(ours->width, sizes[j].first);
        EXPECT_EQ(ours->height, sizes[j].second);
        if (auto pillow = test::decodeWithPillow(out)) {
            EXPECT_EQ(test::maxChannelDifference(*ours, *pillow), 0) << out;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "doc_003_layer.png"));
    EXPECT_EQ(psdOutputStem("", dir / "doc.psd"), dir / "doc");
    auto layer1 = test::decodeWithKalder(dir / "doc_001_layer.png");
    ASSERT_TRUE(layer1);
    EXPECT_EQ(layer1->at(1, 0)[0], 63);  // red 50 + 13
    EXPECT_EQ(layer1->at(1, 0)[2], 83);
    if (auto rgba = pillowRgba(dir / "doc_001_layer.png")) {
        ASSERT_EQ(rgba->size(), 24u);
        const std::uint8_t alpha[] = {0, 64, 128, 192, 255, 10};
        for (int i = 0; i < 6; ++i) EXPECT_EQ((*rgba)[4 * i + 3], alpha[i]) << i;
    }
}

// The payload of the first chunk of `type` in a PNG file, if any.
std::optional<std::string> pngChunk(const std::vector<std::uint8_t>& png, const std::string& type) {
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length =
            (std::size_t{png[at]} << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
        if (std::string(png.begin() + at + 4, png.begin() + at + 8) == type &&
            at + 12 + length <= png.size())
            return std::string(png.begin() + at + 8, png.begin() + at + 8 + length);
        at += 12 + length;
    }
    return std::nullopt;
}

// Layer names reach the file names (made safe) and the PNG text; at their own size the layers
// keep their place in oFFs and in the layer list; 16-bit layers come out like the others.
TEST(PsdDecompiler, NamesPlacesAndSixteenBitLayers) {
    DocShape d(3, 16, 3, 8, 6);
    for (int c = 0; c < 3; ++c) d.merged.push_back(Plane(96, 0));
    d.layersTagged = true;
    d.layers = {
        LayerShape(0, 0, 2, 1, {{0, Plane(4, 9)}, {1, Plane(4, 9)}, {2, Plane(4, 9)}}, 255, 0,
                   "Red Box"),
        LayerShape(2, 1, 3, 3, {{0, Plane(4, 7)}, {1, Plane(4, 7)}, {2, Plane(4, 7)}}, 128, 2,
                   " ../a/b: c?\""),
        LayerShape(-1, 4, 0, 5, {{0, Plane(2, 5)}, {1, Plane(2, 5)}, {2, Plane(2, 5)}}, 255, 0,
                   "\xE9t\xE9"),
    };
    test::TempDir dir;
    test::writeFile(dir / "doc.psd", test::makePsd(d));
    Host host;
    PsdDecompileOptions options{PsdLayerFormat::PngWithAlpha, false, dir.path()};
    const auto result = decompilePsdFiles({dir / "doc.psd"}, options, host);
    EXPECT_TRUE(result.completed);
    const fs::path files[] = {dir / "doc_000_Red Box.png", dir / "doc_001__a_b_ c__.png",
                              dir / "doc_002_\u00e9t\u00e9.png"};
    ASSERT_EQ(result.written.size(), 4u);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(result.written[j], files[j]);
    EXPECT_EQ(result.written[3], dir / "doc_layers.json");

    const auto red = test::readFile(files[0]);
    EXPECT_EQ(pngChunk(red, "tEXt"), std::string("Title\0Red Box", 13));
    EXPECT_EQ(pngChunk(red, "oFFs"), std::string(9, '\0'));
    const auto accented = test::readFile(files[2]);
    EXPECT_EQ(pngChunk(accented, "iTXt"), std::string("Title\0\0\0\0\0\u00e9t\u00e9", 15));
    EXPECT_EQ(pngChunk(accented, "oFFs"), std::string("\xff\xff\xff\xff\0\0\0\4\0", 9));
    auto pixels = test::decodeWithKalder(files[1]);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->height, 2);

    const auto list = test::readFile(dir / "doc_layers.json");
    const std::string text(list.begin(), list.end());
    for (const char* part :
         {"\"file\": \"doc_001__a_b_ c__.png\", \"name\": \" ../a/b: c?\\\"\", \"left\": 2, "
          "\"top\": 1, \"width\": 1, \"height\": 2, \"opacity\": 128, \"visible\": false, "
          "\"blendMode\": \"norm\"}",
          "\"name\": \"\u00e9t\u00e9\", \"left\": -1"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    if (test::havePillow()) {
        const std::string check =
            "/usr/bin/python3 -c \"import json,sys; json.load(open(sys.argv[1]))\" '" +
            (dir / "doc_layers.json").string() + "'";
        EXPECT_EQ(std::system(check.c_str()), 0);
    }

    // Expanded layers are all at the document's place: neither offsets nor a list.
    test::TempDir other;
    options.outputFolder = other.path();
    options.expandToImage = true;
    ASSERT_TRUE(decompilePsdFiles({dir / "doc.psd"}, options, host).completed);
    EXPECT_EQ(pngChunk(test::readFile(other / "doc_000_Red Box.png"), "oFFs"), std::nullopt);
    EXPECT_FALSE(fs::exists(other / "doc_layers.json"));
}

TEST(PsdDecompiler, BmpMasksOnlyForTransparentLayersAndExpansion) {
    struct Case {
        bool expand;
        bool masks[3];
        int width1, height1;  // of layer 1
    };
    // Expanding gives the layers that do not cover the document a transparency of their own.
    for (const Case c :
         {Case{false, {false, true, false}, 3, 2}, Case{true, {false, true, true}, 8, 6}}) {
        test::TempDir dir;
        test::writeFile(dir / "doc.psd", threeLayers());
        Host host;
        PsdDecompileOptions options{PsdLayerFormat::BmpWithMask, c.expand, dir.path()};
        ASSERT_TRUE(decompilePsdFiles({dir / "doc.psd"}, options, host).completed);
        for (int j = 0; j < 3; ++j) {
            const std::string base = "doc_00" + std::to_string(j) + "_layer";
            EXPECT_TRUE(fs::exists(dir / (base + ".bmp"))) << base;
            EXPECT_EQ(fs::exists(dir / (base + "_mask.bmp")), c.masks[j]) << base << c.expand;
            if (c.expand) {
                auto out = test::decodeWithKalder(dir / (base + ".bmp"));
                ASSERT_TRUE(out);
                EXPECT_EQ(out->width, 8);
                EXPECT_EQ(out->height, 6);
            }
        }
        auto mask = test::decodeWithKalder(dir / "doc_001_layer_mask.bmp");
        ASSERT_TRUE(mask);
        ASSERT_EQ(mask->width, c.width1);
        ASSERT_EQ(mask->height, c.height1);
        const int x = c.expand ? 2 : 0, y = c.expand ? 1 : 0;  // where the layer's pixels start
        EXPECT_EQ(mask->at(x + 1, y)[0], 64);
        EXPECT_EQ(mask->at(x + 1, y)[1], 64);
        EXPECT_EQ(mask->at(x + 2, y + 1)[0], 10);
        if (c.expand) {
            EXPECT_EQ(mask->at(0, 0)[0], 0);  // outside the layer
        }
        if (auto pillow = test::decodeWithPillow(dir / "doc_001_layer_mask.bmp")) {
            EXPECT_EQ(test::maxChannelDifference(*mask, *pillow), 0);
        }
        if (auto pillow = test::decodeWithPillow(dir / "doc_002_layer.bmp")) {
            auto ours = test::decodeWithKalder(dir / "doc_002_layer.bmp");
            ASSERT_TRUE(ours);
            EXPECT_EQ(test::maxChannelDifference(*ours, *pillow), 0);
            EXPECT_EQ(ours->at(c.expand ? 6 : 0, c.expand ? 2 : 0)[0], 200);
        }
    }
}

TEST(PsdDecompiler, UnreadableFileEndsTheRunAndKeepsEarlierOutputs) {
    test::TempDir dir;
    test::writeFile(dir / "good.psd", threeLayers());
    auto broken = threeLayers();
    broken.resize(broken.size() / 2);
    test::writeFile(dir / "bad.psd", broken);
    test::writeFile(dir / "never.psd", threeLayers());
    Host host;
    PsdDecompileOptions options{PsdLayerFormat::PngWithAlpha, true, dir.path()};
    const auto result =
        decompilePsdFiles({dir / "good.psd", dir / "bad.psd", dir / "never.psd"}, options, host);
    EXPECT_FALSE(result.completed);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Can't load PSD image: " + (dir / "bad.psd").string());
    EXPECT_EQ(result.written.size(), 3u);
    EXPECT_TRUE(fs::exists(dir / "good_002_layer.png"));
    EXPECT_FALSE(fs::exists(dir / "bad_000_layer.png"));
    EXPECT_FALSE(fs::exists(dir / "never_000_layer.png"));

    // A folder that cannot take files: the write fails with its own message.
    Host writeHost;
    options.outputFolder = dir / "missing";
    EXPECT_FALSE(decompilePsdFiles({dir / "good.psd"}, options, writeHost).completed);
    ASSERT_EQ(writeHost.errors.size(), 1u);
    EXPECT_EQ(writeHost.errors[0], "Can't convert PSD image: " + (dir / "good.psd").string());
}

TEST(PsdDecompiler, ExistingOutputsFollowTheAnswer) {
    struct Case {
        ToolAnswer answer;
        bool replaced;
        bool completed;
        std::size_t asked;
    };
    for (const Case c :
         {Case{ToolAnswer::No, false, true, 2}, Case{ToolAnswer::YesToAll, true, true, 1},
          Case{ToolAnswer::NoToAll, false, true, 1}, Case{ToolAnswer::Cancel, false, false, 1}}) {
        test::TempDir dir;
        test::writeFile(dir / "doc.psd", threeLayers());
        const std::vector<std::uint8_t> old{'o', 'l', 'd'};
        test::writeFile(dir / "doc_000_layer.png", old);
        test::writeFile(dir / "doc_002_layer.png", old);
        Host host;
        host.otherwise = c.answer;
        PsdDecompileOptions options{PsdLayerFormat::PngWithAlpha, false, dir.path()};
        EXPECT_EQ(decompilePsdFiles({dir / "doc.psd"}, options, host).completed, c.completed);
        EXPECT_EQ(host.asked.size(), c.asked);
        EXPECT_EQ(test::readFile(dir / "doc_000_layer.png") != old, c.replaced);
        EXPECT_EQ(fs::exists(dir / "doc_001_layer.png"), c.completed);
    }
    // Stopping from the progress window ends quietly and keeps what was written.
    test::TempDir dir;
    test::writeFile(dir / "doc.psd", threeLayers());
    Host host;
    host.stopAtLayer = 2;
    PsdDecompileOptions options{PsdLayerFormat::PngWithAlpha, false, dir.path()};
    EXPECT_FALSE(decompilePsdFiles({dir / "doc.psd"}, options, host).completed);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_TRUE(fs::exists(dir / "doc_001_layer.png"));
    EXPECT_FALSE(fs::exists(dir / "doc_002_layer.png"));
}

}  // namespace
}  // namespace kalder::tools
