#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/process.h"

namespace kalder::image {
class Bitmap32;
}

namespace kalder::shell {

enum class WallpaperStyle { Centered, Tiled, Stretched };

// Who draws the desktop, and so which setting we change.
enum class WallpaperBackend {
    Gnome,        // org.gnome.desktop.background through gsettings
    Xfce,         // xfce4-desktop backdrop properties through xfconf-query
    Feh,          // a plain X11 session: feh (or xwallpaper, hsetroot) paints the root window
    Unsupported,  // KDE Plasma, or Wayland without GNOME
};

// The backend for XDG_CURRENT_DESKTOP (a colon list) and the session's displays.
WallpaperBackend wallpaperBackendFor(std::string_view currentDesktop, bool haveX11Display,
                                     bool haveWaylandDisplay);
// The same for this process's environment.
WallpaperBackend currentWallpaperBackend();

// Runs a program with its arguments and reports how it ended.
using CommandRunner = std::function<ProcessResult(const std::vector<std::string>&)>;

struct WallpaperResult {
    bool ok = false;
    std::string error;               // what failed, in the end
    std::vector<std::string> tried;  // every command that failed on the way, in order
};

class DesktopWallpaper {
public:
    explicit DesktopWallpaper(CommandRunner runner = runProcess);

    // $XDG_DATA_HOME/kalder/wallpaper.png (XDG_DATA_HOME defaults to ~/.local/share).
    static std::filesystem::path picturePath();

    // Copies the picture as PNG to picturePath() first, so that later edits or deletion of the
    // source file leave the desktop alone, then makes it the wallpaper.
    WallpaperResult set(const image::Bitmap32& picture, WallpaperStyle style,
                        WallpaperBackend backend = currentWallpaperBackend());
    // Makes an existing file the wallpaper.
    WallpaperResult apply(const std::filesystem::path& file, WallpaperStyle style,
                          WallpaperBackend backend);

private:
    WallpaperResult applyGnome(const std::filesystem::path& file, WallpaperStyle style);
    WallpaperResult applyXfce(const std::filesystem::path& file, WallpaperStyle style);
    WallpaperResult applyRootWindow(const std::filesystem::path& file, WallpaperStyle style);
    WallpaperResult run(const std::vector<std::string>& argv, ProcessResult* out = nullptr);

    CommandRunner m_runner;
    std::vector<std::string> m_tried;
};

}  // namespace kalder::shell
