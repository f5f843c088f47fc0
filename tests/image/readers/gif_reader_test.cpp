#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "image/format_table.h"
#include "image/image_document.h"
#include "image/image_reader.h"
#include "support/test_support.h"

namespace kalder::test {
namespace {
namespace fs = std::filesystem;
using image::ImageDocument;
using image::LoadOptions;

// ---- A small GIF writer, independent of the reader ------------------------------------------

struct LzwOptions {
    bool clearAtStart = true;
    bool clearWhenFull = true;  // false: keep coding with a full table (no deferred clear)
    bool endCode = true;
    bool terminator = true;
};

std::vector<std::uint8_t> lzwEncode(const std::vector<std::uint8_t>& indexes, int minCodeSize,
                                    const LzwOptions& o = {}) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    std::vector<std::uint8_t> bytes;
    std::uint32_t acc = 0;
    int nbits = 0, codeSize = minCodeSize + 1, next = end + 1;
    auto put = [&](int code) {
        acc |= static_cast<std::uint32_t>(code) << nbits;
        nbits += codeSize;
        while (nbits >= 8) {
            bytes.push_back(static_cast<std::uint8_t>(acc));
            acc >>= 8;
            nbits -= 8;
        }
    };
    std::map<std::pair<int, int>, int> table;
    auto reset = [&] {
        table.clear();
        codeSize = minCodeSize + 1;
        next = end + 1;
    };
    if (o.clearAtStart) put(clear);
    int prefix = -1;
    for (std::uint8_t v : indexes) {
        if (prefix < 0) {
            prefix = v;
            continue;
        }
        auto it = table.find({prefix, v});
        if (it != table.end()) {
            prefix = it->second;
            continue;
        }
        put(prefix);
        if (next < 4096) {
            table[{prefix, v}] = next++;
            // The decoder grows its code size one code later than the encoder adds the entry.
            if (next > (1 << codeSize) && codeSize < 12) ++codeSize;
        } else if (o.clearWhenFull) {
            put(clear);
            reset();
        }
        prefix = v;
    }
    if (prefix >= 0) put(prefix);
    if (o.endCode) put(end);
    if (nbits > 0) bytes.push_back(static_cast<std::uint8_t>(acc));
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < bytes.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, bytes.size() - i);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), bytes.begin() + i, bytes.begin() + i + n);
    }
    if (o.terminator) out.push_back(0);
    return out;
}

struct FrameSpec {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> indexes;     // width * height, row order
    std::vector<std::uint8_t> localTable;  // entries * 3 (power of two) or empty
    bool interlaced = false;
    int disposal = 0;
    int transparent = -1;
    int delay = -1;  // -1: no graphic control extension
    int minCodeSize = 8;
    LzwOptions lzw;
};

std::vector<std::uint8_t> paletteOf(int entries) {
    std::vector<std::uint8_t> p;
    for (int i = 0; i < entries; ++i) {
        p.push_back(static_cast<std::uint8_t>(i * 37 + 11));
        p.push_back(static_cast<std::uint8_t>(i * 91 + 3));
        p.push_back(static_cast<std::uint8_t>(255 - i * 13));
    }
    return p;
}

int tableBits(std::size_t bytes) {
    int bits = 1;
    while ((3u << bits) < bytes) ++bits;
    return bits;
}

Bytes gifHeader(int w, int h, const std::vector<std::uint8_t>& global) {
    Bytes b;
    b.str("GIF89a").u16le(w).u16le(h);
    const int bits = tableBits(global.size());
    b.u8(global.empty() ? 0x70 : 0x80 | ((bits - 1) << 4) | (bits - 1)).u8(0).u8(0);
    b.append(global);
    return b;
}

