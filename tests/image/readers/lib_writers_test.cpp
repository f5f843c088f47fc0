// The JPEG, PNG and TIFF writers (through the codec extension module), checked by reading their
// files back with our readers and with an independent decoder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "image/image_document.h"
#include "image/writers/image_writer.h"
#include "image/writers/png_writer.h"
#include "image/writers/tiff_writer.h"
#include "image/writers/writer_factory_lib.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

namespace fs = std::filesystem;
using test::RgbImage;

// A source picture and what it should look like once decoded.
struct Source {
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> alpha;
    WriterImage image;
    RgbImage expected;
};

Source makeSource(int w, int h, int bits, bool grayLooking = false, bool withAlpha = false) {
    Source s;
    s.image.width = w;
    s.image.height = h;
    s.image.bits = bits;
    s.expected.width = w;
    s.expected.height = h;
    s.expected.rgb.resize(static_cast<std::size_t>(w) * h * 3);
    const int colours = bits == 32 ? 0 : 1 << bits;
    for (int i = 0; i < colours; ++i) {
        s.image.palette[i * 3] = static_cast<std::uint8_t>(i * 37 + 11);
        s.image.palette[i * 3 + 1] = static_cast<std::uint8_t>(255 - i * 13);
        s.image.palette[i * 3 + 2] = static_cast<std::uint8_t>(i * 101);
    }
    s.pixels.resize(static_cast<std::size_t>(w) * h * (bits == 32 ? 4 : 1));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* e = s.expected.rgb.data() + (static_cast<std::size_t>(y) * w + x) * 3;
            if (bits == 32) {
                // Smooth, so that JPEG quality can be judged.
                std::uint8_t* p = &s.pixels[(static_cast<std::size_t>(y) * w + x) * 4];
                const auto r = static_cast<std::uint8_t>(x * 255 / std::max(1, w - 1));
                const auto g = static_cast<std::uint8_t>(y * 255 / std::max(1, h - 1));
                const auto b = static_cast<std::uint8_t>((x + y) * 2);
                p[2] = r;
                p[1] = grayLooking ? r : g;
                p[0] = grayLooking ? r : b;
                p[3] = 0xee;
                e[0] = p[2], e[1] = p[1], e[2] = p[0];
            } else {
                const auto index = static_cast<std::uint8_t>((x * 3 + y * 5) % colours);
                s.pixels[static_cast<std::size_t>(y) * w + x] = index;
                std::memcpy(e, &s.image.palette[index * 3], 3);
            }
        }
    }
    s.image.pixels = s.pixels.data();
    if (withAlpha) {
        s.alpha.resize(static_cast<std::size_t>(w) * h);
        for (std::size_t i = 0; i < s.alpha.size(); ++i)
            s.alpha[i] = static_cast<std::uint8_t>(i * 7);
        s.image.alphaPlane = s.alpha.data();
    }
    return s;
}

Status writeFile(ImageWriter& writer, const fs::path& path,
                 const std::vector<const WriterImage*>& pages,
                 const std::vector<std::string>* comments = nullptr) {
    KALDER_TRY(writer.Open(path, comments));
    for (const WriterImage* page : pages) KALDER_TRY(writer.Write(*page));
    return writer.Close();
}

double psnr(const RgbImage& a, const RgbImage& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) {
        const double d = double(a.rgb[i]) - double(b.rgb[i]);
        sum += d * d;
    }
    const double mse = sum / double(a.rgb.size());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// The chunks of a PNG file: type and data.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> pngChunks(
    const std::vector<std::uint8_t>& f) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> out;
    std::size_t pos = 8;
    while (pos + 12 <= f.size()) {
        const std::size_t len =
            (std::size_t(f[pos]) << 24) | (f[pos + 1] << 16) | (f[pos + 2] << 8) | f[pos + 3];
        if (pos + 12 + len > f.size()) break;
        out.emplace_back(std::string(f.begin() + pos + 4, f.begin() + pos + 8),
                         std::vector<std::uint8_t>(f.begin() + pos + 8, f.begin() + pos + 8 + len));
        pos += 12 + len;
    }
    return out;
}

// --- PNG ---------------------------------------------------------------------------------------

