#include "app/gui/tools/clipboard/clipboard_commands.h"

#include <QApplication>
#include <QLabel>

#include "app/core/command_ids.h"
#include "app/core/settings.h"
#include "app/gui/tools/clipboard/shown_frame.h"
#include "app/gui/tools/tool_context.h"
#include "image/bitmap32.h"
#include "shell/qt/clipboard_qt.h"
#include "view/image_entry.h"

namespace kalder::gui {

bool copyShownImage(ToolContext& context) {
    if (!context.currentEntry()) return false;
    QWidget* window = context.dialogParent();
    // A small note while the file decodes again; it goes when this function returns.
    QLabel note(QString::fromUtf8(kCopyingToClipboard), window, Qt::Tool | Qt::FramelessWindowHint);
    note.setObjectName(QStringLiteral("clipboardNote"));
    note.setMargin(16);
    note.setFrameStyle(QFrame::Panel | QFrame::Raised);
    note.adjustSize();
    note.move(window->geometry().center() - note.rect().center());
    note.show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // A paste elsewhere wants the picture itself; the frame as fitted to the window is a choice.
    const std::unique_ptr<image::Bitmap32> frame =
        decodeShownFrame(context, context.settings().copyAtWindowSize);
    // Failures copy nothing and say nothing.
    const bool copied =
        frame && shell::copyImageToClipboard(*frame, context.currentEntry()->path());
    QApplication::restoreOverrideCursor();
    return copied;
}

void registerClipboardCommands(ToolContext& context) {
    context.commands().on(app::cmd::kCopyImage,
                          [&context](app::CommandId) { copyShownImage(context); });
}

}  // namespace kalder::gui
