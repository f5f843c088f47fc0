// The icon, cursor and animated-cursor writers, read back by our readers and, where installed,
// by Pillow and icotool. The writers take our own data only, so they have no fuzz target.
#include "image/writers/icon_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>

#include "image/cdx_loader.h"
#include "image/image_document.h"
#include "support/test_support.h"

using namespace kalder::image;
namespace fs = std::filesystem;
using kalder::test::readFile;
using kalder::test::TempDir;

namespace {

// A page with pixels made from (x, y) and, optionally, an opacity plane.
struct Page {
    std::int32_t size = 16;
    std::int32_t bits = 32;
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> alpha;
    WriterImage image;

    Page(std::int32_t side, std::int32_t depth, bool withAlpha, bool soft = false)
        : size(side), bits(depth), softAlpha(withAlpha && soft) {
        const std::size_t n = static_cast<std::size_t>(side) * side;
        pixels.resize(n * (depth == 32 ? 4 : 1));
        for (std::int32_t y = 0; y < side; ++y)
            for (std::int32_t x = 0; x < side; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * side + x;
                if (depth == 32) {
                    pixels[i * 4] = static_cast<std::uint8_t>(x * 7);
                    pixels[i * 4 + 1] = static_cast<std::uint8_t>(y * 5);
                    pixels[i * 4 + 2] = static_cast<std::uint8_t>(x + y);
                } else {
                    pixels[i] = static_cast<std::uint8_t>((x + y) % (1 << depth));
                }
            }
        if (withAlpha) {
            alpha.resize(n);
            for (std::size_t i = 0; i < n; ++i)
                alpha[i] = soft ? static_cast<std::uint8_t>(i * 13) : (i % 3 ? 255 : 0);
        }
        image.pixels = pixels.data();
        image.alphaPlane = alpha.empty() ? nullptr : alpha.data();
        image.width = image.height = side;
        image.bits = depth;
        for (int c = 0; c < 256; ++c) {
            image.palette[c * 3] = static_cast<std::uint8_t>(c * 16 + 1);
            image.palette[c * 3 + 1] = static_cast<std::uint8_t>(255 - c * 8);
            image.palette[c * 3 + 2] = static_cast<std::uint8_t>(c * 3);
        }
    }

    // The colour of (x, y) as red, green, blue; masked true-colour pixels are black.
    std::array<std::uint8_t, 3> rgb(std::int32_t x, std::int32_t y) const {
        const std::size_t i = static_cast<std::size_t>(y) * size + x;
        if (bits != 32) {
            const std::uint8_t* c = image.palette.data() + pixels[i] * 3;
            return {c[0], c[1], c[2]};
        }
        if (!alpha.empty() && alpha[i] < 128 && !soft()) return {0, 0, 0};
        return {pixels[i * 4 + 2], pixels[i * 4 + 1], pixels[i * 4]};
    }
    bool soft() const { return softAlpha; }
    bool softAlpha = false;
};

std::unique_ptr<ImageDocument> load(const fs::path& path) {
    auto doc = std::make_unique<ImageDocument>();
    LoadOptions o;
    o.path = path;
    o.extractAlpha = true;
    if (!doc->loadAll(o, true)) return nullptr;
    return doc;
}

// Pixels and opacity of a decoded page against the page written.
void expectSame(const ImagePage& got, const Page& want) {
    ASSERT_EQ(got.bitmap.width(), want.size);
    ASSERT_EQ(got.bitmap.height(), want.size);
    int bad = 0;
    for (std::int32_t y = 0; y < want.size; ++y)
        for (std::int32_t x = 0; x < want.size; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * want.size + x;
            const std::uint8_t* p = got.bitmap.row(y) + x * 4;
            const auto c = want.rgb(x, y);
            const bool opaque = want.alpha.empty() || want.alpha[i] >= 128 || want.soft();
            if (opaque && (p[2] != c[0] || p[1] != c[1] || p[0] != c[2])) ++bad;
            if (!want.alpha.empty()) {
                const std::uint8_t a =
                    want.soft() ? want.alpha[i] : (want.alpha[i] >= 128 ? 255 : 0);
                if (i >= got.alphaPlane.size() || got.alphaPlane[i] != a) ++bad;
            }
        }
    EXPECT_EQ(bad, 0);
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        if (::pclose(p) != 0) out.clear();
    }
    return out;
}

