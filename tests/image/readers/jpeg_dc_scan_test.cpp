#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "image/bitmap32.h"
#include "image/readers/jpeg_dc_scan_p.h"
#include "image/readers/jpeg_reader.h"
#include "image/sinks.h"
#include "jpeg_test_files.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

using jpegtest::encodeJpeg;
using jpegtest::JpegOptions;

constexpr std::int64_t kNoLimit = std::int64_t{1} << 30;

// The library's own eighth-size decode; nullopt when it fails or warns (a damaged file).
std::optional<EighthPicture> libraryEighth(const std::vector<std::uint8_t>& bytes) {
    struct Errors : jpeg_error_mgr {
        bool bad = false;
    } errors{};
    jpeg_decompress_struct c{};
    c.err = jpeg_std_error(&errors);
    errors.error_exit = [](j_common_ptr) { std::abort(); };
    errors.emit_message = [](j_common_ptr info, int level) {
        if (level < 0) static_cast<Errors*>(info->err)->bad = true;
    };
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&c, TRUE);
    c.scale_num = 1;
    c.scale_denom = 8;
    c.out_color_space = JCS_RGB;
    jpeg_start_decompress(&c);
    EighthPicture p{
        static_cast<std::int32_t>(c.output_width), static_cast<std::int32_t>(c.output_height), {}};
    p.rgb.resize(static_cast<std::size_t>(p.width) * p.height * 3);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = &p.rgb[static_cast<std::size_t>(c.output_scanline) * p.width * 3];
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    if (errors.bad) return std::nullopt;
    return p;
}

struct Difference {
    int max = 0;
    double mean = 0;
};

Difference compare(const EighthPicture& a, const EighthPicture& b) {
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    Difference d;
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return {255, 255};
    long total = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) {
        const int diff = std::abs(a.rgb[i] - b.rgb[i]);
        d.max = std::max(d.max, diff);
        total += diff;
    }
    d.mean = static_cast<double>(total) / static_cast<double>(a.rgb.size());
    return d;
}

// Broad colour waves: what photographs mostly are at an eighth of their size.
std::vector<std::uint8_t> waves(int w, int h) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = static_cast<double>(x) / w, v = static_cast<double>(y) / h;
            std::uint8_t* px = &p[(static_cast<std::size_t>(y) * w + x) * 3];
            px[0] = static_cast<std::uint8_t>(128 + 100 * std::sin(7 * u + 3 * v));
            px[1] = static_cast<std::uint8_t>(128 + 90 * std::cos(5 * v - 2 * u));
            px[2] = static_cast<std::uint8_t>(120 + 80 * std::sin(4 * (u + v)));
        }
    return p;
}

struct Exact {
    const char* name;
    int width, height;
    JpegOptions options;
};

// Where the library, too, takes one sample per block (every layout but chroma halved both ways),
// the pictures are the same.
TEST(JpegDcScan, SameAsTheLibraryWhereItAlsoTakesTheBlockMean) {
    const Exact cases[] = {
        {"grey", 203, 77, {.space = JCS_GRAYSCALE}},
        {"444", 160, 96, {.lumaH = 1, .lumaV = 1}},
        {"422 odd size", 171, 45, {.lumaH = 2, .lumaV = 1}},
        {"440", 96, 130, {.lumaH = 1, .lumaV = 2}},
        {"411", 250, 40, {.lumaH = 4, .lumaV = 1}},
        {"444 restart every row", 120, 88, {.restartRows = 1, .lumaH = 1, .lumaV = 1}},
        {"rgb coded", 64, 64, {.lumaH = 1, .lumaV = 1, .rgbCoded = true}},
        {"quality 100", 72, 40, {.quality = 100, .lumaH = 1, .lumaV = 1}},
    };
    for (const Exact& c : cases) {
        const auto bytes = encodeJpeg(c.width, c.height, c.options);
        const auto ours = scanJpegDc(bytes, kNoLimit, nullptr);
        ASSERT_TRUE(ours) << c.name;
        const auto library = libraryEighth(bytes);
        ASSERT_TRUE(library) << c.name;
        EXPECT_EQ(compare(*ours, *library).max, 0) << c.name;
    }
}

TEST(JpegDcScan, HalvedChromaStaysCloseToTheLibrary) {
    const auto pixels = waves(400, 248);
    for (int restartRows : {0, 2}) {
        const auto bytes = encodeJpeg(400, 248, {.restartRows = restartRows, .pixels = &pixels});
        const auto ours = scanJpegDc(bytes, kNoLimit, nullptr);
        ASSERT_TRUE(ours);
        const Difference d = compare(*ours, *libraryEighth(bytes));
        EXPECT_LE(d.mean, 0.1);
        EXPECT_LE(d.max, 2);
    }
}

