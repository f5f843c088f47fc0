#include "tools/jpeg_transform/jpeg_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "image/exif/exif_block.h"
#include "tools/jpeg_transform/exif_rewrite.h"
#include "tools/jpeg_transform/jpeg_segments.h"
#include "tools/jpeg_transform/jpeg_test_files.h"

namespace kalder::tools {
namespace {

namespace fs = std::filesystem;
using test::jpeg::makeJpeg;
using Code = JpegTransformCode;

jpeg::FrameInfo frameOf(const std::vector<std::uint8_t>& stream) {
    const auto layout = jpeg::walkSegments(stream);
    return layout ? layout->frame : jpeg::FrameInfo{};
}

class JpegTransformTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (makeJpeg(16, 16).empty()) GTEST_SKIP() << "codec module missing";
    }
    test::TempDir dir;
};

struct TrimCase {
    std::uint32_t width, height;
    Code code;
    bool needsTrim;
    int rightCut, bottomCut;
    std::uint32_t outWidth, outHeight;
};

TEST_F(JpegTransformTest, AsksBeforeCuttingAndOtherwiseTransforms) {
    const TrimCase cases[] = {
        {1600, 1200, Code::FlipHorizontal, false, 0, 0, 1600, 1200},
        {1600, 1200, Code::FlipVertical, false, 0, 0, 1600, 1200},
        {1600, 1200, Code::Rotate90, false, 0, 0, 1200, 1600},
        {1600, 1200, Code::Rotate180, false, 0, 0, 1600, 1200},
        {1600, 1200, Code::Rotate270, false, 0, 0, 1200, 1600},
        {1000, 750, Code::FlipHorizontal, true, 8, 0, 0, 0},
        {1000, 750, Code::Rotate180, true, 8, 14, 0, 0},
        {1000, 750, Code::Rotate90, true, 0, 14, 0, 0},
        {1000, 750, Code::Rotate270, true, 8, 0, 0, 0},
    };
    for (const TrimCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << " code " << static_cast<int>(c.code));
        const fs::path in = dir / "in.jpg", out = dir / "out.jpg";
        const auto source = makeJpeg(c.width, c.height);
        test::writeFile(in, source);
        fs::remove(out);
        const JpegTransformResult r = transformJpeg(in, out, c.code, false);
        EXPECT_EQ(r.needsTrim, c.needsTrim);
        EXPECT_EQ(r.done, !c.needsTrim);
        EXPECT_EQ(r.rightCut, c.rightCut);
        EXPECT_EQ(r.bottomCut, c.bottomCut);
        EXPECT_EQ(test::readFile(in), source);
        if (c.needsTrim) {
            EXPECT_FALSE(fs::exists(out));
        } else {
            const auto f = frameOf(test::readFile(out));
            EXPECT_EQ(f.width, c.outWidth);
            EXPECT_EQ(f.height, c.outHeight);
        }
    }
}

// Pixels equal those of the reference transformer with trimming, both decoded by our reader.
TEST_F(JpegTransformTest, PixelsMatchReferenceTransformer) {
    if (std::system("jpegtran -version >/dev/null 2>&1 </dev/null") != 0)
        GTEST_SKIP() << "jpegtran missing";
    const fs::path in = dir / "in.jpg";
    test::writeFile(in, makeJpeg(1000, 750));
    const std::pair<Code, const char*> cases[] = {
        {Code::FlipHorizontal, "-flip horizontal"},
        {Code::FlipVertical, "-flip vertical"},
        {Code::Rotate90, "-rotate 90"},
        {Code::Rotate180, "-rotate 180"},
        {Code::Rotate270, "-rotate 270"},
    };
    for (const auto& [code, args] : cases) {
        SCOPED_TRACE(args);
        const fs::path ours = dir / "ours.jpg", theirs = dir / "theirs.jpg";
        ASSERT_TRUE(transformJpeg(in, ours, code, true).done);
        const std::string cmd = std::string("jpegtran -trim ") + args + " -outfile '" +
                                theirs.string() + "' '" + in.string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const auto a = test::decodeWithKalder(ours);
        const auto b = test::decodeWithKalder(theirs);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->width, b->width);
        EXPECT_EQ(a->height, b->height);
        EXPECT_EQ(test::maxChannelDifference(*a, *b), 0);
    }
}

