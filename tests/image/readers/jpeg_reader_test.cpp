#include "image/readers/jpeg_reader.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "damage_test_support.h"
#include "image/bitmap32.h"
#include "image/color_space.h"
#include "image/exif/exif_block.h"
#include "image/image_document.h"
#include "image/row_pipeline.h"
#include "image/sinks.h"
#include "image/target_size.h"
#include "jpeg_test_files.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

using jpegtest::encodeJpeg;
using jpegtest::JpegOptions;
using jpegtest::pattern;
using test::RgbImage;

// --- oracles and helpers ---------------------------------------------------------------------

// libjpeg's own decoder with its defaults (the same DCT and upsampling we ask for).
std::optional<RgbImage> decodeWithDjpeg(const std::filesystem::path& path) {
    const std::string command = "djpeg -pnm '" + path.string() + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    // Exit status 2 means the file was decoded with warnings (a cut file, for example).
    const int status = ::pclose(pipe);
    if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 2))
        return std::nullopt;
    std::istringstream in(out);
    std::string magic;
    int w = 0, h = 0, max = 0;
    in >> magic >> w >> h >> max;
    in.get();
    if ((magic != "P5" && magic != "P6") || w <= 0 || h <= 0) return std::nullopt;
    const int channels = magic == "P6" ? 3 : 1;
    RgbImage img{w, h, {}};
    img.rgb.resize(static_cast<std::size_t>(w) * h * 3);
    std::size_t pos = static_cast<std::size_t>(in.tellg());
    if (out.size() < pos + static_cast<std::size_t>(w) * h * channels) return std::nullopt;
    for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i)
        for (int c = 0; c < 3; ++c)
            img.rgb[i * 3 + c] =
                static_cast<std::uint8_t>(out[pos + i * channels + (channels == 3 ? c : 0)]);
    return img;
}

struct Decoded {
    Status header;
    Status decode;
    RgbImage image;
};

// Drives a reader through header, rows and end the way the document does.
Decoded decodeAll(JpegReader& reader) {
    Decoded d;
    d.header = reader.ReadHeader();
    if (!d.header) return d;
    auto begun = reader.BeginDecode();
    if (!begun) {
        d.decode = begun.error();
        return d;
    }
    d.image.width = reader.Width();
    d.image.height = reader.Height();
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
    JpegReader reader;
    EXPECT_TRUE(reader.OpenMemory(bytes));
    return decodeAll(reader);
}

class JpegReaderTest : public ::testing::Test {
protected:
    std::filesystem::path write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        auto path = m_dir / name;
        test::writeFile(path, bytes);
        return path;
    }
    test::TempDir m_dir;
};

// --- pixels against libjpeg's own output -----------------------------------------------------

struct PixelCase {
    const char* name;
    int width, height;
    JpegOptions options;
};

class JpegPixelTest : public JpegReaderTest, public ::testing::WithParamInterface<PixelCase> {};

