#pragma once

#include <QObject>

#include "app/core/shortcuts.h"

class QWidget;

namespace kalder::gui {

class MainWindow;
struct WindowParts;

// Where the keys of the window go: F1 to the help of the window or dialog that has it, a key of
// the table to its command (unless a field is being typed in, or a list keeps its own arrows),
// and Escape to the panel, the mode or the program it closes.
class WindowKeys : public QObject {
    Q_OBJECT
public:
    WindowKeys(MainWindow& window, WindowParts& parts);
    ~WindowKeys() override;

    const app::AcceleratorTable& table() const { return m_table; }
    // The table is made again from the options and handed to the toolbar and the menus.
    void rebuild();
    // From now on the keys of every window of the program pass here first.
    void enable();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // F1: the help of the dialog or window that has the key; false for a window without any.
    bool contextHelp(QWidget* window);
    bool handleEscape();

    MainWindow& m_w;

    WindowParts& m_p;
    app::AcceleratorTable m_table;
    bool m_enabled = false;
};

}  // namespace kalder::gui
