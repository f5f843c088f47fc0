// The animation compiler, judged by what decoders show of the files it writes.
#include "tools/gif_compiler/gif_compiler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "image/writers/tga_writer.h"
#include "support/test_support.h"
#include "tools/recording_tool_host.h"

using namespace kalder;
namespace fs = std::filesystem;
using tools::AnimationFrame;
using tools::AnimationOptions;
using tools::GifCompiler;

namespace {

// 0xAARRGGBB pixels; a shown picture uses 0 for "nothing drawn".
using Picture = std::vector<std::uint32_t>;

struct Source {
    Picture pixels;
    std::int32_t disposal = 1;
};

// Answers every question `answer`; stops once the stage `stopAt` is reported.
class Host final : public test::RecordingToolHost {
public:
    Host() {
        stopWhen = [](const RecordingToolHost& h) {
            const char* stopAt = static_cast<const Host&>(h).stopAt;
            return stopAt != nullptr &&
                   std::find(h.stages.begin(), h.stages.end(), stopAt) != h.stages.end();
        };
    }
    void setAnswer(bool yes) { otherwise = yes ? tools::ToolAnswer::Yes : tools::ToolAnswer::No; }

    const char* stopAt = nullptr;
};

void writeTga(const fs::path& path, int w, int h, const Picture& px) {
    std::vector<std::uint8_t> bgra, alpha;
    for (std::uint32_t p : px) {
        bgra.insert(bgra.end(), {static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 8),
                                 static_cast<std::uint8_t>(p >> 16), 0});
        alpha.push_back(static_cast<std::uint8_t>(p >> 24));
    }
    image::WriterImage img;
    img.pixels = bgra.data();
    img.alphaPlane = alpha.data();
    img.width = w;
    img.height = h;
    image::TgaWriter writer;
    ASSERT_TRUE(writer.Open(path).ok() && writer.Write(img).ok() && writer.Close().ok());
}

std::vector<AnimationFrame> writeSources(const test::TempDir& dir, int w, int h,
                                         const std::vector<Source>& sources) {
    std::vector<AnimationFrame> frames;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        AnimationFrame f;
        f.path = dir / ("f" + std::to_string(i) + ".tga");
        f.disposal = sources[i].disposal;
        f.delay = static_cast<std::uint32_t>(10 + i);
        writeTga(f.path, w, h, sources[i].pixels);
        frames.push_back(std::move(f));
    }
    return frames;
}

// What a GIF89a viewer should show for whole frames: opaque pixels (alpha >= 128) draw, the
// frame is shown, then 2 clears everything and 3 goes back to the picture before it.
std::vector<Picture> shown(const std::vector<Source>& sources, bool dropAlpha) {
    std::vector<Picture> out;
    Picture canvas(sources[0].pixels.size(), 0);
    for (const Source& s : sources) {
        const Picture before = canvas;
        for (std::size_t i = 0; i < canvas.size(); ++i)
            if (dropAlpha || (s.pixels[i] >> 24) >= 128) canvas[i] = s.pixels[i] | 0xFF000000u;
        out.push_back(canvas);
        if (s.disposal == 2) canvas.assign(canvas.size(), 0);
        if (s.disposal == 3) canvas = before;
    }
    return out;
}

// Every frame as ImageMagick composes it, transparent pixels as 0.
std::optional<std::vector<Picture>> magickFrames(const fs::path& gif, int w, int h) {
    if (!test::haveImageMagick()) return std::nullopt;
    FILE* pipe = ::popen(("convert '" + gif.string() + "' -coalesce -depth 8 rgba:-").c_str(), "r");
    std::vector<std::uint8_t> bytes;
    std::uint8_t buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        bytes.insert(bytes.end(), buf, buf + n);
    ::pclose(pipe);
    const std::size_t frameBytes = static_cast<std::size_t>(w) * h * 4;
    std::vector<Picture> out;
    for (std::size_t at = 0; at + frameBytes <= bytes.size(); at += frameBytes) {
        Picture p;
        for (std::size_t i = at; i < at + frameBytes; i += 4)
            p.push_back(bytes[i + 3] < 128
                            ? 0
                            : 0xFF000000u | bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2]);
        out.push_back(std::move(p));
    }
    return out;
}

// Our own reader's page, uncovered pixels in the colour 010203.
Picture kalderPage(const fs::path& gif, int page) {
    const auto rgb = test::decodeWithKalder(gif, page, true, image::makeColorRef(1, 2, 3));
    Picture p;
    if (!rgb) return p;
    for (std::size_t i = 0; i < rgb->rgb.size(); i += 3) {
        const std::uint32_t c = rgb->rgb[i] << 16 | rgb->rgb[i + 1] << 8 | rgb->rgb[i + 2];
        p.push_back(c == 0x010203 ? 0 : 0xFF000000u | c);
    }
    return p;
}