void addFrame(Bytes& b, const FrameSpec& f) {
    if (f.delay >= 0 || f.transparent >= 0 || f.disposal) {
        b.u8(0x21).u8(0xf9).u8(4).u8((f.disposal << 2) | (f.transparent >= 0 ? 1 : 0));
        b.u16le(std::max(f.delay, 0)).u8(std::max(f.transparent, 0)).u8(0);
    }
    b.u8(0x2c).u16le(f.left).u16le(f.top).u16le(f.width).u16le(f.height);
    const int lct = f.localTable.empty() ? 0 : 0x80 | (tableBits(f.localTable.size()) - 1);
    b.u8(lct | (f.interlaced ? 0x40 : 0)).append(f.localTable).u8(f.minCodeSize);
    std::vector<std::uint8_t> order = f.indexes;
    if (f.interlaced) {
        order.clear();
        const int passes[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
        for (auto& p : passes)
            for (int y = p[0]; y < f.height; y += p[1])
                order.insert(order.end(), f.indexes.begin() + y * f.width,
                             f.indexes.begin() + (y + 1) * f.width);
    }
    b.append(lzwEncode(order, f.minCodeSize, f.lzw));
}

std::vector<std::uint8_t> makeGif(int w, int h, const std::vector<std::uint8_t>& global,
                                  const std::vector<FrameSpec>& frames, bool trailer = true) {
    Bytes b = gifHeader(w, h, global);
    for (const auto& f : frames) addFrame(b, f);
    if (trailer) b.u8(0x3b);
    return b.data;
}

FrameSpec solid(int left, int top, int w, int h, std::uint8_t index) {
    FrameSpec f;
    f.left = left, f.top = top, f.width = w, f.height = h;
    f.indexes.assign(static_cast<std::size_t>(w) * h, index);
    return f;
}

std::vector<std::uint8_t> noise(std::size_t n, int modulo, unsigned seed) {
    std::vector<std::uint8_t> v(n);
    for (auto& x : v) {
        seed = seed * 1103515245u + 12345u;
        x = static_cast<std::uint8_t>((seed >> 16) % static_cast<unsigned>(modulo));
    }
    return v;
}

// ---- Decoding through the document -----------------------------------------------------------

struct Page {
    RgbImage rgb;
    std::vector<std::uint8_t> alpha;
    std::uint32_t delay = 0;
    std::int32_t transparentIndex = -1;
};

struct Decoded {
    std::vector<Page> pages;
    bool lastDecodeFailed = false;
    std::vector<std::string> comments;
};

Decoded decodeAll(const fs::path& path, bool blend = false, image::ColorRef bg = 0) {
    Decoded out;
    ImageDocument doc;
    LoadOptions o;
    o.path = path;
    o.blendAlpha = blend;
    o.backgroundColour = bg;
    o.extractAlpha = true;
    o.comments = &out.comments;
    if (!doc.Open(o)) return out;
    while (doc.AddPage()) {
        const bool ok = doc.DecodePage();
        const auto& p = doc.PageAt(doc.PageCount() - 1);
        if (!ok) {
            out.lastDecodeFailed = true;
            break;
        }
        out.pages.push_back({toRgb(p.bitmap), p.alphaPlane, p.delay, p.transparentIndex});
    }
    return out;
}

Decoded decodeBytes(const std::vector<std::uint8_t>& bytes, bool blend = false,
                    image::ColorRef bg = 0) {
    TempDir dir;
    writeFile(dir / "t.gif", bytes);
    return decodeAll(dir / "t.gif", blend, bg);
}

// Expected picture from palette indexes (-1 = the given fill colour).
RgbImage picture(int w, int h, const std::vector<int>& idx, const std::vector<std::uint8_t>& pal,
                 std::array<std::uint8_t, 3> fill = {0, 0, 0}) {
    RgbImage img{w, h, {}};
    for (int v : idx) {
        for (int c = 0; c < 3; ++c)
            img.rgb.push_back(v < 0 ? fill[c] : pal[static_cast<std::size_t>(v) * 3 + c]);
    }
    return img;
}

// ---- LZW through whole files -----------------------------------------------------------------

struct LzwCase {
    const char* name;
    int w, h, colours, minCodeSize;
    LzwOptions lzw;
    bool interlaced;
};

class GifLzw : public testing::TestWithParam<LzwCase> {};

TEST_P(GifLzw, DecodesWhatTheEncoderWrote) {
    const auto& c = GetParam();
    const auto pal = paletteOf(1 << std::clamp(c.minCodeSize, 1, 8));
    FrameSpec f = solid(0, 0, c.w, c.h, 0);
    f.indexes = noise(f.indexes.size(), c.colours, 7);
    // Long runs too, so strings get long and cross row ends.
    for (std::size_t i = f.indexes.size() / 2; i < f.indexes.size() * 3 / 4; ++i) f.indexes[i] = 1;
    f.minCodeSize = c.minCodeSize;
    f.lzw = c.lzw;
    f.interlaced = c.interlaced;
    auto d = decodeBytes(makeGif(c.w, c.h, pal, {f}));
    ASSERT_EQ(d.pages.size(), 1u);
    std::vector<int> idx(f.indexes.begin(), f.indexes.end());
    EXPECT_EQ(maxChannelDifference(d.pages[0].rgb, picture(c.w, c.h, idx, pal)), 0);
    EXPECT_EQ(d.pages[0].delay, 0u);  // no graphic control: a still image
}

INSTANTIATE_TEST_SUITE_P(
    Codes, GifLzw,
    testing::Values(LzwCase{"Tiny", 1, 1, 2, 2, {}, false},
                    LzwCase{"MinCodeSize1", 9, 7, 2, 1, {}, false},
                    LzwCase{"FourColours", 33, 17, 4, 2, {}, false},
                    LzwCase{"Interlaced", 31, 29, 16, 4, {}, true},
                    LzwCase{"InterlacedShort", 5, 3, 16, 4, {}, true},
                    LzwCase{"FullTableWithClears", 200, 150, 256, 8, {}, false},
                    LzwCase{"FullTableNoClear", 200, 150, 256, 8, {true, false, true, true}, false},
                    LzwCase{"NoLeadingClear", 64, 40, 200, 8, {false, true, true, true}, false},
                    LzwCase{"NoEndCode", 40, 40, 7, 3, {true, true, false, true}, false},
                    LzwCase{
                        "NoEndNoClearInterlaced", 40, 40, 7, 3, {false, false, false, true}, true},
                    LzwCase{"MinCodeSize11", 100, 60, 16, 11, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Composition ----------------------------------------------------------------------------

// Screen 4 x 1: frame 1 paints 0 0 0 0, frame 2 paints index 1 at x = 1..2 with the disposal
// under test, frame 3 paints index 2 at x = 2..3 (index 3 transparent at x = 3).
struct DisposalCase {
    int disposal;
    std::vector<int> third;  // expected third page, -1 = background
};

class GifDisposal : public testing::TestWithParam<DisposalCase> {};

TEST_P(GifDisposal, ThirdFrameSeesTheDisposedSecond) {
    const auto pal = paletteOf(4);
    FrameSpec a = solid(0, 0, 4, 2, 0);
    a.delay = 5;
    FrameSpec b = solid(1, 0, 2, 2, 1);
    b.disposal = GetParam().disposal;
    b.delay = 0;
    FrameSpec c = solid(2, 0, 2, 2, 2);
    c.indexes = {2, 3, 2, 3};
    c.transparent = 3;
    c.delay = 7;
    auto file = makeGif(4, 2, pal, {a, b, c});
    for (bool blend : {false, true}) {
        auto d = decodeBytes(file, blend, image::makeColorRef(1, 2, 3));
        ASSERT_EQ(d.pages.size(), 3u);
        EXPECT_EQ(d.pages[0].delay, 5u);
        EXPECT_EQ(d.pages[1].delay, 1u);  // zero counts as one hundredth
        EXPECT_EQ(d.pages[2].delay, 7u);
        EXPECT_EQ(d.pages[2].transparentIndex, 3);
        EXPECT_EQ(
            maxChannelDifference(d.pages[1].rgb, picture(4, 2, {0, 1, 1, 0, 0, 1, 1, 0}, pal)), 0);
        std::vector<int> row = GetParam().third;
        std::vector<int> both = row;
        both.insert(both.end(), row.begin(), row.end());
        // Uncovered pixels: black canvas without blending, the background colour with it.
        auto fill = blend ? std::array<std::uint8_t, 3>{1, 2, 3} : std::array<std::uint8_t, 3>{};
        EXPECT_EQ(maxChannelDifference(d.pages[2].rgb, picture(4, 2, both, pal, fill)), 0)
            << "blend " << blend;
        for (int x = 0; x < 4; ++x) EXPECT_EQ(d.pages[2].alpha[x], row[x] < 0 ? 0 : 255);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, GifDisposal,
                         testing::Values(DisposalCase{0, {0, 1, 2, 0}},
                                         DisposalCase{1, {0, 1, 2, 0}},
                                         DisposalCase{2, {0, -1, 2, 0}},
                                         DisposalCase{3, {0, 0, 2, 0}}));

TEST(GifReader, TransparentPixelsWhereNoFrameWasShowTheirColourOrTheBackground) {
    const auto pal = paletteOf(2);
    FrameSpec a = solid(0, 0, 2, 1, 0);
    a.indexes = {0, 1};
    a.transparent = 1;
    auto file = makeGif(3, 1, pal, {a});
    auto plain = decodeBytes(file, false);
    ASSERT_EQ(plain.pages.size(), 1u);
    EXPECT_EQ(maxChannelDifference(plain.pages[0].rgb, picture(3, 1, {0, 1, -1}, pal)), 0);
    EXPECT_EQ((plain.pages[0].alpha), (std::vector<std::uint8_t>{255, 0, 0}));
    auto blended = decodeBytes(file, true, image::makeColorRef(9, 8, 7));
    EXPECT_EQ(
        maxChannelDifference(blended.pages[0].rgb, picture(3, 1, {0, -1, -1}, pal, {9, 8, 7})), 0);
}

TEST(GifReader, OneRowFrameThatChangesNothingIsMergedIntoTheNext) {
    const auto pal = paletteOf(4);
    FrameSpec a = solid(0, 0, 3, 3, 2);
    a.delay = 10;
    FrameSpec same = solid(1, 1, 2, 1, 2);  // repeats the canvas
    same.delay = 20;
    FrameSpec clear = solid(0, 2, 3, 1, 3);  // fully transparent
    clear.transparent = 3;
    clear.delay = 30;
    FrameSpec b = solid(0, 0, 1, 1, 1);
    b.delay = 40;
    auto d = decodeBytes(makeGif(3, 3, pal, {a, same, clear, b}));
    ASSERT_EQ(d.pages.size(), 2u);
    EXPECT_EQ(d.pages[1].delay, 90u);
    // An empty frame at the very end has no page to carry its delay to.
    EXPECT_EQ(decodeBytes(makeGif(3, 3, pal, {a, same})).pages.size(), 1u);
    // A one-row frame that does change a pixel is a page of its own.
    FrameSpec differs = same;
    differs.indexes = {2, 0};
    EXPECT_EQ(decodeBytes(makeGif(3, 3, pal, {a, differs, b})).pages.size(), 3u);
}

TEST(GifReader, LocalTablesBitsGrayAndComments) {
    const std::vector<std::uint8_t> gray = {0, 0, 0, 255, 255, 255};
    FrameSpec a = solid(0, 0, 2, 2, 1);
    FrameSpec b = solid(0, 0, 1, 1, 0);
    b.localTable = paletteOf(8);
    Bytes bytes = gifHeader(2, 2, gray);
    bytes.u8(0x21).u8(0xfe).u8(3).str("  h").u8(2).str("i!").u8(0);
    addFrame(bytes, a);
    bytes.u8(0x21).u8(0xfe).u8(0);              // empty: not collected
    bytes.u8(0x21).u8(0x01).u8(1).u8(0).u8(0);  // plain text extension: skipped
    addFrame(bytes, b);
    bytes.u8(0x3b);
    TempDir dir;
    writeFile(dir / "t.gif", bytes.data);
    std::vector<std::string> comments;
    ImageDocument doc;
    LoadOptions o;
    o.path = dir / "t.gif";
    o.comments = &comments;
    ASSERT_TRUE(doc.Open(o));
    EXPECT_EQ(doc.description(), "CompuServe GIF");
    ASSERT_TRUE(doc.AddPage() && doc.DecodePage());
    EXPECT_TRUE(doc.PageAt(0).isGray);
    EXPECT_EQ(doc.PageAt(0).bitsPerPixel, 1u);
    ASSERT_TRUE(doc.AddPage() && doc.DecodePage());
    EXPECT_FALSE(doc.PageAt(1).isGray);
    EXPECT_EQ(doc.PageAt(1).bitsPerPixel, 3u);
    EXPECT_EQ(doc.PageAt(1).palette[3], paletteOf(8)[3]);
    EXPECT_FALSE(doc.AddPage());
    EXPECT_EQ(comments, (std::vector<std::string>{"hi!"}));
}

TEST(GifReader, FramesReachingPastTheScreenAreClippedNotMisread) {
    const auto pal = paletteOf(16);
    FrameSpec big = solid(2, 1, 7, 5, 0);
    big.indexes = noise(35, 16, 3);
    for (bool interlaced : {false, true}) {
        big.interlaced = interlaced;
        auto d = decodeBytes(makeGif(5, 4, pal, {big}));
        ASSERT_EQ(d.pages.size(), 1u);
        std::vector<int> idx(20, -1);
        for (int y = 1; y < 4; ++y)
            for (int x = 2; x < 5; ++x) idx[y * 5 + x] = big.indexes[(y - 1) * 7 + x - 2];
        EXPECT_EQ(maxChannelDifference(d.pages[0].rgb, picture(5, 4, idx, pal)), 0);
    }
    // A frame entirely outside (or of zero size) draws nothing but keeps the animation going.
    FrameSpec outside = solid(9, 0, 2, 2, 1);
    FrameSpec inside = solid(0, 0, 1, 1, 2);
    auto d = decodeBytes(
        makeGif(5, 4, pal, {outside, inside, solid(0, 4, 2, 2, 3), solid(0, 0, 1, 1, 1)}));
    ASSERT_EQ(d.pages.size(), 3u);  // the invisible third frame merges into the fourth
    EXPECT_EQ(d.pages[0].alpha, std::vector<std::uint8_t>(20, 0));
}

// ---- Damaged data ----------------------------------------------------------------------------

TEST(GifReader, MissingPixelsLeaveTheCanvasAlone) {
    const auto pal = paletteOf(4);
    FrameSpec a = solid(0, 0, 3, 2, 1);
    FrameSpec b = solid(0, 0, 3, 2, 2);
    b.indexes.resize(4);  // end code after four of six pixels
    auto d = decodeBytes(makeGif(3, 2, pal, {a, b}));
    ASSERT_EQ(d.pages.size(), 2u);
    EXPECT_EQ(maxChannelDifference(d.pages[1].rgb, picture(3, 2, {2, 2, 2, 2, 1, 1}, pal)), 0);
}

TEST(GifReader, BadInputFailsTheStepItIsIn) {
    const auto pal = paletteOf(4);
    FrameSpec good = solid(0, 0, 4, 4, 1);
    const auto file = makeGif(4, 4, pal, {good, good});
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::size_t pages;
    };
    std::vector<Case> cases;
    auto patched = [&](std::size_t at, std::uint8_t v) {
        auto b = file;
        b.at(at) = v;
        return b;
    };
    const std::size_t image = 13 + 12;  // the first image separator
    cases.push_back({"signature", patched(4, '8'), 0});
    cases.push_back({"screen too large", patched(7, 0x90), 0});
    cases.push_back({"min code size 0", patched(image + 10, 0), 0});
    cases.push_back({"min code size 12", patched(image + 10, 12), 0});
    cases.push_back({"image outside the screen is not an error", patched(image + 1, 9), 2});
    {
        Bytes b = gifHeader(4, 4, pal);
        b.u8(0x21).u8(0xf9).u8(5).fill(5, 0).u8(0);
        addFrame(b, good);
        cases.push_back({"control block size 5", b.data, 0});
        // Codes above the next free code: 2-bit data whose first code after the first string is 7.
        Bytes c = gifHeader(4, 4, pal);
        c.u8(0x2c).u16le(0).u16le(0).u16le(4).u16le(4).u8(0).u8(2).u8(2).u8(0xcc).u8(0x07).u8(0);
        cases.push_back({"code out of range", c.data, 0});
        Bytes t = gifHeader(4, 4, pal);
        t.u8(0x3b);
        cases.push_back({"trailer before any image", t.data, 0});
        Bytes s = gifHeader(4, 4, pal);
        addFrame(s, good);
        s.u8(0x2c).u16le(0).u16le(0).u16le(4).u16le(4).u8(0).u8(2).u8(200).u8(1).u8(2);
        cases.push_back({"sub-block longer than the file", s.data, 1});
        // 25 megapixels need at least 9.2 KB of 12-bit codes; 6 KB of comment cannot hold them.
        Bytes h = gifHeader(5000, 5000, pal);
        addFrame(h, good);
        h.u8(0x21).u8(0xfe);
        for (int i = 0; i < 24; ++i) h.u8(250).fill(250, 'x');
        h.u8(0).u8(0x3b);
        cases.push_back({"huge screen in a short file", h.data, 0});
    }
    cases.push_back({"no trailer", makeGif(4, 4, pal, {good, good}, false), 2});
    for (const auto& c : cases) {
        auto d = decodeBytes(c.bytes);
        EXPECT_EQ(d.pages.size(), c.pages) << c.name;
    }
}

TEST(GifReader, EveryTruncationEndsCleanly) {
    const auto pal = paletteOf(256);
    FrameSpec a = solid(0, 0, 40, 30, 0);
    a.indexes = noise(1200, 256, 5);
    FrameSpec b = a;
    b.interlaced = true;
    b.transparent = 4;
    b.delay = 3;
    const auto file = makeGif(40, 30, pal, {a, b});
    for (std::size_t n = 0; n < file.size(); n += 7) {
        std::vector<std::uint8_t> cut(file.begin(), file.begin() + n);
        auto d = decodeBytes(cut);
        EXPECT_LE(d.pages.size(), 2u);
    }
}

TEST(GifReader, ThreeHundredFramesGiveExactly256Pages) {
    const auto pal = paletteOf(4);
    std::vector<FrameSpec> frames;
    for (int i = 0; i < 300; ++i) {
        FrameSpec f = solid(i % 4, 0, 1, 2, static_cast<std::uint8_t>(i % 4));
        f.delay = 2;
        frames.push_back(f);
    }
    TempDir dir;
    writeFile(dir / "t.gif", makeGif(4, 2, pal, frames));
    ImageDocument doc;
    LoadOptions o;
    o.path = dir / "t.gif";
    ASSERT_TRUE(doc.Open(o));
    int pages = 0;
    while (doc.AddPage() && doc.DecodePage()) ++pages;
    EXPECT_EQ(pages, 256);
    EXPECT_EQ(doc.PageCount(), 256);
    EXPECT_FALSE(doc.AddPage());
}

}  // namespace
}  // namespace kalder::test

// ---- Independent decoders and public test files ----------------------------------------------

namespace kalder::test {
namespace {

// Pillow's picture with its alpha channel: width * height * 4 bytes, or nullopt.
std::optional<RgbImage> pillowRgba(const fs::path& path, int frame,
                                   std::vector<std::uint8_t>& alpha) {
    if (!havePillow()) return std::nullopt;
    TempDir dir;
    const fs::path out = dir / "frame.raw";
    const std::string script =
        "import sys\nfrom PIL import Image\nim=Image.open(sys.argv[1])\nim.seek(int(sys.argv[2]))\n"
        "im=im.convert('RGBA')\nopen(sys.argv[3],'wb').write(b'%d %d\\n' % im.size + "
        "im.tobytes())\n";
    std::ofstream(dir / "s.py") << script;
    const std::string cmd = "/usr/bin/python3 '" + (dir / "s.py").string() + "' '" + path.string() +
                            "' " + std::to_string(frame) + " '" + out.string() + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) return std::nullopt;
    auto bytes = readFile(out);
    auto nl = std::find(bytes.begin(), bytes.end(), '\n');
    if (nl == bytes.end()) return std::nullopt;
    std::istringstream head(std::string(bytes.begin(), nl));
    RgbImage img;
    head >> img.width >> img.height;
    const std::size_t n = static_cast<std::size_t>(img.width) * img.height;
    if (static_cast<std::size_t>(bytes.end() - nl - 1) != n * 4) return std::nullopt;
    alpha.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c) img.rgb.push_back(nl[1 + i * 4 + c]);
        alpha[i] = nl[1 + i * 4 + 3];
    }
    return img;
}

struct Mismatch {
    int colour = 0;      // opaque in both, different colour
    int oursOnly = 0;    // we show a frame's pixel where the reference is transparent
    int theirsOnly = 0;  // the reference is opaque where no frame covers our canvas
};

// Compares the part both pictures share (a reference may grow its canvas for frames that reach
// past the logical screen; ours stays at the screen size).
Mismatch compareWithAlpha(const Page& ours, const RgbImage& ref,
                          const std::vector<std::uint8_t>& refAlpha) {
    Mismatch m;
    const int w = std::min(ours.rgb.width, ref.width), h = std::min(ours.rgb.height, ref.height);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * ours.rgb.width + x;
            const std::size_t j = static_cast<std::size_t>(y) * ref.width + x;
            const bool a = ours.alpha[i] == 255, b = refAlpha[j] == 255;
            if (a && !b)
                ++m.oursOnly;
            else if (b && !a)
                ++m.theirsOnly;
            else if (a && std::memcmp(&ours.rgb.rgb[i * 3], &ref.rgb[j * 3], 3) != 0)
                ++m.colour;
        }
    }
    return m;
}

