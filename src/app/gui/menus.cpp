#include "app/gui/menus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/core/settings.h"
#include "app/core/shortcuts.h"
#include "app/core/toolbar_table.h"
#include "app/core/translatable.h"
#include "app/gui/icons.h"
#include "app/gui/translations.h"

namespace kalder::gui {
namespace {

const char kSlotProperty[] = "kalderSlot";  // on the hidden marker of a dynamic slot
const char kDynamicProperty[] = "kalderDynamic";

QString fromStd(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Menu texts come from the command tables; favorites and applications are the user's own.
QString menuText(std::string_view s) { return coreText(app::kCommandsContext, s); }

bool checkable(app::CommandId id) {
    return app::hasUpdateRule(id) && id != app::cmd::kImagePalette;
}

}  // namespace

MenuBuilder::MenuBuilder(const app::Settings& settings, Hooks hooks, QObject* parent)
    : QObject(parent), m_settings(settings), m_hooks(std::move(hooks)) {}

app::CommandId MenuBuilder::commandOf(const QAction* action) {
    if (!action) return 0;
    bool ok = false;
    const uint id = action->data().toUInt(&ok);
    return ok ? static_cast<app::CommandId>(id) : 0;
}

QString MenuBuilder::shortcutText(app::CommandId id) const {
    return m_accelerators ? keyText(*m_accelerators, id) : QString();
}

QString MenuBuilder::keyText(const app::AcceleratorTable& table, app::CommandId id) {
    const app::Shortcut* s = table.firstFor(id);
    if (!s) return {};
    const std::string key = app::ShortcutKeyText(*s);
    if (key.empty()) return {};
    const std::string modifiers = app::ShortcutModifierText(*s);
    return fromStd(modifiers.empty() ? key : modifiers + "+" + key);
}

QString MenuBuilder::actionText(app::CommandId id, std::string_view text) const {
    const app::MenuLabelParts parts = app::splitMenuText(text);
    if (!parts.shortcut.empty()) return menuText(text);
    const QString keys = shortcutText(id);
    return keys.isEmpty() ? menuText(text) : menuText(text) + QLatin1Char('\t') + keys;
}

void MenuBuilder::fill(QMenu* menu, const app::MenuItem& item) {
    for (const app::MenuItem& child : item.items) {
        switch (child.kind) {
            case app::MenuItemKind::Separator:
                menu->addSeparator();
                break;
            case app::MenuItemKind::Submenu: {
                QMenu* sub = menu->addMenu(menuText(child.text));
                fill(sub, child);
                break;
            }
            case app::MenuItemKind::FavoriteSlot:
            case app::MenuItemKind::OpenWithSlot: {
                QAction* marker = menu->addAction(QString());
                marker->setVisible(false);
                marker->setProperty(kSlotProperty,
                                    child.kind == app::MenuItemKind::FavoriteSlot ? 1 : 2);
                break;
            }
            case app::MenuItemKind::Command: {
                QAction* action = menu->addAction(actionText(child.id, child.text));
                action->setData(static_cast<uint>(child.id));
                action->setCheckable(checkable(child.id));
                if (!app::hasUpdateRule(child.id)) action->setIcon(commandIcon(child.id));
                break;
            }
        }
    }
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { updateMenu(menu); });
    connect(menu, &QMenu::hovered, this, [this](QAction* action) {
        if (!m_hooks.prompt) return;
        m_hooks.prompt(action->menu() || action->isSeparator() ? 0 : commandOf(action));
    });
    connect(menu, &QMenu::aboutToHide, this, [this] {
        if (m_hooks.prompt) m_hooks.prompt(0);
    });
    connect(menu, &QMenu::triggered, this, [this, menu](QAction* action) {
        // Sub-menus pass their actions' triggers up; run each command once, in its own menu.
        if (!menu->actions().contains(action)) return;
        if (const app::CommandId id = commandOf(action); id != 0 && m_hooks.run) m_hooks.run(id);
    });
}

void MenuBuilder::rebuildDynamic(QMenu* menu) {
    for (QAction* action : menu->actions())
        if (action->property(kDynamicProperty).toBool()) {
            menu->removeAction(action);
            action->deleteLater();
        }
    for (QAction* marker : menu->actions()) {
        const int slot = marker->property(kSlotProperty).toInt();
        if (slot == 0) continue;
        const std::vector<app::DynamicMenuItem> items =
            slot == 1 ? app::favoriteMenuItems(m_settings)
                      : app::openWithMenuItems(m_settings, m_hooks.typeApplications
                                                               ? m_hooks.typeApplications()
                                                               : std::vector<std::string>{});
        for (const app::DynamicMenuItem& item : items) {
            auto* action = new QAction(fromStd(item.text), menu);
            action->setData(static_cast<uint>(item.id));
            action->setCheckable(slot == 1);
            action->setProperty(kDynamicProperty, true);
            menu->insertAction(marker, action);
        }
    }
}

void MenuBuilder::updateMenu(QMenu* menu) {
    rebuildDynamic(menu);
    const app::CommandContext context = m_hooks.context ? m_hooks.context() : app::CommandContext{};
    for (QAction* action : menu->actions()) {
        const app::CommandId id = commandOf(action);
        if (id == 0 || action->menu()) continue;
        // Commands this build has no handler for are left out rather than shown greyed.
        const bool available = !m_hooks.available || m_hooks.available(id);
        action->setVisible(available);
        action->setEnabled(available && app::isEnabled(id, context));
        if (action->isCheckable()) action->setChecked(app::isChecked(id, context));
    }
}

void MenuBuilder::buildMainMenu(QMenuBar* bar) {
    bar->clear();
    for (const app::MenuItem& top : app::mainMenu().items) {
        if (top.kind != app::MenuItemKind::Submenu) continue;
        QMenu* menu = bar->addMenu(menuText(top.text));
        fill(menu, top);
    }
}

QMenu* MenuBuilder::buildContextMenu(app::ContextMenu which, QWidget* parent) {
    auto* menu = new QMenu(parent);
    fill(menu, app::contextMenu(which));
    return menu;
}

}  // namespace kalder::gui
