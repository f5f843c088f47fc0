// BMP, PCX, TGA and GIF writers: files read back by our readers and, where installed, by two
// independent decoders.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "image/image_document.h"
#include "image/sinks.h"
#include "image/writers/bmp_writer.h"
#include "image/writers/gif_writer.h"
#include "image/writers/pcx_writer.h"
#include "image/writers/tga_writer.h"
#include "image/writers/writer_factory.h"
#include "support/test_support.h"

using namespace kalder::image;
using kalder::test::RgbImage;
using kalder::test::TempDir;
namespace fs = std::filesystem;

namespace {

// Pixels and palette of a test picture, owned together.
struct TestImage {
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> alpha;
    WriterImage image;

    RgbImage expected() const {
        RgbImage out;
        out.width = image.width;
        out.height = image.height;
        for (std::int32_t y = 0; y < image.height; ++y) {
            const std::uint8_t* row = image.row(y);
            for (std::int32_t x = 0; x < image.width; ++x) {
                if (image.bits == 32) {
                    out.rgb.insert(out.rgb.end(), {row[x * 4 + 2], row[x * 4 + 1], row[x * 4]});
                } else {
                    const std::uint8_t* c = &image.palette[row[x] * 3u];
                    out.rgb.insert(out.rgb.end(), {c[0], c[1], c[2]});
                }
            }
        }
        return out;
    }
};

enum class Pattern { Gradient, Noise, Flat, Stripes };

// A palette image of `bits` with distinct colours, or a true-colour one for bits 32.
TestImage makeImage(std::int32_t w, std::int32_t h, std::int32_t bits,
                    Pattern pattern = Pattern::Gradient, unsigned seed = 1) {
    TestImage t;
    t.image.width = w;
    t.image.height = h;
    t.image.bits = bits;
    const std::size_t bpp = bits == 32 ? 4 : 1;
    t.pixels.resize(static_cast<std::size_t>(w) * h * bpp);
    const int colours = bits == 32 ? 256 : 1 << bits;
    std::mt19937 rng(seed);
    for (std::int32_t y = 0; y < h; ++y) {
        for (std::int32_t x = 0; x < w; ++x) {
            std::uint8_t* p = &t.pixels[(static_cast<std::size_t>(y) * w + x) * bpp];
            for (std::size_t c = 0; c < bpp; ++c) {
                int v = 0;
                switch (pattern) {
                    case Pattern::Gradient:
                        v = (x * 7 + y * 3 + static_cast<int>(c) * 50) % colours;
                        break;
                    case Pattern::Noise:
                        v = static_cast<int>(rng() % static_cast<unsigned>(colours));
                        break;
                    case Pattern::Flat:
                        v = colours - 1;
                        break;
                    case Pattern::Stripes:
                        v = ((x / 5) % 2) ? colours - 1 : (y % colours);
                        break;
                }
                p[c] = static_cast<std::uint8_t>(v);
            }
        }
    }
    for (int i = 0; i < 256; ++i) {
        t.image.palette[i * 3] = static_cast<std::uint8_t>(i);
        t.image.palette[i * 3 + 1] = static_cast<std::uint8_t>(255 - i);
        t.image.palette[i * 3 + 2] = static_cast<std::uint8_t>((i * 37) & 0xff);
    }
    t.image.pixels = t.pixels.data();
    return t;
}

Status writeOne(ImageWriter& writer, const fs::path& path, const WriterImage& image,
                const std::vector<std::string>* comments = nullptr,
                ProgressSink* progress = nullptr) {
    KALDER_TRY(writer.Open(path, comments, progress));
    KALDER_TRY(writer.Write(image));
    return writer.Close();
}

// Our reader, then the independent decoders when present, must all show `expected`.
void expectDecodersAgree(const fs::path& path, const RgbImage& expected, int frame = 0,
                         bool independent = true) {
    auto ours = kalder::test::decodeWithKalder(path, frame);
    ASSERT_TRUE(ours) << path;
    EXPECT_EQ(kalder::test::maxChannelDifference(*ours, expected), 0) << "ours " << path;
    if (!independent) return;
    if (auto pil = kalder::test::decodeWithPillow(path, frame)) {
        EXPECT_EQ(kalder::test::maxChannelDifference(*pil, expected), 0) << "Pillow " << path;
    }
    if (auto im = kalder::test::decodeWithImageMagick(path, frame)) {
        EXPECT_EQ(kalder::test::maxChannelDifference(*im, expected), 0) << "ImageMagick " << path;
    }
}

// Decodes a page with its reader-reported facts.
struct DecodedPage {
    Palette palette{};
    std::int32_t transparentIndex = -1;
    std::uint32_t delay = 0;
    std::vector<std::uint8_t> alpha;
    std::int32_t pages = 0;
};

DecodedPage readFacts(const fs::path& path, int page = 0) {
    ImageDocument doc;
    LoadOptions o;
    o.path = path;
    o.extractAlpha = true;
    DecodedPage out;
    if (!doc.Open(o)) return out;
    for (int i = 0; i <= page; ++i)
        if (!doc.AddPage() || !doc.DecodePage()) return out;
    const ImagePage& p = doc.PageAt(page);
    out.palette = p.palette;
    out.transparentIndex = p.transparentIndex;
    out.delay = p.delay;
    out.alpha = p.alphaPlane;
    out.pages = doc.PageCount();
    return out;
}

struct RecordingProgress final : ProgressSink {
    std::int64_t total = 0, last = 0, calls = 0;
    void Progress(std::int64_t t, std::int64_t d) override {
        total = t;
        last = d;
        ++calls;
    }
};

struct RoundTrip {
    const char* name;
    const char* ext;
    std::int32_t width, height, bits;
    Pattern pattern;
    bool rle;
    bool interlaced;
};

class BasicWriterRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

}  // namespace

