#include "shell/desktop_wallpaper.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>

#include "base/file_uri.h"
#include "base/strings.h"
#include "image/bitmap32.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory_lib.h"

namespace kalder::shell {

namespace fs = std::filesystem;

namespace {

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

// The last path element of an xfce backdrop property naming a workspace's picture.
constexpr std::string_view kLastImage = "/last-image";

bool isBackdropImage(std::string_view property) {
    // /backdrop/screen<N>/monitor<NAME>/workspace<N>/last-image
    if (property.substr(0, 16) != "/backdrop/screen") return false;
    if (property.size() < kLastImage.size() ||
        property.substr(property.size() - kLastImage.size()) != kLastImage)
        return false;
    return property.find("/monitor") != std::string_view::npos &&
           property.find("/workspace") != std::string_view::npos;
}

}  // namespace

WallpaperBackend wallpaperBackendFor(std::string_view currentDesktop, bool haveX11Display,
                                     bool haveWaylandDisplay) {
    static const std::set<std::string> gnomeLike = {
        "GNOME", "GNOME-CLASSIC", "GNOME-FLASHBACK", "UNITY", "UBUNTU", "BUDGIE", "PANTHEON"};
    std::string list = base::toUpperAscii(currentDesktop);
    std::stringstream in(list);
    bool kde = false;
    for (std::string item; std::getline(in, item, ':');) {
        if (gnomeLike.count(item)) return WallpaperBackend::Gnome;
        if (item == "XFCE") return WallpaperBackend::Xfce;
        if (item == "KDE") kde = true;
    }
    // Plasma repaints its own desktop over the root window; Wayland has no root window.
    if (kde || !haveX11Display) return WallpaperBackend::Unsupported;
    (void)haveWaylandDisplay;
    return WallpaperBackend::Feh;
}

WallpaperBackend currentWallpaperBackend() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    return wallpaperBackendFor(desktop ? desktop : "", envSet("DISPLAY"),
                               envSet("WAYLAND_DISPLAY"));
}

DesktopWallpaper::DesktopWallpaper(CommandRunner runner) : m_runner(std::move(runner)) {}

fs::path DesktopWallpaper::picturePath() {
    fs::path base;
    if (envSet("XDG_DATA_HOME")) {
        base = std::getenv("XDG_DATA_HOME");
    } else if (envSet("HOME")) {
        base = fs::path(std::getenv("HOME")) / ".local" / "share";
    } else {
        base = fs::temp_directory_path();
    }
    return base / "kalder" / "wallpaper.png";
}

WallpaperResult DesktopWallpaper::set(const image::Bitmap32& picture, WallpaperStyle style,
                                      WallpaperBackend backend) {
    if (backend == WallpaperBackend::Unsupported)
        return {false, "this desktop's wallpaper cannot be set (not supported)", {}};
    if (picture.isEmpty()) return {false, "no picture", {}};
    const fs::path file = picturePath();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec)
        return {false, "cannot create " + file.parent_path().string() + ": " + ec.message(), {}};

    image::WriterImage in;
    in.width = picture.width();
    in.height = picture.height();
    in.bits = 32;
    auto writer = image::makePngWriter();
    image::Status s = writer->Open(file);
    if (s) {
        std::lock_guard lock(picture.pixelLock());
        in.pixels = picture.pixels();
        s = writer->Write(in);
    }
    if (s) s = writer->Close();
    if (!s)
        return {false,
                "cannot write " + file.string() + ": " +
                    std::string(image::decodeErrorMessage(s.error())),
                {}};
    return apply(file, style, backend);
}

WallpaperResult DesktopWallpaper::apply(const fs::path& file, WallpaperStyle style,
                                        WallpaperBackend backend) {
    m_tried.clear();
    WallpaperResult result{false, "this desktop's wallpaper cannot be set (not supported)", {}};
    switch (backend) {
        case WallpaperBackend::Gnome:
            result = applyGnome(file, style);
            break;
        case WallpaperBackend::Xfce:
            result = applyXfce(file, style);
            break;
        case WallpaperBackend::Feh:
            result = applyRootWindow(file, style);
            break;
        case WallpaperBackend::Unsupported:
            break;
    }
    // What failed on the way matters only when nothing worked in the end.
    if (!result.ok) result.tried = std::move(m_tried);
    return result;
}

