#include "app/gui/tools/wallpaper/wallpaper_commands.h"

#include <QApplication>
#include <QMessageBox>

#include "app/core/command_ids.h"
#include "app/gui/main_window.h"
#include "app/gui/tools/clipboard/shown_frame.h"
#include "image/bitmap32.h"
#include "shell/desktop_wallpaper.h"

namespace kalder::gui {

namespace {

void setWallpaper(MainWindow& window, shell::WallpaperStyle style) {
    if (!window.currentEntry()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The file's own size: the desktop, not the viewing area, decides how it is fitted.
    const std::unique_ptr<image::Bitmap32> picture = decodeShownFrame(window, false);
    shell::WallpaperResult result{false, "the image could not be decoded", {}};
    if (picture) result = shell::DesktopWallpaper().set(*picture, style);
    QApplication::restoreOverrideCursor();
    if (result.ok) return;
    QString text = QCoreApplication::translate("Wallpaper", "The wallpaper could not be set: %1.")
                       .arg(QString::fromStdString(result.error));
    if (!result.tried.empty()) {
        text += QLatin1String("\n\n") + QCoreApplication::translate("Wallpaper", "Tried:");
        for (const std::string& attempt : result.tried)
            text += QLatin1String("\n\u2022 ") + QString::fromStdString(attempt);
    }
    QMessageBox::warning(
        &window, QCoreApplication::translate("Wallpaper", "Set as Desktop Wallpaper"), text);
}

}  // namespace

void registerWallpaperCommands(MainWindow& window) {
    const std::pair<app::CommandId, shell::WallpaperStyle> commands[] = {
        {app::cmd::kWallpaperCentered, shell::WallpaperStyle::Centered},
        {app::cmd::kWallpaperTiled, shell::WallpaperStyle::Tiled},
        {app::cmd::kWallpaperStretched, shell::WallpaperStyle::Stretched},
    };
    for (auto [id, style] : commands)
        window.commands().on(id, [&window, style](app::CommandId) { setWallpaper(window, style); });
}

}  // namespace kalder::gui
