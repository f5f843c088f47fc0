#pragma once

namespace kalder::gui {

class MainWindow;

// "&Print..." (Ctrl+P) and the "-p FILE" start-up's print-then-exit.
void registerPrintCommand(MainWindow& window);

}  // namespace kalder::gui
