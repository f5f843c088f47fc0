#pragma once

namespace kalder::gui {

class MainWindow;

// Every tool dialog registers its own commands (and whatever it needs from the window) here;
// the window itself carries no handler per tool command.
void registerToolCommands(MainWindow& window);

}  // namespace kalder::gui
