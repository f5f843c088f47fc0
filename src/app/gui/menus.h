#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "app/core/commands.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace kalder::app {
class AcceleratorTable;
struct Settings;
}  // namespace kalder::app

namespace kalder::gui {

// Builds the Qt menus from the menu data and keeps them current: each command action carries
// its identifier as data, shows its keys after a tab, its toolbar image when it has no update
// rule, and is checked and enabled by the update rules each time its menu opens. Hovering an
// item shows its prompt; the favorites and Open-with items are rebuilt before their menu opens.
class MenuBuilder : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<app::CommandContext()> context;
        // Whether the command has a handler; commands without one are shown disabled.
        std::function<bool(app::CommandId)> available;
        std::function<void(app::CommandId)> run;
        // A command's prompt (or 0 to restore the normal status text).
        std::function<void(app::CommandId)> prompt;
        // The names of the desktop's applications for the current file's type.
        std::function<std::vector<std::string>()> typeApplications;
    };

    MenuBuilder(const app::Settings& settings, Hooks hooks, QObject* parent = nullptr);

    // The table whose keys the items show; call again after it was rebuilt.
    void setAccelerators(const app::AcceleratorTable* table) { m_accelerators = table; }

    // Fills a menu bar with the main menu.
    void buildMainMenu(QMenuBar* bar);
    // A context menu's pop-up, owned by `parent`.
    QMenu* buildContextMenu(app::ContextMenu which, QWidget* parent);

    // Applies the update rules and the dynamic items to `menu` (aboutToShow does this).
    void updateMenu(QMenu* menu);

    // The text an action shows: the menu text, then a tab and the command's first shortcut.
    QString actionText(app::CommandId id, std::string_view text) const;
    // "Ctrl+Num '+'" and the like, for the first shortcut of `id`; empty without one.
    QString shortcutText(app::CommandId id) const;

    static app::CommandId commandOf(const QAction* action);
    // The same as shortcutText() for any table.
    static QString keyText(const app::AcceleratorTable& table, app::CommandId id);

private:
    void fill(QMenu* menu, const app::MenuItem& item);
    void rebuildDynamic(QMenu* menu);

    const app::Settings& m_settings;
    Hooks m_hooks;
    const app::AcceleratorTable* m_accelerators = nullptr;
};

}  // namespace kalder::gui
