#include "app/gui/tools/print/print_commands.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QTimer>
#include <cstdlib>

#include "app/core/command_ids.h"
#include "app/core/commands.h"
#include "app/core/settings.h"
#include "app/core/translatable.h"
#include "app/gui/tools/print/print_dialog.h"
#include "app/gui/tools/tool_context.h"
#include "app/gui/translations.h"
#include "view/image_entry.h"

namespace kalder::gui {

namespace {

std::vector<tools::PrintItem> itemsOf(const ToolContext& context) {
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
    for (const view::ImageEntry* e : context.chosenEntries()) add(*e);
    return items;
}

void runPrint(ToolContext& context) {
    QWidget* window = context.dialogParent();
    // Queues are looked up each time: one added or removed since the last print shows up.
    std::vector<shell::PrinterEntry> printers = shell::listPrinters();
    if (printers.empty()) {
        QMessageBox::warning(window,
                             QCoreApplication::translate("kalder::gui::PrintDialog", "Print"),
                             coreText(app::kMessagesContext, tools::kPrintersNotFound));
        return;
    }
    std::vector<tools::PrintItem> items = itemsOf(context);
    if (items.empty()) return;
    {
        context.pauseThumbnails();
        struct Resume {
            ToolContext& context;
            ~Resume() { context.resumeThumbnails(); }
        } resume{context};
        PrintDialog dialog(context.settings(), std::move(printers), std::move(items), window);
        // Unattended runs of "-p" (the print tests) press "&Print" once the dialog is up; a
        // failure leaves the dialog open, so close it then rather than wait for nobody.
        if (context.settings().printMode && std::getenv("KALDER_PRINT_UNATTENDED")) {
            QTimer::singleShot(0, &dialog, [&dialog] {
                if (!dialog.printAll()) dialog.reject();
            });
        }
        dialog.exec();
    }
    if (context.settings().printMode)
        QMetaObject::invokeMethod(
            window, [&context] { context.runCommand(app::cmd::kExit); }, Qt::QueuedConnection);
}

}  // namespace

void registerPrintCommand(ToolContext& context) {
    context.commands().on(app::cmd::kPrint, [&context](app::CommandId) { runPrint(context); });
}

}  // namespace kalder::gui
