// kalder-cli decode through the image writers and the writer option words.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli/cli_decode.h"
#include "image/writers/bmp_writer.h"
#include "image/writers/writer_options.h"
#include "support/test_support.h"

using namespace kalder;
namespace fs = std::filesystem;

namespace {

int runCli(const std::string& args) {
    const std::string command = std::string(KALDER_CLI_PATH) + " " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A 24-bit source with few colours, so palette outputs are exact.
test::RgbImage writeSource(const fs::path& path) {
    const int w = 23, h = 9;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 4);
    test::RgbImage expected{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t r = static_cast<std::uint8_t>((x / 4) * 40),
                               g = static_cast<std::uint8_t>(y * 25),
                               b = static_cast<std::uint8_t>(((x + y) % 3) * 100);
            std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * w + x) * 4];
            p[0] = b;
            p[1] = g;
            p[2] = r;
            expected.rgb.insert(expected.rgb.end(), {r, g, b});
        }
    image::WriterImage img;
    img.pixels = pixels.data();
    img.width = w;
    img.height = h;
    img.bits = 32;
    image::BmpWriter writer;
    EXPECT_TRUE(writer.Open(path).ok() && writer.Write(img).ok() && writer.Close().ok());
    return expected;
}

}  // namespace

TEST(CliWriters, DecodeWritesEveryFormatByExtension) {
    test::TempDir dir;
    const fs::path source = dir / "src.bmp";
    const test::RgbImage expected = writeSource(source);
    struct Case {
        const char* out;
        const char* options;
        int tolerance;  // lossy JPEG
    };
    const std::vector<Case> cases = {
        {"a.bmp", "", 0},
        {"b.pcx", "", 0},
        {"c.tga", "--rle", 0},
        {"d.gif", "--interlaced", 0},
        {"e.bmp", "--colors 256 --rle", 0},
        {"f.png", "--interlaced", 0},
        {"g.tif", "--compression lzw", 0},
        {"h.jpg", "--quality 95", 40},
    };
    for (const auto& c : cases) {
        const fs::path out = dir / c.out;
        const int status =
            runCli("decode " + source.string() + " -o " + out.string() + " " + c.options);
        if (status == 1 &&
            (fs::path(c.out).extension() == ".jpg" || fs::path(c.out).extension() == ".png" ||
             fs::path(c.out).extension() == ".tif")) {
            // The codec module may be missing in this build: a clear failure, no file.
            EXPECT_FALSE(fs::exists(out)) << c.out;
            continue;
        }
        ASSERT_EQ(status, 0) << c.out;
        auto back = test::decodeWithKalder(out);
        ASSERT_TRUE(back) << c.out;
        const int diff = test::maxChannelDifference(*back, expected);
        EXPECT_GE(diff, 0) << c.out;
        EXPECT_LE(diff, c.tolerance) << c.out;
    }
}

TEST(CliWriters, AllPagesMakeOneAnimationAndResampleScales) {
    test::TempDir dir;
    const fs::path source = dir / "src.bmp";
    writeSource(source);
    // A two-frame GIF from two runs is not possible; one page still gives a valid GIF.
    ASSERT_EQ(runCli("decode " + source.string() + " --all-pages -o " + (dir / "one.gif").string()),
              0);
    EXPECT_TRUE(fs::exists(dir / "one.gif"));
    EXPECT_FALSE(fs::exists(dir / "one-0.gif"));
    ASSERT_EQ(runCli("decode " + source.string() + " --resample 200% --method box -o " +
                     (dir / "big.bmp").string()),
              0);
    auto big = test::decodeWithKalder(dir / "big.bmp");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->width, 46);
    EXPECT_EQ(big->height, 18);
    ASSERT_EQ(
        runCli("decode " + source.string() + " --resample 10x4 -o " + (dir / "small.tga").string()),
        0);
    auto small = test::decodeWithKalder(dir / "small.tga");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width, 10);
    EXPECT_EQ(small->height, 4);
}

