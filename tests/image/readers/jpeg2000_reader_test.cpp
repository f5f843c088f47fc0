#include "image/readers/jpeg2000_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/buffered_input.h"
#include "image/image_document.h"
#include "image/image_reader.h"
#include "image/readers/jp2_boxes_p.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

bool runPython(const test::TempDir& dir, const std::string& script, const std::string& args) {
    if (!test::havePillow()) return false;
    const fs::path file = dir / "make.py";
    std::ofstream(file) << script;
    return std::system(
               ("/usr/bin/python3 " + file.string() + " " + args + " >/dev/null 2>&1").c_str()) ==
           0;
}

// Writes a lossless JPEG-2000 file (codestream or JP2 by extension) of a fixed pattern.
const char* kMakeScript = R"(
import sys
from PIL import Image
out, w, h, mode = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
im = Image.new('RGB', (w, h))
px = im.load()
for y in range(h):
    for x in range(w):
        px[x, y] = ((x * 9 + y) % 256, (y * 5 + 3) % 256, ((x ^ y) * 7) % 256)
if mode == 'RGBA':
    im.putalpha(Image.linear_gradient('L').resize((w, h)))
elif mode == 'I;16':
    im = Image.frombytes('I;16', (w, h), bytes((i * 37) % 256 for i in range(w * h * 2)))
elif mode != 'RGB':
    im = im.convert(mode)
im.save(out, irreversible=False)
)";

struct PillowCase {
    const char* name;
    const char* extension;
    const char* mode;
    int width, height;
    const char* description;
};

class Jpeg2000AgainstPillow : public ::testing::TestWithParam<PillowCase> {};

