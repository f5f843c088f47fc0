#include "view/color_manager.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "view/color_calibration.h"

namespace kalder::view {
namespace {

// Profiles made with the colour library itself, so the tests need no profile files.
std::vector<std::uint8_t> saveProfile(cmsHPROFILE p) {
    cmsUInt32Number size = 0;
    EXPECT_TRUE(cmsSaveProfileToMem(p, nullptr, &size));
    std::vector<std::uint8_t> bytes(size);
    EXPECT_TRUE(cmsSaveProfileToMem(p, bytes.data(), &size));
    cmsCloseProfile(p);
    return bytes;
}

std::vector<std::uint8_t> srgbProfileBytes() { return saveProfile(cmsCreate_sRGBProfile()); }

// Wide-gamut primaries like the common 1998 wide RGB space, D65, gamma 2.2.
constexpr double kWideGreenX = 0.21, kWideGreenY = 0.71;

std::vector<std::uint8_t> wideProfileBytes() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{
        {0.64, 0.33, 1.0}, {kWideGreenX, kWideGreenY, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* g = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {g, g, g};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(g);
    return saveProfile(p);
}

std::vector<std::uint8_t> grayProfileBytes() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    cmsToneCurve* g = cmsBuildGamma(nullptr, 2.2);
    cmsHPROFILE p = cmsCreateGrayProfile(&white, g);
    cmsFreeToneCurve(g);
    return saveProfile(p);
}

image::ColorSpace wideSource() {
    image::ColorSpace s;
    s.kind = image::ColorSpace::Kind::Calibrated;
    s.hasChromaticities = true;
    s.whiteX = 0.3127;
    s.whiteY = 0.3290;
    s.redX = 0.64;
    s.redY = 0.33;
    s.greenX = kWideGreenX;
    s.greenY = kWideGreenY;
    s.blueX = 0.15;
    s.blueY = 0.06;
    return s;
}

image::ColorSpace gammaOnly(double decodingGamma) {
    image::ColorSpace s;
    s.kind = image::ColorSpace::Kind::Calibrated;
    s.gammaRed = s.gammaGreen = s.gammaBlue = decodingGamma;
    return s;
}

struct Rgb {
    int r, g, b;
};

// Translates one pixel; the unused byte is set to a marker and must survive.
Rgb translate(ColorManager& m, Rgb in, std::uint8_t marker = 0x5a) {
    std::array<std::uint8_t, 4> px{static_cast<std::uint8_t>(in.b), static_cast<std::uint8_t>(in.g),
                                   static_cast<std::uint8_t>(in.r), marker};
    m.TranslateRow(px.data(), 1);
    EXPECT_EQ(px[3], marker) << "the unused byte is kept";
    return {px[2], px[1], px[0]};
}

TEST(ColorManager, WithoutProfileNothingChanges) {
    ColorManager m;
    EXPECT_FALSE(m.hasProfile());
    EXPECT_FALSE(m.setSource(nullptr));
    EXPECT_FALSE(m.SetSourceColorSpace(image::ColorSpace{}));
    const Rgb out = translate(m, {12, 200, 77});
    EXPECT_EQ(out.r, 12);
    EXPECT_EQ(out.g, 200);
    EXPECT_EQ(out.b, 77);
}

TEST(ColorManager, SrgbToSrgbIsIdentityAndKeepsTheUnusedByte) {
    ColorManager m;
    ASSERT_EQ(m.SetProfileData(srgbProfileBytes()), std::nullopt);
    ASSERT_TRUE(m.SetSourceColorSpace(image::ColorSpace{}));
    // A whole row, every unused byte different.
    std::vector<std::uint8_t> row;
    for (int v = 0; v < 256; v += 3)
        for (int c : {0, 128, 255})
            row.insert(row.end(), {std::uint8_t(v), std::uint8_t(c), std::uint8_t(255 - v),
                                   std::uint8_t(v ^ 0xa5)});
    const std::vector<std::uint8_t> before = row;
    m.translateRow(row.data(), row.size() / 4);
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i % 4 == 3)
            ASSERT_EQ(row[i], before[i]) << i;
        else
            ASSERT_NEAR(row[i], before[i], 1) << i;
    }
}

