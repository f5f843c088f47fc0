#pragma once

namespace kalder::app {
class CommandDispatcher;
}

namespace kalder::gui {

class MainWindow;
struct WindowParts;

// The window's commands apart from the viewer's and the file operations: moving among the
// files, the browser's views and order, the slide show and animation frames, the panels, the
// window modes, and the dialogs of the program itself (options, toolbar, about).
class WindowCommands {
public:
    WindowCommands(MainWindow& window, WindowParts& parts) : m_w(window), m_p(parts) {}

    void registerCommands(app::CommandDispatcher& d);
    // The options dialog; OK applies the options at once and keeps them.
    void options();

private:
    void showProperties();
    void adjustSlideShow();
    void customizeToolbar();
    void runCurrentFile();
    void about();

    MainWindow& m_w;

    WindowParts& m_p;
};

}  // namespace kalder::gui
