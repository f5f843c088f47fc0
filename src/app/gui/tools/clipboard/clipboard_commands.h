#pragma once

namespace kalder::gui {

class ToolContext;

inline constexpr char kCopyingToClipboard[] = "The image is being copied to the Clipboard ...";

// "&Copy Image to Clipboard": the frame on screen at the image's own size (at the viewing
// area's size when the settings ask for it), with its path and the file.
void registerClipboardCommands(ToolContext& context);
// The command itself; false when nothing was copied (no image, or it no longer decodes).
bool copyShownImage(ToolContext& context);

}  // namespace kalder::gui
