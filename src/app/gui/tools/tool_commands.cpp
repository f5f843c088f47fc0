#include "app/gui/tools/tool_commands.h"

#include "app/gui/main_window.h"
#include "app/gui/tools/jpeg_transform/jpeg_transform_commands.h"

namespace kalder::gui {

void registerToolCommands(MainWindow& window) { registerJpegTransformCommands(window); }

}  // namespace kalder::gui
