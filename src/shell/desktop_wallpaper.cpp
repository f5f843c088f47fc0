#include "shell/desktop_wallpaper.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>

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

std::string upper(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
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
    std::string list = upper(currentDesktop);
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

std::string fileUri(const fs::path& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : fs::absolute(path).string()) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri.push_back(static_cast<char>(c));
        } else {
            uri.push_back('%');
            uri.push_back(hex[c >> 4]);
            uri.push_back(hex[c & 15]);
        }
    }
    return uri;
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
        return {false, "this desktop's wallpaper cannot be set (not supported)"};
    if (picture.isEmpty()) return {false, "no picture"};
    const fs::path file = picturePath();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) return {false, "cannot create " + file.parent_path().string() + ": " + ec.message()};

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
        return {false, "cannot write " + file.string() + ": " +
                           std::string(image::decodeErrorMessage(s.error()))};
    return apply(file, style, backend);
}

WallpaperResult DesktopWallpaper::apply(const fs::path& file, WallpaperStyle style,
                                        WallpaperBackend backend) {
    switch (backend) {
        case WallpaperBackend::Gnome:
            return applyGnome(file, style);
        case WallpaperBackend::Xfce:
            return applyXfce(file, style);
        case WallpaperBackend::Feh:
            return applyFeh(file, style);
        case WallpaperBackend::Unsupported:
            break;
    }
    return {false, "this desktop's wallpaper cannot be set (not supported)"};
}

WallpaperResult DesktopWallpaper::run(const std::vector<std::string>& argv, ProcessResult* out) {
    ProcessResult r = m_runner(argv);
    if (out) *out = r;
    if (!r.started) return {false, argv[0] + " could not be run"};
    if (r.exitCode != 0) {
        std::string command;
        for (const std::string& a : argv) command += (command.empty() ? "" : " ") + a;
        return {false, command + " failed with status " + std::to_string(r.exitCode)};
    }
    return {true, {}};
}

WallpaperResult DesktopWallpaper::applyGnome(const fs::path& file, WallpaperStyle style) {
    static constexpr char schema[] = "org.gnome.desktop.background";
    const char* options = style == WallpaperStyle::Centered ? "centered"
                          : style == WallpaperStyle::Tiled  ? "wallpaper"
                                                            : "stretched";
    const std::string uri = fileUri(file);
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
    return {true, {}};
}

WallpaperResult DesktopWallpaper::applyFeh(const fs::path& file, WallpaperStyle style) {
    const char* mode = style == WallpaperStyle::Centered ? "--bg-center"
                       : style == WallpaperStyle::Tiled  ? "--bg-tile"
                                                         : "--bg-scale";
    return run({"feh", "--no-fehbg", mode, file.string()});
}

}  // namespace kalder::shell