std::vector<fs::path> manifestGifs(const fs::path& root, const std::string& status) {
    std::vector<fs::path> out;
    std::ifstream in(root / "MANIFEST.tsv");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string path, family, st;
        std::getline(fields, path, '\t');
        std::getline(fields, family, '\t');
        std::getline(fields, st, '\t');
        const bool gif = path.ends_with(".gif") || path.ends_with(".gif87");
        if (family == "GIF" && gif && (status.empty() || st == status)) out.push_back(root / path);
    }
    return out;
}

// Pillow composes frames independently. Where it differs from us by design: it paints the
// file's background colour index into the first frame and into areas disposed with method 2
// (we leave them uncovered and show the load options' background), and it grows its canvas for
// frames that reach past the logical screen (we clip to the screen).
TEST(GifExternal, ValidFilesAgreeWithPillow) {
    auto root = externalTestData();
    if (!root) GTEST_SKIP() << "external test data not found";
    if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
    int compared = 0;
    for (const auto& path : manifestGifs(*root, "valid")) {
        auto d = decodeAll(path);
        const std::string name = path.filename().string();
        // Files we refuse on purpose: no image before the trailer, a screen taller than 32767,
        // a zero-size frame whose file ends inside its colour table.
        if (name == "no-data.gif" || name == "max-height.gif" || name == "image-zero-size.gif") {
            EXPECT_TRUE(d.pages.empty()) << name;
            continue;
        }
        EXPECT_FALSE(d.pages.empty()) << name;
        EXPECT_FALSE(d.lastDecodeFailed) << name;
        for (std::size_t i = 0; i < d.pages.size(); ++i) {
            std::vector<std::uint8_t> alpha;
            auto ref = pillowRgba(path, static_cast<int>(i), alpha);
            if (!ref) break;  // Pillow stops earlier (it rejects a broken later frame)
            auto m = compareWithAlpha(d.pages[i], *ref, alpha);
            EXPECT_EQ(m.colour, 0) << name << " frame " << i;
            EXPECT_EQ(m.oursOnly, 0) << name << " frame " << i;
            ++compared;
        }
    }
    EXPECT_GT(compared, 100);
}

