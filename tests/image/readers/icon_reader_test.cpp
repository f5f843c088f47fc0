#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "image/format_table.h"
#include "image/image_document.h"
#include "image/image_reader.h"
#include "image/readers/reader_factory.h"
#include "support/test_support.h"

namespace kalder::test {
namespace {

// One image of an icon file: a bitmap of `bits` with colours given as 0xAARRGGBB (32-bit) or
// palette indexes, and a mask bit per pixel (1 = transparent). Rows are top row first.
struct IconImageSpec {
    std::int32_t width = 2;
    std::int32_t height = 2;
    std::uint32_t bits = 32;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    std::vector<std::uint32_t> pixels;   // width * height
    std::vector<std::uint8_t> mask;      // width * height, empty = opaque
    std::uint16_t hotX = 0, hotY = 0;
};

std::vector<std::uint8_t> imageData(const IconImageSpec& s) {
    Bytes b;
    b.u32le(40).u32le(s.width).u32le(s.height * 2).u16le(1).u16le(s.bits).u32le(0).u32le(0);
    b.u32le(0).u32le(0).u32le(static_cast<std::uint32_t>(s.palette.size())).u32le(0);
    for (std::uint32_t c : s.palette) b.u8(c).u8(c >> 8).u8(c >> 16).u8(0);
    const std::size_t stride = (static_cast<std::size_t>(s.width) * s.bits + 31) / 32 * 4;
    for (std::int32_t y = s.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(stride, 0);
        for (std::int32_t x = 0; x < s.width; ++x) {
            const std::uint32_t v = s.pixels[static_cast<std::size_t>(y * s.width + x)];
            if (s.bits == 32) {
                row[x * 4] = v & 0xff;
                row[x * 4 + 1] = (v >> 8) & 0xff;
                row[x * 4 + 2] = (v >> 16) & 0xff;
                row[x * 4 + 3] = v >> 24;
            } else if (s.bits == 24) {
                row[x * 3] = v & 0xff;
                row[x * 3 + 1] = (v >> 8) & 0xff;
                row[x * 3 + 2] = (v >> 16) & 0xff;
            } else {
                const std::size_t bit = static_cast<std::size_t>(x) * s.bits;
                row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - s.bits - bit % 8));
            }
        }
        b.append(row);
    }
    const std::size_t maskStride = (static_cast<std::size_t>(s.width) + 31) / 32 * 4;
    for (std::int32_t y = s.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(maskStride, 0);
        for (std::int32_t x = 0; x < s.width; ++x) {
            if (!s.mask.empty() && s.mask[static_cast<std::size_t>(y * s.width + x)])
                row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        b.append(row);
    }
    return b.data;
}

// An icon (type 1) or cursor (type 2) file; `order` lists the storage order of the images.
std::vector<std::uint8_t> buildIcon(std::uint16_t type, const std::vector<IconImageSpec>& images,
                                    std::vector<std::size_t> order = {}) {
    if (order.empty())
        for (std::size_t i = 0; i < images.size(); ++i) order.push_back(i);
    std::vector<std::vector<std::uint8_t>> data;
    for (const auto& img : images) data.push_back(imageData(img));
    std::vector<std::uint32_t> offsets(images.size());
    std::uint32_t at = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i : order) {
        offsets[i] = at;
        at += static_cast<std::uint32_t>(data[i].size());
    }
    Bytes b;
    b.u16le(0).u16le(type).u16le(static_cast<std::uint32_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const auto& img = images[i];
        b.u8(img.width & 0xff).u8(img.height & 0xff).u8(0).u8(0);
        if (type == 2)
            b.u16le(img.hotX).u16le(img.hotY);
        else
            b.u16le(1).u16le(img.bits);
        b.u32le(static_cast<std::uint32_t>(data[i].size())).u32le(offsets[i]);
    }
    for (std::size_t i : order) b.append(data[i]);
    return b.data;
}

IconImageSpec solid(std::int32_t size, std::uint32_t argb) {
    IconImageSpec s;
    s.width = s.height = size;
    s.pixels.assign(static_cast<std::size_t>(size) * size, argb);
    return s;
}

struct Loaded {
    image::ImageDocument doc;
    bool opened = false;
};