WallpaperResult DesktopWallpaper::run(const std::vector<std::string>& argv, ProcessResult* out) {
    ProcessResult r = m_runner(argv);
    if (out) *out = r;
    if (r.started && r.exitCode == 0) return {true, {}, {}};
    std::string error = argv[0] + " could not be run";
    if (r.started) {
        std::string command;
        for (const std::string& a : argv) command += (command.empty() ? "" : " ") + a;
        error = command + " failed with status " + std::to_string(r.exitCode);
    }
    m_tried.push_back(error);
    return {false, error, {}};
}

WallpaperResult DesktopWallpaper::applyGnome(const fs::path& file, WallpaperStyle style) {
    static constexpr char schema[] = "org.gnome.desktop.background";
    const char* options = style == WallpaperStyle::Centered ? "centered"
                          : style == WallpaperStyle::Tiled  ? "wallpaper"
                                                            : "stretched";
    const std::string uri = base::fileUri(fs::absolute(file));
    if (WallpaperResult r = run({"gsettings", "set", schema, "picture-uri", uri}); !r.ok) return r;
    // The dark style's picture; older schemas lack the key, which is no failure.
    (void)run({"gsettings", "set", schema, "picture-uri-dark", uri});
    return run({"gsettings", "set", schema, "picture-options", options});
}

WallpaperResult DesktopWallpaper::applyXfce(const fs::path& file, WallpaperStyle style) {
    const std::string styleValue = style == WallpaperStyle::Centered ? "1"
                                   : style == WallpaperStyle::Tiled  ? "2"
                                                                     : "3";
    ProcessResult listing;
    if (WallpaperResult r = run({"xfconf-query", "-c", "xfce4-desktop", "-l"}, &listing); !r.ok)
        return r;
    std::vector<std::string> images;
    std::set<std::string> existing;
    std::stringstream in(listing.output);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.pop_back();
        existing.insert(line);
        if (isBackdropImage(line)) images.push_back(line);
    }
    // A desktop that never chose a picture has no properties yet: make the first monitor's.
    if (images.empty()) images.push_back("/backdrop/screen0/monitor0/workspace0/last-image");
    for (const std::string& property : images) {
        const std::string styleProperty =
            property.substr(0, property.size() - kLastImage.size()) + "/image-style";
        auto set = [&](const std::string& p, const char* type, const std::string& value) {
            if (existing.count(p))
                return run({"xfconf-query", "-c", "xfce4-desktop", "-p", p, "-s", value});
            return run(
                {"xfconf-query", "-c", "xfce4-desktop", "-p", p, "-n", "-t", type, "-s", value});
        };
        if (WallpaperResult r = set(property, "string", file.string()); !r.ok) return r;
        if (WallpaperResult r = set(styleProperty, "int", styleValue); !r.ok) return r;
    }
    return {true, {}, {}};
}

WallpaperResult DesktopWallpaper::applyRootWindow(const fs::path& file, WallpaperStyle style) {
    const std::size_t s = style == WallpaperStyle::Centered ? 0
                          : style == WallpaperStyle::Tiled  ? 1
                                                            : 2;
    const std::vector<std::string> programs[] = {
        {"feh", "--no-fehbg", std::array{"--bg-center", "--bg-tile", "--bg-scale"}[s],
         file.string()},
        {"xwallpaper", std::array{"--center", "--tile", "--stretch"}[s], file.string()},
        {"hsetroot", std::array{"-center", "-tile", "-fill"}[s], file.string()},
    };
    // Any one of these paints the root window; the next is tried only when one is missing, since
    // a program that ran and failed would fail the same way for the others.
    ProcessResult r;
    for (const std::vector<std::string>& argv : programs) {
        WallpaperResult result = run(argv, &r);
        if (result.ok || r.started) return result;
    }
    return {false, "none of feh, xwallpaper and hsetroot could be run", {}};
}

}  // namespace kalder::shell
