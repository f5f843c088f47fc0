// kalder-cli psd-layers: its words, and the layer files it writes.
#include "cli/cli_psd_layers.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/psd_builder.h"
#include "support/test_support.h"

using namespace kalder;
namespace fs = std::filesystem;

namespace {

int runCli(const std::string& args) {
    const std::string command =
        std::string(KALDER_CLI_PATH) + " psd-layers " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// 5 x 4 with a full layer and a 2 x 2 one at (1, 1) with transparency.
std::vector<std::uint8_t> twoLayers() {
    test::DocShape d(3, 8, 3, 5, 4);
    for (int c = 0; c < 3; ++c) d.merged.push_back(test::Plane(20, 0));
    d.layers = {
        test::LayerShape(
            0, 0, 5, 4,
            {{0, test::Plane(20, 9)}, {1, test::Plane(20, 8)}, {2, test::Plane(20, 7)}}),
        test::LayerShape(1, 1, 3, 3,
                         {{-1, test::Plane{0, 255, 255, 0}},
                          {0, test::Plane(4, 200)},
                          {1, test::Plane(4, 0)},
                          {2, test::Plane(4, 0)}}),
    };
    return test::makePsd(d);
}

}  // namespace

TEST(CliPsdLayers, ParsesItsWordsAndRefusesBadOnes) {
    std::string error;
    const auto o = cli::parsePsdLayers({"a.psd", "b.psd", "-o", "out", "--png", "--expand"}, error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(o.inputs.size(), 2u);
    EXPECT_TRUE(o.png);
    EXPECT_TRUE(o.expand);
    const std::vector<std::vector<std::string>> bad = {
        {"a.psd"},
        {"-o", "out"},
        {"a.psd", "-o"},
        {"a.psd", "-o", "d", "--bmp", "--png"},
        {"a.psd", "-o", "d", "--tga"},
        {"a.psd", "-o", "d", "--yes", "--no"},
    };
    for (const auto& args : bad) {
        (void)cli::parsePsdLayers(args, error);
        EXPECT_NE(error, "") << args.back();
    }
}

TEST(CliPsdLayers, WritesEveryLayerAndStopsAtABadFile) {
    test::TempDir dir;
    test::writeFile(dir / "doc.psd", twoLayers());
    test::writeFile(dir / "bad.psd", {'8', 'B', 'P', 'S', 0, 1});
    const std::string out = (dir / "out").string();
    EXPECT_EQ(runCli("'" + (dir / "doc.psd").string() + "' -o '" + out + "'"), 0);
    EXPECT_TRUE(fs::exists(dir / "out" / "doc_000_layer.bmp"));
    EXPECT_FALSE(fs::exists(dir / "out" / "doc_000_layer_mask.bmp"));
    auto mask = test::decodeWithKalder(dir / "out" / "doc_001_layer_mask.bmp");
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->width, 2);
    EXPECT_EQ(mask->at(1, 0)[0], 255);

    EXPECT_EQ(runCli("--png --expand '" + (dir / "doc.psd").string() + "' '" +
                     (dir / "bad.psd").string() + "' -o '" + out + "'"),
              1);
    auto layer = test::decodeWithKalder(dir / "out" / "doc_001_layer.png");
    ASSERT_TRUE(layer);  // written before the bad file stopped the run
    EXPECT_EQ(layer->width, 5);
    EXPECT_EQ(layer->height, 4);
    EXPECT_EQ(layer->at(2, 1)[0], 200);
    EXPECT_EQ(runCli("-o '" + out + "'"), 2);
}

TEST(CliPsdLayers, YesAndNoAnswerForExistingFiles) {
    test::TempDir dir;
    test::writeFile(dir / "doc.psd", twoLayers());
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    const fs::path kept = dir / "doc_000_layer.bmp";
    const std::string args =
        "'" + (dir / "doc.psd").string() + "' -o '" + dir.path().string() + "'";
    test::writeFile(kept, old);
    EXPECT_EQ(runCli(args + " --no"), 0);
    EXPECT_EQ(test::readFile(kept), old);
    EXPECT_TRUE(fs::exists(dir / "doc_001_layer.bmp"));
    EXPECT_EQ(runCli(args + " --yes"), 0);
    EXPECT_NE(test::readFile(kept), old);
    test::writeFile(kept, old);
    EXPECT_EQ(runCli(args), 0);  // without either, replaced as before
    EXPECT_NE(test::readFile(kept), old);
}
