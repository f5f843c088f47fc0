#pragma once

namespace kalder::gui {

class MainWindow;

// "JPEG Transformations" (670, shows or hides its dialog) and "Modify Exif Orientation Tag"
// (709) on the window's selection.
void registerJpegTransformCommands(MainWindow& window);

}  // namespace kalder::gui
