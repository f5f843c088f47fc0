#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "image/image_document.h"
#include "image/image_reader.h"
#include "image/readers/reader_factory.h"
#include "support/test_support.h"

namespace kalder::test {
namespace {

// A 2 x 2 cursor file whose four 32-bit pixels all have colour `rgb`.
std::vector<std::uint8_t> cursorFile(std::uint32_t rgb, std::int32_t size = 2) {
    Bytes img;
    img.u32le(40).u32le(size).u32le(size * 2).u16le(1).u16le(32).u32le(0).u32le(0);
    img.u32le(0).u32le(0).u32le(0).u32le(0);
    for (std::int32_t i = 0; i < size * size; ++i) img.u8(rgb).u8(rgb >> 8).u8(rgb >> 16).u8(255);
    img.fill(static_cast<std::size_t>(size) * ((size + 31) / 32 * 4), 0);
    Bytes f;
    f.u16le(0).u16le(2).u16le(1);
    f.u8(size).u8(size).u8(0).u8(0).u16le(1).u16le(1).u32le(img.size()).u32le(22);
    return f.append(img.data).data;
}

Bytes& chunk(Bytes& b, const std::string& id, const std::vector<std::uint8_t>& data) {
    b.str(id).u32le(static_cast<std::uint32_t>(data.size())).append(data);
    if (data.size() & 1) b.u8(0);
    return b;
}

struct AniSpec {
    std::vector<std::uint32_t> frameColours;
    std::uint32_t steps = 0;           // 0: one per frame
    std::vector<std::uint32_t> seq;    // empty: none
    std::vector<std::uint32_t> rates;  // empty: none
    std::uint32_t rate = 6;
    std::uint32_t flags = 1;
    std::string title;  // LIST INFO INAM when not empty
    bool tablesAfterFrames = false;
};

std::vector<std::uint8_t> buildAni(const AniSpec& s) {
    Bytes anih;
    const std::uint32_t frames = static_cast<std::uint32_t>(s.frameColours.size());
    anih.u32le(36)
        .u32le(frames)
        .u32le(s.steps ? s.steps : frames)
        .u32le(0)
        .u32le(0)
        .u32le(0)
        .u32le(0);
    anih.u32le(s.rate).u32le(s.flags);
    Bytes body;
    body.str("ACON");
    chunk(body, "anih", anih.data);
    if (!s.title.empty()) {
        Bytes inam;
        std::vector<std::uint8_t> text(s.title.begin(), s.title.end());
        text.push_back(0);
        inam.str("INFO");
        chunk(inam, "INAM", text);
        chunk(body, "LIST", inam.data);
    }
    auto tables = [&] {
        if (!s.seq.empty()) {
            Bytes t;
            for (auto v : s.seq) t.u32le(v);
            chunk(body, "seq ", t.data);
        }
        if (!s.rates.empty()) {
            Bytes t;
            for (auto v : s.rates) t.u32le(v);
            chunk(body, "rate", t.data);
        }
    };
    if (!s.tablesAfterFrames) tables();
    Bytes fram;
    fram.str("fram");
    for (auto c : s.frameColours) chunk(fram, "icon", cursorFile(c));
    chunk(body, "LIST", fram.data);
    if (s.tablesAfterFrames) tables();
    Bytes file;
    file.str("RIFF").u32le(static_cast<std::uint32_t>(body.size())).append(body.data);
    return file.data;
}

struct Pages {
    image::ImageDocument doc;
    bool opened = false;
    std::vector<std::string> comments;
};

std::unique_ptr<Pages> load(const std::vector<std::uint8_t>& bytes, bool blend = false) {
    TempDir dir;
    writeFile(dir / "a.ani", bytes);
    auto p = std::make_unique<Pages>();
    image::LoadOptions o;
    o.path = dir / "a.ani";
    o.comments = &p->comments;
    o.blendAlpha = blend;  // over black
    p->opened = p->doc.Open(o);
    if (p->opened) {
        while (p->doc.AddPage() && p->doc.DecodePage()) {
        }
    }
    return p;
}

std::uint8_t redAt(const Pages& p, int page) {
    return toRgb(p.doc.PageAt(page).bitmap).at(0, 0)[0];
}

TEST(AniReader, SequenceSelectsFramePerStep) {
    AniSpec s;
    s.frameColours = {0x100000, 0x200000, 0x300000, 0x400000};
    s.steps = 6;
    s.seq = {0, 1, 2, 3, 2, 1};
    s.rates = {6, 3, 1, 0, 60, 6};
    s.title = "  Spinner";
    auto p = load(buildAni(s));
    ASSERT_TRUE(p->opened);
    ASSERT_EQ(p->doc.PageCount(), 6);
    const std::uint8_t reds[] = {0x10, 0x20, 0x30, 0x40, 0x30, 0x20};
    const std::uint32_t delays[] = {10, 5, 1, 1, 100, 10};  // jiffies * 5 / 3, never 0
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(redAt(*p, i), reds[i]) << i;
        EXPECT_EQ(p->doc.PageAt(i).delay, delays[i]) << i;
        EXPECT_EQ(p->doc.PageAt(i).hotSpotX, -1);
    }
    EXPECT_EQ(p->doc.description(), "Windows Animated Cursor, 6 page(s)");
    ASSERT_EQ(p->comments.size(), 1u);
    EXPECT_EQ(p->comments[0], "Spinner");
}

TEST(AniReader, TablesMayFollowTheFrames) {
    AniSpec s;
    s.frameColours = {0x110000, 0x220000};
    s.steps = 3;
    s.seq = {1, 0, 1};
    s.tablesAfterFrames = true;
    s.rate = 12;
    auto p = load(buildAni(s));
    ASSERT_EQ(p->doc.PageCount(), 3);
    EXPECT_EQ(redAt(*p, 0), 0x22);
    EXPECT_EQ(redAt(*p, 1), 0x11);
    EXPECT_EQ(p->doc.PageAt(2).delay, 20u);
}

TEST(AniReader, RepeatedLastFrameWithoutSequenceIsShownOnce) {
    AniSpec s;
    s.frameColours = {0x010000, 0x020000, 0x020000};
    auto p = load(buildAni(s));
    EXPECT_EQ(p->doc.PageCount(), 2);
    // With a sequence, every step is shown.
    s.seq = {0, 1, 2};
    EXPECT_EQ(load(buildAni(s))->doc.PageCount(), 3);
    // Different last frames are all shown.
    s.seq.clear();
    s.frameColours = {0x010000, 0x020000, 0x030000};
    EXPECT_EQ(load(buildAni(s))->doc.PageCount(), 3);
}

struct BadAni {
    const char* name;
    AniSpec spec;
    std::size_t cut;
};

class AniHostileTest : public ::testing::TestWithParam<BadAni> {};

TEST_P(AniHostileTest, IsRefused) {
    auto bytes = buildAni(GetParam().spec);
    bytes.resize(bytes.size() - GetParam().cut);
    auto reader = image::makeAniReader();
    ASSERT_TRUE(reader->OpenMemory(bytes).ok());
    bool ok = reader->ReadHeader().ok();
    for (int frame = 0; ok && frame < 8; ++frame) {
        ok = reader->BeginDecode().ok();
        std::vector<std::uint8_t> row(static_cast<std::size_t>(std::max(reader->Width(), 1)) * 3);
        for (std::int32_t y = 0; ok && y < reader->Height(); ++y)
            ok = reader->ReadRow(row.data(), false).ok();
        reader->EndDecode();
    }
    EXPECT_FALSE(ok) << GetParam().name;
}

AniSpec withFrames(std::vector<std::uint32_t> colours) {
    AniSpec s;
    s.frameColours = std::move(colours);
    return s;
}

INSTANTIATE_TEST_SUITE_P(Files, AniHostileTest,
                         ::testing::Values(BadAni{"no_icon_flag",
                                                  [] {
                                                      auto s = withFrames({1});
                                                      s.flags = 0;
                                                      return s;
                                                  }(),
                                                  0},
                                           BadAni{"more_steps_than_frames",
                                                  [] {
                                                      auto s = withFrames({1, 2});
                                                      s.steps = 9;
                                                      return s;
                                                  }(),
                                                  0},
                                           BadAni{"sequence_names_missing_frame",
                                                  [] {
                                                      auto s = withFrames({1, 2});
                                                      s.seq = {0, 5};
                                                      return s;
                                                  }(),
                                                  0},
                                           BadAni{"cut_inside_frame", withFrames({1, 2}), 20}),
                         [](const auto& info) { return std::string(info.param.name); });

// A reference frame (with alpha) composited over black by Pillow.
std::optional<RgbImage> referenceOverBlack(const std::filesystem::path& png) {
    if (!havePillow()) return std::nullopt;
    TempDir dir;
    const std::string out = (dir / "ref.ppm").string();
    const std::string cmd =
        "/usr/bin/python3 -c \"import sys\nfrom PIL import Image\n"
        "im=Image.open(sys.argv[1]).convert('RGBA')\n"
        "Image.alpha_composite(Image.new('RGBA',im.size,(0,0,0,255)),im).convert('RGB')"
        ".save(sys.argv[2])\" '" +
        png.string() + "' '" + out + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) return std::nullopt;
    return decodeWithPillow(out);
}

TEST(AniReader, SharedTestImages) {
    auto root = externalTestData();
    if (!root) GTEST_SKIP() << "shared external test data not found";
    // Malformed: must fail cleanly or decode partially.
    (void)load(readFile(*root / "gdk-pixbuf/fail/CVE-2022-48622.ani"));
    auto p = load(readFile(*root / "kimageformats/ani/test.ani"), true);
    ASSERT_TRUE(p->opened);
    // Three frames shown in four steps: sequence 0 1 2 1, rates 10 20 10 10 jiffies.
    ASSERT_EQ(p->doc.PageCount(), 4);
    const int frameOfStep[] = {0, 1, 2, 1};
    const std::uint32_t delays[] = {16, 33, 16, 16};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(p->doc.PageAt(i).delay, delays[i]);
        auto expected = referenceOverBlack(
            *root / ("kimageformats/ani/test_" + std::to_string(frameOfStep[i] + 1) + ".png"));
        if (!expected) continue;
        // Compositing divides by 256 (a shift) here and by 255 there.
        EXPECT_LE(maxChannelDifference(toRgb(p->doc.PageAt(i).bitmap), *expected), 2)
            << "step " << i;
    }
}

}  // namespace
}  // namespace kalder::test