TEST_P(BasicWriterRoundTrip, EveryDecoderSeesTheSamePixelsAndPalette) {
    const RoundTrip& c = GetParam();
    TempDir dir;
    const fs::path path = dir / (std::string(c.name) + "." + c.ext);
    TestImage t = makeImage(c.width, c.height, c.bits, c.pattern);
    t.image.bmpRle = t.image.tgaRle = c.rle;
    t.image.gifInterlaced = c.interlaced;
    t.image.gifGlobalPalette = true;
    t.image.dpiX = t.image.dpiY = 72;
    auto writer = createWriterForExtension(c.ext);
    ASSERT_TRUE(writer);
    RecordingProgress progress;
    ASSERT_TRUE(writeOne(*writer, path, t.image, nullptr, &progress).ok());
    EXPECT_EQ(progress.total, c.height);
    EXPECT_EQ(progress.last, c.height);
    expectDecodersAgree(path, t.expected());
    if (c.bits != 32) {
        // The table we wrote comes back: the entries the image's depth can address.
        const DecodedPage facts = readFacts(path);
        const std::size_t entries = std::size_t{1} << c.bits;
        EXPECT_EQ(std::memcmp(facts.palette.data(), t.image.palette.data(), entries * 3), 0)
            << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BasicWriterRoundTrip,
    ::testing::Values(RoundTrip{"bmp1", "bmp", 37, 11, 1, Pattern::Gradient, false, false},
                      RoundTrip{"bmp3", "bmp", 13, 9, 3, Pattern::Gradient, false, false},
                      RoundTrip{"bmp4", "bmp", 21, 10, 4, Pattern::Gradient, false, false},
                      RoundTrip{"bmp8", "bmp", 33, 17, 8, Pattern::Noise, false, false},
                      RoundTrip{"bmp24", "bmp", 31, 15, 32, Pattern::Gradient, false, false},
                      RoundTrip{"bmp_rle8", "bmp", 301, 20, 8, Pattern::Stripes, true, false},
                      RoundTrip{"bmp_rle8_noise", "bmp", 67, 13, 8, Pattern::Noise, true, false},
                      RoundTrip{"bmp_rle_4bit", "bmp", 40, 8, 4, Pattern::Gradient, true, false},
                      RoundTrip{"pcx8", "pcx", 33, 17, 8, Pattern::Noise, false, false},
                      RoundTrip{"pcx1", "pcx", 70, 5, 1, Pattern::Stripes, false, false},
                      RoundTrip{"pcx24", "pcx", 31, 15, 32, Pattern::Gradient, false, false},
                      RoundTrip{"pcx24_flat", "pcx", 200, 7, 32, Pattern::Flat, false, false},
                      RoundTrip{"tga8", "tga", 33, 17, 8, Pattern::Gradient, false, false},
                      RoundTrip{"tga8_rle", "tga", 300, 9, 8, Pattern::Stripes, true, false},
                      RoundTrip{"tga24", "tga", 31, 15, 32, Pattern::Noise, false, false},
                      RoundTrip{"tga24_rle", "tga", 300, 9, 32, Pattern::Stripes, true, false},
                      RoundTrip{"gif1", "gif", 37, 11, 1, Pattern::Noise, false, false},
                      RoundTrip{"gif2", "gif", 20, 20, 2, Pattern::Gradient, false, false},
                      RoundTrip{"gif4", "gif", 64, 33, 4, Pattern::Stripes, false, true},
                      RoundTrip{"gif8_noise", "gif", 300, 200, 8, Pattern::Noise, false, false},
                      RoundTrip{"gif8_flat", "gif", 500, 400, 8, Pattern::Flat, false, false},
                      RoundTrip{"gif8_interlaced", "gif", 45, 19, 8, Pattern::Gradient, false,
                                true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PcxWriter, RunsAreAtMost63AndHighBytesAreEscaped) {
    struct Case {
        std::vector<std::uint8_t> line;
        std::vector<std::uint8_t> encoded;
    };
    const std::vector<Case> cases = {
        {std::vector<std::uint8_t>(70, 5), {0xFF, 5, 0xC7, 5}},
        {{1, 2, 200, 2}, {1, 2, 0xC1, 200, 2}},
        {{7, 7, 200, 200}, {7, 7, 0xC1, 200, 0xC1, 200}},
        {{9, 9, 9}, {0xC3, 9}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> out;
        appendPcxRuns(out, c.line.data(), c.line.size());
        EXPECT_EQ(out, c.encoded);
    }
    // The same through the writer: header, one line of 70 equal bytes, palette trailer.
    TempDir dir;
    TestImage t = makeImage(70, 1, 8, Pattern::Flat);
    PcxWriter writer;
    ASSERT_TRUE(writeOne(writer, dir / "a.pcx", t.image).ok());
    const auto bytes = kalder::test::readFile(dir / "a.pcx");
    ASSERT_EQ(bytes.size(), 128u + 4 + 1 + 768);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4),
              (std::vector<std::uint8_t>{0x0A, 5, 1, 8}));
    EXPECT_EQ(bytes[65], 1);   // planes
    EXPECT_EQ(bytes[66], 70);  // bytes per line
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 128, bytes.begin() + 132),
              (std::vector<std::uint8_t>{0xFF, 255, 0xC7, 255}));
    EXPECT_EQ(bytes[132], 0x0C);
}

