#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::shell {

// What a top-level place of the folder tree is, for its icon.
enum class PlaceKind { Home, Desktop, Pictures, Root, Drive, Removable, Network };

struct Place {
    std::string name;  // the label shown in the tree
    std::filesystem::path path;
    PlaceKind kind = PlaceKind::Drive;
    bool operator==(const Place&) const = default;
};

// One line of /proc/self/mounts, with its octal escapes undone.
struct MountEntry {
    std::string device;
    std::filesystem::path mountPoint;
    std::string type;
};

// Undoes the \ooo escapes the kernel writes for spaces, tabs, newlines and backslashes.
std::string unescapeMountField(std::string_view field);
// The lines of a mounts file; malformed lines are left out.
std::vector<MountEntry> parseMounts(std::string_view text);
// The text of /proc/self/mounts (empty when it cannot be read).
std::string currentMountsText();
// Whether a mount is storage the user cares about (a disk, a stick, a network share) rather
// than a pseudo file system or a system-internal mount. nullopt: leave it out.
std::optional<PlaceKind> userMountKind(const MountEntry& mount);

// The folder an xdg user-dirs key ("DESKTOP", "PICTURES") names in the text of user-dirs.dirs,
// or nullopt when the key is missing or its value is not a usable absolute path.
std::optional<std::filesystem::path> userDirFromConfig(std::string_view userDirsText,
                                                       std::string_view key,
                                                       const std::filesystem::path& home);

// The tree's places: Home, then Desktop and Pictures (when they exist and are not the home
// folder itself), then "/" and the user-facing mounts in the order the mounts file lists them.
std::vector<Place> buildPlaces(const std::filesystem::path& home, std::string_view userDirsText,
                               std::string_view mountsText);
// buildPlaces from $HOME, $XDG_CONFIG_HOME/user-dirs.dirs and /proc/self/mounts.
std::vector<Place> systemPlaces();

// One sub-folder of a folder, as the tree lists it.
struct SubFolder {
    std::string name;
    bool mayHaveSubFolders = true;  // false only when a look found none
};

// The visible sub-folders of `folder` (hidden = leading dot), sorted case-insensitively.
// Symbolic links to folders count as folders. `lookInside` also checks each one for
// sub-folders of its own. An unreadable folder gives an empty list.
std::vector<SubFolder> listSubFolders(const std::filesystem::path& folder, bool lookInside = true);
// Whether `folder` has at least one visible sub-folder; stops at the first.
bool hasSubFolder(const std::filesystem::path& folder);
// The tree's order of folder names: case-insensitive, ties broken by the exact bytes.
bool folderNameLess(std::string_view a, std::string_view b);

}  // namespace kalder::shell
