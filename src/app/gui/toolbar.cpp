#include "app/gui/toolbar.h"

#include <QAction>
#include <QContextMenuEvent>

#include "app/core/toolbar_table.h"
#include "app/gui/icons.h"
#include "app/gui/menus.h"

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
        QAction* action = addAction(toolbarIcon(slot.image), QString::fromStdString(label));
        action->setData(static_cast<uint>(slot.command));
        const std::string_view prompt = app::commandPrompt(slot.command);
        action->setStatusTip(
            QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size())));
        action->setCheckable(app::hasUpdateRule(slot.command) &&
                             slot.command != app::cmd::kImagePalette);
        action->setEnabled(true);
    }
}

void Toolbar::updateButtons(const app::CommandContext& context,
                            const std::function<bool(app::CommandId)>& available) {
    for (QAction* action : actions()) {
        const app::CommandId id = MenuBuilder::commandOf(action);
        if (id == 0) continue;
        action->setEnabled((!available || available(id)) && app::isEnabled(id, context));
        if (action->isCheckable()) action->setChecked(app::isChecked(id, context));
    }
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