TEST_P(Jpeg2000AgainstPillow, PixelsMatch) {
    const PillowCase& c = GetParam();
    test::TempDir dir;
    const fs::path file = dir / (std::string(c.name) + c.extension);
    if (!runPython(dir, kMakeScript,
                   file.string() + " " + std::to_string(c.width) + " " + std::to_string(c.height) +
                       " " + c.mode))
        GTEST_SKIP() << "Pillow with JPEG-2000 is not available";
    auto ours = test::decodeWithKalder(file);
    ASSERT_TRUE(ours) << c.name;
    auto expected = test::decodeWithPillow(file);
    ASSERT_TRUE(expected);
    EXPECT_EQ(test::maxChannelDifference(*ours, *expected), 0) << c.name;

    auto reader = makeJpeg2000Reader();
    ASSERT_TRUE(reader->OpenFile(file, {}) && reader->ReadHeader());
    EXPECT_EQ(reader->Description(), c.description);
    EXPECT_EQ(reader->Width(), c.width);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Jpeg2000AgainstPillow,
    ::testing::Values(PillowCase{"rgb_codestream", ".j2k", "RGB", 67, 41,
                                 "JPEG-2000 Codestream, color"},
                      PillowCase{"rgb_jp2", ".jp2", "RGB", 33, 70, "JP2 (JPEG-2000), color"},
                      PillowCase{"gray_jp2", ".jp2", "L", 40, 17, "JP2 (JPEG-2000), gray-scale"},
                      PillowCase{"one_pixel", ".j2k", "RGB", 1, 1, "JPEG-2000 Codestream, color"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Jpeg2000Reader, AlphaIsCompositedOverTheBackground) {
    test::TempDir dir;
    const fs::path file = dir / "a.jp2";
    if (!runPython(dir, kMakeScript, file.string() + " 16 256 RGBA")) GTEST_SKIP() << "no Pillow";
    auto reader = makeJpeg2000Reader();
    ASSERT_TRUE(reader->OpenFile(file, {}) && reader->ReadHeader());
    EXPECT_EQ(reader->Description(), "JP2 (JPEG-2000), color with alpha-channel");
    auto copied = test::decodeWithKalder(file);
    auto blended = test::decodeWithKalder(file, 0, true, makeColorRef(0, 255, 0));
    ASSERT_TRUE(copied && blended);
    // The gradient runs from transparent at the top to opaque at the bottom.
    EXPECT_GE(blended->at(5, 0)[1], 254);
    EXPECT_LE(std::abs(blended->at(5, 255)[0] - copied->at(5, 255)[0]), 1);
}

// 16-bit samples are shown with their high byte.
TEST(Jpeg2000Reader, SixteenBitSamplesAreScaledDown) {
    test::TempDir dir;
    Bytes pgm;
    pgm.str("P5\n5 3\n65535\n");
    for (int i = 0; i < 15; ++i) pgm.u16be(static_cast<std::uint32_t>(i * 4567));
    test::writeFile(dir / "deep.pgm", pgm.data);
    const std::string command = "opj_compress -i " + (dir / "deep.pgm").string() + " -o " +
                                (dir / "deep.j2k").string() + " -n 2 >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "opj_compress is not available";
    auto ours = test::decodeWithKalder(dir / "deep.j2k");
    ASSERT_TRUE(ours);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(ours->rgb[i * 3], (i * 4567) >> 8) << i;
}

// A codestream taken from a Pillow file, wrapped in boxes we build ourselves.
std::vector<std::uint8_t> codestream(const test::TempDir& dir) {
    const fs::path file = dir / "c.j2k";
    if (!runPython(dir, kMakeScript, file.string() + " 12 8 RGB")) return {};
    return test::readFile(file);
}

Bytes box(const char* type, const std::vector<std::uint8_t>& content) {
    Bytes b;
    b.u32be(static_cast<std::uint32_t>(content.size() + 8)).str(type).append(content);
    return b;
}

std::vector<std::uint8_t> colr(std::uint8_t method, std::uint32_t space) {
    return Bytes().u8(method).u8(0).u8(0).u32be(space).data;
}

std::vector<std::uint8_t> resolution(const char* type, std::uint16_t n, std::uint16_t d,
                                     std::int8_t e) {
    Bytes r;
    r.u16be(n)
        .u16be(d)
        .u16be(n * 2)
        .u16be(d)
        .u8(static_cast<std::uint8_t>(e))
        .u8(static_cast<std::uint8_t>(e));
    return box(type, r.data).data;
}

std::vector<std::uint8_t> jp2File(const std::vector<std::uint8_t>& header,
                                  const std::vector<std::uint8_t>& cs, bool longLength = false) {
    Bytes f;
    f.u32be(12).str("jP  ").u32be(0x0d0a870a);
    f.append(box("ftyp", Bytes().str("jp2 ").u32be(0).str("jp2 ").data).data);
    f.append(box("jp2h", header).data);
    if (longLength) {
        f.u32be(1)
            .str("jp2c")
            .u32be(0)
            .u32be(static_cast<std::uint32_t>(cs.size() + 16))
            .append(cs);
    } else {
        f.append(box("jp2c", cs).data);
    }
    return f.data;
}

TEST(Jpeg2000Reader, BoxWalkChecksColourAndReadsResolution) {
    test::TempDir dir;
    const auto cs = codestream(dir);
    if (cs.empty()) GTEST_SKIP() << "no Pillow";
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        bool opens;
        std::int32_t dpiX, dpiY;
    };
    const auto srgb = box("colr", colr(1, 16)).data;
    std::vector<std::uint8_t> withRes = srgb;
    const auto res = box("res ", resolution("resc", 11811, 1, 0)).data;
    withRes.insert(withRes.end(), res.begin(), res.end());
    std::vector<std::uint8_t> bothRes = srgb;
    auto both = resolution("resc", 11811, 1, 0);
    auto display = resolution("resd", 11811, 10, 1);  // 11811 / 10 * 10: the same, later box
    both.insert(both.end(), display.begin(), display.end());
    const auto res2 = box("res ", both).data;
    bothRes.insert(bothRes.end(), res2.begin(), res2.end());
    std::vector<std::uint8_t> prefixed(128, 0);
    const auto plain = jp2File(srgb, cs);
    prefixed.insert(prefixed.end(), plain.begin(), plain.end());
    auto truncatedBox = jp2File(srgb, cs);
    truncatedBox.resize(truncatedBox.size() - 10);

    std::vector<Case> cases;
    cases.push_back({"srgb", plain, true, -1, -1});
    cases.push_back({"gray space", jp2File(box("colr", colr(1, 17)).data, cs), true, -1, -1});
    cases.push_back({"icc profile", jp2File(box("colr", colr(2, 0)).data, cs), false, -1, -1});
    cases.push_back({"sycc", jp2File(box("colr", colr(1, 18)).data, cs), false, -1, -1});
    cases.push_back({"capture resolution", jp2File(withRes, cs), true, 600, 300});
    cases.push_back({"two resolutions", jp2File(bothRes, cs), true, 600, 300});
    cases.push_back({"64-bit length", jp2File(srgb, cs, true), true, -1, -1});
    cases.push_back({"128-byte prefix", prefixed, true, -1, -1});
    cases.push_back({"box past the end", truncatedBox, false, -1, -1});
    for (const Case& c : cases) {
        const fs::path file = dir / "case.jp2";
        test::writeFile(file, c.file);
        auto reader = makeJpeg2000Reader();
        const bool opened = reader->OpenFile(file, {}) && reader->ReadHeader();
        EXPECT_EQ(opened, c.opens) << c.name;
        if (!opened) continue;
        EXPECT_EQ(reader->DpiX(), c.dpiX) << c.name;
        EXPECT_EQ(reader->DpiY(), c.dpiY) << c.name;
        auto pixels = test::decodeWithKalder(file);
        ASSERT_TRUE(pixels) << c.name;
        EXPECT_EQ(pixels->width, 12);
    }
}

TEST(Jpeg2000Reader, ResolutionArithmetic) {
    EXPECT_EQ(jp2ResolutionDpi(11811, 1, 0), 300);
    EXPECT_EQ(jp2ResolutionDpi(2835, 1, 0), 72);
    EXPECT_EQ(jp2ResolutionDpi(11811, 100, 2), 300);
    EXPECT_EQ(jp2ResolutionDpi(1, 0, 0), -1);
    EXPECT_EQ(jp2ResolutionDpi(65535, 1, 127), -1);
    EXPECT_EQ(jp2ResolutionDpi(1, 1, -128), -1);
}

TEST(Jpeg2000Reader, TruncatedAndDamagedFilesFailCleanly) {
    test::TempDir dir;
    const auto cs = codestream(dir);
    if (cs.empty()) GTEST_SKIP() << "no Pillow";
    const auto file = jp2File(box("colr", colr(1, 16)).data, cs);
    for (std::size_t keep : {13u, 40u, 60u, 90u, 120u}) {
        if (keep >= file.size()) continue;
        std::vector<std::uint8_t> cut(file.begin(),
                                      file.begin() + static_cast<std::ptrdiff_t>(keep));
        auto reader = makeJpeg2000Reader();
        if (reader->OpenMemory(cut) && reader->ReadHeader() && reader->BeginDecode()) {
            std::vector<std::uint8_t> row(static_cast<std::size_t>(reader->Width()) * 3);
            for (int y = 0; y < reader->Height(); ++y)
                if (!reader->ReadRow(row.data(), false)) break;
        }
    }
    // Flipped bytes all over the codestream.
    for (std::size_t i = 0; i < cs.size(); i += 3) {
        auto damaged = cs;
        damaged[i] ^= 0x5a;
        auto reader = makeJpeg2000Reader();
        if (reader->OpenMemory(damaged) && reader->ReadHeader() && reader->BeginDecode()) {
            std::vector<std::uint8_t> row(static_cast<std::size_t>(reader->Width()) * 3);
            for (int y = 0; y < reader->Height(); ++y)
                if (!reader->ReadRow(row.data(), false)) break;
        }
    }
}

// A bare codestream: the size marker, one coding and one quantization segment, no tiles.
std::vector<std::uint8_t> headerOnlyCodestream(std::uint32_t side, std::uint32_t tile) {
    Bytes b;
    b.u16be(0xFF4F).u16be(0xFF51).u16be(41).u16be(0);
    b.u32be(side).u32be(side).u32be(0).u32be(0).u32be(tile).u32be(tile).u32be(0).u32be(0);
    b.u16be(1).u8(7).u8(1).u8(1);
    b.u16be(0xFF52).u16be(12).u8(0).u8(0).u16be(1).u8(0).u8(5).u8(4).u8(4).u8(0).u8(1);
    b.u16be(0xFF5C).u16be(19).u8(0x40).fill(16, 0x40);
    b.u16be(0xFFD9);
    return b.data;
}

TEST(Jpeg2000Reader, SizeMarkerIsWeighedAgainstTheStream) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool ok;
    };
    auto padded = [](std::vector<std::uint8_t> b, std::size_t n) {
        b.resize(b.size() + n, 0);
        return b;
    };
    const std::vector<Case> cases = {
        {"small image", headerOnlyCodestream(64, 64), true},
        {"55225 tiles in 82 bytes", headerOnlyCodestream(30000, 128), false},
        {"900 M samples in 82 bytes", headerOnlyCodestream(30000, 30000), false},
        {"900 M samples in 9 KB", padded(headerOnlyCodestream(30000, 30000), 9000), true},
        {"cut inside the marker", std::vector<std::uint8_t>(10, 0xFF), false},
    };
    for (const Case& c : cases) {
        BufferedInput in;
        in.openMemory(std::span<const std::uint8_t>(c.bytes));
        EXPECT_EQ(readJ2kSize(in, 0, c.bytes.size()).ok(), c.ok) << c.name;
    }

    // A header the codec never sees: no size for the properties, the placeholder thumbnail.
    test::TempDir dir;
    const fs::path file = dir / "tiles.j2k";
    test::writeFile(file, headerOnlyCodestream(30000, 128));
    ImageInfo info;
    ReadImageInfo(file, info, true);
    EXPECT_EQ(info.width, 0);
    ImageDocument document;
    EXPECT_TRUE(document.MakeThumbnail(file, 120, 0xffffff, nullptr, false, true));
}