TEST(BmpWriter, Rle8HasAFullTableAndPatchedSizes) {
    TempDir dir;
    TestImage t = makeImage(64, 16, 8, Pattern::Stripes);
    t.image.bmpRle = true;
    t.image.dpiX = 300;
    t.image.dpiY = 150;
    BmpWriter writer;
    ASSERT_TRUE(writeOne(writer, dir / "r.bmp", t.image).ok());
    const auto b = kalder::test::readFile(dir / "r.bmp");
    auto le32 = [&b](std::size_t at) {
        return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 |
               std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24;
    };
    ASSERT_GT(b.size(), 1078u);
    EXPECT_EQ(le32(2), b.size());
    EXPECT_EQ(le32(10), 1078u);
    EXPECT_EQ(le32(14 + 16), 1u);               // compression RLE8
    EXPECT_EQ(le32(14 + 20), b.size() - 1078);  // image size
    EXPECT_EQ(le32(14 + 24), 11811u);           // 300 dpi
    EXPECT_EQ(le32(14 + 28), 5906u);            // 150 dpi
    EXPECT_EQ(le32(14 + 32), 256u);
    EXPECT_LT(b.size(), 1078u + 64 * 16) << "stripes compress";
    EXPECT_EQ(b[b.size() - 2], 0);
    EXPECT_EQ(b[b.size() - 1], 1);  // end of bitmap
}

TEST(BmpWriter, TrueColourDropsAlphaAndKeepsResolution) {
    TempDir dir;
    TestImage t = makeImage(9, 4, 32, Pattern::Noise);
    t.alpha.assign(9 * 4, 0);
    t.image.alphaPlane = t.alpha.data();
    t.image.dpiX = t.image.dpiY = 72;
    ASSERT_TRUE(writeOne(*makeBmpWriter(), dir / "t.bmp", t.image).ok());
    const auto b = kalder::test::readFile(dir / "t.bmp");
    EXPECT_EQ(b[14 + 14], 24);
    EXPECT_EQ(b.size(), 54u + 28 * 4);
    EXPECT_EQ(std::uint32_t(b[14 + 24]) | std::uint32_t(b[14 + 25]) << 8, 2835u);
    expectDecodersAgree(dir / "t.bmp", t.expected());
}

