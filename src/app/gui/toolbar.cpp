#include "app/gui/toolbar.h"

#include <QAction>
#include <QContextMenuEvent>

#include "app/core/toolbar_table.h"
#include "app/core/translatable.h"
#include "app/gui/icons.h"
#include "app/gui/menus.h"
#include "app/gui/translations.h"

namespace kalder::gui {

Toolbar::Toolbar(QWidget* parent) : QToolBar(parent) {
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(24, 24));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    connect(this, &QToolBar::actionTriggered, this, [this](QAction* action) {
        if (const app::CommandId id = MenuBuilder::commandOf(action)) emit commandTriggered(id);
    });
}

void Toolbar::RebuildToolbar(std::span<const std::int32_t> layout) {
    for (QAction* action : actions()) {
        removeAction(action);
        delete action;
    }
    for (const app::ToolbarSlot& slot : app::toolbarSlots(layout)) {
        if (slot.separator) {
            addSeparator();
            continue;
        }
        const std::string label = app::toolbarButtonLabel(slot.buttonIndex);
        QAction* action = addAction(commandIcon(slot.command), QString::fromStdString(label));
        action->setData(static_cast<uint>(slot.command));
        action->setStatusTip(coreText(app::kCommandsContext, app::commandPrompt(slot.command)));
        action->setCheckable(app::hasUpdateRule(slot.command) &&
                             slot.command != app::cmd::kImagePalette);
        action->setEnabled(true);
    }
    updateTooltips();
}

void Toolbar::setAccelerators(const app::AcceleratorTable* table) {
    m_accelerators = table;
    updateTooltips();
}

void Toolbar::setTextUnderIcons(bool on) {
    setToolButtonStyle(on ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
}

void Toolbar::updateTooltips() {
    for (QAction* action : actions()) {
        const app::CommandId id = MenuBuilder::commandOf(action);
        if (id == 0) continue;
        const QString keys = m_accelerators ? MenuBuilder::keyText(*m_accelerators, id) : QString();
        // The label without its "&" marker, as the button's accessible name too.
        const QString name = QString(action->text()).remove(QLatin1Char('&'));
        action->setToolTip(keys.isEmpty() ? name : tr("%1 (%2)").arg(name, keys));
    }
}

void Toolbar::updateButtons(const app::CommandContext& context,
                            const std::function<bool(app::CommandId)>& available) {
    for (QAction* action : actions()) {
        const app::CommandId id = MenuBuilder::commandOf(action);
        if (id == 0) continue;
        // A command this build has no handler for can never run here: not shown at all.
        const bool offered = !available || available(id);
        action->setVisible(offered);
        action->setEnabled(offered && app::isEnabled(id, context));
        if (action->isCheckable()) action->setChecked(app::isChecked(id, context));
    }
    updateTooltips();
}

std::vector<app::CommandId> Toolbar::slotCommands() const {
    std::vector<app::CommandId> out;
    for (const QAction* action : actions())
        out.push_back(action->isSeparator() ? 0 : MenuBuilder::commandOf(action));
    return out;
}

void Toolbar::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

}  // namespace kalder::gui