TEST(CliWriters, FailuresLeaveTheTargetAlone) {
    test::TempDir dir;
    const fs::path source = dir / "src.bmp";
    writeSource(source);
    test::writeFile(dir / "keep.gif", {'o', 'l', 'd'});
    // A folder that cannot exist, a source that is no image, output options for PAM.
    EXPECT_EQ(runCli("decode " + source.string() + " -o " + (dir / "src.bmp" / "x.bmp").string()),
              1);
    test::writeFile(dir / "junk.bmp", {'x', 'y'});
    EXPECT_EQ(
        runCli("decode " + (dir / "junk.bmp").string() + " -o " + (dir / "keep.gif").string()), 1);
    EXPECT_EQ(test::readFile(dir / "keep.gif"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(runCli("decode " + source.string() + " --rle -o " + (dir / "x.pam").string()), 2);
}

TEST(CliWriters, OptionWordsAreParsed) {
    auto parse = [](std::vector<std::string> args) {
        args.erase(args.begin());  // "decode"
        return cli::parseDecodeArgs(args);
    };
    auto r = parse({"decode",
                    "in",
                    "-o",
                    "o.tif",
                    "--quality",
                    "90",
                    "--progressive",
                    "--interlaced",
                    "--compression",
                    "G4",
                    "--rle",
                    "--colors",
                    "16",
                    "--palette",
                    "websafe",
                    "--dither",
                    "floyd",
                    "--resample",
                    "50%",
                    "--method",
                    "lanczos"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.writer.quality, 90);
    EXPECT_TRUE(r.options.writer.progressive && r.options.writer.interlaced &&
                r.options.writer.rle);
    EXPECT_EQ(r.options.writer.compression, 4);
    EXPECT_EQ(r.options.writer.colors, 16);
    EXPECT_EQ(r.options.writer.palette, 1);
    EXPECT_EQ(r.options.writer.dither, 2);
    EXPECT_EQ(r.options.resamplePercent, 50);
    EXPECT_EQ(r.options.writer.method, 0);
    r = parse({"decode", "in", "-o", "o.bmp", "--resample", "640x480"});
    EXPECT_EQ(r.options.resampleWidth, 640);
    EXPECT_EQ(r.options.resampleHeight, 480);
    for (const auto& name : {"none", "ccitt1d", "g3", "g4", "lzw", "jpeg", "packbits", "deflate"})
        EXPECT_TRUE(cli::tiffCompressionFromName(name)) << name;
    const std::vector<std::vector<std::string>> bad = {
        {"decode", "in", "-o", "o.jpg", "--quality", "101"},
        {"decode", "in", "-o", "o.tif", "--compression", "zip"},
        {"decode", "in", "-o", "o.gif", "--colors", "1"},
        {"decode", "in", "-o", "o.gif", "--palette", "rainbow"},
        {"decode", "in", "-o", "o.gif", "--dither", "random"},
        {"decode", "in", "-o", "o.bmp", "--resample", "0%"},
        {"decode", "in", "-o", "o.bmp", "--resample", "12"},
        {"decode", "in", "-o", "o.bmp", "--method", "nearest"},
    };
    for (const auto& args : bad) EXPECT_NE(parse(args).error, "") << args[4] << " " << args[5];
}

TEST(WriterOptions, PaletteIndexAndGammaTexts) {
    struct IndexCase {
        const char* text;
        std::optional<std::int32_t> value;
    };
    for (const auto& c : std::vector<IndexCase>{{"0", 0},
                                                {"255", 255},
                                                {" 17 ", 17},
                                                {"256", {}},
                                                {"300", {}},
                                                {"-1", {}},
                                                {"", {}},
                                                {"1x", {}}}) {
        const auto check = image::checkPaletteIndex(c.text);
        EXPECT_EQ(check.value, c.value) << c.text;
        EXPECT_EQ(check.message, c.value ? "" : "Palette index must be in range of 0-255.")
            << c.text;
    }
    struct GammaCase {
        const char* text;
        std::optional<double> value;
    };
    for (const auto& c : std::vector<GammaCase>{{"", 0.0},
                                                {"[default]", 0.0},
                                                {"2.2", 2.2},
                                                {" 0.45 ", 0.45},
                                                {"0", 0.0},
                                                {"abc", {}},
                                                {"2.2x", {}},
                                                {"-1", {}},
                                                {"inf", {}}}) {
        const auto check = image::parseGammaText(c.text);
        EXPECT_EQ(check.value, c.value) << c.text;
        EXPECT_EQ(check.message, c.value ? "" : "Invalid gamma value.") << c.text;
    }
    EXPECT_EQ(image::gammaText(0), "[default]");
    EXPECT_EQ(image::gammaText(2.2), "2.2");
    EXPECT_EQ(image::gammaText(1.0 / 2.2), "0.45454545454545453");
}

TEST(WriterOptions, TiffListsFollowTheDepth) {
    auto values = [](std::int32_t bits) {
        std::vector<std::int32_t> v;
        for (const auto& c : image::tiffCompressionChoices(bits)) v.push_back(c.value);
        return v;
    };
    EXPECT_EQ(values(1), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 32773, 32946}));
    EXPECT_EQ(values(8), (std::vector<std::int32_t>{1, 5, 32773, 32946}));
    EXPECT_EQ(values(32), (std::vector<std::int32_t>{1, 5, 7, 32773, 32946}));
    // The stored default (index 1) is LZW for colour and CCITT 1D for black and white.
    EXPECT_EQ(image::tiffCompressionFor(1, 32), 5);
    EXPECT_EQ(image::tiffCompressionFor(1, 1), 2);
    EXPECT_EQ(image::tiffCompressionFor(99, 8), 1);
    EXPECT_EQ(image::tiffCompressionIndex(7, 8), std::nullopt);
    EXPECT_EQ(image::tiffCompressionIndex(7, 24), 2);
}
