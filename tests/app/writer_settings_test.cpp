// The writers' options as the settings record keeps them.
#include "app/core/writer_settings.h"

#include <gtest/gtest.h>

#include "app/core/settings.h"

using namespace kalder;

TEST(WriterSettings, DefaultsAndRoundTripThroughTheFile) {
    app::Settings settings;
    const app::WriterOptions defaults = app::writerOptionsFromSettings(settings);
    EXPECT_EQ(defaults.jpeg.quality, 75);
    EXPECT_TRUE(defaults.jpeg.copyExif);
    EXPECT_EQ(defaults.tiff.compressionIndex, 1);
    EXPECT_EQ(defaults.png.gamma, 0.0);
    EXPECT_EQ(defaults.gif.transparency.mode, image::TransparencyMode::Retain);

    app::WriterOptions changed;
    changed.bmp.rle = true;
    changed.tga.rle = true;
    changed.jpeg = {40, 10, 1, true, true, false};
    changed.png.interlaced = true;
    changed.png.gamma = 1.8;
    changed.png.transparency = {image::TransparencyMode::Color, 0x00123456, 0};
    changed.gif.interlaced = true;
    changed.gif.transparency = {image::TransparencyMode::PaletteIndex, 0, 200};
    changed.tiff.compressionIndex = 3;
    settings.jpegOptions[7] = 1234;  // an element no option uses is kept
    app::storeWriterOptions(changed, settings);
    EXPECT_EQ(settings.jpegOptions[7], 1234);
    EXPECT_EQ(settings.bmpOptions[0], 1);
    EXPECT_EQ(settings.jpegOptions[0], 40);

    app::Settings reread;
    ASSERT_EQ(app::readSettingsFile(app::writeSettingsFile(settings), reread),
              app::SettingsLoad::Complete);
    const app::WriterOptions back = app::writerOptionsFromSettings(reread);
    EXPECT_EQ(back.bmp, changed.bmp);
    EXPECT_EQ(back.tga, changed.tga);
    EXPECT_EQ(back.jpeg, changed.jpeg);
    EXPECT_EQ(back.png.interlaced, true);
    EXPECT_EQ(back.png.gamma, 1.8);
    EXPECT_EQ(back.png.transparency, changed.png.transparency);
    EXPECT_EQ(back.gif, changed.gif);
    EXPECT_EQ(back.tiff, changed.tiff);

    // Values from a damaged file stay in range.
    reread.jpegOptions[0] = 500;
    reread.gifOptions[1] = 9;
    reread.gifOptions[3] = -4;
    const app::WriterOptions clamped = app::writerOptionsFromSettings(reread);
    EXPECT_EQ(clamped.jpeg.quality, 100);
    EXPECT_EQ(clamped.gif.transparency.mode, image::TransparencyMode::Retain);
    EXPECT_EQ(clamped.gif.transparency.paletteIndex, 0);
}