TEST(TgaWriter, AlphaMakes32BitWithDescriptor8) {
    for (const bool rle : {false, true}) {
        TempDir dir;
        TestImage t = makeImage(50, 7, 32, Pattern::Stripes);
        for (std::size_t i = 0; i < 50 * 7; ++i)
            t.alpha.push_back(static_cast<std::uint8_t>(i % 3 ? 255 : i % 256));
        t.image.alphaPlane = t.alpha.data();
        t.image.tgaRle = rle;
        ASSERT_TRUE(writeOne(*makeTgaWriter(), dir / "a.tga", t.image).ok());
        const auto b = kalder::test::readFile(dir / "a.tga");
        EXPECT_EQ(b[2], rle ? 10 : 2);
        EXPECT_EQ(b[16], 32);
        EXPECT_EQ(b[17], 8);
        if (!rle) {
            EXPECT_EQ(b.size(), 18u + 50 * 7 * 4);
        }
        const DecodedPage facts = readFacts(dir / "a.tga");
        EXPECT_EQ(facts.alpha, t.alpha) << "rle " << rle;
        // Colour channels unchanged whatever the opacity.
        auto ours = kalder::test::decodeWithKalder(dir / "a.tga");
        ASSERT_TRUE(ours);
        EXPECT_EQ(kalder::test::maxChannelDifference(*ours, t.expected()), 0);
        if (auto pil = kalder::test::decodeWithPillow(dir / "a.tga")) {
            EXPECT_EQ(kalder::test::maxChannelDifference(*pil, t.expected()), 0);
        }
    }
}

TEST(TgaWriter, RlePacketsNeverExceed128Pixels) {
    std::vector<std::uint8_t> row(300 * 3, 0x42);
    row[3 * 299] = 1;
    std::vector<std::uint8_t> out;
    appendTgaRle(out, row.data(), 300, 3);
    // 299 equal pixels: 128 + 128 + 43, then one raw pixel.
    const std::vector<std::uint8_t> expected = {0xFF, 0x42, 0x42,      0x42, 0xFF, 0x42,
                                                0x42, 0x42, 0x80 | 42, 0x42, 0x42, 0x42,
                                                0x00, 1,    0x42,      0x42};
    EXPECT_EQ(out, expected);
}

namespace {

// The frames of a GIF as the file states them.
struct GifFrameFacts {
    int disposal = -1;
    int delay = -1;
    int transparent = -1;
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    int localBits = 0;
};

struct GifFacts {
    bool globalTable = false;
    int screenWidth = 0, screenHeight = 0;
    std::vector<GifFrameFacts> frames;
    std::vector<std::string> comments;
    bool trailer = false;
};

GifFacts walkGif(const std::vector<std::uint8_t>& b) {
    GifFacts f;
    auto u16 = [&b](std::size_t at) { return int(b[at]) | int(b[at + 1]) << 8; };
    f.screenWidth = u16(6);
    f.screenHeight = u16(8);
    f.globalTable = b[10] & 0x80;
    std::size_t at = 13 + (f.globalTable ? (3u << ((b[10] & 7) + 1)) : 0);
    GifFrameFacts pending;
    auto skipBlocks = [&b, &at](std::string* text) {
        while (at < b.size() && b[at] != 0) {
            if (text) text->append(reinterpret_cast<const char*>(&b[at + 1]), b[at]);
            at += b[at] + 1u;
        }
        ++at;
    };
    while (at < b.size()) {
        const std::uint8_t tag = b[at++];
        if (tag == ';') {
            f.trailer = at == b.size();
            break;
        } else if (tag == 0x21 && b[at] == 0xF9) {
            pending.disposal = (b[at + 2] >> 2) & 7;
            pending.delay = u16(at + 3);
            pending.transparent = (b[at + 2] & 1) ? b[at + 5] : -1;
            at += 7;
        } else if (tag == 0x21 && b[at] == 0xFE) {
            ++at;
            f.comments.emplace_back();
            skipBlocks(&f.comments.back());
        } else if (tag == 0x2C) {
            GifFrameFacts fr = pending;
            pending = {};
            fr.left = u16(at);
            fr.top = u16(at + 2);
            fr.width = u16(at + 4);
            fr.height = u16(at + 6);
            fr.interlaced = b[at + 8] & 0x40;
            fr.localBits = (b[at + 8] & 0x80) ? (b[at + 8] & 7) + 1 : 0;
            at += 9 + (fr.localBits ? (3u << fr.localBits) : 0) + 1;
            skipBlocks(nullptr);
            f.frames.push_back(fr);
        } else {
            break;
        }
    }
    return f;
}

}  // namespace