struct Descriptor {
    int left, top, width, height;
    bool transparent;
};

// The image descriptors of a GIF file and whether each frame's control block names a
// transparent index.
std::vector<Descriptor> descriptors(const fs::path& gif) {
    const auto b = test::readFile(gif);
    std::vector<Descriptor> out;
    auto u16 = [&](std::size_t at) { return b[at] | b[at + 1] << 8; };
    std::size_t at = 13 + ((b[10] & 0x80) ? 3u << ((b[10] & 7) + 1) : 0);
    bool transparent = false;
    auto skipBlocks = [&] {
        while (at < b.size() && b[at] != 0) at += b[at] + 1u;
        ++at;
    };
    while (at < b.size() && b[at] != ';') {
        if (b[at] == '!') {
            if (b[at + 1] == 0xF9) transparent = b[at + 3] & 1;
            at += 2;
            skipBlocks();
        } else {
            out.push_back({u16(at + 1), u16(at + 3), u16(at + 5), u16(at + 7), transparent});
            const std::uint8_t packed = b[at + 9];
            at += 10 + ((packed & 0x80) ? 3u << ((packed & 7) + 1) : 0) + 1;
            skipBlocks();
        }
    }
    return out;
}

// A few-coloured background with a 6 x 6 square at (x, y), the square's top row see-through.
Picture scene(int w, int h, int x, int y, std::uint32_t square, bool hole) {
    Picture p(static_cast<std::size_t>(w) * h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            std::uint32_t c = 0xFF000000u | ((i / 8) * 0x33) << 16 | ((j / 8) * 0x33) << 8 | 0x66;
            if (i >= x && i < x + 6 && j >= y && j < y + 6)
                c = hole && j == y ? 0x00123456u : square;
            p[static_cast<std::size_t>(j) * w + i] = c;
        }
    return p;
}

}  // namespace

TEST(GifCompiler, OpeningChecks) {
    test::TempDir dir;
    writeTga(dir / "a.tga", 100, 100, Picture(100 * 100, 0xFF336699u));
    writeTga(dir / "b.tga", 100, 101, Picture(100 * 101, 0xFF336699u));
    writeTga(dir / "c.tga", 100, 100, Picture(100 * 100, 0xFF000000u));
    test::writeFile(dir / "bad.tga", {1, 2, 3});
    const struct {
        std::vector<std::string> names;
        std::string message;  // empty: opens
    } cases[] = {
        {{"a.tga"}, tools::kGifTooFewImages},
        {{"a.tga", "b.tga"},
         "The size of the image \"" + (dir / "b.tga").string() +
             "\" is not the same as that of the first image."},
        {{"a.tga", "bad.tga"}, tools::kGifLoadFailed},
        {{"a.tga", "c.tga", "a.tga"}, ""},
    };
    for (const auto& c : cases) {
        std::vector<fs::path> files;
        for (const auto& n : c.names) files.push_back(dir / n);
        Host host;
        std::vector<AnimationFrame> frames;
        const bool opened = GifCompiler::Open(files, 64, host, frames);
        EXPECT_EQ(opened, c.message.empty()) << c.names.size();
        if (opened) {
            ASSERT_EQ(frames.size(), 3u);
            EXPECT_EQ(frames[2].delay, 50u);
            EXPECT_EQ(frames[2].disposal, 1);
            EXPECT_EQ(frames[0].preview->width(), 64);  // previews shrink big pictures
        } else {
            EXPECT_EQ(host.errors, std::vector<std::string>{c.message});
        }
    }
}

