#include "app/gui/tools/mail/mail_commands.h"

#include "app/core/command_ids.h"
#include "app/core/commands.h"
#include "app/gui/tools/mail/mail_dialog.h"
#include "app/gui/tools/tool_context.h"

namespace kalder::gui {

void registerMailCommands(ToolContext& context) {
    context.commands().on(app::cmd::kSendByEmail, [&context](app::CommandId) {
        std::vector<std::filesystem::path> files = context.chosenFiles();
        if (files.empty()) return;
        MailDialog dialog(context.settings(), context.dialogParent());
        dialog.Init(std::move(files));
        dialog.exec();
    });
}

}  // namespace kalder::gui