TEST(GifWriter, FramesKeepTablesDelaysDisposalAndTransparency) {
    TempDir dir;
    const fs::path path = dir / "anim.gif";
    // Frame 0: full, global 4-bit table. Frame 1: a rectangle with its own 8-bit table and
    // transparent pixels. Frame 2: full, interlaced, back on the global table.
    TestImage f0 = makeImage(40, 30, 4, Pattern::Gradient);
    f0.image.gifGlobalPalette = true;
    f0.image.gifDelay = 10;
    f0.image.gifDisposal = 1;
    TestImage f1 = makeImage(40, 30, 8, Pattern::Noise, 7);
    for (int i = 0; i < 768; ++i)
        f1.image.palette[i] = static_cast<std::uint8_t>(255 - f0.image.palette[i]);
    f1.image.transparent = true;
    f1.image.transparentIndex = 3;
    for (std::size_t i = 0; i < f1.pixels.size(); i += 5) f1.pixels[i] = 3;
    f1.image.gifDelay = 20;
    f1.image.gifDisposal = 2;
    const GifFrameRect rect{8, 5, 20, 12};
    TestImage f2 = makeImage(40, 30, 4, Pattern::Stripes);
    f2.image.palette = f0.image.palette;
    f2.image.gifGlobalPalette = true;
    f2.image.gifInterlaced = true;
    f2.image.gifDelay = 30;

    const std::vector<std::string> comments = {"first comment", std::string(600, 'x')};
    GifWriter writer;
    ASSERT_TRUE(writer.Open(path, &comments).ok());
    ASSERT_TRUE(writer.Write(f0.image).ok());
    ASSERT_TRUE(writer.writeFrame(f1.image, rect).ok());
    ASSERT_TRUE(writer.Write(f2.image).ok());
    ASSERT_TRUE(writer.Close().ok());

    const GifFacts facts = walkGif(kalder::test::readFile(path));
    EXPECT_TRUE(facts.globalTable);
    EXPECT_EQ(facts.screenWidth, 40);
    EXPECT_EQ(facts.screenHeight, 30);
    ASSERT_EQ(facts.frames.size(), 3u);
    EXPECT_EQ(facts.frames[0].delay, 10);
    EXPECT_EQ(facts.frames[0].disposal, 1);
    EXPECT_EQ(facts.frames[0].localBits, 0);
    EXPECT_EQ(facts.frames[1].delay, 20);
    EXPECT_EQ(facts.frames[1].disposal, 2);
    EXPECT_EQ(facts.frames[1].transparent, 3);
    EXPECT_EQ(facts.frames[1].localBits, 8);
    EXPECT_EQ(facts.frames[1].left, 8);
    EXPECT_EQ(facts.frames[1].top, 5);
    EXPECT_EQ(facts.frames[1].width, 20);
    EXPECT_EQ(facts.frames[1].height, 12);
    EXPECT_TRUE(facts.frames[2].interlaced);
    EXPECT_EQ(facts.frames[2].localBits, 0);
    EXPECT_EQ(facts.comments, comments);
    EXPECT_TRUE(facts.trailer);

    // Frame 1 composed over frame 0: the rectangle shows frame 1 except at transparent pixels.
    RgbImage composed = f0.expected();
    const RgbImage top = f1.expected();
    for (int y = rect.top; y < rect.top + rect.height; ++y)
        for (int x = rect.left; x < rect.left + rect.width; ++x)
            if (f1.pixels[static_cast<std::size_t>(y) * 40 + x] != 3)
                std::memcpy(composed.rgb.data() + (y * 40 + x) * 3, top.at(x, y), 3);
    expectDecodersAgree(path, f0.expected(), 0);
    auto ours1 = kalder::test::decodeWithKalder(path, 1);
    ASSERT_TRUE(ours1);
    EXPECT_EQ(kalder::test::maxChannelDifference(*ours1, composed), 0);
    if (auto pil = kalder::test::decodeWithPillow(path, 1)) {
        EXPECT_EQ(kalder::test::maxChannelDifference(*pil, composed), 0) << "Pillow";
    }
    expectDecodersAgree(path, f2.expected(), 2);

    for (int page = 0; page < 3; ++page) EXPECT_EQ(readFacts(path, page).delay, 10u * (page + 1));
    const DecodedPage second = readFacts(path, 1);
    EXPECT_EQ(second.transparentIndex, 3);
    EXPECT_EQ(std::memcmp(second.palette.data(), f1.image.palette.data(), 768), 0);
}