std::unique_ptr<Loaded> loadAll(const std::filesystem::path& path, bool blend, bool extract,
                                image::ColorRef background = 0) {
    auto l = std::make_unique<Loaded>();
    image::LoadOptions o;
    o.path = path;
    o.blendAlpha = blend;
    o.extractAlpha = extract;
    o.backgroundColour = background;
    l->opened = l->doc.Open(o);
    if (l->opened) {
        while (l->doc.AddPage() && l->doc.DecodePage()) {
        }
    }
    return l;
}

TEST(IconReader, ThreeSizesGiveThreePagesInDirectoryOrder) {
    TempDir dir;
    writeFile(dir / "three.ico",
              buildIcon(1, {solid(16, 0xFF112233), solid(32, 0xFF445566), solid(48, 0xFF778899)}));
    auto l = loadAll(dir / "three.ico", false, false);
    ASSERT_TRUE(l->opened);
    ASSERT_EQ(l->doc.PageCount(), 3);
    const std::int32_t sizes[] = {16, 32, 48};
    for (int i = 0; i < 3; ++i) {
        const auto& page = l->doc.PageAt(i);
        EXPECT_EQ(page.width, static_cast<std::uint32_t>(sizes[i]));
        EXPECT_EQ(page.hotSpotX, -1);
        EXPECT_EQ(page.bitsPerPixel, 24u);
    }
    EXPECT_EQ(l->doc.description(), "Windows Icon, 3 page(s)");
    EXPECT_EQ(toRgb(l->doc.PageAt(2).bitmap).at(5, 5)[0], 0x77);
}

// The viewer starts on, and the thumbnail shows, the largest entry; of equal sizes the one with
// more colours.
TEST(IconReader, BestEntryIsPreferredAndThumbnailed) {
    IconImageSpec few = solid(48, 1);
    few.bits = 4;
    few.palette.assign(16, 0x0000FF);
    TempDir dir;
    writeFile(dir / "best.ico", buildIcon(1, {solid(16, 0xFF112233), few, solid(48, 0xFF00C000),
                                              solid(32, 0xFF445566)}));
    auto l = loadAll(dir / "best.ico", false, false);
    ASSERT_EQ(l->doc.PageCount(), 4);
    EXPECT_EQ(l->doc.preferredPage(), 2);
    image::ImageDocument thumbs;
    ASSERT_TRUE(thumbs.MakeThumbnail(dir / "best.ico", 24, 0xffffff, nullptr, false, false));
    const auto thumb = toRgb(thumbs.thumbnail());
    EXPECT_EQ(thumb.width, 24);
    EXPECT_EQ(thumb.at(3, 3)[1], 0xC0);
    EXPECT_EQ(thumb.at(3, 3)[0], 0);
}

TEST(IconReader, CursorHasHotSpotOnEveryPage) {
    IconImageSpec a = solid(4, 0xFF000000), b = solid(8, 0xFFFFFFFF);
    a.hotX = 1;
    a.hotY = 2;
    b.hotX = 7;
    b.hotY = 3;
    TempDir dir;
    // A cursor by its own type field, whatever the name says.
    writeFile(dir / "pointer.ico", buildIcon(2, {a, b}));
    auto l = loadAll(dir / "pointer.ico", false, false);
    ASSERT_EQ(l->doc.PageCount(), 2);
    EXPECT_EQ(l->doc.PageAt(0).hotSpotX, 1);
    EXPECT_EQ(l->doc.PageAt(0).hotSpotY, 2);
    EXPECT_EQ(l->doc.PageAt(1).hotSpotX, 7);
    EXPECT_EQ(l->doc.PageAt(1).hotSpotY, 3);
    EXPECT_EQ(l->doc.description(), "Windows Cursor, 2 page(s)");
}

