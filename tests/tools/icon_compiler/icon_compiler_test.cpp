#include "tools/icon_compiler/icon_compiler.h"

#include <gtest/gtest.h>

#include <deque>

#include "image/image_document.h"
#include "image/writers/bmp_writer.h"
#include "image/writers/icon_writer.h"
#include "support/test_support.h"

using namespace kalder;
using namespace kalder::tools;
namespace fs = std::filesystem;
using test::TempDir;

namespace {

struct ScriptedHost : ToolHost, IconQuestions {
    std::vector<std::string> messages;
    std::deque<bool> answers;  // empty: Yes
    std::vector<std::string> questions;
    image::ColorRef colour = image::makeColorRef(255, 255, 255);
    std::int32_t hotX = 0, hotY = 0;

    void error(const std::string& text) override { messages.push_back(text); }
    void warning(const std::string& text) override { messages.push_back(text); }
    void information(const std::string& text) override { messages.push_back(text); }
    ToolAnswer ask(const ToolQuestion& q) override {
        questions.push_back(q.text);
        if (answers.empty()) return ToolAnswer::Yes;
        const bool a = answers.front();
        answers.pop_front();
        return a ? ToolAnswer::Yes : ToolAnswer::No;
    }
    void progress(const ToolProgress&) override {}
    bool cancelled() override { return false; }
    bool chooseColour(image::ColorRef& c) override {
        c = colour;
        return true;
    }
    bool askHotSpot(std::int32_t& x, std::int32_t& y) override {
        x = hotX;
        y = hotY;
        return true;
    }
    bool askDelay(std::uint32_t& d) override {
        d = 7;
        return true;
    }
};

// A palette BMP of side x side whose pixel (x, y) has index `index(x, y)`.
fs::path paletteBmp(const fs::path& path, std::int32_t side, std::int32_t bits,
                    const std::vector<std::uint32_t>& rgb,
                    const std::function<std::uint8_t(int, int)>& index) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(side) * side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) pixels[static_cast<std::size_t>(y) * side + x] = index(x, y);
    image::WriterImage w;
    w.pixels = pixels.data();
    w.width = w.height = side;
    w.bits = bits;
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        w.palette[i * 3] = static_cast<std::uint8_t>(rgb[i] >> 16);
        w.palette[i * 3 + 1] = static_cast<std::uint8_t>(rgb[i] >> 8);
        w.palette[i * 3 + 2] = static_cast<std::uint8_t>(rgb[i]);
    }
    image::BmpWriter writer;
    EXPECT_TRUE(writer.Open(path).ok());
    EXPECT_TRUE(writer.Write(w).ok());
    EXPECT_TRUE(writer.Close().ok());
    return path;
}

fs::path rgbBmp(const fs::path& path, int side, std::uint32_t (*colour)(int, int)) {
    test::writeFile(path, test::bmp24(side, side, colour));
    return path;
}

std::uint32_t gradient(int x, int y) {
    return static_cast<std::uint32_t>(x * 0x070000 + y * 0x0305);
}
std::uint32_t grayRamp(int x, int) { return static_cast<std::uint32_t>(x * 8) * 0x010101; }
std::uint32_t halves(int x, int) { return x < 8 ? 0 : 0xFFFFFF; }

std::unique_ptr<image::ImageDocument> load(const fs::path& path) {
    auto doc = std::make_unique<image::ImageDocument>();
    image::LoadOptions o;
    o.path = path;
    o.extractAlpha = true;
    if (!doc->loadAll(o, true)) return nullptr;
    return doc;
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

}  // namespace

