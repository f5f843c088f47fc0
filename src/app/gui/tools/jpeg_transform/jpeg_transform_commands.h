#pragma once

namespace kalder::gui {

class ToolContext;

// "JPEG Transformations" (670, shows or hides its dialog) and "Modify Exif Orientation Tag"
// (709) on the window's selection.
void registerJpegTransformCommands(ToolContext& context);

}  // namespace kalder::gui
