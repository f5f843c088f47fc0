// Putting pictures upright: the bitmap turn matches the decoder's, turns compose, and a copied
// Exif block is made to say 1.
#include "image/orientation.h"

#include <gtest/gtest.h>

#include "image/bitmap32.h"
#include "image/exif/tiff_builder.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

test::RgbImage turned(const Bitmap32& source, const ExifOrientation& o) {
    Bitmap32 out;
    EXPECT_TRUE(orientBitmap(source, out, o));
    return test::toRgb(out);
}

TEST(Orientation, BitmapTurnMatchesTheDecoderAndTurnsCompose) {
    if (!test::haveBmpReader()) GTEST_SKIP() << "no BMP reader";
    test::TempDir dir;
    test::writeFile(dir / "p.bmp", test::bmp24(5, 3, [](int x, int y) {
                        return static_cast<std::uint32_t>(x * 40 << 16 | y * 90 << 8 | 7);
                    }));
    LoadOptions plain;
    plain.path = dir / "p.bmp";
    ImageDocument doc;
    ASSERT_TRUE(doc.loadAll(plain, false));
    const Bitmap32& stored = doc.PageAt(0).bitmap;
    for (int value = 1; value <= 8; ++value) {
        SCOPED_TRACE(value);
        // The decoder asked for the upright picture directly.
        LoadOptions o = plain;
        orientLoadOptions(o, value);
        ImageDocument upright;
        ASSERT_TRUE(upright.loadAll(o, false));
        const test::RgbImage decoded = test::toRgb(upright.PageAt(0).bitmap);
        EXPECT_EQ(test::maxChannelDifference(turned(stored, uprightTransform(value)), decoded), 0);
        // Exif 6: the stored left column becomes the top row, read from the bottom up; 8: the
        // stored top row becomes the left column, read from the right.
        if (value == 6) {
            EXPECT_EQ(decoded.at(2, 0)[1], 0);
            EXPECT_EQ(decoded.at(0, 0)[1], 180);
        }
        if (value == 8) {
            EXPECT_EQ(decoded.at(0, 4)[0], 0);
            EXPECT_EQ(decoded.at(0, 0)[0], 160);
        }
        for (int other = 1; other <= 8; ++other) {
            const ExifOrientation a = uprightTransform(value), b = uprightTransform(other);
            Bitmap32 once;
            ASSERT_TRUE(orientBitmap(stored, once, a));
            EXPECT_EQ(test::maxChannelDifference(turned(once, b),
                                                 turned(stored, composeOrientation(a, b))),
                      0)
                << other;
        }
    }
    // A value outside 1..8 (or no tag) leaves the picture as stored.
    EXPECT_EQ(test::maxChannelDifference(turned(stored, uprightTransform(0)), test::toRgb(stored)),
              0);
}

TEST(Orientation, CopiedExifSaysOneInEitherByteOrder) {
    for (bool le : {true, false}) {
        for (std::uint16_t type : {std::uint16_t{3}, std::uint16_t{4}}) {
            SCOPED_TRACE(testing::Message() << le << " " << type);
            test::TiffBuilder b(le);
            test::TiffIfd ifd0;
            ifd0.entries = {type == 3 ? b.shorts(exif_tag::kOrientation, {6})
                                      : b.longs(exif_tag::kOrientation, {6})};
            ExifBlock exif;
            ASSERT_TRUE(exif.setData(b.build({ifd0}), 0));
            ASSERT_EQ(exif.orientation(), 6);
            ExifBlock reset;
            ASSERT_TRUE(reset.setData(exifWithOrientationReset(exif), 0));
            EXPECT_EQ(reset.orientation(), 1);
            EXPECT_EQ(reset.data().size(), exif.data().size());
        }
    }
}

}  // namespace
}  // namespace kalder::image
