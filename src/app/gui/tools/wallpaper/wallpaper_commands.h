#pragma once

namespace kalder::gui {

class ToolContext;

// "&Centered", "&Tiled", "&Stretched": the current image as the desktop wallpaper. Failures are
// silent in the window and written to standard error.
void registerWallpaperCommands(ToolContext& context);

}  // namespace kalder::gui
