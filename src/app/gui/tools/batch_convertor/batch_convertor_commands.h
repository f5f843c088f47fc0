#pragma once

namespace kalder::gui {

class ToolContext;

// "Batch &Convertor" (672, F7) shows and hides the panel, made on first use and owned by the
// window; the panel follows the file the viewer shows.
void registerBatchConvertorCommands(ToolContext& context);

}  // namespace kalder::gui
