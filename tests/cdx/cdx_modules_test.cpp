// The codec modules through their own C tables, loaded from the build root as the program loads
// them: every entry with good, cut and hostile input, and the limits that keep a file from
// making the module allocate what its header announces.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cdx/cdx_api.h"
#include "support/test_support.h"

extern "C" const char* kalderBuildTreeModuleFolder(void);

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

constexpr std::uint32_t kWidth = 24, kHeight = 16;

// The export `symbol` of a module in the build root, or null when the build has no such module.
// Modules stay loaded, as the program keeps them.
void* exported(const char* module, const char* symbol) {
    const std::string path = std::string(kalderBuildTreeModuleFolder()) + "/" + module;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle ? dlsym(handle, symbol) : nullptr;
}

// A filled table, after checking that the export refuses tables of another version or size.
template <typename Table>
bool fillTable(const char* module, const char* symbol, Table& table) {
    using Fill = int (*)(Table*);
    const auto fill = reinterpret_cast<Fill>(exported(module, symbol));
    if (!fill) return false;
    EXPECT_EQ(fill(nullptr), CDX_BAD_ARGUMENT) << symbol;
    table = Table{};
    table.abiVersion = CDX_ABI_VERSION + 1;
    table.size = sizeof table;
    EXPECT_EQ(fill(&table), CDX_BAD_ARGUMENT) << symbol;
    table.abiVersion = CDX_ABI_VERSION;
    table.size = sizeof table - 1;
    EXPECT_EQ(fill(&table), CDX_BAD_ARGUMENT) << symbol;
    table.size = sizeof table;
    return fill(&table) == CDX_OK;
}

// The test picture's row y as RGB bytes: gradients and hard edges.
void rgbRow(std::uint32_t y, std::uint8_t* out) {
    for (std::uint32_t x = 0; x < kWidth; ++x) {
        out[x * 3] = static_cast<std::uint8_t>(x * 10);
        out[x * 3 + 1] = static_cast<std::uint8_t>(y * 15);
        out[x * 3 + 2] = (x / 4 + y / 4) % 2 ? 220 : 30;
    }
}

// Row sources and byte sinks for the writers: `stopAt` rows are given, then the source stops;
// a failing sink refuses every write.
struct Writing {
    Bytes bytes;
    std::uint32_t stopAt = ~0u;
    bool sinkFails = false;
};

int rows(void* user, std::uint32_t y, std::uint32_t, std::uint8_t* out) {
    if (y >= static_cast<Writing*>(user)->stopAt) return 1;
    rgbRow(y, out);
    return 0;
}

int sink(void* user, const std::uint8_t* data, std::size_t size) {
    auto* w = static_cast<Writing*>(user);
    if (w->sinkFails) return 1;
    w->bytes.insert(w->bytes.end(), data, data + size);
    return 0;
}

// Palette rows: one index a pixel.
int indexRows(void*, std::uint32_t y, std::uint32_t, std::uint8_t* out) {
    for (std::uint32_t x = 0; x < kWidth; ++x) out[x] = static_cast<std::uint8_t>(x + y);
    return 0;
}

Bytes cut(const Bytes& b, std::size_t keep) { return {b.begin(), b.begin() + keep}; }