TEST_P(JpegPixelTest, MatchesLibraryDecoder) {
    const PixelCase& c = GetParam();
    auto path = write(std::string(c.name) + ".jpg", encodeJpeg(c.width, c.height, c.options));
    auto expected = decodeWithDjpeg(path);
    ASSERT_TRUE(expected) << "djpeg refused the test file";
    auto ours = test::decodeWithKalder(path);
    ASSERT_TRUE(ours);
    EXPECT_LE(test::maxChannelDifference(*ours, *expected), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, JpegPixelTest,
    ::testing::Values(
        PixelCase{"baseline420", 97, 61, {}},
        PixelCase{"baseline444", 64, 48, {.lumaH = 1, .lumaV = 1}},
        PixelCase{"baseline422", 33, 17, {.lumaH = 2, .lumaV = 1}},
        PixelCase{"progressive", 120, 90, {.progressive = true}},
        PixelCase{"gray", 50, 70, {.space = JCS_GRAYSCALE}},
        PixelCase{"grayProgressive", 50, 70, {.progressive = true, .space = JCS_GRAYSCALE}},
        PixelCase{"restarts", 200, 100, {.restartRows = 1}},
        PixelCase{"quality30", 80, 80, {.quality = 30}}, PixelCase{"onePixel", 1, 1, {}},
        // Under one block both ways: no reduced transform may be picked.
        PixelCase{"tiny3x7", 3, 7, {}}, PixelCase{"tiny5x5", 5, 5, {.progressive = true}},
        PixelCase{"tiny7x2", 7, 2, {.lumaH = 1, .lumaV = 1}},
        PixelCase{"tiny2x2", 2, 2, {.space = JCS_GRAYSCALE}}, PixelCase{"narrow9x3", 9, 3, {}},
        PixelCase{"odd17x1", 17, 1, {.progressive = true}},
        PixelCase{"oneRow", 300, 1, {.progressive = true}}),
    [](const auto& info) { return std::string(info.param.name); });

// CMYK files are turned into RGB from inverted (Adobe) inks: channel = ink' * black' / 255.
TEST_F(JpegReaderTest, CmykAndYcckBecomeRgb) {
    for (J_COLOR_SPACE space : {JCS_CMYK, JCS_YCCK}) {
        auto bytes = encodeJpeg(40, 30, {.quality = 100, .space = space, .lumaH = 1, .lumaV = 1});
        JpegReader reader;
        ASSERT_TRUE(reader.OpenMemory(bytes));
        auto d = decodeAll(reader);
        ASSERT_TRUE(d.header);
        ASSERT_TRUE(d.decode);
        EXPECT_EQ(reader.BitsPerPixel(), 32u);
        const auto source = pattern(40, 30, 4);
        int worst = 0;
        for (std::size_t i = 0; i < 40 * 30; ++i)
            for (int c = 0; c < 3; ++c) {
                const int expected = (source[i * 4 + c] * source[i * 4 + 3] + 127) / 255;
                worst = std::max(worst, std::abs(expected - d.image.rgb[i * 3 + c]));
            }
        EXPECT_LE(worst, 6) << "space " << space;  // quality 100 still rounds the inks a little

        auto path = write("cmyk.jpg", bytes);
        if (auto pillow = test::decodeWithPillow(path)) {
            EXPECT_LE(test::maxChannelDifference(d.image, *pillow), 1);
        }
    }
}

// --- the start marker search -----------------------------------------------------------------

TEST_F(JpegReaderTest, FindsStartMarkerBehindHeaderBlocksUpTo896) {
    const auto jpeg = encodeJpeg(24, 16, {});
    const auto plain = decodeBytes(jpeg);
    ASSERT_TRUE(plain.decode);
    for (std::size_t offset : {128u, 512u, 896u, 1024u}) {
        test::Bytes file;
        file.fill(offset, 0x11).append(jpeg);
        auto path = write("block" + std::to_string(offset) + ".jpg", file.data);
        auto ours = test::decodeWithKalder(path);
        if (offset <= 896) {
            ASSERT_TRUE(ours) << offset;
            EXPECT_EQ(test::maxChannelDifference(*ours, plain.image), 0);
        } else {
            EXPECT_FALSE(ours) << "a start marker at 1024 is beyond the search";
        }
    }
}

// --- truncation and damage -------------------------------------------------------------------

TEST_F(JpegReaderTest, TruncatedFileShowsWhatWasDecoded) {
    for (bool progressive : {false, true}) {
        auto full = encodeJpeg(128, 128, {.progressive = progressive});
        std::vector<std::uint8_t> cut(full.begin(), full.begin() + full.size() / 2);
        auto path = write("cut.jpg", cut);
        auto ours = test::decodeWithKalder(path);
        ASSERT_TRUE(ours) << "a cut file decodes without error";
        auto expected = decodeWithDjpeg(path);
        ASSERT_TRUE(expected);
        EXPECT_LE(test::maxChannelDifference(*ours, *expected), 1);
        // The page says where the data ended; a whole file says nothing.
        LoadOptions lo;
        lo.path = path;
        ImageDocument doc;
        ASSERT_TRUE(doc.loadAll(lo, false));
        const std::int32_t row = doc.PageAt(0).dataEndsAtRow;
        EXPECT_GT(row, 0);
        EXPECT_LT(row, 128);
        EXPECT_EQ(pageDamageText(doc.PageAt(0)), "data ends at row " + std::to_string(row));
        lo.path = write("whole.jpg", full);
        ImageDocument wholeDoc;
        ASSERT_TRUE(wholeDoc.loadAll(lo, false));
        EXPECT_EQ(wholeDoc.PageAt(0).dataEndsAtRow, -1);
        if (!progressive) {
            // The top shows the picture, the missing bottom is the library's mid-gray: the rows
            // above that row (but the ones chroma smoothing reaches) and gray from one block
            // row below it.
            auto whole = decodeBytes(full);
            EXPECT_EQ(std::memcmp(ours->rgb.data(), whole.image.rgb.data(), 128 * 3 * (row - 2)),
                      0);
            const std::uint8_t* last = ours->at(64, std::min(127, row + 16));
            EXPECT_NEAR(last[0], 128, 2);
            EXPECT_NEAR(last[2], 128, 2);
        }
    }
}

TEST_F(JpegReaderTest, HostileInputsFailCleanly) {
    const auto good = encodeJpeg(32, 32, {});
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool headerOk;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, false});
    cases.push_back({"soiOnly", {0xFF, 0xD8, 0xFF}, false});
    cases.push_back({"notJpeg", std::vector<std::uint8_t>(2000, 0x42), false});
    // A file that holds only tables and no frame.
    cases.push_back({"tablesOnly", {0xFF, 0xD8, 0xFF, 0xD9}, false});
    {
        // The frame header claims zero height.
        auto bytes = good;
        for (std::size_t i = 0; i + 8 < bytes.size(); ++i)
            if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
                bytes[i + 5] = 0;
                bytes[i + 6] = 0;
                break;
            }
        cases.push_back({"zeroHeight", bytes, false});
    }
    for (const Case& c : cases) {
        JpegReader reader;
        ASSERT_TRUE(reader.OpenMemory(c.bytes));
        auto d = decodeAll(reader);
        EXPECT_EQ(d.header.ok(), c.headerOk) << c.name;
        // The failure is sticky.
        if (!d.header) {
            EXPECT_FALSE(reader.BeginDecode()) << c.name;
        }
    }
}