// A smooth picture, so that a reduced decode and a box average agree closely.
const char* kGradientScript = R"(
import sys
from PIL import Image
im = Image.new('RGB', (256, 192))
px = im.load()
for y in range(192):
    for x in range(256):
        px[x, y] = (x, (y * 4) // 3, (x + y) // 2)
im.save(sys.argv[1], irreversible=False)
im.reduce(4).save(sys.argv[2])
)";

TEST(Jpeg2000Reader, TargetSizeLeavesOutResolutionLevels) {
    test::TempDir dir;
    const fs::path file = dir / "g.jp2", quarter = dir / "q.png";
    if (!runPython(dir, kGradientScript, file.string() + " " + quarter.string()))
        GTEST_SKIP() << "no Pillow";
    auto expected = test::decodeWithPillow(quarter);
    ASSERT_TRUE(expected);

    auto reader = makeJpeg2000Reader();
    ASSERT_TRUE(reader->OpenFile(file, {}) && reader->ReadHeader());
    EXPECT_EQ(reader->Width(), 256);
    reader->hintDecodeSize(60, 45);  // two levels fit: 64 x 48
    ASSERT_TRUE(reader->BeginDecode());
    ASSERT_EQ(reader->Width(), 64);
    ASSERT_EQ(reader->Height(), 48);
    test::RgbImage ours{64, 48, std::vector<std::uint8_t>(64 * 48 * 3)};
    for (int y = 0; y < 48; ++y) ASSERT_TRUE(reader->ReadRow(ours.rgb.data() + y * 64 * 3, false));
    EXPECT_LE(test::maxChannelDifference(ours, *expected), 4);

    // The document keeps the image's own size on the page and fits the reduced decode.
    LoadOptions options;
    options.path = file;
    options.fitWidth = 100;
    options.fitHeight = 100;
    ImageDocument document;
    ASSERT_TRUE(document.loadAll(options, false));
    EXPECT_EQ(document.PageAt(0).width, 256u);
    EXPECT_EQ(document.PageAt(0).bitmap.width(), 100);
    EXPECT_EQ(document.PageAt(0).bitmap.height(), 75);
}

