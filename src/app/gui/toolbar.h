#pragma once

#include <QToolBar>
#include <cstdint>
#include <functional>
#include <span>

#include "app/core/commands.h"

namespace kalder::gui {

// The browser's toolbar: one button per layout entry of the settings.
class Toolbar : public QToolBar {
    Q_OBJECT
public:
    explicit Toolbar(QWidget* parent = nullptr);

    // RebuildToolbar: every button goes, then one button or separator per layout entry.
    void RebuildToolbar(std::span<const std::int32_t> layout);
    // The update rules, as for menu items; commands without a handler are disabled.
    void updateButtons(const app::CommandContext& context,
                       const std::function<bool(app::CommandId)>& available);

    // The commands of the buttons, in order, 0 for a separator (for checks and tests).
    std::vector<app::CommandId> slotCommands() const;

signals:
    void commandTriggered(kalder::app::CommandId id);
    void contextMenuRequested(const QPoint& globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace kalder::gui