bool pillow() { return std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0; }
bool icotool() { return std::system("icotool --version >/dev/null 2>&1") == 0; }

// Pillow's sizes of an icon, and for each size whether its opaque pixels match ours.
std::string pillowCheck(const fs::path& path, const std::vector<const Page*>& pages) {
    std::string script =
        "import sys\nfrom PIL import Image\nim=Image.open(sys.argv[1])\n"
        "print(sorted(im.info.get('sizes')))\n";
    for (const Page* p : pages) {
        script += "i=im.ico.getimage((" + std::to_string(p->size) + "," + std::to_string(p->size) +
                  ")).convert('RGBA')\nsys.stdout.write('%d,%d,%d,%d;' % i.getpixel((" +
                  std::to_string(p->size - 1) + ",1)))\n";
    }
    return run("/usr/bin/python3 -c \"" + script + "\" '" + path.string() + "' 2>/dev/null");
}

}  // namespace

TEST(IconWriter, TwoImagesLieOneAfterTheOtherAndReadBack) {
    TempDir dir;
    const fs::path out = dir / "two.ico";
    Page big(32, 32, false), small(16, 4, true);
    IconWriter w(IconFileType::Icon);
    ASSERT_TRUE(w.Open(out).ok());
    ASSERT_TRUE(w.Write(big.image).ok());
    ASSERT_TRUE(w.Write(small.image).ok());
    ASSERT_TRUE(w.Close().ok());

    const std::vector<std::uint8_t> bytes = readFile(out);
    ASSERT_GE(bytes.size(), 38u);
    EXPECT_EQ(le16(bytes, 2), 1);
    EXPECT_EQ(le16(bytes, 4), 2);
    const std::uint32_t firstSize = le32(bytes, 6 + 8);
    EXPECT_EQ(le32(bytes, 6 + 12), 38u);
    EXPECT_EQ(le32(bytes, 22 + 12), 38u + firstSize);
    EXPECT_EQ(bytes[22 + 2], 16) << "a 4-bit image counts 16 colours";
    EXPECT_EQ(le16(bytes, 22 + 6), 4);
    EXPECT_EQ(bytes.size(), 38u + firstSize + le32(bytes, 22 + 8));

    auto doc = load(out);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->PageCount(), 2);
    expectSame(doc->PageAt(0), big);
    expectSame(doc->PageAt(1), small);

    if (pillow()) {
        auto seen = pillowCheck(out, {&big, &small});
        auto c1 = big.rgb(31, 1), c2 = small.rgb(15, 1);
        char want[160];
        std::snprintf(want, sizeof want, "[(16, 16), (32, 32)]\n%d,%d,%d,255;%d,%d,%d,255;", c1[0],
                      c1[1], c1[2], c2[0], c2[1], c2[2]);
        EXPECT_EQ(seen, want);
    }
    if (icotool()) {
        const std::string listed = run("icotool -l '" + out.string() + "'");
        EXPECT_NE(listed.find("--width=32 --height=32 --bit-depth=24"), std::string::npos)
            << listed;
        EXPECT_NE(listed.find("--width=16 --height=16 --bit-depth=4"), std::string::npos) << listed;
    }
}

TEST(IconWriter, CursorHotSpotsAreClampedToTheImage) {
    TempDir dir;
    const fs::path out = dir / "c.cur";
    Page page(32, 8, false);
    IconWriter w(IconFileType::Cursor);
    ASSERT_TRUE(w.Open(out).ok());
    w.setHotSpot(40, 5);
    ASSERT_TRUE(w.Write(page.image).ok());
    w.setHotSpot(-3, 99);
    ASSERT_TRUE(w.Write(page.image).ok());
    ASSERT_TRUE(w.Close().ok());
    auto doc = load(out);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->PageCount(), 2);
    EXPECT_EQ(doc->PageAt(0).hotSpotX, 31);
    EXPECT_EQ(doc->PageAt(0).hotSpotY, 5);
    EXPECT_EQ(doc->PageAt(1).hotSpotX, 0);
    EXPECT_EQ(doc->PageAt(1).hotSpotY, 31);
    expectSame(doc->PageAt(0), page);
    if (icotool()) {
        const std::string listed = run("icotool -l '" + out.string() + "'");
        EXPECT_NE(listed.find("--hotspot-x=31 --hotspot-y=5"), std::string::npos) << listed;
    }
}