TEST(Jpeg2000Reader, ExternalFilesDecodeOrFailCleanly) {
    auto root = test::externalTestData();
    if (!root) GTEST_SKIP() << "shared test data not found";
    std::ifstream manifest(*root / "MANIFEST.tsv");
    std::string line;
    int valid = 0, compared = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string path, family, status;
        std::getline(fields, path, '\t');
        std::getline(fields, family, '\t');
        std::getline(fields, status, '\t');
        if (family != "JP2") continue;
        const fs::path file = *root / path;
        auto ours = test::decodeWithKalder(file);
        if (status != "valid") continue;
        // Colour specifications we refuse rather than show wrongly: CMYK, an ICC profile, an
        // unknown enumerated space.
        const bool refused = path.find("cmyk") != std::string::npos ||
                             path.find("eciRGB") != std::string::npos ||
                             path.find("00r0_gray_l") != std::string::npos;
        ++valid;
        if (refused) {
            EXPECT_FALSE(ours) << path;
            continue;
        }
        EXPECT_TRUE(ours) << path;
        if (!ours) continue;
        auto expected = test::decodeWithPillow(file);
        if (!expected || path.find("16") != std::string::npos ||
            path.find("rgba") != std::string::npos || path.find("_la") != std::string::npos ||
            path.find("9bit") != std::string::npos)
            continue;
        ++compared;
        EXPECT_LE(test::maxChannelDifference(*ours, *expected), 1) << path;
    }
    EXPECT_GT(valid, 5);
    std::printf("compared %d of %d valid JPEG-2000 files with Pillow\n", compared, valid);
}

}  // namespace
}  // namespace kalder::image
