#pragma once

#include <QStringList>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "shell/places.h"

class QDrag;

namespace kalder::app {
struct Settings;
}
namespace kalder::shell {
class FileOperations;
}

namespace kalder::gui {

// The folder tree: the places (home, user folders, "/", drives) at the top, each folder's
// sub-folders listed when it is expanded and dropped again when it is collapsed. It renames,
// creates and deletes folders and takes dropped files.
class FolderTreePane : public QTreeWidget {
    Q_OBJECT
public:
    enum class MessageKind { Critical, Warning, Question };
    // Shows a message; for a question, true means Yes. Tests replace it so nothing blocks.
    using MessageHook = std::function<bool(MessageKind kind, const QString& text)>;

    explicit FolderTreePane(QWidget* parent = nullptr);
    ~FolderTreePane() override;

    void setFileOperations(shell::FileOperations* operations) { m_operations = operations; }
    void setSettings(const app::Settings* settings) { m_settings = settings; }
    void setMessageHook(MessageHook hook);
    // Replaces the top-level items (the system's places by default).
    void setPlaces(const std::vector<shell::Place>& places);
    // The same when the places differ from those shown (a drive came or went), keeping the
    // selected folder; false when nothing changed.
    bool updatePlaces(const std::vector<shell::Place>& places);

    // Expands to and selects `folder`; false when it is not a folder. Emits nothing.
    bool setCurrentFolder(const std::filesystem::path& folder);
    std::filesystem::path currentFolder() const;

    // New Folder: creates a folder in the selected one, selects it and starts editing its name.
    bool newFolder();
    // Rename Folder: starts editing the selected folder's name (never a place's).
    bool renameCurrent();
    // Delete Folder: asks, then moves the selected folder to the trash.
    bool deleteCurrent();
    // Previous (-1) or Next (+1) Folder: selects that sibling of the selected folder.
    bool selectSibling(int direction);
    // Lists the children of `folder` again when its item is expanded.
    void refreshFolder(const std::filesystem::path& folder);

    // The item a drag hovers over and could drop on, empty when none (for tests and drawing).
    std::filesystem::path dropTarget() const;

signals:
    // The user chose a folder (not sent for setCurrentFolder).
    void folderChosen(const QString& path);
    void contextMenuRequested(const QPoint& globalPos);
    void folderRenamed(const QString& oldPath, const QString& newPath);
    // Files were copied or moved into `target` by a drop; `sources` are the ones that went.
    void filesDropped(const QStringList& sources, const QString& target, bool moved);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    // Runs the drag of a folder out of the tree and answers what the target did.
    virtual Qt::DropAction runDrag(QDrag* drag);

private:
    friend class FolderNameDelegate;

    static std::filesystem::path itemPath(const QTreeWidgetItem* item);
    static bool isPlace(const QTreeWidgetItem* item);
    QTreeWidgetItem* makeFolderItem(const std::string& name, const std::filesystem::path& path,
                                    bool mayHaveSubFolders) const;
    void insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child);
    QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const std::string& name) const;
    QTreeWidgetItem* findItem(const std::filesystem::path& folder) const;
    void populate(QTreeWidgetItem* item);
    void discardChildren(QTreeWidgetItem* item);
    void onExpanded(QTreeWidgetItem* item);
    void onCollapsed(QTreeWidgetItem* item);
    void selectQuietly(QTreeWidgetItem* item);
    // Called by the label editor with the accepted text.
    void commitRename(QTreeWidgetItem* item, const QString& text);
    void setItemPath(QTreeWidgetItem* item, const std::filesystem::path& path);

    std::vector<std::filesystem::path> droppedPaths(const QMimeData* mime) const;
    QTreeWidgetItem* dropItemAt(const QPoint& pos) const;
    void setDropHighlight(QTreeWidgetItem* item);
    // While a drag hovers: scrolling near the top and bottom edges, and opening the folder
    // the cursor rests on.
    void hoverDuringDrag(const QPoint& at);
    void endDragHover();
    // Copies or moves the dropped files; false when nothing went.
    bool finishDrop(const std::vector<std::filesystem::path>& sources, QTreeWidgetItem* target,
                    bool move);
    bool ask(const QString& question);
    void tell(MessageKind kind, const QString& text);
    // Watching: every folder whose children are listed is watched, so folders that other
    // programs create, rename or delete show up without collapsing and expanding.
    struct FolderWatch;
    void syncWatches();
    void readFolderEvents(FolderWatch& watch);
    void applyFolderChanges();

    std::vector<shell::Place> m_places;
    shell::FileOperations* m_operations = nullptr;
    const app::Settings* m_settings = nullptr;
    MessageHook m_message;
    int m_quiet = 0;  // > 0: selection changes are ours, not the user's
    bool m_renaming = false;
    QTreeWidgetItem* m_dropItem = nullptr;  // drop-highlighted
    std::filesystem::path m_draggedFolder;  // while a drag from the tree runs
    QTimer m_dragScrollTimer;
    int m_dragScrollStep = 0;  // -1 up, +1 down, 0 none
    QTimer m_dragExpandTimer;
    QPoint m_dragHoverPos;
    std::filesystem::path m_dragHoverPath;  // the folder the expand timer is for
    std::map<std::filesystem::path, std::unique_ptr<FolderWatch>> m_watches;
    QTimer m_watchTimer;  // fires when the latest events have settled
};

}  // namespace kalder::gui
