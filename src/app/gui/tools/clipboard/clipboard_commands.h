#pragma once

namespace kalder::gui {

class MainWindow;

inline constexpr char kCopyingToClipboard[] = "The image is being copied to the Clipboard ...";

// "&Copy Image to Clipboard": the frame on screen, at the viewing area's size, with its path.
void registerClipboardCommands(MainWindow& window);
// The command itself; false when nothing was copied (no image, or it no longer decodes).
bool copyShownImage(MainWindow& window);

}  // namespace kalder::gui
