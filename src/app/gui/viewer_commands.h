#pragma once

#include "view/view_state.h"

namespace kalder::app {
class CommandDispatcher;
}

namespace kalder::gui {

class MainWindow;
struct WindowParts;

// The viewer's own commands: zoom, fit, gamma, rotation and flips, the lens, panorama scrolling
// and the display switches, plus what the wheel and the paging keys do over the picture. Each
// asks the view state what to do and hands the answer to the viewing area or the loader.
class ViewerCommands {
public:
    ViewerCommands(MainWindow& window, WindowParts& parts) : m_w(window), m_p(parts) {}

    void registerCommands(app::CommandDispatcher& d);
    // Carries out what the view state decided: lens, zoom, the turned-or-mirrored icon, and a
    // new request when the picture must be decoded again.
    void apply(const view::ViewAction& action, bool anchorAtCursor = false);
    void wheelNotch(bool forward, bool shiftHeld);
    void pagingKey(int key);

private:
    void zoom(view::ViewState::ZoomCommand command, bool anchorAtCursor);
    void gammaChanged();
    void lens();
    void panorama(int command);
    // A decoding option changed: the loaders take it and the picture is decoded again.
    void decodeAgain();

    MainWindow& m_w;

    WindowParts& m_p;
};

}  // namespace kalder::gui