TEST(IconCompiler, OpenRefusesOtherSizesAndUnreadableFiles) {
    TempDir dir;
    const fs::path ok = rgbBmp(dir / "ok.bmp", 16, gradient);
    const fs::path odd = rgbBmp(dir / "odd.bmp", 257, gradient);
    test::writeFile(dir / "junk.bmp", {'B', 'M', 1, 2});
    struct Case {
        fs::path file;
        std::string message;
    } cases[] = {
        {odd, "The image \"" + odd.string() + "\" is not square or is larger than 256x256 pixels."},
        {dir / "junk.bmp", "Failed to load the images."},
        {dir / "missing.bmp", "Failed to load the images."},
    };
    for (const Case& c : cases) {
        ScriptedHost host;
        IconCompiler compiler(host, host);
        EXPECT_FALSE(compiler.open({ok, c.file}));
        ASSERT_EQ(host.messages.size(), 1u) << c.file;
        EXPECT_EQ(host.messages[0], c.message);
        EXPECT_TRUE(compiler.sources().empty());
    }
    ScriptedHost host;
    IconCompiler compiler(host, host);
    ASSERT_TRUE(compiler.open(
        {ok, rgbBmp(dir / "big.bmp", 256, gradient), rgbBmp(dir / "any.bmp", 24, gradient)}));
    EXPECT_EQ(compiler.defaultOutput(), dir / "Output.ico");
    EXPECT_EQ(compiler.sourceInfo(0), "16x16, True-color");
}

TEST(IconCompiler, TwoPagesCompileIntoOneIconWithConsecutiveOffsets) {
    TempDir dir;
    ScriptedHost host;
    IconCompiler compiler(host, host);
    const std::vector<std::uint32_t> vga = {0x000000, 0x800000, 0x008000, 0xFFFFFF};
    ASSERT_TRUE(compiler.open(
        {rgbBmp(dir / "a.bmp", 32, gradient),
         paletteBmp(dir / "b.bmp", 16, 4, vga, [](int x, int y) { return (x + y) % 4; })}));
    EXPECT_EQ(compiler.sourceInfo(1), "16x16, 16 colors");
    compiler.addPages({1, 0});
    ASSERT_EQ(compiler.pages().size(), 2u);
    EXPECT_EQ(compiler.pages()[0].name, "a.bmp") << "list order, not selection order";
    const fs::path out = dir / "Output.ico";
    ASSERT_TRUE(compiler.compile(out, IconOutputType::Icon));
    const auto bytes = test::readFile(out);
    EXPECT_EQ(le32(bytes, 6 + 12), 38u);
    EXPECT_EQ(le32(bytes, 22 + 12), 38u + le32(bytes, 6 + 8));
    auto a = test::decodeWithKalder(dir / "a.bmp"), back = test::decodeWithKalder(out);
    ASSERT_TRUE(a && back);
    EXPECT_EQ(test::maxChannelDifference(*a, *back), 0);
    auto b = test::decodeWithKalder(dir / "b.bmp"), back2 = test::decodeWithKalder(out, 1);
    ASSERT_TRUE(b && back2);
    EXPECT_EQ(test::maxChannelDifference(*b, *back2), 0);
    EXPECT_TRUE(host.messages.empty());
}