TEST(IconReader, AlphaChannelIsCompositedAndExtracted) {
    IconImageSpec s;
    s.width = 2;
    s.height = 2;
    // Top row: opaque red, half-transparent green; bottom row: clear, 25% blue.
    s.pixels = {0xFFFF0000, 0x8000FF00, 0x00123456, 0x400000FF};
    s.mask = {1, 1, 1, 1};  // ignored for 32-bit images
    TempDir dir;
    writeFile(dir / "alpha.ico", buildIcon(1, {s}));
    const image::ColorRef bg = image::makeColorRef(200, 100, 50);
    auto l = loadAll(dir / "alpha.ico", true, true, bg);
    ASSERT_EQ(l->doc.PageCount(), 1);
    const RgbImage img = toRgb(l->doc.PageAt(0).bitmap);
    auto blend = [](int bgc, int s, int a) { return (bgc * (255 - a) + s * a) >> 8; };
    EXPECT_EQ(img.at(0, 0)[0], 255);
    EXPECT_EQ(img.at(1, 0)[0], blend(200, 0, 0x80));
    EXPECT_EQ(img.at(1, 0)[1], blend(100, 255, 0x80));
    EXPECT_EQ(img.at(0, 1)[0], blend(200, 0x12, 0));
    EXPECT_EQ(img.at(1, 1)[2], blend(50, 255, 0x40));
    const std::vector<std::uint8_t> expectedAlpha = {0xFF, 0x80, 0x00, 0x40};
    EXPECT_EQ(l->doc.PageAt(0).alphaPlane, expectedAlpha) << "top-down plane";
}

TEST(IconReader, MaskShowsBackgroundAndFillsPlane) {
    IconImageSpec s;
    s.width = 3;
    s.height = 2;
    s.bits = 8;
    s.palette = {0x000000, 0xFF8000, 0x00FF00};
    s.pixels = {1, 2, 1, 2, 1, 2};
    s.mask = {0, 1, 0, 0, 0, 1};
    TempDir dir;
    writeFile(dir / "mask.ico", buildIcon(1, {s}));
    const image::ColorRef bg = image::makeColorRef(9, 8, 7);
    auto l = loadAll(dir / "mask.ico", true, true, bg);
    ASSERT_EQ(l->doc.PageCount(), 1);
    EXPECT_EQ(l->doc.PageAt(0).bitsPerPixel, 8u);
    EXPECT_EQ(l->doc.PageAt(0).palette[3], 0xFF);
    const RgbImage img = toRgb(l->doc.PageAt(0).bitmap);
    EXPECT_EQ(img.at(1, 0)[0], 9);
    EXPECT_EQ(img.at(1, 0)[2], 7);
    EXPECT_EQ(img.at(0, 0)[0], 0xFF);
    EXPECT_EQ(img.at(2, 1)[1], 8);
    const std::vector<std::uint8_t> plane = {255, 0, 255, 255, 255, 0};
    EXPECT_EQ(l->doc.PageAt(0).alphaPlane, plane);
    // Without blending or extraction the mask is not applied.
    auto raw = loadAll(dir / "mask.ico", false, false);
    EXPECT_EQ(toRgb(raw->doc.PageAt(0).bitmap).at(1, 0)[1], 0xFF);
    EXPECT_TRUE(raw->doc.PageAt(0).alphaPlane.empty());
}

TEST(IconReader, EveryDepthDecodes) {
    for (std::uint32_t bits : {1u, 4u, 8u, 24u}) {
        IconImageSpec s;
        s.width = 5;
        s.height = 3;
        s.bits = bits;
        for (int i = 0; i < 15; ++i) {
            if (bits <= 8)
                s.pixels.push_back(static_cast<std::uint32_t>(i) % (1u << bits));
            else
                s.pixels.push_back(0x010203u * static_cast<std::uint32_t>(i));
        }
        if (bits <= 8)
            for (std::uint32_t i = 0; i < (1u << bits); ++i) s.palette.push_back(i * 0x0F0B07u);
        TempDir dir;
        writeFile(dir / "d.ico", buildIcon(1, {s}));
        auto l = loadAll(dir / "d.ico", false, false);
        ASSERT_EQ(l->doc.PageCount(), 1) << bits;
        const RgbImage img = toRgb(l->doc.PageAt(0).bitmap);
        for (int i = 0; i < 15; ++i) {
            const std::uint32_t v = s.pixels[static_cast<std::size_t>(i)];
            const std::uint32_t c = bits <= 8 ? s.palette[v] : v;
            EXPECT_EQ(img.at(i % 5, i / 5)[0], (c >> 16) & 0xff) << bits << " pixel " << i;
            EXPECT_EQ(img.at(i % 5, i / 5)[2], c & 0xff) << bits << " pixel " << i;
        }
    }
}