TEST(GifCompiler, WrittenFilesShowTheFramesAsGiven) {
    const int w = 40, h = 30;
    const std::uint32_t red = 0xFFFF0000u, white = 0xFFFFFFFFu;
    // A square moving over a still background, some frames with a see-through row.
    auto moving = [&](std::vector<std::int32_t> disposals, bool holes) {
        std::vector<Source> s;
        for (std::size_t i = 0; i < disposals.size(); ++i)
            s.push_back({scene(w, h, 3 + 5 * static_cast<int>(i), 4 + 3 * static_cast<int>(i),
                               i % 2 ? red : white, holes && i % 2),
                         disposals[i]});
        return s;
    };
    // After a clearing frame, one that draws only the square's area.
    std::vector<Source> sparse = moving({2, 1, 3, 1}, true);
    for (std::uint32_t& p : sparse[1].pixels)
        if (p != red) p = 0;
    const struct {
        const char* name;
        std::vector<Source> sources;
        image::PaletteType palette;
        bool minimize, separate, interlaced;
        bool transparencySurvives;
        bool whiteKey = false;  // white made transparent by the transparency options
    } cases[] = {
        {"minimised", moving({1, 1, 1, 1, 1}, false), image::PaletteType::Optimized, true, false,
         false, true},
        {"plain interlaced", moving({1, 1, 1, 1}, true), image::PaletteType::Optimized, false,
         false, true, true},
        {"disposals minimised", moving({1, 2, 3, 1, 3, 2, 1}, true), image::PaletteType::Optimized,
         true, false, false, true},
        {"sparse after clearing", sparse, image::PaletteType::WebSafe, true, false, false, true},
        {"separate palettes", moving({1, 3, 1, 2, 1}, true), image::PaletteType::Optimized, true,
         true, false, true},
        {"vga drops transparency", moving({1, 1, 1}, true), image::PaletteType::Vga, false, false,
         false, false},
        {"black and white minimised", moving({1, 2, 1, 1}, false), image::PaletteType::BlackWhite,
         true, false, false, false},
        {"white as transparent colour", moving({1, 1, 1}, false), image::PaletteType::Optimized,
         true, false, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::vector<Source> sources = c.sources;
        if (c.palette == image::PaletteType::Vga)  // exact in VGA colours
            for (auto& s : sources)
                for (auto& p : s.pixels) p = (p & 0xFF000000u) | (p & 0x800000 ? 0xFF0000 : 0);
        if (c.palette == image::PaletteType::BlackWhite)
            for (auto& s : sources)
                for (auto& p : s.pixels)
                    p = (p & 0xFF000000u) | ((p & 0xFF) >= 0x80 ? 0xFFFFFF : 0);
        const auto frames = writeSources(dir, w, h, sources);
        AnimationOptions o;
        o.output = dir / "out.gif";
        o.palette = c.palette;
        o.minimize = c.minimize;
        o.separatePalettes = c.separate;
        o.interlaced = c.interlaced;
        if (c.whiteKey) {
            o.transparency = {image::TransparencyMode::Color, 0xFFFFFF, 0};
            for (auto& s : sources)
                for (auto& p : s.pixels)
                    if (p == white) p = 0x00FFFFFF;
        }
        Host host;
        const auto result = GifCompiler::Compile(frames, o, host);
        ASSERT_EQ(result.outcome, tools::CompileOutcome::Written)
            << testing::PrintToString(host.errors);
        EXPECT_EQ(host.questions.size(), c.separate ? 1u : 0u);
        const auto expected = shown(sources, !c.transparencySurvives);
        if (auto im = magickFrames(o.output, w, h)) {
            EXPECT_TRUE(*im == expected);
        }
        for (std::size_t j = 0; j < expected.size(); ++j)
            EXPECT_TRUE(kalderPage(o.output, static_cast<int>(j)) == expected[j]) << "page " << j;
        if (c.palette == image::PaletteType::Vga) {
            for (const auto& d : descriptors(o.output)) EXPECT_FALSE(d.transparent);
        }
    }
}

TEST(GifCompiler, StoresOnlyTheChangedRectangle) {
    const int n = 100;
    Picture still(n * n), changed;
    for (int i = 0; i < n * n; ++i) still[i] = 0xFF000000u | (i % n / 10) * 0x111111u;
    changed = still;
    for (int y = 45; y < 55; ++y)
        for (int x = 45; x < 55; ++x) changed[y * n + x] = 0xFFFF8000u;
    for (const bool minimize : {false, true}) {
        test::TempDir dir;
        const auto frames = writeSources(dir, n, n, {{still}, {changed}, {changed}});
        AnimationOptions o;
        o.output = dir / "out.gif";
        o.minimize = minimize;
        Host host;
        ASSERT_EQ(GifCompiler::Compile(frames, o, host).outcome, tools::CompileOutcome::Written);
        const auto d = descriptors(o.output);
        ASSERT_EQ(d.size(), 3u);
        EXPECT_EQ(std::make_tuple(d[0].left, d[0].top, d[0].width, d[0].height),
                  std::make_tuple(0, 0, n, n));
        EXPECT_EQ(std::make_tuple(d[1].left, d[1].top, d[1].width, d[1].height),
                  std::make_tuple(45, 45, 10, 10));
        // The repeated frame stores one pixel that shows what is there.
        EXPECT_EQ(d[2].width * d[2].height, 1);
        if (auto im = magickFrames(o.output, n, n)) {
            EXPECT_TRUE(*im == shown({{still}, {changed}, {changed}}, false));
        }
    }
}

TEST(GifCompiler, FailuresLeaveNoOutput) {
    const Picture px(8 * 8, 0xFF204060u);
    struct Case {
        const char* name;
        bool removeFrame, missingFolder, exists, separateWithHoles;
        const char* stopAt;
        tools::CompileOutcome outcome;
    };
    const Case cases[] = {
        {"unreadable frame", true, false, false, false, nullptr, tools::CompileOutcome::Failed},
        {"unwritable output", false, true, false, false, nullptr, tools::CompileOutcome::Failed},
        {"existing kept", false, false, true, false, nullptr, tools::CompileOutcome::Stopped},
        {"separate refused", false, false, false, true, nullptr, tools::CompileOutcome::Stopped},
        {"stopped writing", false, false, false, false, tools::kGifWriting,
         tools::CompileOutcome::Stopped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        Picture second = px;
        if (c.separateWithHoles) second[0] = 0;
        const auto frames = writeSources(dir, 8, 8, {{px}, {second}});
        AnimationOptions o;
        o.output = c.missingFolder ? dir / "no" / "out.gif" : dir / "out.gif";
        o.separatePalettes = c.separateWithHoles;
        if (c.exists) test::writeFile(o.output, {7});
        if (c.removeFrame) fs::remove(frames[1].path);
        Host host;
        host.setAnswer(false);
        host.stopAt = c.stopAt;
        EXPECT_EQ(GifCompiler::Compile(frames, o, host).outcome, c.outcome);
        if (c.removeFrame) {
            EXPECT_EQ(host.errors, std::vector<std::string>{"Cannot read file (frame): " +
                                                            frames[1].path.string()});
        }
        if (c.missingFolder) {
            EXPECT_EQ(host.errors.size(), 1u);
        }
        std::size_t files = 0;
        for (const auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
        EXPECT_EQ(files, frames.size() - c.removeFrame + c.exists);  // no output, no leftovers
        if (c.exists) {
            EXPECT_EQ(test::readFile(o.output), std::vector<std::uint8_t>{7});
        }
    }
}

TEST(GifCompiler, LoopsMinimisesOnlyWhenSmallerAndWarnsOfCoveredTransparency) {
    // Four grey columns, three quarters of them changing at random: see-through pixels only
    // break the runs and cost a palette bit.
    const int n = 64;
    Picture a(n * n), b(n * n);
    std::uint32_t seed = 11;
    for (int i = 0; i < n * n; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int column = i % n / 2;
        a[i] = 0xFF000000u | (column % 4) * 0x404040u;
        b[i] = (seed >> 16) % 4 ? 0xFF000000u | ((column + 1) % 4) * 0x404040u : a[i];
    }
    test::TempDir dir;
    const auto frames = writeSources(dir, n, n, {{a}, {b}, {a}, {b}});
    std::uintmax_t sizes[2] = {};
    for (const bool minimize : {false, true}) {
        AnimationOptions o;
        o.output = dir / (minimize ? "small.gif" : "plain.gif");
        o.minimize = minimize;
        Host host;
        ASSERT_EQ(GifCompiler::Compile(frames, o, host).outcome, tools::CompileOutcome::Written);
        sizes[minimize] = fs::file_size(o.output);
    }
    EXPECT_LE(sizes[1], sizes[0]);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 6)
        << "no temporary file is left";

    // The loop block: for ever by default, absent for one play, else the repeats after the first.
    const auto loopBlock = [](const fs::path& gif) -> int {
        const auto bytes = test::readFile(gif);
        const std::string text(bytes.begin(), bytes.end());
        const auto at = text.find("NETSCAPE2.0");
        if (at == std::string::npos || at + 15 >= bytes.size()) return -1;
        return bytes[at + 13] | bytes[at + 14] << 8;
    };
    EXPECT_EQ(loopBlock(dir / "plain.gif"), 0);
    for (const auto& [plays, block] : {std::pair{1u, -1}, std::pair{3u, 2}}) {
        AnimationOptions o;
        o.output = dir / "loop.gif";
        o.plays = plays;
        Host host;
        ASSERT_EQ(GifCompiler::Compile(frames, o, host).outcome, tools::CompileOutcome::Written);
        EXPECT_EQ(loopBlock(o.output), block) << plays;
    }

    // A hole in the second frame shows the first one when that one is left in place.
    for (const std::int32_t disposal : {1, 2}) {
        test::TempDir holes;
        AnimationOptions o;
        o.output = holes / "out.gif";
        Host host;
        const auto f = writeSources(holes, 16, 16,
                                    {{scene(16, 16, 2, 2, 0xFFFF0000u, false), disposal},
                                     {scene(16, 16, 4, 4, 0xFF00FF00u, true)}});
        ASSERT_EQ(GifCompiler::Compile(f, o, host).outcome, tools::CompileOutcome::Written);
        EXPECT_EQ(host.warnings.size(), disposal == 1 ? 1u : 0u);
        if (disposal == 1) {
            EXPECT_NE(host.warnings[0].find("frame(s) 2 show"), std::string::npos);
        }
    }
}
