#include "app/gui/tools/batch_convertor/batch_convertor_commands.h"

#include "app/core/command_ids.h"
#include "app/gui/browser_pane.h"
#include "app/gui/main_window.h"
#include "app/gui/toolbar.h"
#include "app/gui/tools/batch_convertor/batch_convertor_dialog.h"

namespace kalder::gui {

void registerBatchConvertorCommands(MainWindow& window) {
    window.commands().on(app::cmd::kBatchConvertor, [&window](app::CommandId) {
        auto* panel = qobject_cast<BatchConvertorDialog*>(window.batchPanel());
        if (panel == nullptr) {
            panel = new BatchConvertorDialog(window);
            window.setBatchPanel(panel);
            // The toolbar button shows whether the panel is up, however it was closed.
            QObject::connect(panel, &BatchConvertorDialog::visibilityChanged, &window, [&window] {
                window.browserPane()->toolbar()->updateButtons(
                    window.commandContext(),
                    [&window](app::CommandId id) { return window.handles(id); });
            });
        }
        if (panel->isVisible()) {
            panel->hide();
            return;
        }
        panel->show();
        panel->raise();
        panel->activateWindow();
        panel->setCurrentFile(window.currentFile());
    });
    QObject::connect(&window, &MainWindow::imageShown, &window, [&window](bool) {
        auto* panel = qobject_cast<BatchConvertorDialog*>(window.batchPanel());
        if (panel != nullptr && panel->isVisible()) panel->setCurrentFile(window.currentFile());
    });
}

}  // namespace kalder::gui
