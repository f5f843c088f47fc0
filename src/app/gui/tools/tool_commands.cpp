#include "app/gui/tools/tool_commands.h"

#include "app/gui/main_window.h"
#include "app/gui/tools/gif_compiler/gif_compiler_dialog.h"

namespace kalder::gui {

void registerToolCommands(MainWindow& window) { registerGifCompiler(window); }

}  // namespace kalder::gui
