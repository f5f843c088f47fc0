#include "app/gui/tools/mail/mail_commands.h"

#include "app/core/command_ids.h"
#include "app/gui/main_window.h"
#include "app/gui/tools/mail/mail_dialog.h"
#include "view/folder_images.h"
#include "view/image_entry.h"

namespace kalder::gui {

void registerMailCommands(MainWindow& window) {
    window.commands().on(app::cmd::kSendByEmail, [&window](app::CommandId) {
        std::vector<std::filesystem::path> files;
        if (window.viewerMode()) {
            if (window.currentEntry()) files.push_back(window.currentEntry()->path());
        } else {
            for (const view::ImageEntry* e : window.images().selectedEntries())
                files.push_back(e->path());
        }
        if (files.empty()) return;
        MailDialog dialog(window.settings(), &window);
        dialog.Init(std::move(files));
        dialog.exec();
    });
}

}  // namespace kalder::gui
