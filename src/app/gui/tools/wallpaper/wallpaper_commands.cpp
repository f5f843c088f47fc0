#include "app/gui/tools/wallpaper/wallpaper_commands.h"

#include <QApplication>
#include <QMessageBox>

#include "app/core/command_ids.h"
#include "app/gui/tools/clipboard/shown_frame.h"
#include "app/gui/tools/tool_context.h"
#include "image/bitmap32.h"
#include "shell/desktop_wallpaper.h"

namespace kalder::gui {

namespace {

void setWallpaper(ToolContext& context, shell::WallpaperStyle style) {
    if (!context.currentEntry()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The file's own size: the desktop, not the viewing area, decides how it is fitted.
    const std::unique_ptr<image::Bitmap32> picture = decodeShownFrame(context, false);
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
    QMessageBox::warning(context.dialogParent(),
                         QCoreApplication::translate("Wallpaper", "Set as Desktop Wallpaper"),
                         text);
}

}  // namespace

void registerWallpaperCommands(ToolContext& context) {
    const std::pair<app::CommandId, shell::WallpaperStyle> commands[] = {
        {app::cmd::kWallpaperCentered, shell::WallpaperStyle::Centered},
        {app::cmd::kWallpaperTiled, shell::WallpaperStyle::Tiled},
        {app::cmd::kWallpaperStretched, shell::WallpaperStyle::Stretched},
    };
    for (auto [id, style] : commands)
        context.commands().on(id,
                              [&context, style](app::CommandId) { setWallpaper(context, style); });
}

}  // namespace kalder::gui
