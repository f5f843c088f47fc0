#pragma once

namespace kalder::gui {

class MainWindow;

// "Send by E-&mail..." (585) for the browser's selection or the file in the viewer.
void registerMailCommands(MainWindow& window);

}  // namespace kalder::gui