TEST(IconReader, ImagesAreReadWhateverOrderTheirDataComesIn) {
    TempDir dir;
    writeFile(dir / "order.ico",
              buildIcon(1, {solid(4, 0xFF0000FF), solid(6, 0xFF00FF00), solid(8, 0xFFFF0000)},
                        {2, 0, 1}));
    auto l = loadAll(dir / "order.ico", false, false);
    ASSERT_EQ(l->doc.PageCount(), 3);
    EXPECT_EQ(toRgb(l->doc.PageAt(0).bitmap).at(0, 0)[2], 0xFF);
    EXPECT_EQ(toRgb(l->doc.PageAt(1).bitmap).at(0, 0)[1], 0xFF);
    EXPECT_EQ(toRgb(l->doc.PageAt(2).bitmap).at(0, 0)[0], 0xFF);
}

TEST(IconReader, DirectorySizeZeroMeans256) {
    IconImageSpec s;
    s.width = s.height = 256;
    s.bits = 1;
    s.palette = {0x000000, 0xFFFFFF};
    s.pixels.assign(256 * 256, 1);
    const auto bytes = buildIcon(1, {s});
    EXPECT_EQ(bytes[6], 0);  // the directory stores 256 as 0
    auto reader = image::makeIconReader();
    ASSERT_TRUE(reader->OpenMemory(bytes).ok());
    ASSERT_TRUE(reader->ReadHeader().ok());
    EXPECT_EQ(reader->Width(), 256);
    EXPECT_EQ(reader->Height(), 256);
    EXPECT_FALSE(reader->IsSingleImage());
}

struct HostileIcon {
    const char* name;
    std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> patched(std::vector<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return b;
}

class IconHostileTest : public ::testing::TestWithParam<HostileIcon> {};

TEST_P(IconHostileTest, FailsCleanlyWithoutPages) {
    auto reader = image::makeIconReader();
    const auto& bytes = GetParam().bytes;
    ASSERT_TRUE(reader->OpenMemory(bytes).ok());
    bool ok = reader->ReadHeader().ok();
    if (ok) ok = reader->BeginDecode().ok();
    std::vector<std::uint8_t> row(static_cast<std::size_t>(std::max(reader->Width(), 1)) * 3);
    for (std::int32_t y = 0; ok && y < reader->Height(); ++y)
        ok = reader->ReadRow(row.data(), false).ok();
    EXPECT_FALSE(ok) << GetParam().name;
}

const std::vector<std::uint8_t> kGood = buildIcon(1, {solid(4, 0xFF000000)});

INSTANTIATE_TEST_SUITE_P(
    Files, IconHostileTest,
    ::testing::Values(HostileIcon{"count_zero", {0, 0, 1, 0, 0, 0}},
                      HostileIcon{"bad_type", {0, 0, 3, 0, 1, 0}},
                      HostileIcon{"directory_cut", {0, 0, 1, 0, 2, 0, 4, 4, 0, 0}},
                      HostileIcon{"offset_past_end", patched(kGood, 6 + 12, 0x7FFFFFFF)},
                      HostileIcon{"width_32768", patched(kGood, 22 + 4, 32768)},
                      HostileIcon{"height_negative", patched(kGood, 22 + 8, 0xFFFFFFF8u)},
                      HostileIcon{"pixels_cut",
                                  std::vector<std::uint8_t>(kGood.begin(), kGood.end() - 40)}),
    [](const auto& info) { return std::string(info.param.name); });

// Callers may take the size before BeginDecode (thumbnails, the fuzz harness): every frame must
// then deliver rows of exactly that size.
void decodeTakingSizeFirst(image::ImageReader& reader, const std::vector<std::uint8_t>& bytes) {
    ASSERT_TRUE(reader.OpenMemory(bytes).ok());
    if (!reader.ReadHeader()) return;
    for (int frame = 0; frame < 8; ++frame) {
        const std::int32_t w = reader.Width(), h = reader.Height();
        if (w <= 0 || h <= 0 || !reader.BeginDecode()) return;
        std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 3);
        for (std::int32_t y = 0; y < h; ++y)
            if (!reader.ReadRow(row.data(), false)) return;
        reader.EndDecode();
    }
}