// The size a JPEG's frame header declares, reached by walking the segments as the library does;
// nullopt when the walk meets anything else first.
std::optional<std::pair<int, int>> declaredSize(const std::vector<std::uint8_t>& b) {
    if (b.size() < 2 || b[0] != 0xFF || b[1] != 0xD8) return std::nullopt;
    for (std::size_t i = 2; i + 9 <= b.size();) {
        if (b[i] != 0xFF) return std::nullopt;
        const std::uint8_t marker = b[i + 1];
        const std::size_t length = static_cast<std::size_t>(b[i + 2] << 8 | b[i + 3]);
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) return std::pair<int, int>{b[i + 7] << 8 | b[i + 8], b[i + 5] << 8 | b[i + 6]};
        if (marker == 0xDA || marker == 0xD9 || marker == 0xFF || length < 2) return std::nullopt;
        i += 2 + length;
    }
    return std::nullopt;
}

// Every damaged file either fails with an error of its own, or shows a picture of the size its
// frame header declares; the same bytes always give the same outcome and the same pixels.
TEST_F(JpegReaderTest, RandomDamageFailsCleanlyOrShowsTheDeclaredSize) {
    const auto progressive = encodeJpeg(64, 48, {.progressive = true, .restartRows = 2});
    const auto baseline = encodeJpeg(64, 48, {.space = JCS_GRAYSCALE});
    ASSERT_EQ(declaredSize(baseline), (std::pair<int, int>{64, 48}));
    std::mt19937 rng(7);
    int shown = 0, failed = 0;
    for (int round = 0; round < 300; ++round) {
        auto bytes = (round & 1) ? progressive : baseline;
        const int flips = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < flips; ++i)
            bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng());
        if (round % 3 == 0) bytes.resize(rng() % bytes.size());
        SCOPED_TRACE("round " + std::to_string(round));
        const auto shownImage = test::shownDespiteDamage<JpegReader>(bytes, decodeAll);
        if (!shownImage) {
            ++failed;
            continue;
        }
        ++shown;
        if (const auto size = declaredSize(bytes)) {
            EXPECT_EQ(shownImage->width, size->first);
            EXPECT_EQ(shownImage->height, size->second);
        }
    }
    // Both outcomes were met, so neither check above ran empty.
    EXPECT_GT(shown, 20);
    EXPECT_GT(failed, 20);
}

