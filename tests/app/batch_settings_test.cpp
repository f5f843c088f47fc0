// The batch convertor's settings through the settings file.
#include <gtest/gtest.h>

#include "app/core/batch_settings_binding.h"
#include "app/core/settings.h"

using namespace kalder;

TEST(BatchSettingsBinding, DefaultsRoundTripAndClamping) {
    app::Settings settings;
    const tools::BatchSettings defaults = app::batchSettingsFromSettings(settings);
    EXPECT_EQ(defaults.format, tools::BatchFormat::Jpeg);
    EXPECT_TRUE(defaults.preserveDate);
    EXPECT_TRUE(defaults.keepOriginal);
    EXPECT_TRUE(defaults.originalResolution);
    EXPECT_EQ(defaults.overlay.horizontalAnchor, 2);
    EXPECT_EQ(defaults.overlay.horizontalSpacing, 5u);
    EXPECT_EQ(defaults.overlay.font, tools::OverlayFont{});

    tools::BatchSettings b = defaults;
    b.format = tools::BatchFormat::Tga;
    b.placeInFolder = b.copySubfolders = true;
    b.outputFolder = "/out/ü";
    b.comments = "hello";
    b.colorDepth = 8;
    b.palette = 3;
    b.width = 12.5;
    b.height = 0;
    b.unit = 2;
    b.keepAspect = b.swapForVertical = true;
    b.originalResolution = false;
    b.dpiX = 150;
    b.dpiY = 200;
    b.rotation = 3;
    b.mirrorV = true;
    b.overlay.verticalSpacing = 33;
    b.overlay.font = {"Noto Sans Ünicode", 13.5, 700, true};
    b.formatOptions.tga.rle = true;
    app::storeBatchSettings(b, settings);

    app::Settings reread;
    ASSERT_EQ(app::readSettingsFile(app::writeSettingsFile(settings), reread),
              app::SettingsLoad::Complete);
    const tools::BatchSettings back = app::batchSettingsFromSettings(reread);
    EXPECT_EQ(back.format, b.format);
    EXPECT_EQ(back.outputFolder, b.outputFolder);
    EXPECT_EQ(back.comments, b.comments);
    EXPECT_EQ(std::vector<double>({back.width, back.height}), std::vector<double>({12.5, 0}));
    EXPECT_EQ(std::vector<int>({back.colorDepth, back.palette, back.unit, back.dpiX, back.dpiY,
                                back.rotation, back.mirrorH, back.mirrorV, back.keepAspect,
                                back.swapForVertical, back.percents, back.copySubfolders}),
              std::vector<int>({8, 3, 2, 150, 200, 3, 0, 1, 1, 1, 0, 1}));
    EXPECT_EQ(back.overlay, b.overlay);
    EXPECT_EQ(back.formatOptions, b.formatOptions);

    reread.batchFormatOptions = {99, -4, 7, 12, 1000, -1, 300, 0};
    reread.batchGroupC[0] = 9;
    const tools::BatchSettings clamped = app::batchSettingsFromSettings(reread);
    EXPECT_EQ(clamped.format, tools::BatchFormat::Pcx);
    EXPECT_EQ(std::vector<int>({clamped.dithering, clamped.palette, clamped.method,
                                clamped.colorDepth, clamped.unit, clamped.originalResolution,
                                clamped.overlay.horizontalAnchor}),
              std::vector<int>({0, 4, 4, 32, 0, 1, 2}));
}
