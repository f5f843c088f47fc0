#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/gui/dialogs/dialog_base.h"

class QLineEdit;
class QPushButton;

namespace kalder::gui {

// The name part of a path: the text after the last "/" (the whole text when there is none).
std::string fileNameOf(std::string_view path);
// `path` with the text after its last "/" replaced by `newName`.
std::string withFileName(std::string_view path, std::string_view newName);
// Whether `name` can name a file inside a folder: not empty, no "/" or NUL, not "." or "..".
bool isUsableFileName(std::string_view name);
// Whether the Rename dialog's answer ends the file-exists dialog: a usable name that differs
// from the old one (exact comparison). Otherwise the Rename dialog is shown again.
bool isNewFileName(std::string_view oldName, std::string_view newName);

// "Rename": asks for a file's new name ("Enter new file name:"). OK stays disabled while the
// text cannot name a file.
class RenameFileDialog : public DialogBase {
    Q_OBJECT
public:
    explicit RenameFileDialog(const QString& name, QWidget* parent = nullptr);
    QString name() const;

private:
    QLineEdit* m_name = nullptr;
};

// The question the tools ask before replacing a file: a message line chosen by the caller, the
// file's path, and what to do with it and with the files after it.
class FileExistsDialog : public DialogBase {
    Q_OBJECT
public:
    enum Choice {
        Cancel = -1,  // Cancel, Esc or closing the window
        Overwrite = 0,
        OverwriteAll = 1,
        Skip = 2,
        SkipAll = 3,
        Rename = 4,  // path() holds the new name
    };
    struct Answer {
        Choice choice = Cancel;
        QString path;
    };

    // `message` is the line above the path, e.g. "File is read-only:"; "&Rename..." is enabled
    // only with `allowRename`.
    FileExistsDialog(const QString& message, const QString& path, bool allowRename,
                     QWidget* parent = nullptr);

    Choice choice() const { return m_choice; }
    // The file's path; after Rename, the path with the new name.
    QString path() const { return m_path; }

    // Asks for a new name, prefilled with `current`; none when the user cancels. Shows the
    // "Rename" dialog unless replaced.
    std::function<std::optional<QString>(const QString& current)> askNewName;

    // Runs the dialog modally and answers the choice and the (possibly renamed) path.
    static Answer ask(QWidget* parent, const QString& message, const QString& path,
                      bool allowRename);

    // Ends the dialog with `choice`; Rename asks for the name first and may leave it open.
    void choose(Choice choice);
    void reject() override;

private:
    void rename();

    QString m_path;
    bool m_allowRename = false;
    Choice m_choice = Cancel;
};

}  // namespace kalder::gui
