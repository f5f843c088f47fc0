#pragma once

#include <QPointer>
#include <QString>
#include <filesystem>

#include "app/core/command_ids.h"

class QMessageBox;

namespace kalder::view {
class ImageEntry;
}

namespace kalder::gui {

class MainWindow;

// What the window tells about the current file outside the picture: the title, the status
// text (file information, damage, a command's prompt while a menu item is hovered) and the
// "Cannot view file" box, shown once for each file that became current.
class WindowStatus {
public:
    explicit WindowStatus(MainWindow& window) : m_w(window) {}

    // The window title names the current file (also one that cannot be shown).
    void showTitle();
    // The title and the status text follow the current file.
    void showFile();
    // Nothing is current: the title, the name bar and the status say so.
    void showNoFile();

    void setStatusText(const QString& text);
    // The prompt of `id` in the status text; 0 restores the normal text.
    void showCommandPrompt(app::CommandId id);

    // "Cannot view file" for a path that was asked for but is no file we can list.
    void cannotView(const std::filesystem::path& path);
    // "Cannot view file" for the current entry, once after it became current, in one box
    // that later failures reuse (not modal: a slide show or the next key may move on).
    void reportUnviewable();
    // The current entry changed: a failure of the new one is reported again.
    void forgetReported() { m_reportedEntry = nullptr; }

private:
    static QString cannotViewText(const std::filesystem::path& path);
    // The shown file ended early: "Damaged file: data ends at row N"; empty otherwise.
    QString shownDamage() const;
    void showFileInfo();

    MainWindow& m_w;
    QString m_normalStatus;
    bool m_damageShown = false;  // the status shows a file's "data ends at row N"
    QPointer<QMessageBox> m_failureBox;
    // The entry whose failure was reported (compared, never used).
    const view::ImageEntry* m_reportedEntry = nullptr;
};

}  // namespace kalder::gui