// The test picture as the PNG writer takes it.
CdxPngOptions rgbPng() {
    CdxPngOptions o{};
    o.width = kWidth;
    o.height = kHeight;
    o.bitDepth = 8;
    o.colorType = 2;
    return o;
}

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(CdxModules, Png) {
    CdxPngApi png;
    ASSERT_TRUE(fillTable(CDX_MODULE_NAME, "CDX_FillPNG", png));
    const CdxPngOptions o = rgbPng();
    CdxMessage m{};
    Writing good;
    ASSERT_EQ(png.write(&o, rows, sink, &good, &m), CDX_OK) << m.text;
    ASSERT_GT(good.bytes.size(), 8u);
    EXPECT_EQ(std::memcmp(good.bytes.data(), "\x89PNG", 4), 0);

    struct Case {
        const char* what;
        CdxPngOptions options;
        Writing writing;
        int status;
    };
    auto with = [&](auto change) {
        CdxPngOptions c = o;
        change(c);
        return c;
    };
    const std::uint8_t palette[3] = {1, 2, 3};
    std::vector<Case> cases = {
        {"zero width", with([](auto& c) { c.width = 0; }), {}, CDX_BAD_ARGUMENT},
        {"zero height", with([](auto& c) { c.height = 0; }), {}, CDX_BAD_ARGUMENT},
        {"palette without entries", with([](auto& c) { c.colorType = 3; }), {}, CDX_BAD_ARGUMENT},
        {"palette of no size",
         with([&](auto& c) { c.colorType = 3, c.palette = palette; }),
         {},
         CDX_BAD_ARGUMENT},
        {"texts missing", with([](auto& c) { c.textCount = 2; }), {}, CDX_BAD_ARGUMENT},
        {"bit depth 3", with([](auto& c) { c.bitDepth = 3; }), {}, CDX_ERROR},
        {"colour type 5", with([](auto& c) { c.colorType = 5; }), {}, CDX_ERROR},
        {"rows stop", o, {{}, 5, false}, CDX_CANCELLED},
        {"sink fails", o, {{}, ~0u, true}, CDX_ERROR},
    };
    for (auto& c : cases) {
        EXPECT_EQ(png.write(&c.options, rows, sink, &c.writing, &m), c.status) << c.what;
        if (c.status == CDX_ERROR) {
            EXPECT_NE(m.text[0], '\0') << c.what;
        }
    }
    EXPECT_EQ(png.write(nullptr, rows, sink, &good, &m), CDX_BAD_ARGUMENT);
    EXPECT_EQ(png.write(&o, nullptr, sink, &good, &m), CDX_BAD_ARGUMENT);
    EXPECT_EQ(png.write(&o, rows, nullptr, &good, nullptr), CDX_BAD_ARGUMENT);
}

int stopAfterFirstRow(void*, std::uint32_t, std::uint32_t done, std::uint32_t) {
    return done > 0 ? 1 : 0;
}

TEST(CdxModules, Jpeg) {
    CdxJpegApi jpeg;
    ASSERT_TRUE(fillTable(CDX_MODULE_NAME, "CDX_FillJPEG", jpeg));
    CdxJpegOptions o{};
    o.width = kWidth;
    o.height = kHeight;
    o.components = 3;
    o.quality = 90;
    CdxMessage m{};
    Writing good;
    ASSERT_EQ(jpeg.compress(&o, rows, sink, &good, &m), CDX_OK) << m.text;
    const Bytes& file = good.bytes;
    ASSERT_GT(file.size(), 4u);

    auto withOptions = [&](auto change) {
        CdxJpegOptions c = o;
        change(c);
        Writing w;
        return jpeg.compress(&c, rows, sink, &w, &m);
    };
    EXPECT_EQ(withOptions([](auto& c) { c.width = 0; }), CDX_BAD_ARGUMENT);
    EXPECT_EQ(withOptions([](auto& c) { c.height = 65501; }), CDX_BAD_ARGUMENT);
    EXPECT_EQ(withOptions([](auto& c) { c.components = 4; }), CDX_BAD_ARGUMENT);
    EXPECT_EQ(withOptions([](auto& c) { c.exifSize = 10; }), CDX_BAD_ARGUMENT);
    EXPECT_EQ(withOptions([](auto& c) { c.commentCount = 1; }), CDX_BAD_ARGUMENT);
    Writing stops{{}, 3, false}, refuses{{}, ~0u, true};
    EXPECT_EQ(jpeg.compress(&o, rows, sink, &stops, &m), CDX_CANCELLED);
    EXPECT_EQ(jpeg.compress(&o, rows, sink, &refuses, &m), CDX_ERROR);

    // Turned a quarter: the sides swap (both are whole blocks, so nothing is trimmed).
    struct Case {
        const char* what;
        Bytes input;
        std::int32_t operation;
        CdxJpegProgress progress;
        bool sinkFails;
        int status;
    };
    const std::vector<Case> cases = {
        {"good", file, CDX_JPEG_ROTATE_90, nullptr, false, CDX_OK},
        {"cut", cut(file, file.size() / 2), CDX_JPEG_ROTATE_90, nullptr, false, CDX_ERROR},
        {"not a JPEG", Bytes(200, 0x55), CDX_JPEG_FLIP_H, nullptr, false, CDX_ERROR},
        {"too short", cut(file, 3), CDX_JPEG_FLIP_H, nullptr, false, CDX_BAD_ARGUMENT},
        {"no operation", file, 0, nullptr, false, CDX_BAD_ARGUMENT},
        {"unknown operation", file, 8, nullptr, false, CDX_BAD_ARGUMENT},
        {"stopped", file, CDX_JPEG_ROTATE_180, stopAfterFirstRow, false, CDX_CANCELLED},
        {"sink fails", file, CDX_JPEG_FLIP_V, nullptr, true, CDX_ERROR},
    };
    for (const auto& c : cases) {
        Writing out{{}, ~0u, c.sinkFails};
        EXPECT_EQ(jpeg.transform(c.input.data(), c.input.size(), c.operation, 0, c.progress, sink,
                                 &out, &m),
                  c.status)
            << c.what;
        if (c.status == CDX_OK) {
            EXPECT_GT(out.bytes.size(), 4u) << c.what;
        }
        if (c.status == CDX_ERROR || c.status == CDX_CANCELLED) {
            EXPECT_NE(m.text[0], '\0') << c.what;
        }
    }
    EXPECT_EQ(jpeg.transform(nullptr, 100, CDX_JPEG_FLIP_H, 0, nullptr, sink, &good, &m),
              CDX_BAD_ARGUMENT);
    EXPECT_EQ(jpeg.transform(file.data(), file.size(), CDX_JPEG_FLIP_H, 0, nullptr, nullptr, &good,
                             nullptr),
              CDX_BAD_ARGUMENT);
}