TEST(IconCompiler, MaskChecksAndMaskedPixelsTurnBlack) {
    TempDir dir;
    ScriptedHost host;
    IconCompiler compiler(host, host);
    // Sixteen entries, all of them in the file: white, red, then no black at all (or black at 2).
    std::vector<std::uint32_t> noBlack = {0xFFFFFF, 0xFF0000};
    for (std::uint32_t i = 2; i < 16; ++i) noBlack.push_back(0x202020 + i);
    std::vector<std::uint32_t> withBlack = noBlack;
    withBlack[2] = 0;
    // Odd columns white, even ones red.
    auto stripes = [](int x, int) { return static_cast<std::uint8_t>(x % 2 ? 0 : 1); };
    ASSERT_TRUE(compiler.open({
        paletteBmp(dir / "nb.bmp", 16, 4, noBlack, stripes),    // 0
        paletteBmp(dir / "wb.bmp", 16, 4, withBlack, stripes),  // 1
        rgbBmp(dir / "rgb.bmp", 16, gradient),                  // 2
        rgbBmp(dir / "alpha.bmp", 16, grayRamp),                // 3 grayscale mask
        rgbBmp(dir / "simple.bmp", 16, halves),                 // 4 black-and-white mask
        rgbBmp(dir / "big.bmp", 32, halves),                    // 5 a mask of another size
        paletteBmp(dir / "p8.bmp", 16, 8, withBlack, stripes),  // 6
    }));
    compiler.addPages({0, 1, 2, 6});
    EXPECT_FALSE(compiler.setMaskImage({}, {3}));
    EXPECT_FALSE(compiler.setMaskImage({0}, {3, 4}));
    EXPECT_FALSE(compiler.setMaskImage({0}, {2}));
    EXPECT_FALSE(compiler.setMaskImage({3}, {3}));
    EXPECT_FALSE(compiler.setMaskImage({2}, {5}));
    const std::vector<std::string> want = {
        "You have not selected pages to apply the mask to.",
        "You must select only one mask image.",
        "Only single-frame black-and-white or grayscale files can be used as masks.",
        "Cannot apply alpha-channel to paletted image \"" + (dir / "p8.bmp").string() + ".\"",
        "The size of the mask is not the same as that of the image \"" +
            (dir / "rgb.bmp").string() + "\".",
    };
    EXPECT_EQ(host.messages, want);

    ASSERT_TRUE(compiler.setMaskImage({2}, {3}));
    EXPECT_EQ(compiler.maskText(2), "alpha.bmp, alpha-channel image");
    ASSERT_TRUE(compiler.setMaskImage({3}, {4}));
    EXPECT_EQ(compiler.maskText(3), "simple.bmp, simple image");
    ASSERT_TRUE(compiler.setTransparentColour({0, 1}));  // white
    EXPECT_EQ(compiler.maskText(0), "Color: #FFFFFF");
    host.messages.clear();
    ASSERT_TRUE(compiler.compile(dir / "m.ico", IconOutputType::Icon));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0],
              "Warning! Some of the pages have no black color in their palettes!\nThis may cause "
              "the file to be shown improperly.");

    auto doc = load(dir / "m.ico");
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->PageCount(), 4);
    auto pixel = [&](int page, int x) { return doc->PageAt(page).bitmap.row(3) + x * 4; };
    auto alpha = [&](int page, int x) { return doc->PageAt(page).alphaPlane.at(3 * 16 + x); };
    // White stripes are masked everywhere; without black in the palette they stay white.
    EXPECT_EQ(alpha(0, 1), 0);
    EXPECT_EQ(pixel(0, 1)[0], 255);
    EXPECT_EQ(alpha(1, 1), 0);
    EXPECT_EQ(pixel(1, 1)[0], 0);
    EXPECT_EQ(alpha(1, 0), 255);
    EXPECT_EQ(pixel(1, 0)[2], 255) << "red stays";
    EXPECT_EQ(alpha(2, 5), 40) << "the gray value becomes the alpha channel";
    EXPECT_EQ(alpha(2, 0), 0);
    EXPECT_EQ(pixel(2, 0)[1] | pixel(2, 0)[2], 0) << "fully transparent is black";
    EXPECT_EQ(alpha(3, 7), 0);
    EXPECT_EQ(alpha(3, 8), 255);
}