TEST_F(JpegTransformTest, CopiesEveryMarkerAndDropsLeadingHeader) {
    test::jpeg::ExifSpec exif;
    exif.orientation = 3;
    const std::vector<std::vector<std::uint8_t>> segments = {
        test::jpeg::segment(0xE1, test::jpeg::exifPayload(exif)),
        test::jpeg::segment(0xE2,
                            test::Bytes().str("ICC_PROFILE").u8(0).u8(1).u8(1).fill(300, 7).data),
        test::jpeg::segment(
            0xE1, test::Bytes().str("http://ns.adobe.com/xap/1.0/").u8(0).str("<x/>").data),
        test::jpeg::segment(0xFE, test::Bytes().str("a comment").data),
    };
    std::vector<std::uint8_t> file(128, 0x55);
    const auto stream = test::jpeg::withSegments(makeJpeg(64, 48), segments);
    file.insert(file.end(), stream.begin(), stream.end());
    const fs::path in = dir / "in.jpg", out = dir / "out.jpg";
    test::writeFile(in, file);
    ASSERT_TRUE(transformJpeg(in, out, Code::Rotate180, false).done);
    const auto result = test::readFile(out);
    ASSERT_GE(result.size(), 3u);
    EXPECT_EQ(result[0], 0xFF);
    EXPECT_EQ(result[1], 0xD8);
    for (const auto& s : segments)
        EXPECT_NE(std::search(result.begin(), result.end(), s.begin(), s.end()), result.end());
}

// The thumbnail turns with the picture, the pixel dimensions follow, the orientation stays
// unless the transform applied it.
TEST_F(JpegTransformTest, ExifThumbnailAndDimensionsFollowTheTurn) {
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset);
        test::jpeg::ExifSpec exif;
        exif.littleEndian = !reset;
        exif.orientation = 6;
        exif.pixelX = 1000;
        exif.pixelY = 750;
        exif.thumbnail = makeJpeg(160, 120);
        const fs::path in = dir / "in.jpg", out = dir / "out.jpg";
        // The transformer itself adjusts the sizes only of an Exif segment that comes first.
        std::vector<std::vector<std::uint8_t>> segments;
        if (reset) segments.push_back(test::jpeg::segment(0xFE, {'c'}));
        segments.push_back(test::jpeg::segment(0xE1, test::jpeg::exifPayload(exif)));
        test::writeFile(in, test::jpeg::withSegments(makeJpeg(1000, 750), segments));
        JpegTransformOptions options;
        options.allowTrim = true;
        options.resetOrientation = reset;
        ASSERT_TRUE(transformJpeg(in, out, JpegOperation::Rotate90, options).done);
        const auto result = test::readFile(out);
        const auto layout = jpeg::walkSegments(result);
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->frame.width, 736u);
        EXPECT_EQ(layout->frame.height, 1000u);
        const jpeg::Segment* seg = jpeg::findExifSegment(*layout, result);
        ASSERT_TRUE(seg);
        image::ExifBlock block;
        ASSERT_TRUE(
            block.setPayload(std::span(result).subspan(seg->payloadOffset, seg->payloadSize), 0));
        EXPECT_EQ(block.orientation(), reset ? 1 : 6);
        EXPECT_EQ(block.getUnsigned(image::ExifIfdKind::Exif, 0xA002), 736u);
        EXPECT_EQ(block.getUnsigned(image::ExifIfdKind::Exif, 0xA003), 1000u);
        const auto thumb = block.thumbnailJpeg();
        const auto tf = frameOf({thumb.begin(), thumb.end()});
        EXPECT_EQ(tf.width, 112u);
        EXPECT_EQ(tf.height, 160u);
    }
}

