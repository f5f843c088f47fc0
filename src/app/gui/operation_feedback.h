// What the file operations of the browser, the tree and the window show while and after they
// run: the wait cursor and the list of errors.
#pragma once

#include <QApplication>
#include <QStringList>
#include <string>
#include <vector>

#include "shell/file_error.h"

namespace kalder::gui {

// The wait cursor for as long as the object lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The errors of a file operation, one a line.
inline QString errorList(const std::vector<std::string>& errors) {
    QStringList lines;
    for (const std::string& e : errors) lines << QString::fromStdString(e);
    return lines.join(QLatin1Char('\n'));
}
inline QString errorList(const std::vector<shell::FileError>& errors) {
    std::vector<std::string> texts;
    for (const shell::FileError& e : errors) texts.push_back(shell::fileErrorMessage(e));
    return errorList(texts);
}

}  // namespace kalder::gui
