#pragma once

namespace kalder::gui {

class MainWindow;

// "&Centered", "&Tiled", "&Stretched": the current image as the desktop wallpaper. Failures are
// silent in the window and written to standard error.
void registerWallpaperCommands(MainWindow& window);

}  // namespace kalder::gui
