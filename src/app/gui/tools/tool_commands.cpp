#include "app/gui/tools/tool_commands.h"

#include "app/gui/main_window.h"

namespace kalder::gui {

void registerToolCommands(MainWindow& window) { static_cast<void>(window); }

}  // namespace kalder::gui