// --- header facts ----------------------------------------------------------------------------

TEST_F(JpegReaderTest, GrayAndColorFacts) {
    JpegReader gray;
    auto grayBytes = encodeJpeg(10, 10, {.space = JCS_GRAYSCALE});
    ASSERT_TRUE(gray.OpenMemory(grayBytes));
    ASSERT_TRUE(gray.ReadHeader());
    EXPECT_EQ(gray.Description(), "JPEG, gray-scale");
    EXPECT_EQ(gray.BitsPerPixel(), 8u);
    EXPECT_TRUE(gray.GetIsGray());
    Palette palette{};
    ASSERT_TRUE(gray.GetPalette(palette));
    EXPECT_EQ(palette[200 * 3], 200);
    EXPECT_EQ(palette[200 * 3 + 2], 200);

    JpegReader color;
    auto colorBytes = encodeJpeg(10, 10, {});
    ASSERT_TRUE(color.OpenMemory(colorBytes));
    ASSERT_TRUE(color.ReadHeader());
    EXPECT_EQ(color.Description(), "JPEG, color");
    EXPECT_EQ(color.BitsPerPixel(), 24u);
    EXPECT_FALSE(color.GetIsGray());
    Palette none{};
    EXPECT_TRUE(color.GetPalette(none));
    EXPECT_EQ(none, Palette{});
}

TEST_F(JpegReaderTest, JfifDensityToDpi) {
    struct Case {
        int unit, x, y, dpiX, dpiY;
    } cases[] = {
        {2, 28, 28, 71, 71}, {1, 300, 150, 300, 150}, {0, 1, 1, -1, -1}, {2, 118, 59, 300, 150}};
    for (const Case& c : cases) {
        JpegReader reader;
        auto bytes = encodeJpeg(8, 8, {.densityUnit = c.unit, .xDensity = c.x, .yDensity = c.y});
        ASSERT_TRUE(reader.OpenMemory(bytes));
        ASSERT_TRUE(reader.ReadHeader());
        EXPECT_EQ(reader.DpiX(), c.dpiX) << c.unit << " " << c.x;
        EXPECT_EQ(reader.DpiY(), c.dpiY) << c.unit << " " << c.y;
    }
}

TEST_F(JpegReaderTest, IccProfileFromApp2Chunks) {
    std::vector<std::uint8_t> profile(70000);  // more than one marker can carry
    for (std::size_t i = 0; i < profile.size(); ++i) profile[i] = static_cast<std::uint8_t>(i * 7);
    JpegReader with;
    auto withBytes = encodeJpeg(8, 8, {.icc = profile});
    ASSERT_TRUE(with.OpenMemory(withBytes));
    ASSERT_TRUE(with.ReadHeader());
    ColorSpace space;
    ASSERT_TRUE(with.GetColorSpace(space));
    EXPECT_EQ(space.kind, ColorSpace::Kind::Icc);
    EXPECT_EQ(space.iccProfile, profile);

    JpegReader without;
    auto withoutBytes = encodeJpeg(8, 8, {});
    ASSERT_TRUE(without.OpenMemory(withoutBytes));
    ASSERT_TRUE(without.ReadHeader());
    EXPECT_FALSE(without.GetColorSpace(space));
}

