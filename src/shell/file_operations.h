#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/trash.h"

namespace kalder::shell {

// Whether `candidate` is `folder` itself or lies inside it, by whole path components.
bool isSameOrInside(const std::filesystem::path& folder, const std::filesystem::path& candidate);
// Whether a file or folder may take this name: not empty, ".", "..", nor holding "/" or a zero.
bool isValidFileName(std::string_view name);

// What to do with a file that is already at the destination.
enum class ConflictChoice { Overwrite, Skip, Cancel };
using ConflictHandler = std::function<ConflictChoice(const std::filesystem::path& source,
                                                     const std::filesystem::path& target)>;

struct OperationResult {
    bool ok = true;        // every item was handled without error
    bool aborted = false;  // the conflict handler cancelled; later items were left alone
    std::vector<std::filesystem::path> done;  // the sources (or, for undo, targets) handled
    std::vector<FileError> errors;            // fileErrorMessage() gives the text
};

// The file operations of the browser and the folder tree, with an undo journal. Replaced
// files go to the trash first, so an overwrite can be undone too.
class FileOperations {
public:
    explicit FileOperations(Trash& trash) : m_trash(trash) {}

    // To the trash (journalled) or for good.
    OperationResult deleteFiles(const std::vector<std::filesystem::path>& paths, bool toTrash);
    // Copies or moves into an existing folder. Without a conflict handler, files already at
    // the destination are skipped.
    OperationResult copyTo(const std::vector<std::filesystem::path>& paths,
                           const std::filesystem::path& folder,
                           const ConflictHandler& onConflict = {});
    OperationResult moveTo(const std::vector<std::filesystem::path>& paths,
                           const std::filesystem::path& folder,
                           const ConflictHandler& onConflict = {});
    // Renames a file or folder inside its folder; never replaces an existing one.
    OperationResult rename(const std::filesystem::path& from, const std::string& newName);
    // "New Folder", "New Folder 2".."New Folder 5", then "New Folder" + " %j%H%M%S" of `now`.
    FileResult<std::filesystem::path> newFolder(const std::filesystem::path& parent,
                                                std::time_t now = std::time(nullptr));

    // Whether the folder may receive the sources.
    static FileStatus checkDestination(const std::vector<std::filesystem::path>& sources,
                                       const std::filesystem::path& folder);

    bool canUndo() const { return !m_journal.empty(); }
    // Reverses the last journalled operation (items that cannot be reversed stay journalled).
    OperationResult undo();

private:
    enum class Kind { Trashed, Copied, Moved, Renamed, CreatedFolder };
    struct Item {
        std::filesystem::path from;
        std::filesystem::path to;
        std::optional<TrashEntry> trashed;   // Trashed: where the item went
        std::optional<TrashEntry> replaced;  // a target that was overwritten
    };
    struct Record {
        Kind kind;
        std::vector<Item> items;
    };

    OperationResult transfer(const std::vector<std::filesystem::path>& paths,
                             const std::filesystem::path& folder, const ConflictHandler& onConflict,
                             bool move);
    FileStatus undoItem(Kind kind, const Item& item);
    void journal(Kind kind, std::vector<Item> items);

    Trash& m_trash;
    std::vector<Record> m_journal;
};

}  // namespace kalder::shell
