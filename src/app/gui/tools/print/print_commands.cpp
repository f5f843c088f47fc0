#include "app/gui/tools/print/print_commands.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QTimer>
#include <cstdlib>

#include "app/core/command_ids.h"
#include "app/gui/main_window.h"
#include "app/gui/tools/print/print_dialog.h"
#include "view/folder_images.h"
#include "view/image_entry.h"

namespace kalder::gui {

namespace {

std::vector<tools::PrintItem> itemsOf(MainWindow& window) {
    std::vector<tools::PrintItem> items;
    const auto add = [&items](const view::ImageEntry& e) {
        tools::PrintItem item;
        item.path = e.path();
        e.withThumbnail([&item](const image::Bitmap32* thumbnail) {
            if (!thumbnail || thumbnail->isEmpty()) return;
            auto copy = std::make_shared<image::Bitmap32>();
            if (thumbnail->CopyTo(*copy)) item.preview = std::move(copy);
        });
        items.push_back(std::move(item));
    };
    if (window.viewerMode()) {
        if (window.currentEntry()) add(*window.currentEntry());
    } else {
        for (const view::ImageEntry* e : window.images().selectedEntries()) add(*e);
    }
    return items;
}

void runPrint(MainWindow& window) {
    // Queues are looked up each time: one added or removed since the last print shows up.
    std::vector<shell::PrinterEntry> printers = shell::listPrinters();
    if (printers.empty()) {
        QMessageBox::warning(&window, QStringLiteral("Print"),
                             QString::fromLatin1(tools::kPrintersNotFound));
        return;
    }
    std::vector<tools::PrintItem> items = itemsOf(window);
    if (items.empty()) return;
    {
        window.images().suspendThumbnails();
        struct Resume {
            MainWindow& window;
            ~Resume() { window.images().resumeThumbnails(); }
        } resume{window};
        PrintDialog dialog(window.settings(), std::move(printers), std::move(items), &window);
        // Unattended runs of "-p" (the print tests) press "&Print" once the dialog is up; a
        // failure leaves the dialog open, so close it then rather than wait for nobody.
        if (window.settings().printMode && std::getenv("KALDER_PRINT_UNATTENDED")) {
            QTimer::singleShot(0, &dialog, [&dialog] {
                if (!dialog.printAll()) dialog.reject();
            });
        }
        dialog.exec();
    }
    if (window.settings().printMode)
        QMetaObject::invokeMethod(
            &window, [&window] { window.runCommand(app::cmd::kExit); }, Qt::QueuedConnection);
}

}  // namespace

void registerPrintCommand(MainWindow& window) {
    window.commands().on(app::cmd::kPrint, [&window](app::CommandId) { runPrint(window); });
}

}  // namespace kalder::gui
