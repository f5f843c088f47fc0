#pragma once

namespace kalder::gui {

class ToolContext;

// "&Print..." (Ctrl+P) and the "-p FILE" start-up's print-then-exit.
void registerPrintCommand(ToolContext& context);

}  // namespace kalder::gui