TEST(GifWriter, LzwSurvivesTableResetsAndEveryCodeSize) {
    // Noise fills the table many times; a long flat run climbs to 12-bit codes in one string.
    struct Case {
        std::int32_t w, h, bits;
        Pattern pattern;
        unsigned seed;
    };
    const std::vector<Case> cases = {
        {997, 211, 8, Pattern::Noise, 3},   {4096, 64, 1, Pattern::Flat, 1},
        {640, 480, 2, Pattern::Noise, 4},   {1000, 1000, 8, Pattern::Flat, 1},
        {257, 301, 5, Pattern::Stripes, 1}, {1, 1, 8, Pattern::Noise, 9}};
    for (const auto& c : cases) {
        TempDir dir;
        TestImage t = makeImage(c.w, c.h, c.bits, c.pattern, c.seed);
        ASSERT_TRUE(writeOne(*makeGifWriter(), dir / "l.gif", t.image).ok());
        expectDecodersAgree(dir / "l.gif", t.expected(), 0, c.w * c.h < 300000);
    }
}

TEST(GifWriter, AlphaBelowHalfBecomesTheTransparentIndex) {
    TempDir dir;
    TestImage t = makeImage(8, 2, 8, Pattern::Gradient);
    t.alpha = {0, 127, 128, 255, 10, 200, 0, 255, 255, 255, 255, 255, 255, 255, 255, 0};
    t.image.alphaPlane = t.alpha.data();
    t.image.transparent = true;
    t.image.transparentIndex = 200;
    ASSERT_TRUE(writeOne(*makeGifWriter(), dir / "a.gif", t.image).ok());
    const DecodedPage facts = readFacts(dir / "a.gif");
    ASSERT_EQ(facts.alpha.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(facts.alpha[i], t.alpha[i] < 128 ? 0 : 255) << i;
}

TEST(BasicWriters, BadInputAndFailedWritesLeaveNothingBehind) {
    TempDir dir;
    TestImage palette = makeImage(4, 4, 8);
    TestImage colour = makeImage(4, 4, 32);
    const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
    for (const char* ext : {"bmp", "pcx", "tga", "gif"}) {
        SCOPED_TRACE(ext);
        // A folder that cannot exist: the parent is a plain file.
        kalder::test::writeFile(dir / "file", old);
        auto w = createWriterForExtension(ext);
        EXPECT_FALSE(w->Open(dir / "file" / "x").ok());

        const fs::path target = dir / (std::string("t.") + ext);
        kalder::test::writeFile(target, old);
        // Bad input, a second image where the format holds one, or no image at all: the
        // existing file stays as it was.
        w = createWriterForExtension(ext);
        ASSERT_TRUE(w->Open(target).ok());
        WriterImage bad = palette.image;
        bad.bits = 9;
        EXPECT_FALSE(w->Write(bad).ok());
        EXPECT_FALSE(w->Close().ok());
        EXPECT_EQ(kalder::test::readFile(target), old);

        w = createWriterForExtension(ext);
        ASSERT_TRUE(w->Open(target).ok());
        EXPECT_FALSE(w->Close().ok()) << "no image written";
        EXPECT_EQ(kalder::test::readFile(target), old);

        if (std::string(ext) == "gif") {
            w = createWriterForExtension(ext);
            ASSERT_TRUE(w->Open(target).ok());
            EXPECT_FALSE(w->Write(colour.image).ok()) << "true colour needs reducing first";
        } else {
            w = createWriterForExtension(ext);
            ASSERT_TRUE(w->Open(target).ok());
            ASSERT_TRUE(w->Write(colour.image).ok());
            EXPECT_FALSE(w->Write(colour.image).ok());
        }
        w.reset();
        EXPECT_EQ(kalder::test::readFile(target), old);
    }
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 5u) << "no temporary files remain";
}

TEST(WriterFactory, KnowsTheSevenWrittenFormats) {
    for (const char* ext :
         {"bmp", ".BMP", "pcx", "tga", "gif", "jpg", "jpeg", "png", "tif", ".Tiff"})
        EXPECT_TRUE(createWriterForExtension(ext)) << ext;
    for (const char* ext : {"", "pam", "psd", "ico", "bmpx"})
        EXPECT_FALSE(createWriterForExtension(ext)) << ext;
}