constexpr std::uint8_t kSof0[] = {0xFF, 0xC0};

TEST_F(JpegTransformTest, DamagedInputFailsAndWritesNothing) {
    const auto good = makeJpeg(320, 240);
    std::vector<std::uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
    std::vector<std::uint8_t> badLength = good;
    badLength[4] = 0xFF;                    // the first segment's length runs past the end
    std::vector<std::uint8_t> huge = good;  // a frame header announcing 60000 x 60000
    const auto sof = std::search(huge.begin(), huge.end(), std::begin(kSof0), std::end(kSof0));
    ASSERT_NE(sof, huge.end());
    sof[5] = sof[7] = 0xEA;
    sof[6] = sof[8] = 0x60;
    std::vector<std::uint8_t> notJpeg = test::Bytes().str("\x89PNG\r\n\x1a\n").fill(64, 0).data;
    for (const auto* bytes : {&truncated, &badLength, &notJpeg, &huge}) {
        const fs::path in = dir / "in.jpg", out = dir / "out.jpg";
        test::writeFile(in, *bytes);
        const JpegTransformResult r = transformJpeg(in, out, Code::Rotate90, true);
        EXPECT_FALSE(r.done || r.stopped || r.needsTrim);
        EXPECT_FALSE(r.error.empty());
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(test::readFile(in), *bytes);
    }
}

TEST_F(JpegTransformTest, ProgressCanStop) {
    const fs::path in = dir / "in.jpg", out = dir / "out.jpg";
    test::writeFile(in, makeJpeg(256, 256));
    std::int64_t last = -1, total = 0;
    ASSERT_TRUE(transformJpeg(in, out, Code::Rotate90, false, [&](std::int64_t d, std::int64_t t) {
                    EXPECT_GE(d, last);
                    last = d;
                    total = t;
                    return true;
                }).done);
    EXPECT_EQ(last, total);
    fs::remove(out);
    int calls = 0;
    const auto r = transformJpeg(in, out, Code::Rotate90, false,
                                 [&](std::int64_t, std::int64_t) { return ++calls < 3; });
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.done);
    EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace kalder::tools

namespace kalder::tools::jpeg {
namespace {

// A thumbnail that grows moves to the end of the block (or grows in place when it ends it);
// one that would overflow the segment stays as it was.
TEST(AdjustExifTest, ThumbnailThatGrowsIsStoredWhole) {
    const auto main = test::jpeg::makeJpeg(32, 32);
    if (main.empty()) GTEST_SKIP() << "codec module missing";
    for (const std::size_t growth : {std::size_t{900}, std::size_t{70000}}) {
        SCOPED_TRACE(growth);
        test::jpeg::ExifSpec spec;
        spec.thumbnail.assign(300, 0x11);
        auto stream = test::jpeg::withSegments(
            main, {test::jpeg::segment(0xE1, test::jpeg::exifPayload(spec))});
        ExifAdjustment a;
        a.transformThumbnail = [growth](std::span<const std::uint8_t> t) {
            std::vector<std::uint8_t> out(t.size() + growth, 0x22);
            return std::optional(out);
        };
        adjustExif(stream, a);
        const auto layout = walkSegments(stream);
        ASSERT_TRUE(layout);
        const Segment* seg = findExifSegment(*layout, stream);
        ASSERT_TRUE(seg);
        image::ExifBlock block;
        ASSERT_TRUE(
            block.setPayload(std::span(stream).subspan(seg->payloadOffset, seg->payloadSize), 0));
        const auto thumb = block.thumbnailJpeg();
        const bool fits = growth < 60000;
        EXPECT_EQ(thumb.size(), fits ? 300 + growth : 300);
        EXPECT_TRUE(std::all_of(thumb.begin(), thumb.end(),
                                [&](std::uint8_t b) { return b == (fits ? 0x22 : 0x11); }));
    }
}

}  // namespace
}  // namespace kalder::tools::jpeg
