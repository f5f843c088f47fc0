#pragma once

namespace kalder::gui {

class ToolContext;

// "Send by E-&mail..." (585) for the browser's selection or the file in the viewer.
void registerMailCommands(ToolContext& context);

}  // namespace kalder::gui
