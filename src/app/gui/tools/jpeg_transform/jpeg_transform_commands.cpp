#include "app/gui/tools/jpeg_transform/jpeg_transform_commands.h"

#include <QPointer>

#include "app/core/command_ids.h"
#include "app/core/commands.h"
#include "app/gui/tools/jpeg_transform/exif_orientation_dialog.h"
#include "app/gui/tools/jpeg_transform/jpeg_transform_dialog.h"
#include "app/gui/tools/tool_context.h"

namespace kalder::gui {
namespace {

void releaseThumbnails(ToolContext& context, bool wasRunning, bool filesChanged) {
    if (filesChanged) context.refreshRewrittenFiles();
    if (wasRunning) context.resumeThumbnails();
}

}  // namespace

void registerJpegTransformCommands(ToolContext& context) {
    // The dialog lives as long as the window once made; the command shows or hides it.
    auto dialog = std::make_shared<QPointer<JpegTransformDialog>>();
    context.commands().on(app::cmd::kJpegTransformations, [&context, dialog](app::CommandId) {
        if (*dialog && (*dialog)->isVisible()) {
            (*dialog)->hide();
            return;
        }
        if (!*dialog) {
            auto* d = new JpegTransformDialog(context.settings(), context.dialogParent());
            // Background loading waits while the files are rewritten.
            auto running = std::make_shared<bool>(false);
            d->selectedFiles = [&context, running] {
                *running = context.pauseThumbnails();
                return context.chosenFiles();
            };
            d->runFinished = [&context, running](bool, bool) {
                releaseThumbnails(context, *running, true);
            };
            *dialog = d;
        }
        (*dialog)->show();
        (*dialog)->raise();
        (*dialog)->activateWindow();
    });
    context.commands().on(app::cmd::kExifOrientation, [&context](app::CommandId) {
        const auto files = context.chosenFiles();
        if (files.empty()) return;
        const bool running = context.pauseThumbnails();
        ExifOrientationDialog dialog(files, context.dialogParent());
        const bool ok = dialog.exec() == QDialog::Accepted && dialog.written() > 0;
        releaseThumbnails(context, running, ok);
    });
}

}  // namespace kalder::gui