// --- markers: comments and Exif --------------------------------------------------------------

std::vector<std::uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

// "Exif\0\0" and a little-endian TIFF header with one directory holding Orientation = 6.
std::vector<std::uint8_t> exifPayload() {
    test::Bytes b;
    b.str("Exif").u8(0).u8(0);
    b.str("II").u16le(42).u32le(8);
    b.u16le(1).u16le(0x0112).u16le(3).u32le(1).u16le(6).u16le(0).u32le(0);
    return b.data;
}

std::size_t find(const std::vector<std::uint8_t>& hay, const std::vector<std::uint8_t>& needle) {
    auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end());
    return it == hay.end() ? std::string::npos : static_cast<std::size_t>(it - hay.begin());
}

TEST_F(JpegReaderTest, CommentsAndExifAreTakenOver) {
    // A long comment first pushes the Exif data across the 64 KiB input buffer.
    for (std::size_t padding : {0u, 65000u}) {
        JpegOptions o;
        if (padding) o.markers.push_back({JPEG_COM, std::vector<std::uint8_t>(padding, 'x')});
        o.markers.push_back({JPEG_COM, bytesOf("   Hello world")});
        o.markers.push_back({JPEG_APP0 + 1, exifPayload()});
        o.markers.push_back({JPEG_APP0 + 1, bytesOf("http://ns.adobe.com/xap/1.0/\0<x/>")});
        o.markers.push_back({JPEG_COM, bytesOf("  ")});
        o.markers.push_back({JPEG_COM, bytesOf(std::string("cut\0here", 8))});
        auto bytes = encodeJpeg(16, 16, o);
        auto path = write("markers.jpg", bytes);

        std::vector<std::string> comments;
        ExifBlock exif;
        ReaderSettings settings;
        settings.comments = &comments;
        settings.exif = &exif;
        JpegReader reader;
        ASSERT_TRUE(reader.OpenFile(path, settings));
        auto d = decodeAll(reader);
        ASSERT_TRUE(d.decode);
        std::vector<std::string> expected = {"Hello world", "cut"};
        if (padding) expected.insert(expected.begin(), std::string(padding, 'x'));
        EXPECT_EQ(comments, expected);
        ASSERT_FALSE(exif.isEmpty());
        const auto payload = exifPayload();
        EXPECT_TRUE(
            std::equal(exif.data().begin(), exif.data().end(), payload.begin() + 6, payload.end()));
        EXPECT_EQ(exif.fileOffset(), find(bytes, bytesOf("Exif")));
    }
}

// The Exif thumbnail directory points at a small JPEG inside the APP1 data; the reader decodes
// it from memory.
TEST_F(JpegReaderTest, ExifThumbnailDecodesFromMemory) {
    const auto thumb = encodeJpeg(40, 30, {});
    test::Bytes tiff;
    tiff.str("II").u16le(42).u32le(8);
    tiff.u16le(0).u32le(14);  // IFD0 without entries, then IFD1 at 14
    const std::uint32_t dataOffset = 14 + 2 + 3 * 12 + 4;
    tiff.u16le(3);
    tiff.u16le(0x0103).u16le(3).u32le(1).u16le(6).u16le(0);
    tiff.u16le(0x0201).u16le(4).u32le(1).u32le(dataOffset);
    tiff.u16le(0x0202).u16le(4).u32le(1).u32le(static_cast<std::uint32_t>(thumb.size()));
    tiff.u32le(0).append(thumb);
    test::Bytes payload;
    payload.str("Exif").u8(0).u8(0).append(tiff.data);
    JpegOptions o;
    o.markers.push_back({JPEG_APP0 + 1, payload.data});
    auto path = write("exifthumb.jpg", encodeJpeg(400, 300, o));

    ExifBlock exif;
    ReaderSettings settings;
    settings.exif = &exif;
    JpegReader reader;
    ASSERT_TRUE(reader.OpenFile(path, settings));
    ASSERT_TRUE(reader.ReadHeader());
    const auto embedded = exif.thumbnailJpeg();
    ASSERT_EQ(embedded.size(), thumb.size());
    JpegReader small;
    ASSERT_TRUE(small.OpenMemory(embedded));
    auto d = decodeAll(small);
    ASSERT_TRUE(d.decode);
    EXPECT_EQ(d.image.width, 40);
    EXPECT_EQ(d.image.height, 30);
    EXPECT_EQ(test::maxChannelDifference(d.image, decodeBytes(thumb).image), 0);
}

