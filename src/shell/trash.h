#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/file_error.h"

namespace kalder::shell {

// One item in a trash directory (freedesktop.org Trash specification 1.0).
struct TrashEntry {
    std::filesystem::path trashDir;      // the directory holding files/ and info/
    std::string name;                    // the name in files/ (info/ adds ".trashinfo")
    std::filesystem::path originalPath;  // absolute
    std::string deletionDate;            // YYYY-MM-DDThh:mm:ss, local time

    std::filesystem::path filesPath() const { return trashDir / "files" / name; }
    std::filesystem::path infoPath() const { return trashDir / "info" / (name + ".trashinfo"); }
};

// The user's trash: files on the home device go to $XDG_DATA_HOME/Trash, files on other
// devices to $topdir/.Trash/$uid (when .Trash is a sticky directory) or $topdir/.Trash-$uid.
class Trash {
public:
    // Uses $XDG_DATA_HOME (or ~/.local/share) as it is now.
    Trash();
    explicit Trash(std::filesystem::path homeTrash);

    static std::filesystem::path defaultHomeTrash();
    const std::filesystem::path& homeTrash() const { return m_homeTrash; }

    // Moves the file or folder into the trash. On failure nothing has moved.
    FileResult<TrashEntry> moveToTrash(const std::filesystem::path& path);
    // Moves a trashed item back to where it came from (or to `target`) and drops its info
    // file. A file already at the target is never replaced: the error is then Exists, so the
    // caller can ask and try again with another target.
    FileStatus restore(const TrashEntry& entry, const std::filesystem::path* target = nullptr);
    // The items of a trash directory (the home trash by default).
    std::vector<TrashEntry> list(const std::filesystem::path& trashDir = {}) const;
    // The trash a file on that path goes to; created when missing.
    FileResult<std::filesystem::path> trashFor(const std::filesystem::path& path) const;

    static std::optional<TrashEntry> readInfo(const std::filesystem::path& trashDir,
                                              const std::string& name);
    // Percent-encoding of Path=: every byte but unreserved characters and "/".
    static std::string encodePath(std::string_view path);
    static std::optional<std::string> decodePath(std::string_view encoded);
    static std::string formatDeletionDate(std::time_t when);

private:
    std::filesystem::path m_homeTrash;
};

// rename() that never replaces an existing target. The error names the target when it is
// there (Exists), else the source (CrossDevice across devices).
FileStatus renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// Copies a file, folder tree or symbolic link to `to`, which must not exist. The copy is made
// under a temporary name beside the target and renamed into place, so a failure leaves
// nothing behind.
FileStatus copyTree(const std::filesystem::path& from, const std::filesystem::path& to);
// renameNoReplace, falling back to copy and delete across devices.
FileStatus moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace kalder::shell
