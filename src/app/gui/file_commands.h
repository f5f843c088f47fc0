#pragma once

#include <QCoreApplication>
#include <QStringList>
#include <filesystem>
#include <memory>

#include "view/find_image.h"

namespace kalder::app {
class CommandDispatcher;
}
namespace kalder::shell {
class FileOperations;
class FolderWatcher;
class Trash;
}  // namespace kalder::shell

namespace kalder::gui {

class MainWindow;
struct WindowParts;

// The main window's file and folder commands: open, rename, delete, copy/move, the folder
// tree's commands, descriptions, Find Image and the file filter; and the watch on the folder
// while the window is inactive. It owns the file operations and the folder watcher.
class FileCommands {
    Q_DECLARE_TR_FUNCTIONS(kalder::gui::FileCommands)

public:
    FileCommands(MainWindow& window, WindowParts& parts);
    ~FileCommands();
    FileCommands(const FileCommands&) = delete;
    FileCommands& operator=(const FileCommands&) = delete;

    // Registers the commands and follows the browser's file list and folder tree.
    void registerCommands(app::CommandDispatcher& commands);
    shell::FileOperations& fileOperations() { return *m_fileOps; }
    // The list changed: Find Next starts afresh.
    void forgetFindStart() { m_finder.forgetStart(); }
    // Inactive: thumbnails paused and the folder watched; active again: a changed folder is
    // listed again, keeping the current file.
    void activationChanged(bool active);

private:
    void deleteFiles();
    void renameFile();
    void openFile();
    void copyMove();
    void describe();
    void find(bool next);
    void fileFilter();
    void folderCommand(int command);
    void folderRenamed(const std::filesystem::path& from, const std::filesystem::path& to);
    void filesDropped(const QStringList& sources, const std::filesystem::path& target, bool moved);

    MainWindow& m_window;

    WindowParts& m_p;
    std::unique_ptr<shell::Trash> m_trash;
    std::unique_ptr<shell::FileOperations> m_fileOps;
    std::unique_ptr<shell::FolderWatcher> m_watcher;
    // Off while our own file operations run, so their changes do not look like someone else's.
    bool m_watchAllowed = true;
    view::ImageFinder m_finder;
};

}  // namespace kalder::gui