TEST_F(JpegReaderTest, MarkersWithoutCollectorsAreSkipped) {
    JpegOptions o;
    o.markers.push_back({JPEG_COM, bytesOf("ignored")});
    o.markers.push_back({JPEG_APP0 + 1, exifPayload()});
    auto d = decodeBytes(encodeJpeg(16, 16, o));
    EXPECT_TRUE(d.decode);
}

// --- thumbnails ------------------------------------------------------------------------------

TEST_F(JpegReaderTest, ThumbnailsUseTheLibraryScale) {
    struct Case {
        int w, h, size, tw, th;
    } cases[] = {{4000, 3000, 160, 500, 375},
                 {300, 200, 96, 150, 100},
                 {300, 200, 40, 75, 50},
                 {300, 200, 200, 300, 200},
                 {40000, 8, 160, 5000, 1}};
    for (const Case& c : cases) {
        auto path = write("thumb.jpg", encodeJpeg(c.w, c.h, {.quality = 50}));
        JpegReader reader;
        Bitmap32 bitmap;
        ASSERT_TRUE(reader.MakeThumbnail(path, bitmap, c.size, 0, nullptr)) << c.w;
        EXPECT_EQ(bitmap.width(), c.tw) << c.w << "x" << c.h << " at " << c.size;
        EXPECT_EQ(bitmap.height(), c.th);
    }
    // The wide one cannot be opened for viewing, only thumbnailed.
    ImageDocument doc;
    LoadOptions options;
    options.path = m_dir / "thumb.jpg";
    if (doc.Open(options)) {
        EXPECT_FALSE(doc.AddPage());
    }
}

TEST_F(JpegReaderTest, ThumbnailPixelsFollowTheImage) {
    auto path = write("t.jpg", encodeJpeg(256, 128, {.quality = 95}));
    JpegReader reader;
    Bitmap32 bitmap;
    ASSERT_TRUE(reader.MakeThumbnail(path, bitmap, 32, 0, nullptr));
    ASSERT_EQ(bitmap.width(), 32);
    // Red grows to the right, green downwards (bitmap bytes are blue, green, red).
    EXPECT_LT(bitmap.row(8)[2], bitmap.row(8)[31 * 4 + 2]);
    EXPECT_LT(bitmap.row(0)[1], bitmap.row(15)[1]);
}

// --- scaled display decode -------------------------------------------------------------------

// Smooth, photo-like content: broad waves in each channel with a little grain.
std::vector<std::uint8_t> photoLike(int w, int h) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(w) * h * 3);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> grain(-3, 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = static_cast<double>(x) / w, v = static_cast<double>(y) / h;
            const double c[3] = {128 + 90 * std::sin(6.0 * u + 2.0 * v),
                                 128 + 80 * std::cos(4.0 * v - 3.0 * u * v),
                                 100 + 70 * std::sin(5.0 * (u + v)) * std::cos(3.0 * u)};
            for (int k = 0; k < 3; ++k)
                p[(static_cast<std::size_t>(y) * w + x) * 3 + k] =
                    static_cast<std::uint8_t>(std::clamp(c[k] + grain(random), 0.0, 255.0));
        }
    return p;
}