TEST(IconReader, CrashersReplayCleanly) {
    const auto dir = sourceDir() / "tests" / "data" / "crashers";
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        std::unique_ptr<image::ImageReader> reader;
        if (name.rfind("icon_", 0) == 0)
            reader = image::makeIconReader();
        else if (name.rfind("ani_", 0) == 0)
            reader = image::makeAniReader();
        else if (name.rfind("bmp_", 0) == 0)
            reader = image::makeBmpReader();
        if (!reader) continue;
        SCOPED_TRACE(name);
        decodeTakingSizeFirst(*reader, readFile(entry.path()));
        ++replayed;
    }
    EXPECT_GE(replayed, 2);
}

TEST(IconReader, PngCompressedImage) {
    if (!image::createReaderForCode(image::FormatCode::Png)) GTEST_SKIP() << "no PNG reader yet";
    auto root = externalTestData();
    if (!root) GTEST_SKIP() << "shared external test data not found";
    const auto path = *root / "image-rs/ico/png_rgb8.ico";
    auto ours = decodeWithKalder(path);
    ASSERT_TRUE(ours.has_value());
    if (auto theirs = decodeWithPillow(path)) {
        EXPECT_EQ(maxChannelDifference(*ours, *theirs), 0);
    }
}

// Pillow's decode of the entry whose data lies at `offset`, as RGB without alpha.
std::optional<RgbImage> pillowIconEntry(const std::filesystem::path& path, std::uint32_t offset) {
    if (!havePillow()) return std::nullopt;
    TempDir dir;
    const std::string out = (dir / "entry.ppm").string();
    const std::string cmd =
        "/usr/bin/python3 -c \"import sys\nfrom PIL import IcoImagePlugin\n"
        "f=IcoImagePlugin.IcoFile(open(sys.argv[1],'rb'))\n"
        "i=[k for k,e in enumerate(f.entry) if e['offset']==int(sys.argv[2])][0]\n"
        "f.frame(i).convert('RGB').save(sys.argv[3])\" '" +
        path.string() + "' " + std::to_string(offset) + " '" + out + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) return std::nullopt;
    // Read back through Pillow's plain PPM, which the shared helper parses.
    return decodeWithPillow(out);
}

TEST(IconReader, SharedTestImages) {
    auto root = externalTestData();
    if (!root) GTEST_SKIP() << "shared external test data not found";
    std::ifstream manifest(*root / "MANIFEST.tsv");
    const bool havePng = image::createReaderForCode(image::FormatCode::Png) != nullptr;
    std::string line;
    int compared = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string path, family, status;
        std::getline(fields, path, '\t');
        std::getline(fields, family, '\t');
        std::getline(fields, status, '\t');
        if (family != "ICO" || status == "reference") continue;
        SCOPED_TRACE(path);
        const auto file = *root / path;
        const auto bytes = readFile(file);
        auto l = loadAll(file, true, true, 0xFFFFFF);  // must not crash
        if (status != "valid") continue;
        const bool pngInside = bytes.size() > 30 && bytes[22] == 0x89;
        if (pngInside && !havePng) continue;
        // decompression_bomb.ico is listed malformed; everything valid decodes every page.
        auto raw = loadAll(file, false, false);
        ASSERT_TRUE(raw->opened);
        const int count = bytes[4] | (bytes[5] << 8);
        EXPECT_EQ(raw->doc.PageCount(), count);
        for (int i = 0; i < raw->doc.PageCount(); ++i) {
            const std::size_t e = 6 + 16 * static_cast<std::size_t>(i);
            const std::uint32_t offset = bytes[e + 12] | (bytes[e + 13] << 8) |
                                         (bytes[e + 14] << 16) |
                                         (static_cast<std::uint32_t>(bytes[e + 15]) << 24);
            auto theirs = pillowIconEntry(file, offset);
            if (!theirs) continue;
            EXPECT_EQ(maxChannelDifference(toRgb(raw->doc.PageAt(i).bitmap), *theirs), 0)
                << "page " << i;
            ++compared;
        }
    }
    if (havePillow()) {
        EXPECT_GT(compared, 10);
    }
}

}  // namespace
}  // namespace kalder::test
