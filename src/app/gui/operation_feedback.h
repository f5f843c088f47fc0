// What the file operations of the browser, the tree and the window show while and after they
// run: the wait cursor and the list of errors.
#pragma once

#include <QApplication>
#include <QStringList>
#include <string>
#include <vector>

#include "app/core/translatable.h"
#include "app/gui/translations.h"
#include "shell/file_error.h"
#include "shell/qt/qt_path.h"

namespace kalder::gui {

// The wait cursor for as long as the object lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The errors of a file operation, one a line: in the user's language where the text is ours;
// the system's words come in its language.
inline QString errorList(const std::vector<shell::FileError>& errors) {
    QStringList lines;
    for (const shell::FileError& e : errors) {
        const std::string_view text = shell::fileErrorTemplate(e);
        if (text.empty()) {
            lines << QString::fromStdString(shell::fileErrorMessage(e));
            continue;
        }
        QString line = coreText(app::kMessagesContext, text);
        if (line.contains(QLatin1String("%1"))) line = line.arg(shell::toQString(e.path));
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace kalder::gui
