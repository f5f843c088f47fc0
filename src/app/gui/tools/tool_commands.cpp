#include "app/gui/tools/tool_commands.h"

#include "app/core/command_ids.h"
#include "app/gui/main_window.h"
#include "app/gui/tools/icon_compiler/icon_compiler_prompts.h"

namespace kalder::gui {

void registerToolCommands(MainWindow& window) {
    window.commands().on(app::cmd::kIconCursorCompiler,
                         [&window](app::CommandId) { runIconCompiler(window); });
}

}  // namespace kalder::gui