// The suite's own composited frames (RGBA), exactly, alpha included.
TEST(GifExternal, ComposedFramesMatchTheReferenceFrames) {
    auto root = externalTestData();
    if (!root) GTEST_SKIP() << "external test data not found";
    if (!havePillow()) GTEST_SKIP() << "Pillow not installed (needed to read the PNG references)";
    const fs::path dir = *root / "gif-test-suite-peterdn";
    int compared = 0;
    for (const char* stem :
         {"animated_transparent_frame_restorebackground_loop",
          "animated_transparent_frame_restoreprev_loop", "animated_transparent_restoreprev_loop"}) {
        for (bool blend : {false, true}) {
            auto d =
                decodeAll(dir / (std::string(stem) + ".gif"), blend, image::makeColorRef(7, 7, 7));
            ASSERT_EQ(d.pages.size(), 4u) << stem;
            for (int i = 0; i < 4; ++i) {
                std::vector<std::uint8_t> alpha;
                auto ref = pillowRgba(
                    dir / "frames" / (std::string(stem) + "-" + std::to_string(i) + ".png"), 0,
                    alpha);
                ASSERT_TRUE(ref);
                ASSERT_EQ(ref->width, d.pages[i].rgb.width);
                auto m = compareWithAlpha(d.pages[i], *ref, alpha);
                EXPECT_EQ(m.colour + m.oursOnly + m.theirsOnly, 0) << stem << " frame " << i;
                if (blend) {
                    for (std::size_t p = 0; p < alpha.size(); ++p) {
                        if (alpha[p] == 0) {
                            EXPECT_EQ(d.pages[i].rgb.rgb[p * 3], 7) << stem << " " << i;
                        }
                    }
                }
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 24);
}

// Every GIF of the public suites: valid ones decode, the rest end cleanly and quickly.
TEST(GifExternal, EveryFileDecodesOrFailsCleanly) {
    auto root = externalTestData();
    if (!root) GTEST_SKIP() << "external test data not found";
    for (const auto& path : manifestGifs(*root, "")) {
        const auto start = std::chrono::steady_clock::now();
        auto d = decodeAll(path, true);
        EXPECT_LE(d.pages.size(), 256u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << path;
    }
}

// Sizes and frame counts the gdk-pixbuf suite expects, for the files that are here.
TEST(GifExternal, SuiteExpectations) {
    auto root = externalTestData();
    if (!root) GTEST_SKIP() << "external test data not found";
    const fs::path dir = *root / "gdk-pixbuf" / "gif-test-suite";
    std::ifstream in(dir / "EXPECTED.tsv");
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream f(line);
        std::string file, w, h, loop, frames;
        std::getline(f, file, '\t');
        std::getline(f, w, '\t');
        std::getline(f, h, '\t');
        std::getline(f, loop, '\t');
        std::getline(f, frames, '\t');
        // Refused on purpose (see ValidFilesAgreeWithPillow), or larger than our 32767 limit.
        // The suite counts images without a graphic control of their own as part of a
        // neighbouring frame; every image
        // descriptor is a page of its own here.
        if (!fs::exists(dir / file) || file == "no-data.gif" || file == "image-zero-size.gif" ||
            file == "animation-multi-image.gif" || file == "dispose-restore-previous.gif" ||
            std::stoi(w) > 32767 || std::stoi(h) > 32767)
            continue;
        auto d = decodeAll(dir / file);
        const std::size_t expected =
            frames.empty() ? 0 : std::count(frames.begin(), frames.end(), ',') + 1;
        // Indexes past the colour table show black (the table is zero beyond its entries) and a
        // plain text extension is skipped like any other; that suite rejects both files.
        if (file == "invalid-colors.gif" || file == "plain-text.gif") {
            EXPECT_EQ(d.pages.size(), 1u) << file;
        } else if (expected == 0) {
            EXPECT_TRUE(d.pages.empty() || d.lastDecodeFailed) << file;
        } else {
            // The suite counts images without a graphic control of their own as part of a
            // neighbouring frame; every image descriptor is a page of its own here.
            ASSERT_GE(d.pages.size(), expected) << file;
            EXPECT_EQ(d.pages[0].rgb.width, std::stoi(w)) << file;
            EXPECT_EQ(d.pages[0].rgb.height, std::stoi(h)) << file;
        }
        ++checked;
    }
    EXPECT_GT(checked, 20);
}

// Crash and hang reproducers found by fuzzing: each must end cleanly.
TEST(GifReader, CrashersEndCleanly) {
    const fs::path dir = sourceDir() / "tests" / "data" / "crashers";
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no crashers folder";
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.path().filename().string().starts_with("gif_")) continue;
        auto d = decodeAll(entry.path(), true);
        EXPECT_LE(d.pages.size(), 256u);
    }
}

}  // namespace
}  // namespace kalder::test
