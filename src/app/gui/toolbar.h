#pragma once

#include <QToolBar>
#include <cstdint>
#include <functional>
#include <span>

#include "app/core/commands.h"

namespace kalder::app {
class AcceleratorTable;
}

namespace kalder::gui {

// The browser's toolbar: one button per layout entry of the settings.
class Toolbar : public QToolBar {
    Q_OBJECT
public:
    explicit Toolbar(QWidget* parent = nullptr);

    // RebuildToolbar: every button goes, then one button or separator per layout entry.
    void RebuildToolbar(std::span<const std::int32_t> layout);
    // The update rules, as for menu items; commands without a handler in this build are
    // hidden. The tooltips follow the shortcut table.
    void updateButtons(const app::CommandContext& context,
                       const std::function<bool(app::CommandId)>& available);
    // The table whose keys the tooltips show ("Next File (Space)"); it is read again on each
    // update, so a rebuilt table shows at once.
    void setAccelerators(const app::AcceleratorTable* table);
    // Labels under the icons, or icons only.
    void setTextUnderIcons(bool on);

    // The commands of the buttons, in order, 0 for a separator (for checks and tests).
    std::vector<app::CommandId> slotCommands() const;

signals:
    void commandTriggered(kalder::app::CommandId id);
    void contextMenuRequested(const QPoint& globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void updateTooltips();

    const app::AcceleratorTable* m_accelerators = nullptr;
};

}  // namespace kalder::gui