TEST(ColorManager, WideGamutSourceBecomesMoreSaturatedOnAnSrgbMonitor) {
    ColorManager m;
    m.SetSrgbProfile();
    ASSERT_TRUE(m.SetSourceColorSpace(wideSource()));
    const Rgb out = translate(m, {100, 150, 100});
    EXPECT_GT(out.g - out.r, 50 + 10);
    EXPECT_GT(out.g - out.b, 50);
    const Rgb grey = translate(m, {128, 128, 128});
    EXPECT_NEAR(grey.r, grey.g, 2) << "neutral stays neutral";
}

TEST(ColorManager, SrgbGreenOnAWideGamutMonitorLosesSaturationInNumbers) {
    test::TempDir dir;
    const auto path = dir / "wide.icc";
    test::writeFile(path, wideProfileBytes());
    ColorManager m;
    ASSERT_EQ(m.SetProfile(path), std::nullopt);
    ASSERT_TRUE(m.SetSourceColorSpace(image::ColorSpace{}));
    const Rgb out = translate(m, {0, 255, 0});
    EXPECT_GT(out.r, 100);
    EXPECT_GT(out.b, 20);
    EXPECT_GE(out.g, 250);
}

TEST(ColorManager, GammaOnlySourceUsesSrgbPrimaries) {
    ColorManager m;
    m.SetSrgbProfile();
    ASSERT_TRUE(m.SetSourceColorSpace(gammaOnly(1.0)));  // linear data
    const Rgb out = translate(m, {128, 128, 128});
    EXPECT_NEAR(out.g, 188, 2);
    EXPECT_NEAR(out.r, out.g, 1);
    const Rgb red = translate(m, {255, 0, 0});
    EXPECT_GE(red.r, 254);
    EXPECT_LE(red.g, 1);
}

TEST(ColorManager, SourceGammaIsTheFilesEncodingGamma) {
    const image::ColorSpace s = sourceSpaceForGamma(1 / 2.2);
    EXPECT_NEAR(s.gammaRed, 2.2, 1e-12);
    EXPECT_EQ(s.redX, 0.64);
    EXPECT_EQ(s.blueY, 0.06);
    ColorManager m;
    m.SetSrgbProfile();
    ASSERT_TRUE(m.setSource(nullptr));  // no colour space from the file: gamma 1 / 2.2
    EXPECT_NEAR(translate(m, {128, 128, 128}).g, 129, 2);
    ASSERT_TRUE(m.SetSourceGamma(1.0));
    EXPECT_NEAR(translate(m, {128, 128, 128}).g, 188, 2);
    // Switching back rebuilds the transform for the other space.
    ASSERT_TRUE(m.SetSourceColorSpace(image::ColorSpace{}));
    EXPECT_NEAR(translate(m, {128, 128, 128}).g, 128, 1);
    EXPECT_FALSE(m.SetSourceGamma(0.0));
    EXPECT_FALSE(m.hasTransform());
    EXPECT_EQ(translate(m, {128, 128, 128}).g, 128);
}

TEST(ColorManager, EmbeddedProfiles) {
    ColorManager m;
    m.SetSrgbProfile();
    image::ColorSpace icc;
    icc.kind = image::ColorSpace::Kind::Icc;
    icc.iccProfile = wideProfileBytes();
    ASSERT_TRUE(m.SetSourceColorSpace(icc));
    const Rgb out = translate(m, {100, 150, 100});
    EXPECT_GT(out.g - out.r, 60);
    icc.iccProfile = {1, 2, 3, 4, 5};
    EXPECT_FALSE(m.SetSourceColorSpace(icc));
    EXPECT_EQ(translate(m, {100, 150, 100}).g, 150) << "a broken embedded profile: no transform";
    icc.iccProfile = grayProfileBytes();
    EXPECT_FALSE(m.SetSourceColorSpace(icc));
    image::ColorSpace bad = wideSource();
    bad.gammaGreen = std::nan("");
    EXPECT_FALSE(m.SetSourceColorSpace(bad));
    bad = wideSource();
    bad.redY = 0;
    EXPECT_FALSE(m.SetSourceColorSpace(bad));
}