TEST(IconWriter, SoftAlphaAndLargePagesRoundTrip) {
    TempDir dir;
    const fs::path out = dir / "modern.ico";
    Page soft(48, 32, true, true), large(256, 32, true, true), largePalette(256, 8, true);
    IconWriter w(IconFileType::Icon);
    ASSERT_TRUE(w.Open(out).ok());
    for (const Page* p : {&soft, &large, &largePalette}) ASSERT_TRUE(w.Write(p->image).ok());
    ASSERT_TRUE(w.Close().ok());

    const std::vector<std::uint8_t> bytes = readFile(out);
    EXPECT_EQ(le16(bytes, 6 + 6), 32) << "soft alpha is kept as a 32-bit bitmap";
    EXPECT_EQ(bytes[22], 0) << "256 pixels are stored as 0";
    if (cdx::pngApi(cdx::Group::Writers)) {
        const std::uint32_t at = le32(bytes, 22 + 12);
        EXPECT_EQ(std::string(bytes.begin() + at + 1, bytes.begin() + at + 4), "PNG");
    }
    auto doc = load(out);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->PageCount(), 3);
    expectSame(doc->PageAt(0), soft);
    expectSame(doc->PageAt(1), large);
    expectSame(doc->PageAt(2), largePalette);
    if (pillow()) {
        EXPECT_EQ(pillowCheck(out, {}), "[(48, 48), (256, 256)]\n");
    }
}

TEST(IconWriter, RefusesWhatIconsCannotHoldAndLeavesNoFile) {
    TempDir dir;
    Page tooBig(257, 32, false);
    IconWriter w(IconFileType::Icon);
    ASSERT_TRUE(w.Open(dir / "x.ico").ok());
    EXPECT_FALSE(w.Write(tooBig.image).ok());
    EXPECT_FALSE(w.Close().ok()) << "no images";
    EXPECT_TRUE(fs::is_empty(dir.path()));

    IconWriter elsewhere(IconFileType::Icon);
    EXPECT_FALSE(elsewhere.Open(dir / "missing" / "x.ico").ok());
}

TEST(AniWriter, FramesKeepTheirDelaysAndRepeatsSurvive) {
    TempDir dir;
    const fs::path out = dir / "a.ani";
    Page a(32, 32, false), b(32, 4, true);
    AniWriter w;
    ASSERT_TRUE(w.Open(out).ok());
    w.setFrame(3, 4, 10);
    ASSERT_TRUE(w.Write(a.image).ok());
    w.setFrame(0, 0, 20);
    ASSERT_TRUE(w.Write(b.image).ok());
    // The same picture again with another hot spot: a step readers must not drop.
    w.setFrame(1, 1, 20);
    ASSERT_TRUE(w.Write(b.image).ok());
    w.setFrame(3, 4, 50);
    ASSERT_TRUE(w.Write(a.image).ok());
    ASSERT_TRUE(w.Close().ok());

    const std::vector<std::uint8_t> bytes = readFile(out);
    EXPECT_EQ(le32(bytes, 4) + 8, bytes.size());
    EXPECT_EQ(le32(bytes, 12 + 8 + 4), 3u) << "the repeated first frame is stored once";
    EXPECT_EQ(le32(bytes, 12 + 8 + 8), 4u);

    auto doc = load(out);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->PageCount(), 4);
    const std::uint32_t delays[] = {10, 20, 20, 50};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(doc->PageAt(i).delay, delays[i]) << i;
        expectSame(doc->PageAt(i), i == 0 || i == 3 ? a : b);
    }
}