class Cancelled final : public CancelSink {
public:
    bool isCancelled() const override { return true; }
};

// Everything else is left to the library: nothing half-made comes back.
TEST(JpegDcScan, DeclinesWhatItDoesNotDecode) {
    const auto baseline = encodeJpeg(96, 64, {.restartRows = 1});
    std::vector<std::vector<std::uint8_t>> declined = {
        encodeJpeg(96, 64, {.progressive = true}),
        encodeJpeg(96, 64, {.arithmetic = true}),
        encodeJpeg(96, 64, {.separateScans = true}),
        encodeJpeg(96, 64, {.space = JCS_CMYK}),
        std::vector<std::uint8_t>(baseline.begin(), baseline.begin() + baseline.size() * 2 / 3),
        {0xFF, 0xD8, 0xFF, 0xD9},
        {},
    };
    // A restart marker out of order.
    auto misnumbered = baseline;
    std::size_t scan = 0;
    while (scan + 1 < misnumbered.size() &&
           !(misnumbered[scan] == 0xFF && misnumbered[scan + 1] == 0xDA))
        ++scan;
    for (std::size_t i = scan; i + 1 < misnumbered.size(); ++i)
        if (misnumbered[i] == 0xFF && misnumbered[i + 1] == 0xD1) {
            misnumbered[i + 1] = 0xD5;
            break;
        }
    declined.push_back(misnumbered);
    // More codes of one length than that length has room for.
    declined.push_back(test::readFile(test::sourceDir() / "tests/data/crashers" /
                                      "jpeg_huffman_codes_overflowing_their_length.jpg"));
    for (std::size_t i = 0; i < declined.size(); ++i)
        EXPECT_FALSE(scanJpegDc(declined[i], kNoLimit, nullptr)) << "case " << i;

    ASSERT_TRUE(scanJpegDc(baseline, kNoLimit, nullptr));
    const Cancelled cancelled;
    EXPECT_FALSE(scanJpegDc(baseline, kNoLimit, &cancelled));
    EXPECT_FALSE(scanJpegDc(baseline, 12 * 8 - 1, nullptr));  // over the pixel limit
    EXPECT_TRUE(scanJpegDc(baseline, 12 * 8, nullptr));
}

// Public files the scan has never been tuned on: what it takes, it decodes as the library does.
TEST(JpegDcScan, PublicFilesAgreeWithTheLibrary) {
    const auto root = test::externalTestData();
    if (!root) GTEST_SKIP() << "the shared test images are not beside the checkout";
    int compared = 0;
    for (const auto& entry : test::manifestEntries("JPEG")) {
        if (entry.status != "valid") continue;
        std::ifstream in(*root / entry.path, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
        const auto ours = scanJpegDc(bytes, kNoLimit, nullptr);
        if (!ours) continue;
        const auto library = libraryEighth(bytes);
        if (!library) continue;
        const Difference d = compare(*ours, *library);
        EXPECT_LE(d.mean, 0.1) << entry.path;
        EXPECT_LE(d.max, 2) << entry.path;
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

TEST(JpegDcScan, ReaderThumbnailsComeFromItAndFallBackToTheLibrary) {
    test::TempDir dir;
    const auto whole = encodeJpeg(640, 480, {.quality = 80});
    test::writeFile(dir.path() / "whole.jpg", whole);
    // Cut: the scan declines it and the library shows what was decoded, as before.
    test::writeFile(dir.path() / "cut.jpg",
                    std::vector<std::uint8_t>(whole.begin(), whole.begin() + whole.size() / 2));
    const auto expected = scanJpegDc(whole, kNoLimit, nullptr);
    ASSERT_TRUE(expected);
    for (const char* name : {"whole.jpg", "cut.jpg"}) {
        JpegReader reader;
        Bitmap32 bitmap;
        ASSERT_TRUE(reader.MakeThumbnail(dir.path() / name, bitmap, 60, 0, nullptr)) << name;
        ASSERT_EQ(bitmap.width(), 80);
        ASSERT_EQ(bitmap.height(), 60);
        // The top row is whole in both; its blue, green, red are the scan's red, green, blue.
        for (int x = 0; x < 80; ++x)
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(bitmap.row(0)[x * 4 + k], expected->rgb[x * 3 + 2 - k], 2) << name;
    }
}

}  // namespace
}  // namespace kalder::image