// Decodes through the row pipeline into target size; hinted or at full size. Reports the size
// the reader delivered.
void fittedDecode(const std::filesystem::path& path, int W, int H, bool hint, Bitmap32& out,
                  PixelSize& delivered) {
    JpegReader reader;
    EXPECT_TRUE(reader.OpenFile(path, {}));
    EXPECT_TRUE(reader.ReadHeader());
    if (hint) reader.hintDecodeSize(W, H);
    EXPECT_TRUE(reader.BeginDecode());
    delivered = {reader.Width(), reader.Height()};
    PipelineSettings ps;
    ps.sourceWidth = reader.Width();
    ps.sourceHeight = reader.Height();
    EXPECT_TRUE(out.Create(W, H));
    EXPECT_TRUE(runRowPipeline(
        ps, out, [&reader](std::uint8_t* rgb, bool skip) { return reader.ReadRow(rgb, skip); }));
    reader.EndDecode();
}

double psnr(const Bitmap32& a, const Bitmap32& b) {
    double sum = 0;
    std::int64_t n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width() * 4; ++x) {
            if (x % 4 == 3) continue;
            const double d = a.row(y)[x] - b.row(y)[x];
            sum += d * d;
            ++n;
        }
    return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(n)));
}

TEST_F(JpegReaderTest, FittedDecodeRunsScaledAndLooksTheSame) {
    struct Case {
        int w, h, W, H, dw, dh;                      // image, target, size the library delivers
    } cases[] = {{1600, 1200, 800, 600, 800, 600},   // exactly half
                 {1600, 1200, 500, 375, 600, 450},   // 3/8, then the pipeline reduces
                 {2000, 1000, 260, 130, 500, 250},   // 1/8 would fall short of the target
                 {1203, 901, 1100, 824, 1203, 901},  // too close to full size to scale
                 {1203, 901, 1000, 749, 1053, 789},  // 7/8, rounded up
                 {1001, 777, 126, 98, 126, 98}};     // 1/8 rounded up covers it exactly
    for (const Case& c : cases) {
        const auto pixels = photoLike(c.w, c.h);
        auto path = write("photo.jpg", encodeJpeg(c.w, c.h, {.quality = 92, .pixels = &pixels}));
        PixelSize full, scaled;
        Bitmap32 reference, fast;
        fittedDecode(path, c.W, c.H, false, reference, full);
        fittedDecode(path, c.W, c.H, true, fast, scaled);
        EXPECT_EQ(full, (PixelSize{c.w, c.h}));
        EXPECT_EQ(scaled, (PixelSize{c.dw, c.dh})) << c.w << "x" << c.h << " to " << c.W;
        EXPECT_GT(psnr(reference, fast), 40.0) << c.w << "x" << c.h << " to " << c.W;
    }
}

// --- cancellation ----------------------------------------------------------------------------

TEST_F(JpegReaderTest, CancelStopsTheDecode) {
    auto path = write("c.jpg", encodeJpeg(64, 64, {.progressive = true}));
    CancelFlag cancel;
    cancel.cancel();
    ReaderSettings settings;
    settings.cancel = &cancel;
    JpegReader reader;
    ASSERT_TRUE(reader.OpenFile(path, settings));
    auto d = decodeAll(reader);
    ASSERT_TRUE(d.header);
    EXPECT_EQ(d.decode.error(), DecodeError::Cancelled);
}

// --- the shared public test images -----------------------------------------------------------

TEST(JpegExternalData, EveryFileDecodesOrFailsCleanly) {
    auto root = test::externalTestData();
    if (!root) GTEST_SKIP() << "external test data not present";
    int valid = 0;
    for (const auto& [path, family, status] : kalder::test::manifestEntries("JPEG")) {
        const auto file = *root / path;
        JpegReader reader;
        ASSERT_TRUE(reader.OpenFile(file, {}));
        auto d = decodeAll(reader);
        if (status != "valid") continue;  // damaged files only have to come back
        ++valid;
        ASSERT_TRUE(d.header) << path;
        ASSERT_TRUE(d.decode) << path;
        if (auto pillow = test::decodeWithPillow(file)) {
            EXPECT_LE(test::maxChannelDifference(d.image, *pillow), 1) << path;
        }
    }
    EXPECT_GT(valid, 0);
}

}  // namespace
}  // namespace kalder::image
