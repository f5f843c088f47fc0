#include "app/gui/tools/batch_convertor/batch_convertor_commands.h"

#include <QPointer>

#include "app/core/command_ids.h"
#include "app/core/commands.h"
#include "app/gui/tools/batch_convertor/batch_convertor_dialog.h"
#include "app/gui/tools/tool_context.h"

namespace kalder::gui {

void registerBatchConvertorCommands(ToolContext& context) {
    // Made on first use; the window's Escape and the commands' states see it as the tool panel.
    auto panel = std::make_shared<QPointer<BatchConvertorDialog>>();
    context.commands().on(app::cmd::kBatchConvertor, [&context, panel](app::CommandId) {
        if (!*panel) {
            *panel = new BatchConvertorDialog(context);
            context.setToolPanel(*panel);
            // The toolbar button shows whether the panel is up, however it was closed.
            QObject::connect(*panel, &BatchConvertorDialog::visibilityChanged, *panel,
                             [&context] { context.commandStatesChanged(); });
        }
        BatchConvertorDialog* p = *panel;
        if (p->isVisible()) {
            p->hide();
            return;
        }
        p->show();
        p->raise();
        p->activateWindow();
        p->setCurrentFile(context.currentFile());
    });
    context.onImageShown([&context, panel] {
        if (*panel && (*panel)->isVisible()) (*panel)->setCurrentFile(context.currentFile());
    });
}

}  // namespace kalder::gui