TEST(ColorManager, UnusableProfilesAreReportedAndLeaveNoTransform) {
    test::TempDir dir;
    test::writeFile(dir / "notes.icc", {'h', 'e', 'l', 'l', 'o', '\n'});
    test::writeFile(dir / "empty.icc", {});
    test::writeFile(dir / "gray.icc", grayProfileBytes());
    struct Case {
        std::filesystem::path path;
        ProfileError error;
    };
    for (const Case& c : {Case{dir / "missing.icc", ProfileError::Unreadable},
                          Case{dir / "empty.icc", ProfileError::Unreadable},
                          Case{dir.path(), ProfileError::Unreadable},
                          Case{dir / "notes.icc", ProfileError::Invalid},
                          Case{dir / "gray.icc", ProfileError::Invalid}}) {
        ColorManager m;
        m.SetSrgbProfile();
        EXPECT_EQ(m.SetProfile(c.path), std::optional<ProfileError>(c.error)) << c.path;
        EXPECT_FALSE(m.hasProfile());
        EXPECT_FALSE(m.setSource(nullptr));
        EXPECT_EQ(translate(m, {10, 20, 30}).r, 10);
    }
    EXPECT_EQ(profileErrorMessage(ProfileError::Invalid),
              "Color profile file is not found or invalid. No color profile will be used.");
}

struct BytesMonitor : MonitorProfileSource {
    std::optional<std::vector<std::uint8_t>> bytes;
    std::optional<std::vector<std::uint8_t>> monitorProfile() const override { return bytes; }
};

TEST(ColorSettings, ProfileChoiceAndTheDisableSwitch) {
    ColorOptions o;
    o.useColorProfiles = true;
    o.useDefaultProfile = false;
    o.colorProfilePath = "/x/monitor.icc";
    o.gammaRed = 1.2;
    o.gammaExtra = 0.9;
    const ColorSettings on = buildColorSettings(o, false);
    EXPECT_EQ(on.profile, ProfileChoice::File);
    EXPECT_EQ(on.profilePath, "/x/monitor.icc");
    EXPECT_EQ(on.gammaRed, 1.2);
    const ColorSettings off = buildColorSettings(o, true);
    EXPECT_EQ(off, ColorSettings{});
    EXPECT_FALSE(BuildTable(off));
    EXPECT_EQ(buildColorSettings(o, false), on) << "switching back on restores the adaptation";
    o.useDefaultProfile = true;
    EXPECT_EQ(buildColorSettings(o, false).profile, ProfileChoice::Monitor);
    o.useColorProfiles = false;
    EXPECT_EQ(buildColorSettings(o, false).profile, ProfileChoice::None);
}

TEST(ColorSettings, ApplyingOpensTheChosenProfile) {
    ColorManager m;
    BytesMonitor monitor;
    ColorSettings s;
    s.profile = ProfileChoice::Monitor;
    EXPECT_EQ(applyColorSettings(m, s, NoMonitorProfile{}), std::nullopt);
    EXPECT_TRUE(m.hasProfile()) << "no monitor profile known: built-in sRGB";
    monitor.bytes = wideProfileBytes();
    EXPECT_EQ(applyColorSettings(m, s, monitor), std::nullopt);
    ASSERT_TRUE(m.setSource(nullptr));
    monitor.bytes = std::vector<std::uint8_t>{0, 1, 2};
    EXPECT_EQ(applyColorSettings(m, s, monitor),
              std::optional<ProfileError>(ProfileError::Invalid));
    EXPECT_FALSE(m.hasProfile());
    s.profile = ProfileChoice::File;
    EXPECT_EQ(applyColorSettings(m, s, monitor),
              std::optional<ProfileError>(ProfileError::Unreadable));
    s.profile = ProfileChoice::None;
    EXPECT_EQ(applyColorSettings(m, s, monitor), std::nullopt);
    EXPECT_FALSE(m.hasProfile());
}

TEST(BuildTable, NeutralGammasGiveNoTable) {
    EXPECT_FALSE(BuildTable(ColorSettings{}));
    ColorSettings s;
    s.profile = ProfileChoice::File;
    s.gammaRed = 2.0;
    EXPECT_FALSE(BuildTable(s)) << "with a profile only the additional gamma counts";
}