TEST(CdxModules, Tiff) {
    CdxTiffApi tiff;
    ASSERT_TRUE(fillTable(CDX_MODULE_NAME, "CDX_FillTIFF", tiff));
    kalder::test::TempDir dir;
    const fs::path path = dir / "good.tif";
    CdxMessage m{};
    CdxTiff* out = nullptr;
    ASSERT_EQ(tiff.open(path.c_str(), "w", &out, &m), CDX_OK) << m.text;
    CdxTiffPage page{};
    page.width = kWidth;
    page.height = kHeight;
    page.compression = 5;  // LZW
    page.photometric = 2;
    page.bitsPerSample = 8;
    page.samplesPerPixel = 3;
    page.description = "twenty-four by sixteen";
    Writing writing;
    ASSERT_EQ(tiff.writePage(out, &page, rows, &writing), CDX_OK) << tiff.lastError(out);
    // Pages the writer refuses before writing anything.
    CdxTiffPage empty = page, noMap = page, palette = page;
    empty.width = 0;
    noMap.photometric = 3;
    EXPECT_EQ(tiff.writePage(out, &empty, rows, &writing), CDX_BAD_ARGUMENT);
    EXPECT_EQ(tiff.writePage(out, &noMap, rows, &writing), CDX_BAD_ARGUMENT);
    EXPECT_EQ(tiff.writePage(out, nullptr, rows, &writing), CDX_BAD_ARGUMENT);
    // A second page with a colour map.
    std::vector<std::uint16_t> map(3 * 256);
    for (std::size_t i = 0; i < map.size(); ++i) map[i] = static_cast<std::uint16_t>(i * 85);
    palette.photometric = 3;
    palette.samplesPerPixel = 1;
    palette.colorMap = map.data();
    palette.description = nullptr;
    ASSERT_EQ(tiff.writePage(out, &palette, indexRows, nullptr), CDX_OK) << tiff.lastError(out);
    tiff.close(out);
    const Bytes file = kalder::test::readFile(path);
    // A source that stops ends the write.
    ASSERT_EQ(tiff.open((dir / "stopped.tif").c_str(), "w", &out, &m), CDX_OK) << m.text;
    Writing stops{{}, 3, false};
    EXPECT_EQ(tiff.writePage(out, &page, rows, &stops), CDX_CANCELLED);
    tiff.close(out);

    // The good file, read back from memory: sizes, text, pixels of the first strip.
    CdxTiff* in = nullptr;
    ASSERT_EQ(tiff.openMemory(file.data(), file.size(), &in, &m), CDX_OK) << m.text;
    CdxTiffDirectory d{};
    ASSERT_EQ(tiff.directory(in, &d), CDX_OK);
    EXPECT_EQ(d.width, kWidth);
    EXPECT_EQ(d.height, kHeight);
    EXPECT_TRUE(d.rgbaReadable);
    char text[8];
    std::size_t length = 0;
    EXPECT_EQ(tiff.description(in, text, sizeof text, &length), CDX_OK);
    EXPECT_EQ(length, std::strlen(page.description));
    EXPECT_STREQ(text, "twenty-");  // cut to the buffer, terminated
    ASSERT_GT(d.rowsPerStrip, 0u);
    const std::uint32_t stripRows = std::min(d.rowsPerStrip, kHeight);
    std::vector<std::uint32_t> raster(kWidth * stripRows);
    const std::size_t capacity = raster.size() * 4;
    ASSERT_EQ(tiff.readRgbaStrip(in, 0, raster.data(), capacity), CDX_OK) << tiff.lastError(in);
    std::uint8_t expected[kWidth * 3];
    rgbRow(0, expected);
    // Bottom-up: the strip's first row is its last line; pixels are ABGR little-endian.
    const std::uint32_t topLeft = raster[(stripRows - 1) * kWidth + 5];
    EXPECT_EQ(topLeft & 0xFF, expected[15]);
    EXPECT_EQ(topLeft >> 8 & 0xFF, expected[16]);
    // A buffer too small, a row inside a strip, no tiles, no colour map on this page.
    EXPECT_EQ(tiff.readRgbaStrip(in, 0, raster.data(), capacity - 1), CDX_BAD_ARGUMENT);
    if (d.rowsPerStrip > 1) {
        EXPECT_EQ(tiff.readRgbaStrip(in, 1, raster.data(), capacity), CDX_BAD_ARGUMENT);
    }
    EXPECT_EQ(tiff.readRgbaStrip(in, kHeight, raster.data(), capacity), CDX_BAD_ARGUMENT);
    EXPECT_EQ(tiff.readRgbaTile(in, 0, 0, raster.data(), capacity), CDX_ERROR);
    std::uint16_t r[2], g[2], b[2];
    EXPECT_EQ(tiff.colorMap(in, r, g, b, 2), CDX_ERROR);
    EXPECT_STREQ(tiff.lastError(in), "no colour map");
    EXPECT_EQ(tiff.colorMap(in, r, g, b, 257), CDX_BAD_ARGUMENT);
    // The palette page's map, as written; the page after it does not exist.
    ASSERT_EQ(tiff.nextDirectory(in), CDX_OK) << tiff.lastError(in);
    ASSERT_EQ(tiff.directory(in, &d), CDX_OK);
    EXPECT_TRUE(d.hasColorMap);
    EXPECT_EQ(tiff.description(in, text, sizeof text, &length), CDX_ERROR);
    std::vector<std::uint16_t> red(256), green(256), blue(256);
    ASSERT_EQ(tiff.colorMap(in, red.data(), green.data(), blue.data(), 256), CDX_OK);
    EXPECT_EQ(red[7], map[7]);
    EXPECT_EQ(green[7], map[256 + 7]);
    EXPECT_EQ(blue[255], map[767]);
    EXPECT_EQ(tiff.nextDirectory(in), CDX_ERROR);
    // Writing through a reading handle fails with a message instead of crashing.
    EXPECT_NE(tiff.writePage(in, &page, rows, &writing), CDX_OK);
    tiff.close(in);

    // The same pages in tiles of 16 (when libtiff's copier is there to make them).
    const fs::path tiled = dir / "tiled.tif";
    if (run("tiffcp -t -w 16 -l 16 '" + path.string() + "' '" + tiled.string() + "'")) {
        const Bytes tiles = kalder::test::readFile(tiled);
        ASSERT_EQ(tiff.openMemory(tiles.data(), tiles.size(), &in, &m), CDX_OK) << m.text;
        ASSERT_EQ(tiff.directory(in, &d), CDX_OK);
        ASSERT_TRUE(d.isTiled);
        ASSERT_EQ(d.tileWidth, 16u);
        std::vector<std::uint32_t> tile(16 * 16);
        ASSERT_EQ(tiff.readRgbaTile(in, 0, 0, tile.data(), tile.size() * 4), CDX_OK)
            << tiff.lastError(in);
        EXPECT_EQ(tile[15 * 16 + 5], topLeft);  // bottom-up as well
        EXPECT_EQ(tiff.readRgbaTile(in, 5, 0, tile.data(), tile.size() * 4), CDX_BAD_ARGUMENT);
        EXPECT_EQ(tiff.readRgbaTile(in, 16, 0, tile.data(), tile.size() * 4 - 1), CDX_BAD_ARGUMENT);
        EXPECT_EQ(tiff.readRgbaStrip(in, 0, raster.data(), capacity), CDX_ERROR);
        tiff.close(in);
    }

    // Cut, foreign and hostile files: refused at open, or by the strip read; never a crash.
    const fs::path crasher = kalder::test::sourceDir() /
                             "tests/data/crashers/tiff_lzw_strip_10000_square_in_200_bytes.tif";
    for (const Bytes& bad : {cut(file, 8), cut(file, file.size() / 2), Bytes(64, 0),
                             kalder::test::readFile(crasher)}) {
        CdxTiff* h = nullptr;
        if (tiff.openMemory(bad.data(), bad.size(), &h, &m) != CDX_OK) {
            EXPECT_EQ(h, nullptr);
            EXPECT_NE(m.text[0], '\0');
            continue;
        }
        CdxTiffDirectory hd{};
        EXPECT_EQ(tiff.directory(h, &hd), CDX_OK);
        // The strip read takes only what its buffer holds, whatever the header announces.
        std::vector<std::uint32_t> small(kWidth * stripRows);
        const int status = tiff.readRgbaStrip(h, 0, small.data(), small.size() * 4);
        if (std::uint64_t{hd.width} * std::min(hd.rowsPerStrip, hd.height) > small.size()) {
            EXPECT_EQ(status, CDX_BAD_ARGUMENT);
        }
        tiff.close(h);
    }
    EXPECT_EQ(tiff.openMemory(nullptr, 10, &in, &m), CDX_BAD_ARGUMENT);
    EXPECT_EQ(tiff.open(path.c_str(), "x", &in, &m), CDX_BAD_ARGUMENT);
    EXPECT_EQ(tiff.open(nullptr, "r", &in, &m), CDX_BAD_ARGUMENT);
    EXPECT_EQ(tiff.open((dir / "missing.tif").c_str(), "r", &in, &m), CDX_ERROR);
    EXPECT_EQ(tiff.directory(nullptr, &d), CDX_BAD_ARGUMENT);
    EXPECT_EQ(tiff.nextDirectory(nullptr), CDX_BAD_ARGUMENT);
    EXPECT_STREQ(tiff.lastError(nullptr), "");
    tiff.close(nullptr);
}