TEST(IconCompiler, PagesOfMultiPageSourcesAndTheirEditing) {
    TempDir dir;
    // A two-image cursor as a source.
    const fs::path cursor = dir / "two.cur";
    {
        std::vector<std::uint8_t> px(32 * 32 * 4, 0x40);
        image::WriterImage w;
        w.pixels = px.data();
        w.width = w.height = 32;
        image::IconWriter writer(image::IconFileType::Cursor);
        ASSERT_TRUE(writer.Open(cursor).ok());
        writer.setHotSpot(9, 10);
        ASSERT_TRUE(writer.Write(w).ok());
        writer.setHotSpot(11, 12);
        ASSERT_TRUE(writer.Write(w).ok());
        ASSERT_TRUE(writer.Close().ok());
    }
    ScriptedHost host;
    IconCompiler compiler(host, host);
    ASSERT_TRUE(compiler.open({cursor, rgbBmp(dir / "one.bmp", 32, gradient)}));
    host.answers = {false, true};
    compiler.addPages({0, 1});
    compiler.addPages({0});
    ASSERT_EQ(compiler.pages().size(), 4u);
    EXPECT_TRUE(compiler.pages()[0].wholeSource());
    EXPECT_EQ(compiler.pages()[3].name, "two.cur (page 2)");
    EXPECT_EQ(compiler.frames().size(), 5u);

    EXPECT_FALSE(compiler.setTransparentColour({0}));
    EXPECT_FALSE(compiler.setHotSpotAt({0}, 1, 1));
    const std::string path = cursor.string();
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{"Cannot apply the mask because the image \"" + path +
                                            "\" contains several pages/frames.",
                                        "Cannot apply the hot spot because the image \"" + path +
                                            "\" contains several pages/frames."}));
    host.messages.clear();
    host.hotX = 40;
    host.hotY = 5;
    EXPECT_FALSE(compiler.setHotSpot({1}));
    EXPECT_EQ(host.messages, std::vector<std::string>{
                                 "The hot spot 40,5 lies outside the image \"one.bmp\" (32x32 "
                                 "pixels)."});
    host.hotX = 20;
    ASSERT_TRUE(compiler.setHotSpot({1}));
    ASSERT_TRUE(compiler.setDelay({1, 2}));
    EXPECT_EQ(compiler.maskText(1), "Hot Spot: 20,5; Delay: 7");

    EXPECT_EQ(compiler.movePages({0, 1}, true), (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(compiler.movePages({1, 3}, true), (std::vector<std::int32_t>{0, 2}));
    EXPECT_EQ(compiler.pages()[0].name, "one.bmp");
    EXPECT_EQ(compiler.movePages({0, 3}, false), (std::vector<std::int32_t>{1, 3}));
    host.answers = {false};
    EXPECT_FALSE(compiler.deletePages({0}));
    ASSERT_TRUE(compiler.deletePages({0, 2}));  // the whole cursor and its second page
    ASSERT_EQ(compiler.pages().size(), 2u);

    ASSERT_TRUE(compiler.compile(dir / "out.cur", IconOutputType::Cursor));
    auto doc = load(dir / "out.cur");
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->PageCount(), 2);
    EXPECT_EQ(doc->PageAt(0).hotSpotX, 20);
    EXPECT_EQ(doc->PageAt(0).hotSpotY, 5);

    // An animated cursor of the whole cursor keeps its own hot spots and takes the row's delay.
    ScriptedHost host2;
    IconCompiler ani(host2, host2);
    ASSERT_TRUE(ani.open({cursor}));
    host2.answers = {false};
    ani.addPages({0});
    ani.setDelayTo({0}, 30);
    ASSERT_TRUE(ani.compile(dir / "a.ani", IconOutputType::AnimatedCursor));
    auto anim = load(dir / "a.ani");
    ASSERT_TRUE(anim);
    ASSERT_EQ(anim->PageCount(), 2);
    EXPECT_EQ(anim->PageAt(1).delay, 30u);
}

TEST(IconCompiler, CompileLeavesExistingAndUnwritableTargetsAlone) {
    TempDir dir;
    ScriptedHost host;
    IconCompiler compiler(host, host);
    ASSERT_TRUE(compiler.open({rgbBmp(dir / "a.bmp", 16, gradient)}));
    EXPECT_FALSE(compiler.compile(dir / "empty.ico", IconOutputType::Icon)) << "no pages";
    compiler.addPages({0});
    const fs::path existing = dir / "old.ico";
    test::writeFile(existing, {'o', 'l', 'd'});
    host.answers = {false};
    EXPECT_FALSE(compiler.compile(existing, IconOutputType::Icon));
    EXPECT_EQ(host.questions.back(),
              "The output file already exists. Do you want to overwrite it?");
    EXPECT_EQ(test::readFile(existing).size(), 3u);
    EXPECT_FALSE(compiler.compile(dir / "no" / "x.ico", IconOutputType::Icon));
    EXPECT_EQ(host.messages, (std::vector<std::string>{"Failed to write the output file."}));
    EXPECT_FALSE(fs::exists(dir / "no"));
    ASSERT_TRUE(compiler.compile(existing, IconOutputType::Icon));
    EXPECT_GT(test::readFile(existing).size(), 3u);
}
