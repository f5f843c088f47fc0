#pragma once

class QWidget;

namespace kalder::gui {

// Moves (and if need be shrinks) a top-level window so that it lies within the available area
// of its screen. Full-screen and maximized windows are left to the window system.
void placeOnScreen(QWidget& window);

// From now on every top-level window of the program is placed so when it is shown: windows
// remember positions from other screens, and the window system does not always correct them.
void keepWindowsOnScreen();

}  // namespace kalder::gui