// A codestream in memory for the JPEG-2000 decoder; `stopAt` bytes read cancel it.
struct Stream {
    Bytes bytes;
    std::uint64_t position = 0;
    std::uint64_t stopAt = ~0ull;
};

std::size_t streamRead(void* user, std::uint8_t* out, std::size_t size) {
    auto* s = static_cast<Stream*>(user);
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(
        size, s->bytes.size() - std::min<std::uint64_t>(s->position, s->bytes.size())));
    if (n) std::memcpy(out, s->bytes.data() + s->position, n);
    s->position += n;
    return n;
}
int streamSeek(void* user, std::uint64_t position) {
    auto* s = static_cast<Stream*>(user);
    if (position > s->bytes.size()) return 0;
    s->position = position;
    return 1;
}
std::uint64_t streamTell(void* user) { return static_cast<Stream*>(user)->position; }
int streamProgress(void* user, std::uint64_t done, std::uint64_t) {
    return done >= static_cast<Stream*>(user)->stopAt ? 1 : 0;
}

TEST(CdxModules, Jpeg2000) {
    CdxJ2kApi j2k;
    ASSERT_TRUE(fillTable(CDX_MODULE_NAME, "CDX_FillJ2K", j2k));
    if (std::system("command -v opj_compress >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "opj_compress not installed";
    kalder::test::TempDir dir;
    std::string ppm = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
    for (std::uint32_t y = 0; y < kHeight; ++y) {
        std::uint8_t row[kWidth * 3];
        rgbRow(y, row);
        ppm.append(reinterpret_cast<const char*>(row), sizeof row);
    }
    kalder::test::writeText(dir / "in.ppm", ppm);
    ASSERT_TRUE(run("opj_compress -n 3 -i '" + (dir / "in.ppm").string() + "' -o '" +
                    (dir / "out.j2k").string() + "'"));
    const Bytes file = kalder::test::readFile(dir / "out.j2k");

    const CdxJ2kLimits roomy{4096, 4, 1 << 20, 0};
    struct Case {
        const char* what;
        Bytes bytes;
        CdxJ2kLimits limits;
        std::uint64_t stopAt;
        int status;
    };
    const std::vector<Case> cases = {
        {"good", file, roomy, ~0ull, CDX_OK},
        {"halved", file, {4096, 4, 1 << 20, 1}, ~0ull, CDX_OK},
        {"wider than allowed", file, {kWidth - 1, 4, 1 << 20, 0}, ~0ull, CDX_TOO_LARGE},
        {"too many components", file, {4096, 2, 1 << 20, 0}, ~0ull, CDX_TOO_LARGE},
        // What the decoded samples would take is refused before they are allocated.
        {"samples beyond the budget",
         file,
         {4096, 4, kWidth * kHeight * 4, 0},
         ~0ull,
         CDX_TOO_LARGE},
        {"cancelled", file, roomy, 1, CDX_CANCELLED},
        {"cut", cut(file, file.size() / 2), roomy, ~0ull, CDX_ERROR},
        {"header only", cut(file, 12), roomy, ~0ull, CDX_ERROR},
        {"empty", {}, roomy, ~0ull, CDX_ERROR},
        {"noise", Bytes(300, 0xA5), roomy, ~0ull, CDX_ERROR},
        {"tiles beyond count",
         kalder::test::readFile(kalder::test::sourceDir() /
                                "tests/data/crashers/j2k_55225_tiles_in_82_bytes.j2k"),
         roomy, ~0ull, CDX_ERROR},
    };
    for (const auto& c : cases) {
        Stream s{c.bytes, 0, c.stopAt};
        const CdxJ2kStream stream{&s,         c.bytes.size(), streamRead,
                                  streamSeek, streamTell,     streamProgress};
        CdxMessage m{};
        CdxJ2kImage* image = nullptr;
        const int status = j2k.decode(&stream, &c.limits, &image, &m);
        EXPECT_EQ(status, c.status) << c.what << ": " << m.text;
        if (status != CDX_OK) {
            EXPECT_EQ(image, nullptr) << c.what;
            EXPECT_NE(m.text[0], '\0') << c.what;
            continue;
        }
        CdxJ2kInfo info{};
        j2k.info(image, &info);
        const std::uint32_t scale = 1u << c.limits.reduce;
        EXPECT_EQ(info.x1 - info.x0, (kWidth + scale - 1) / scale) << c.what;
        EXPECT_EQ(info.components, 3u) << c.what;
        CdxJ2kComponent red{};
        ASSERT_EQ(j2k.component(image, 0, &red), CDX_OK) << c.what;
        ASSERT_NE(red.data, nullptr);
        if (c.limits.reduce == 0) {
            EXPECT_NEAR(red.data[5], 50, 2) << c.what;
        }
        EXPECT_EQ(j2k.component(image, 3, &red), CDX_BAD_ARGUMENT) << c.what;
        j2k.release(image);
    }
    Stream s{file};
    CdxJ2kStream noRead{&s, file.size(), nullptr, streamSeek, streamTell, nullptr};
    CdxJ2kImage* image = nullptr;
    EXPECT_EQ(j2k.decode(&noRead, &roomy, &image, nullptr), CDX_BAD_ARGUMENT);
    EXPECT_EQ(j2k.decode(nullptr, &roomy, &image, nullptr), CDX_BAD_ARGUMENT);
    CdxJ2kInfo info{1, 1, 1, 1, 1, 1};
    j2k.info(nullptr, &info);
    EXPECT_EQ(info.components, 0u);
    j2k.release(nullptr);
}

int cancelNow(void*) { return 1; }

// Files whose headers announce far more than they hold: a WebP canvas of 16384 x 16384 in 30
// bytes, a HEIF grid whose canvas lies far beyond the picture the file states, and a JPEG XL
// picture of a million by a million pixels in 7 bytes.
Bytes hugeWebpCanvas() {
    // The RIFF size announces a megabyte, the frames that would follow.
    Bytes b = {'R', 'I', 'F', 'F', 0,   0,   16, 0, 'W', 'E',
               'B', 'P', 'V', 'P', '8', 'X', 10, 0, 0,   0};
    b.insert(b.end(), {0, 0, 0, 0, 0xFF, 0x3F, 0, 0xFF, 0x3F, 0});  // flags, width - 1, height - 1
    return b;
}
Bytes hugeJxlPicture() {
    // The signature, then the size header: not small, height 1000000 in 30 bits, width by the
    // ratio 1:1; then the default metadata.
    return {0xFF, 0x0A, 0xFE, 0x11, 0x7A, 0x00, 0x12};
}
Bytes hugeHeifGrid() {
    return kalder::test::readFile(kalder::test::sourceDir() /
                                  "tests/data/crashers/heif_grid_canvas_beyond_its_picture.heic");
}

// The whole-picture decoders, each fed a file its own tool made from the writer's PNG.
struct RasterModule {
    const char* module;
    const char* symbol;
    const char* tool;  // {in} and {out} stand for the files
    const char* extension;
    Bytes (*huge)();  // a file announcing far more than it holds, or null
};

class CdxRasterModule : public testing::TestWithParam<RasterModule> {};

std::string replaced(std::string text, const std::string& what, const std::string& with) {
    text.replace(text.find(what), what.size(), with);
    return text;
}

TEST_P(CdxRasterModule, EveryEntry) {
    const RasterModule& p = GetParam();
    CdxRasterApi api;
    if (!fillTable(p.module, p.symbol, api)) GTEST_SKIP() << p.module << " not built";
    const std::string tool = std::string(p.tool).substr(0, std::string(p.tool).find(' '));
    if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << tool << " not installed";

    CdxPngApi png;
    ASSERT_TRUE(fillTable(CDX_MODULE_NAME, "CDX_FillPNG", png));
    const CdxPngOptions o = rgbPng();
    Writing source;
    ASSERT_EQ(png.write(&o, rows, sink, &source, nullptr), CDX_OK);
    kalder::test::TempDir dir;
    const fs::path in = dir / "in.png", out = dir / (std::string("out.") + p.extension);
    kalder::test::writeFile(in, source.bytes);
    ASSERT_TRUE(run(replaced(replaced(p.tool, "{in}", "'" + in.string() + "'"), "{out}",
                             "'" + out.string() + "'")));
    const Bytes file = kalder::test::readFile(out);

    const CdxRasterLimits roomy{4096, 1 << 24};
    struct Case {
        const char* what;
        Bytes bytes;
        CdxRasterLimits limits;
        bool decodes;
        int openStatus;  // CDX_ERROR: any failure, at open or at the frame
    };
    const std::vector<Case> cases = {
        {"good", file, roomy, true, CDX_OK},
        // The sizes are judged from the headers, before the library allocates pixels.
        {"wider than allowed", file, {kWidth - 1, 1 << 24}, false, CDX_TOO_LARGE},
        {"more pixels than allowed", file, {4096, kWidth * kHeight - 1}, false, CDX_TOO_LARGE},
        {"cut", cut(file, file.size() / 2), roomy, false, CDX_ERROR},
        {"header only", cut(file, 16), roomy, false, CDX_ERROR},
        {"empty", {}, roomy, false, CDX_ERROR},
        {"noise", Bytes(500, 0x3C), roomy, false, CDX_ERROR},
    };
    for (const auto& c : cases) {
        CdxMessage m{};
        CdxRaster* raster = nullptr;
        // Never a null block, even for no bytes: null is refused as a bad argument.
        const std::uint8_t none = 0;
        const int opened = api.open(c.bytes.empty() ? &none : c.bytes.data(), c.bytes.size(),
                                    &c.limits, &raster, &m);
        if (c.openStatus != CDX_ERROR) {
            EXPECT_EQ(opened, c.openStatus) << c.what << ": " << m.text;
        }
        if (opened != CDX_OK) {
            EXPECT_EQ(raster, nullptr) << c.what;
            EXPECT_NE(m.text[0], '\0') << c.what;
            continue;
        }
        CdxRasterInfo info{};
        api.info(raster, &info);
        EXPECT_EQ(info.width, kWidth) << c.what;
        EXPECT_EQ(info.height, kHeight) << c.what;
        const std::uint8_t* block = nullptr;
        std::size_t size = 1;
        api.iccProfile(raster, &block, &size);
        api.exif(raster, &block, &size);
        CdxRasterFrame frame{};
        const int decoded = api.nextFrame(raster, nullptr, nullptr, &frame, &m);
        if (c.decodes) {
            ASSERT_EQ(decoded, CDX_OK) << c.what << ": " << m.text;
            ASSERT_NE(frame.rgba, nullptr);
            EXPECT_EQ(frame.width, kWidth);
            EXPECT_GE(frame.stride, kWidth * 4u);
            // A lossy codec may shift colours a little; the red ramp stays.
            EXPECT_NEAR(frame.rgba[5 * 4], 50, 12) << c.what;
            EXPECT_EQ(frame.rgba[5 * 4 + 3], 255) << c.what;
            EXPECT_EQ(api.nextFrame(raster, nullptr, nullptr, &frame, &m), CDX_END) << c.what;
            const int thumb = api.thumbnail(raster, &frame, &m);
            EXPECT_TRUE(thumb == CDX_END || thumb == CDX_OK) << c.what;
        } else {
            EXPECT_NE(decoded, CDX_OK) << c.what << " decoded";
        }
        api.close(raster);
    }

    // What a hostile header announces is refused before the library allocates it, at open or at
    // the first frame.
    CdxRaster* raster = nullptr;
    CdxMessage m{};
    if (p.huge) {
        const Bytes huge = p.huge();
        int status = api.open(huge.data(), huge.size(), &roomy, &raster, &m);
        if (status == CDX_OK) {
            CdxRasterFrame frame{};
            status = api.nextFrame(raster, nullptr, nullptr, &frame, &m);
            api.close(raster);
        }
        EXPECT_EQ(status, CDX_TOO_LARGE) << m.text;
    }

    // Asked to stop before the first frame, it stops.
    ASSERT_EQ(api.open(file.data(), file.size(), &roomy, &raster, &m), CDX_OK) << m.text;
    CdxRasterFrame frame{};
    EXPECT_EQ(api.nextFrame(raster, cancelNow, nullptr, &frame, &m), CDX_CANCELLED);
    EXPECT_EQ(api.nextFrame(raster, nullptr, nullptr, nullptr, &m), CDX_BAD_ARGUMENT);
    api.close(raster);
    EXPECT_EQ(api.open(nullptr, 10, &roomy, &raster, &m), CDX_BAD_ARGUMENT);
    EXPECT_EQ(api.open(file.data(), file.size(), nullptr, &raster, &m), CDX_BAD_ARGUMENT);
    EXPECT_EQ(api.open(file.data(), file.size(), &roomy, nullptr, &m), CDX_BAD_ARGUMENT);
    EXPECT_EQ(api.nextFrame(nullptr, nullptr, nullptr, &frame, &m), CDX_BAD_ARGUMENT);
    api.close(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Modules, CdxRasterModule,
    testing::Values(RasterModule{CDX_WEBP_MODULE_NAME, "CDX_FillWEBP",
                                 "cwebp -lossless {in} -o {out}", "webp", hugeWebpCanvas},
                    RasterModule{CDX_HEIF_MODULE_NAME, "CDX_FillHEIF",
                                 "heif-enc -q 90 {in} -o {out}", "heic", hugeHeifGrid},
                    RasterModule{CDX_HEIF_MODULE_NAME, "CDX_FillHEIF",
                                 "avifenc -s 10 -l {in} {out}", "avif", nullptr},
                    RasterModule{CDX_JXL_MODULE_NAME, "CDX_FillJXL", "cjxl -d 0 {in} {out}", "jxl",
                                 hugeJxlPicture}),
    [](const testing::TestParamInfo<RasterModule>& info) {
        return std::string(info.param.extension);
    });

}  // namespace
