#include "shell/desktop_wallpaper.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/file_uri.h"
#include "image/bitmap32.h"
#include "support/test_support.h"

using namespace kalder::shell;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

namespace {

// Records every command and answers from a script of results (success when it runs out).
struct FakeRunner {
    std::vector<Args> calls;
    std::vector<ProcessResult> answers;
    CommandRunner runner() {
        return [this](const Args& argv) {
            calls.push_back(argv);
            if (calls.size() <= answers.size()) return answers[calls.size() - 1];
            return ProcessResult{true, 0, {}};
        };
    }
};

TEST(DesktopWallpaper, BackendFollowsTheDesktop) {
    const struct {
        const char* desktop;
        bool x11, wayland;
        WallpaperBackend expected;
    } cases[] = {
        {"ubuntu:GNOME", true, true, WallpaperBackend::Gnome},
        {"GNOME", false, true, WallpaperBackend::Gnome},
        {"XFCE", true, false, WallpaperBackend::Xfce},
        {"KDE", true, false, WallpaperBackend::Unsupported},
        {"", true, false, WallpaperBackend::Feh},
        {"sway", false, true, WallpaperBackend::Unsupported},
        {"", false, false, WallpaperBackend::Unsupported},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wallpaperBackendFor(c.desktop, c.x11, c.wayland), c.expected) << c.desktop;
}

TEST(DesktopWallpaper, CommandsPerDesktopAndStyle) {
    const fs::path file = "/data/my pic%.png";
    const std::string uri = "file:///data/my%20pic%25.png";
    const std::string k = "org.gnome.desktop.background";
    const struct {
        WallpaperBackend backend;
        WallpaperStyle style;
        std::vector<Args> expected;
    } cases[] = {
        {WallpaperBackend::Gnome,
         WallpaperStyle::Tiled,
         {{"gsettings", "set", k, "picture-uri", uri},
          {"gsettings", "set", k, "picture-uri-dark", uri},
          {"gsettings", "set", k, "picture-options", "wallpaper"}}},
        {WallpaperBackend::Feh,
         WallpaperStyle::Stretched,
         {{"feh", "--no-fehbg", "--bg-scale", file.string()}}},
        {WallpaperBackend::Feh,
         WallpaperStyle::Centered,
         {{"feh", "--no-fehbg", "--bg-center", file.string()}}},
    };
    for (const auto& c : cases) {
        FakeRunner fake;
        DesktopWallpaper wallpaper(fake.runner());
        EXPECT_TRUE(wallpaper.apply(file, c.style, c.backend).ok);
        EXPECT_EQ(fake.calls, c.expected);
    }
}

// Every workspace picture that exists is replaced; a missing style property is created.
TEST(DesktopWallpaper, XfceSetsEveryWorkspace) {
    const std::string m0 = "/backdrop/screen0/monitorVGA-1/workspace0/";
    const std::string m1 = "/backdrop/screen0/monitorVGA-1/workspace1/";
    FakeRunner fake;
    fake.answers = {{true, 0,
                     m0 + "image-style\n" + m0 + "last-image\n" + m1 + "last-image\n" +
                         "/backdrop/screen0/monitorVGA-1/workspace0/color1\n/desktop-icons/x\n"}};
    DesktopWallpaper wallpaper(fake.runner());
    ASSERT_TRUE(wallpaper.apply("/w.png", WallpaperStyle::Tiled, WallpaperBackend::Xfce).ok);
    const std::string c = "xfce4-desktop";
    const std::vector<Args> expected = {
        {"xfconf-query", "-c", c, "-l"},
        {"xfconf-query", "-c", c, "-p", m0 + "last-image", "-s", "/w.png"},
        {"xfconf-query", "-c", c, "-p", m0 + "image-style", "-s", "2"},
        {"xfconf-query", "-c", c, "-p", m1 + "last-image", "-s", "/w.png"},
        {"xfconf-query", "-c", c, "-p", m1 + "image-style", "-n", "-t", "int", "-s", "2"},
    };
    EXPECT_EQ(fake.calls, expected);
}

TEST(DesktopWallpaper, FailuresAreReported) {
    FakeRunner fake;
    fake.answers = {{false, -1, {}}, {false, -1, {}}, {false, -1, {}}};
    DesktopWallpaper wallpaper(fake.runner());
    const auto r = wallpaper.apply("/w.png", WallpaperStyle::Tiled, WallpaperBackend::Feh);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "none of feh, xwallpaper and hsetroot could be run");
    EXPECT_EQ(r.tried, (Args{"feh could not be run", "xwallpaper could not be run",
                             "hsetroot could not be run"}));
    EXPECT_EQ(fake.calls.back(), (Args{"hsetroot", "-tile", "/w.png"}));
    fake.answers = {{false, -1, {}}};  // the next one there is used
    fake.calls.clear();
    EXPECT_TRUE(wallpaper.apply("/w.png", WallpaperStyle::Tiled, WallpaperBackend::Feh).ok);
    EXPECT_EQ(fake.calls.size(), 2u);
    fake.answers = {{true, 1, {}}};
    fake.calls.clear();
    const auto gnome = wallpaper.apply("/w.png", WallpaperStyle::Tiled, WallpaperBackend::Gnome);
    EXPECT_FALSE(gnome.ok);
    EXPECT_EQ(fake.calls.size(), 1u);  // nothing more after the picture was refused
    EXPECT_EQ(gnome.tried, Args{gnome.error});
    EXPECT_FALSE(
        wallpaper.apply("/w.png", WallpaperStyle::Tiled, WallpaperBackend::Unsupported).ok);
}

bool haveGnomeSchema() {
    return std::system("gsettings list-keys org.gnome.desktop.background >/dev/null 2>&1") == 0;
}

// The real thing on a private key file: the picture is copied, and gsettings reads our values.
TEST(DesktopWallpaper, GsettingsKeepsThePicture) {
    if (!haveGnomeSchema()) GTEST_SKIP() << "gsettings or its desktop schemas are missing";
    kalder::test::TempDir dir;
    setenv("GSETTINGS_BACKEND", "keyfile", 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    kalder::image::Bitmap32 picture;
    ASSERT_TRUE(picture.Create(3, 2));
    picture.row(1)[4 * 2 + 2] = 255;  // one red pixel
    DesktopWallpaper wallpaper;
    const auto r = wallpaper.set(picture, WallpaperStyle::Stretched, WallpaperBackend::Gnome);
    ASSERT_TRUE(r.ok) << r.error;
    const fs::path png = dir / "data/kalder/wallpaper.png";
    EXPECT_EQ(DesktopWallpaper::picturePath(), png);
    const auto decoded = kalder::test::decodeWithKalder(png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 3);
    EXPECT_EQ(decoded->rgb[(1 * 3 + 2) * 3], 255);
    const auto get = [](const char* key) {
        return runProcess({"gsettings", "get", "org.gnome.desktop.background", key}).output;
    };
    EXPECT_EQ(get("picture-uri"), "'" + kalder::base::fileUri(png) + "'\n");
    EXPECT_EQ(get("picture-options"), "'stretched'\n");
}

}  // namespace