struct PngCase {
    const char* name;
    int bits;
    bool grayLooking, alpha, interlaced;
    int depth, colourType;
};

class PngWriterRoundTrip : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngWriterRoundTrip, SamePixelsInBothDecoders) {
    const PngCase& c = GetParam();
    Source s = makeSource(29, 17, c.bits, c.grayLooking, c.alpha);
    s.image.pngInterlaced = c.interlaced;
    test::TempDir dir;
    const fs::path file = dir / "out.png";
    auto writer = makePngWriter();
    ASSERT_TRUE(writeFile(*writer, file, {&s.image}));
    const auto bytes = test::readFile(file);
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(bytes[24], c.depth) << c.name;
    EXPECT_EQ(bytes[25], c.colourType) << c.name;
    EXPECT_EQ(bytes[28], c.interlaced ? 1 : 0) << c.name;
    auto ours = test::decodeWithKalder(file);
    ASSERT_TRUE(ours) << c.name;
    EXPECT_EQ(test::maxChannelDifference(*ours, s.expected), 0) << c.name;
    if (auto pillow = test::decodeWithPillow(file)) {
        EXPECT_EQ(test::maxChannelDifference(*pillow, s.expected), 0) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PngWriterRoundTrip,
                         ::testing::Values(PngCase{"rgb", 32, false, false, false, 8, 2},
                                           PngCase{"gray_looking", 32, true, false, false, 8, 0},
                                           PngCase{"rgb_alpha", 32, false, true, false, 8, 6},
                                           PngCase{"gray_alpha", 32, true, true, false, 8, 4},
                                           PngCase{"rgb_interlaced", 32, false, false, true, 8, 2},
                                           PngCase{"palette1", 1, false, false, false, 1, 3},
                                           PngCase{"palette2", 2, false, false, true, 2, 3},
                                           PngCase{"palette3", 3, false, false, false, 4, 3},
                                           PngCase{"palette4", 4, false, false, false, 4, 3},
                                           PngCase{"palette5", 5, false, false, false, 8, 3},
                                           PngCase{"palette8", 8, false, false, true, 8, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PngWriter, TransparencyTextResolutionAndGamma) {
    Source s = makeSource(8, 4, 4, false, true);
    s.image.transparent = true;
    s.image.transparentIndex = 2;
    s.image.dpiX = 300;
    s.image.dpiY = 72;
    s.image.pngGamma = 0.45455;
    s.image.pngKeywords = {"Title", "", "Author"};
    s.image.pngTexts = {"A title", "dropped: no keyword", "Someone"};
    const std::vector<std::string> comments = {"first comment"};
    test::TempDir dir;
    auto writer = makePngWriter();
    ASSERT_TRUE(writeFile(*writer, dir / "t.png", {&s.image}, &comments));
    std::vector<std::string> texts;
    bool sawTrns = false, sawPhys = false, sawGama = false;
    for (const auto& [type, data] : pngChunks(test::readFile(dir / "t.png"))) {
        if (type == "tRNS") {
            sawTrns = true;
            EXPECT_EQ(data, (std::vector<std::uint8_t>{255, 255, 0}));
        } else if (type == "tEXt") {
            texts.emplace_back(data.begin(), data.end());
        } else if (type == "pHYs") {
            sawPhys = true;
            ASSERT_EQ(data.size(), 9u);
            EXPECT_EQ((data[0] << 24) | (data[1] << 16) | (data[2] << 8) | data[3], 11811);
            EXPECT_EQ((data[4] << 24) | (data[5] << 16) | (data[6] << 8) | data[7], 2835);
            EXPECT_EQ(data[8], 1);
        } else if (type == "gAMA") {
            sawGama = true;
            EXPECT_EQ((data[0] << 24) | (data[1] << 16) | (data[2] << 8) | data[3], 45455);
        }
    }
    EXPECT_TRUE(sawTrns && sawPhys && sawGama);
    using namespace std::string_literals;
    EXPECT_EQ(texts, (std::vector<std::string>{"Title\0A title"s, "Author\0Someone"s,
                                               "Comment\0first comment"s}));
    // Pixels whose alpha is below 128 became the transparent index.
    auto ours = test::decodeWithKalder(dir / "t.png");
    ASSERT_TRUE(ours);
}

// --- JPEG --------------------------------------------------------------------------------------

// Number of components in the frame header.
int jpegComponents(const std::vector<std::uint8_t>& f) {
    for (std::size_t i = 2; i + 10 < f.size(); ++i)
        if (f[i] == 0xff && (f[i + 1] == 0xc0 || f[i + 1] == 0xc2)) return f[i + 9];
    return -1;
}

TEST(JpegWriter, QualityGrayDetectionAndOptions) {
    test::TempDir dir;
    struct Case {
        const char* name;
        bool grayLooking, progressive, forceGray;
        int sampling;
        int components;
    };
    for (const Case& c :
         {Case{"colour", false, false, false, 0, 3}, Case{"progressive", false, true, false, 1, 3},
          Case{"sampling 2x1", false, false, false, 2, 3},
          Case{"gray looking", true, false, false, 0, 1},
          Case{"forced gray", false, false, true, 0, 1}}) {
        Source s = makeSource(64, 48, 32, c.grayLooking);
        s.image.jpegQuality = 90;
        s.image.jpegProgressive = c.progressive;
        s.image.jpegGray = c.forceGray;
        s.image.jpegSampling = c.sampling;
        const fs::path file = dir / "q.jpg";
        auto writer = makeJpegWriter();
        ASSERT_TRUE(writeFile(*writer, file, {&s.image})) << c.name;
        const auto bytes = test::readFile(file);
        EXPECT_EQ(jpegComponents(bytes), c.components) << c.name;
        if (c.forceGray) continue;
        auto ours = test::decodeWithKalder(file);
        ASSERT_TRUE(ours) << c.name;
        EXPECT_GT(psnr(*ours, s.expected), 40) << c.name;
        if (auto pillow = test::decodeWithPillow(file)) {
            EXPECT_GT(psnr(*pillow, s.expected), 40) << c.name;
        }
    }
}

TEST(JpegWriter, ExifCommentsAndDensity) {
    Source s = makeSource(16, 16, 8);
    const std::vector<std::uint8_t> exif = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0};
    s.image.exif = exif;
    s.image.dpiX = 300;
    s.image.dpiY = 150;
    const std::vector<std::string> comments = {"hello", "world"};
    test::TempDir dir;
    auto writer = makeJpegWriter();
    ASSERT_TRUE(writeFile(*writer, dir / "e.jpg", {&s.image}, &comments));
    const auto f = test::readFile(dir / "e.jpg");
    const std::string text(f.begin(), f.end());
    const std::string app1 = std::string("\xff\xe1\x00\x12", 4) + std::string("Exif\0\0", 6) +
                             std::string(exif.begin(), exif.end());
    EXPECT_NE(text.find(app1), std::string::npos);
    EXPECT_NE(text.find(std::string("\xff\xfe\x00\x07hello", 9)), std::string::npos);
    EXPECT_NE(text.find(std::string("\xff\xfe\x00\x07world", 9)), std::string::npos);
    // JFIF density: unit 1, 300 x 150.
    EXPECT_NE(text.find(std::string("JFIF\0\x01\x01\x01\x01\x2c\x00\x96", 12)), std::string::npos);
}

// --- TIFF --------------------------------------------------------------------------------------

struct TiffCase {
    const char* name;
    int bits;
    int compression;
    bool alpha;
};

class TiffWriterRoundTrip : public ::testing::TestWithParam<TiffCase> {};

TEST_P(TiffWriterRoundTrip, SamePixelsInBothDecoders) {
    const TiffCase& c = GetParam();
    Source s = makeSource(37, 21, c.bits, false, c.alpha);
    if (c.bits == 1) {  // black and white, white first: written inverted as min-is-black
        s.image.palette = {};
        s.image.palette[0] = s.image.palette[1] = s.image.palette[2] = 255;
        for (std::size_t i = 0; i < s.pixels.size(); ++i)
            std::memset(&s.expected.rgb[i * 3], s.pixels[i] ? 0 : 255, 3);
    }
    s.image.tiffCompression = c.compression;
    test::TempDir dir;
    const fs::path file = dir / "out.tif";
    auto writer = makeTiffWriter();
    ASSERT_TRUE(writeFile(*writer, file, {&s.image}));
    auto ours = test::decodeWithKalder(file);
    ASSERT_TRUE(ours) << c.name;
    const bool lossy = tiffCompressionFor(s.image) == 7;
    if (lossy) {
        EXPECT_GT(psnr(*ours, s.expected), 30) << c.name;
    } else if (!c.alpha) {
        EXPECT_EQ(test::maxChannelDifference(*ours, s.expected), 0) << c.name;
    }
    if (auto pillow = test::decodeWithPillow(file); pillow && !lossy) {
        EXPECT_EQ(test::maxChannelDifference(*pillow, s.expected), 0) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TiffWriterRoundTrip,
    ::testing::Values(TiffCase{"rgb_none", 32, 1, false}, TiffCase{"rgb_lzw", 32, 5, false},
                      TiffCase{"rgb_packbits", 32, 32773, false},
                      TiffCase{"rgb_deflate", 32, 32946, false}, TiffCase{"rgb_jpeg", 32, 7, false},
                      TiffCase{"rgba_lzw", 32, 5, true},
                      TiffCase{"rgb_ccitt_falls_back", 32, 4, false},
                      TiffCase{"bilevel_g3", 1, 3, false}, TiffCase{"bilevel_g4", 1, 4, false},
                      TiffCase{"bilevel_rle", 1, 2, false}, TiffCase{"palette2", 2, 5, false},
                      TiffCase{"palette3", 3, 1, false}, TiffCase{"palette6", 6, 32773, false},
                      TiffCase{"palette8_jpeg_falls_back", 8, 7, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TiffWriter, TwoWritesGiveTwoPages) {
    Source a = makeSource(10, 6, 32), b = makeSource(4, 9, 8);
    a.image.dpiX = a.image.dpiY = 200;
    const std::vector<std::string> comments = {"described"};
    test::TempDir dir;
    auto writer = makeTiffWriter();
    ASSERT_TRUE(writeFile(*writer, dir / "two.tif", {&a.image, &b.image}, &comments));
    ImageDocument doc;
    LoadOptions options;
    options.path = dir / "two.tif";
    std::vector<std::string> found;
    options.comments = &found;
    ASSERT_TRUE(doc.Open(options));
    while (doc.AddPage() && doc.DecodePage()) {
    }
    ASSERT_EQ(doc.PageCount(), 2);
    EXPECT_EQ(test::maxChannelDifference(test::toRgb(doc.PageAt(1).bitmap), b.expected), 0);
    EXPECT_EQ(found.front(), "described");
    if (auto pillow = test::decodeWithPillow(dir / "two.tif", 1)) {
        EXPECT_EQ(test::maxChannelDifference(*pillow, b.expected), 0);
    }
}

// --- failures ----------------------------------------------------------------------------------

TEST(LibWriters, FailedWriteKeepsTheTargetAndLeavesNoFile) {
    test::TempDir dir;
    const fs::path target = dir / "keep.img";
    test::writeFile(target, {1, 2, 3});
    WriterImage broken;  // no pixels
    broken.width = broken.height = 4;
    WriterImage tooWide = makeSource(1, 1, 32).image;
    tooWide.width = 70000;  // beyond JPEG's limit; never read
    for (auto make : {makeJpegWriter, makePngWriter, makeTiffWriter}) {
        auto writer = make();
        ASSERT_TRUE(writer->Open(target));
        EXPECT_FALSE(writer->Write(broken));
        writer.reset();
        EXPECT_EQ(test::readFile(target), (std::vector<std::uint8_t>{1, 2, 3}));
        // Closing without a page is a failure too.
        auto empty = make();
        ASSERT_TRUE(empty->Open(target));
        EXPECT_FALSE(empty->Close());
        EXPECT_EQ(test::readFile(target), (std::vector<std::uint8_t>{1, 2, 3}));
    }
    auto jpeg = makeJpegWriter();
    ASSERT_TRUE(jpeg->Open(target));
    EXPECT_FALSE(jpeg->Write(tooWide));
    jpeg.reset();
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);  // only the target: no temporary file left
}

}  // namespace
}  // namespace kalder::image