TEST(BuildTable, ChannelGammasTimesTheAdditionalGamma) {
    ColorSettings s;
    s.gammaRed = 2.0;
    s.gammaBlue = 0.5;
    const ColorTable t = *BuildTable(s);
    EXPECT_EQ(t[128], 64);         // 255 * (128/255)^2 = 64.25
    EXPECT_EQ(t[256 + 128], 128);  // green untouched
    EXPECT_EQ(t[512 + 64], 128);   // 127.75 rounded
    EXPECT_EQ(t[255], 255);
    EXPECT_EQ(t[512], 0);
    s.gammaExtra = 0.5;
    const ColorTable u = *BuildTable(s);
    EXPECT_EQ(u[128], 128) << "red: 2.0 x 0.5";
    EXPECT_EQ(u[256 + 64], 128);
    EXPECT_EQ(u[512 + 16], 128);  // blue: 0.25, 255 * (16/255)^0.25 = 127.7
    s.profile = ProfileChoice::Monitor;
    const ColorTable p = *BuildTable(s);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(p[i], p[256 + i]);
        ASSERT_EQ(p[i], p[512 + i]);
    }
    EXPECT_EQ(p[64], 128);
}

TEST(CalibrationPage, SliderMaths) {
    EXPECT_NEAR(sliderToExponent(0), 685.0 / 300, 1e-12);
    EXPECT_EQ(std::round(calibrationLabelValue(sliderToExponent(0)) * 1000) / 1000, 0.438);
    EXPECT_EQ(std::round(calibrationLabelValue(sliderToExponent(599)) * 1000) / 1000, 3.488);
    EXPECT_EQ(sliderToExponent(600), sliderToExponent(599));
    EXPECT_EQ(exponentToSlider(1.0), 385);
    for (int v = 0; v < 600; ++v) ASSERT_EQ(exponentToSlider(sliderToExponent(v)), v);
    EXPECT_EQ(exponentToSlider(5.0), 0);
    EXPECT_EQ(channelPreviewLevel(2.2), 128);
    EXPECT_EQ(channelPreviewLevel(1.0), 186);
    const PreviewBand b = additionalGammaBand(1, 512);
    EXPECT_EQ(b.y, 2);
    EXPECT_EQ(b.height, 3);
    EXPECT_EQ(additionalGammaBand(255, 100).y, 100);
    EXPECT_EQ(additionalGammaBand(255, 100).height, 1);
}

// The display loader and the thumbnail workers translate at the same time, each for its own
// picture's colour space.
TEST(ColorManager, ThreadsTranslateWithTheirOwnSources) {
    ColorManager m;
    m.SetSrgbProfile();
    const image::ColorSpace spaces[2] = {sourceSpaceForGamma(1.0 / 1.0),
                                         sourceSpaceForGamma(1.0 / 2.8)};
    std::vector<std::uint8_t> reference[2];
    for (int i = 0; i < 2; ++i) {
        reference[i] = std::vector<std::uint8_t>(4 * 256);
        for (int x = 0; x < 256; ++x)
            reference[i][x * 4] = reference[i][x * 4 + 1] = reference[i][x * 4 + 2] =
                static_cast<std::uint8_t>(x);
        image::ColorTransform& t = m;
        ASSERT_TRUE(t.setSource(&spaces[i]));
        t.translateRow(reference[i].data(), 256);
    }
    ASSERT_NE(reference[0], reference[1]);
    int mismatches[2] = {0, 0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i)
        threads.emplace_back([&, i] {
            image::ColorTransform& t = m;
            for (int round = 0; round < 300; ++round) {
                std::vector<std::uint8_t> row(4 * 256);
                for (int x = 0; x < 256; ++x)
                    row[x * 4] = row[x * 4 + 1] = row[x * 4 + 2] = static_cast<std::uint8_t>(x);
                t.setSource(&spaces[i]);
                t.translateRow(row.data(), 256);
                mismatches[i] += row != reference[i];
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(mismatches[0], 0);
    EXPECT_EQ(mismatches[1], 0);
}

}  // namespace
}  // namespace kalder::view
