#pragma once

namespace kalder::gui {

class ToolContext;

// Every tool dialog registers its own commands (and whatever it needs from the window) here;
// the window itself carries no handler per tool command.
void registerToolCommands(ToolContext& context);

}  // namespace kalder::gui
