// JPEG XL files made by the format's own encoder from our pictures, read by us and by its
// reference decoder.
#include "image/exif/exif_block.h"
#include "image/writers/writer_factory.h"
#include "library_reader_test_support.h"

namespace kalder::image {
namespace {

namespace fs = std::filesystem;
using namespace kalder::test;

class JxlReader : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveTool("cjxl") || !haveTool("djxl")) GTEST_SKIP() << "JPEG XL tools not installed";
        if (!makeJxlReader()->OpenMemory({}).ok()) GTEST_SKIP() << "built without libjxl";
    }
    TempDir dir;
};

TEST_F(JxlReader, StillsMatchTheReferenceDecoder) {
    const struct {
        const char* name;
        const char* options;
        bool alpha;
        int tolerance;
        double gamma = 0;
    } cases[] = {
        {"lossless_alpha", "-d 0", true, 0},
        {"lossless", "-d 0", false, 0},
        {"lossy_alpha", "-d 1", true, 2},
        {"lossy", "-d 2", false, 2},
        // Not sRGB: the numbers stay in the file's own encoding, its profile says which.
        {"lossy_gamma", "-d 1", false, 2, 1 / 2.2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Picture picture = drawPicture(90, 70, c.alpha);
        const fs::path png = dir / (std::string(c.name) + ".png");
        const fs::path jxl = dir / (std::string(c.name) + ".jxl");
        const fs::path ref = dir / (std::string(c.name) + ".ref.png");
        ASSERT_TRUE(writePng(picture, png, c.gamma));
        ASSERT_TRUE(run("cjxl " + q(png) + " " + q(jxl) + " " + c.options));
        ASSERT_TRUE(run("djxl " + q(jxl) + " " + q(ref)));
        const auto ours = decodeAllPages(jxl);
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

// An animated GIF of our own, recompressed losslessly: every frame and delay must survive.
TEST_F(JxlReader, AnimationFramesKeepTheirPixelsAndDelays) {
    const fs::path gif = dir / "anim.gif", jxl = dir / "anim.jxl";
    const std::uint32_t delays[] = {10, 35, 4};
    {
        auto writer = makeGifWriter();
        ASSERT_TRUE(writer->Open(gif, nullptr).ok());
        std::vector<std::uint8_t> indices(48 * 32);
        for (int f = 0; f < 3; ++f) {
            WriterImage image;
            image.width = 48;
            image.height = 32;
            image.bits = 8;
            for (int i = 0; i < 256; ++i) {
                image.palette[i * 3] = static_cast<std::uint8_t>(i);
                image.palette[i * 3 + 1] = static_cast<std::uint8_t>(255 - i);
                image.palette[i * 3 + 2] = static_cast<std::uint8_t>(i * 7);
            }
            for (std::size_t i = 0; i < indices.size(); ++i)
                indices[i] = static_cast<std::uint8_t>((i % 48) * 5 + (i / 48) + f * 60);
            image.pixels = indices.data();
            image.gifDelay = delays[f];
            image.gifDisposal = 1;
            ASSERT_TRUE(writer->Write(image).ok());
        }
        ASSERT_TRUE(writer->Close().ok());
    }
    ASSERT_TRUE(run("cjxl " + q(gif) + " " + q(jxl) + " -d 0"));
    const auto source = decodeAllPages(gif);
    const auto ours = decodeAllPages(jxl);
    ASSERT_EQ(source.size(), 3u);
    ASSERT_EQ(ours.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(maxChannelDifference(ours[i].rgb, source[i].rgb), 0);
        EXPECT_EQ(ours[i].delay, delays[i]);
    }
    expectDamageFailsCleanly(jxl, dir);
}

// A JPEG of ours with Exif, recompressed without loss: the Exif box reaches the properties.
TEST_F(JxlReader, ExifBoxOfARecompressedJpegIsRead) {
    Bytes tiff;  // little-endian, one directory: Orientation 1 and Model
    tiff.str("II").u16le(42).u32le(8);
    tiff.u16le(2).u16le(0x0110).u16le(2).u32le(12).u32le(38);
    tiff.u16le(0x0112).u16le(3).u32le(1).u16le(1).u16le(0).u32le(0);
    tiff.str("Kalder Cam").u8(0).u8(0);
    const Picture picture = drawPicture(64, 48, false);
    const fs::path jpg = dir / "exif.jpg", jxl = dir / "exif.jxl";
    {
        WriterImage image;
        image.width = picture.width;
        image.height = picture.height;
        image.pixels = picture.bgrx.data();
        image.exif = tiff.data;
        auto writer = makeJpegWriter();
        ASSERT_TRUE(writer->Open(jpg, nullptr) && writer->Write(image) && writer->Close());
    }
    ASSERT_TRUE(run("cjxl " + q(jpg) + " " + q(jxl)));
    ExifBlock exif;
    ReaderSettings settings;
    settings.exif = &exif;
    auto reader = CreateReader(jxl);
    ASSERT_NE(reader, nullptr);
    ASSERT_TRUE(reader->OpenFile(jxl, settings).ok());
    ASSERT_TRUE(reader->ReadHeader().ok());
    EXPECT_EQ(exif.getAscii(ExifIfdKind::Ifd0, 0x0110), "Kalder Cam");
    EXPECT_EQ(exif.orientation(), 1);
}

// A bare codestream whose size header says 65535 x 65535 and nothing else.
TEST_F(JxlReader, HugeSizeIsRefusedBeforeDecoding) {
    std::vector<int> bits;
    auto put = [&bits](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) bits.push_back(static_cast<int>((v >> i) & 1));
    };
    put(0, 1);       // sizes not in multiples of 8
    put(2, 2);       // height in 18 bits
    put(65534, 18);  // minus one
    put(0, 3);       // width given on its own
    put(2, 2);
    put(65534, 18);
    put(1, 1);  // default metadata
    Bytes b;
    b.u8(0xFF).u8(0x0A);
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        std::uint32_t byte = 0;
        for (std::size_t j = 0; j < 8 && i + j < bits.size(); ++j)
            byte |= static_cast<std::uint32_t>(bits[i + j]) << j;
        b.u8(byte);
    }
    b.fill(32, 0);
    const fs::path bomb = dir / "bomb.jxl";
    writeFile(bomb, b.data);
    auto reader = CreateReader(bomb);
    ASSERT_NE(reader, nullptr);
    ASSERT_TRUE(reader->OpenFile(bomb, {}).ok());
    const Status s = reader->ReadHeader();
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error(), DecodeError::TooLarge);
}

}  // namespace
}  // namespace kalder::image
