#include "app/gui/tools/jpeg_transform/jpeg_transform_commands.h"

#include <QPointer>

#include "app/core/command_ids.h"
#include "app/gui/main_window.h"
#include "app/gui/tools/jpeg_transform/exif_orientation_dialog.h"
#include "app/gui/tools/jpeg_transform/jpeg_transform_dialog.h"
#include "view/folder_images.h"

namespace kalder::gui {
namespace {

// Holds the thumbnail loader while a tool rewrites files; true when it was running.
bool holdThumbnails(MainWindow& window) {
    const bool running = !window.images().thumbnailLoader().suspended();
    window.images().suspendThumbnails();
    return running;
}

void releaseThumbnails(MainWindow& window, bool wasRunning, bool filesChanged) {
    if (filesChanged) window.refreshRewrittenFiles();
    if (wasRunning) window.images().resumeThumbnails();
}

}  // namespace

void registerJpegTransformCommands(MainWindow& window) {
    // The dialog lives as long as the window once made; the command shows or hides it.
    auto dialog = std::make_shared<QPointer<JpegTransformDialog>>();
    window.commands().on(app::cmd::kJpegTransformations, [&window, dialog](app::CommandId) {
        if (*dialog && (*dialog)->isVisible()) {
            (*dialog)->hide();
            return;
        }
        if (!*dialog) {
            auto* d = new JpegTransformDialog(window.settings(), &window);
            // Background loading waits while the files are rewritten.
            auto running = std::make_shared<bool>(false);
            d->selectedFiles = [&window, running] {
                *running = holdThumbnails(window);
                return window.selectedFiles();
            };
            d->runFinished = [&window, running](bool, bool) {
                releaseThumbnails(window, *running, true);
            };
            *dialog = d;
        }
        (*dialog)->show();
        (*dialog)->raise();
        (*dialog)->activateWindow();
    });
    window.commands().on(app::cmd::kExifOrientation, [&window](app::CommandId) {
        const auto files = window.selectedFiles();
        if (files.empty()) return;
        const bool running = holdThumbnails(window);
        ExifOrientationDialog dialog(files, &window);
        const bool ok = dialog.exec() == QDialog::Accepted && dialog.written() > 0;
        releaseThumbnails(window, running, ok);
    });
}

}  // namespace kalder::gui
