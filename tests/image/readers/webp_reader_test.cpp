// WebP files made by the format's own encoder from our pictures, read by us and by its
// reference decoder.
#include "library_reader_test_support.h"

namespace kalder::image {
namespace {

namespace fs = std::filesystem;
using namespace kalder::test;

class WebpReader : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveTool("cwebp") || !haveTool("dwebp")) GTEST_SKIP() << "webp tools not installed";
        if (!makeWebpReader()->OpenMemory({}).ok()) GTEST_SKIP() << "built without libwebp";
    }
    TempDir dir;
};

TEST_F(WebpReader, StillsMatchTheReferenceDecoder) {
    const struct {
        const char* name;
        const char* options;
        bool alpha;
        int tolerance;
    } cases[] = {
        {"lossless_alpha", "-lossless", true, 0},
        {"lossless", "-lossless", false, 0},
        {"lossy_alpha", "-q 80", true, 2},
        {"lossy", "-q 60", false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Picture picture = drawPicture(97, 61, c.alpha);
        const fs::path png = dir / (std::string(c.name) + ".png");
        const fs::path webp = dir / (std::string(c.name) + ".webp");
        const fs::path ref = dir / (std::string(c.name) + ".ref.png");
        ASSERT_TRUE(writePng(picture, png));
        ASSERT_TRUE(run("cwebp " + std::string(c.options) + " " + q(png) + " -o " + q(webp)));
        ASSERT_TRUE(run("dwebp " + q(webp) + " -o " + q(ref)));
        const auto ours = decodeAllPages(webp);
        const auto theirs = decodeAllPages(ref);
        ASSERT_EQ(ours.size(), 1u);
        ASSERT_EQ(theirs.size(), 1u);
        EXPECT_LE(maxChannelDifference(ours[0].rgb, theirs[0].rgb), c.tolerance);
        EXPECT_LE(maxAlphaDifference(ours[0].alpha, theirs[0].alpha), c.tolerance);
        if (c.tolerance == 0) {
            EXPECT_EQ(maxChannelDifference(ours[0].rgb, picture.rgb), 0);
        }
        EXPECT_EQ(ours[0].alpha.empty(), !c.alpha);
    }
}

// Frames are stored as changed rectangles blended onto the canvas; each page must be the whole
// composed frame, with its own delay.
TEST_F(WebpReader, AnimationFramesAreComposedWithTheirDelays) {
    if (!haveTool("img2webp")) GTEST_SKIP() << "img2webp not installed";
    std::string command = "img2webp -lossless -loop 0";
    const int delaysMs[] = {100, 250, 40};
    std::vector<Picture> frames;
    for (int i = 0; i < 3; ++i) {
        frames.push_back(drawPicture(64, 48, i == 1, i));
        // Only a band changes between frames, so the encoder stores sub-rectangles.
        if (i > 0)
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 64 * 4; ++x)
                    frames[i].bgrx[y * 64 * 4 + x] = frames[0].bgrx[y * 64 * 4 + x];
        const fs::path png = dir / ("f" + std::to_string(i) + ".png");
        ASSERT_TRUE(writePng(frames[i], png));
        command += " -d " + std::to_string(delaysMs[i]) + " " + q(png);
    }
    const fs::path webp = dir / "anim.webp";
    ASSERT_TRUE(run(command + " -o " + q(webp)));
    const auto pages = decodeAllPages(webp);
    ASSERT_EQ(pages.size(), 3u);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i);
        const Picture& f = frames[i];
        RgbImage expected = f.rgb;
        for (int y = 0; y < 20 && i > 0; ++y)
            for (int x = 0; x < 64 * 3; ++x)
                expected.rgb[y * 64 * 3 + x] = frames[0].rgb.rgb[y * 64 * 3 + x];
        EXPECT_EQ(maxChannelDifference(pages[i].rgb, expected), 0);
        EXPECT_EQ(pages[i].delay, static_cast<std::uint32_t>(delaysMs[i] / 10));
    }
    expectDamageFailsCleanly(webp, dir);
}

TEST_F(WebpReader, HugeCanvasIsRefusedBeforeDecoding) {
    // VP8X headers announcing a canvas (stored minus one, 24 bits each) in a 30-byte file: one
    // beyond every limit, one that a file this small cannot honestly hold.
    for (std::uint32_t side : {65535u, 6000u}) {
        SCOPED_TRACE(side);
        Bytes b;
        b.str("RIFF").u32le(30).str("WEBP").str("VP8X").u32le(10).u8(0).fill(3, 0);
        for (int i = 0; i < 2; ++i) b.u8((side - 1) & 0xFF).u8((side - 1) >> 8).u8(0);
        const fs::path bomb = dir / "bomb.webp";
        writeFile(bomb, b.data);
        auto reader = CreateReader(bomb);
        ASSERT_NE(reader, nullptr);
        ASSERT_TRUE(reader->OpenFile(bomb, {}).ok());
        const Status s = reader->ReadHeader();
        ASSERT_FALSE(s.ok());
        EXPECT_EQ(s.error(), DecodeError::TooLarge);
    }
}

TEST_F(WebpReader, DamagedStillsFailCleanly) {
    const fs::path png = dir / "p.png", webp = dir / "p.webp";
    ASSERT_TRUE(writePng(drawPicture(80, 80, true), png));
    ASSERT_TRUE(run("cwebp -q 70 " + q(png) + " -o " + q(webp)));
    expectDamageFailsCleanly(webp, dir);
}

}  // namespace
}  // namespace kalder::image
