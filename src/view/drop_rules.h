#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/translatable.h"

namespace kalder::view {

// What a drop of files does.
enum class DropEffect { None, Copy, Move };

struct DropModifiers {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
};

inline constexpr char kOwnSubFolderMessage[] =
    QT_TRANSLATE_NOOP("Messages", "The folder cannot be moved/copied to its own sub-folder.");

// The effect the keys ask for. Explorer-like: a move, a copy with Ctrl. Otherwise a copy, a
// move with Shift or Alt.
DropEffect dropEffect(DropModifiers modifiers, bool explorerLike);
// The same, limited to what the drag source allows: when the wanted effect is not allowed the
// other one is used, and None when neither is.
DropEffect dropEffect(DropModifiers modifiers, bool explorerLike, bool copyAllowed,
                      bool moveAllowed);

// Whether a tree item may receive a drop. `draggedFolder` is the folder being dragged when
// the drag started in the tree (empty otherwise): neither it nor its parent takes the drop.
bool mayDropOn(const std::filesystem::path& target, bool targetIsFolder,
               const std::filesystem::path& draggedFolder);
// Whether a drop of `sources` onto `target` would put a folder into itself.
bool dropsIntoOwnSubFolder(const std::vector<std::filesystem::path>& sources,
                           const std::filesystem::path& target);

// The question asked before a drop when the user wants to be asked.
std::string askBeforeDropQuestion(DropEffect effect, std::size_t count,
                                  const std::string& destination);

// A local path from a file URI ("file:///a%20b", "file://localhost/a"); nullopt for other
// schemes, other hosts, bad escapes or a path with a zero byte.
std::optional<std::filesystem::path> pathFromFileUri(std::string_view uri);
// The file URI GLib gives the path, which other programs expect on the clipboard.
std::string fileUriFromPath(const std::filesystem::path& path);
// The local files of a text/uri-list: one URI a line (CRLF or LF), '#' lines are comments,
// URIs that are not local files are skipped.
std::vector<std::filesystem::path> parseUriList(std::string_view text);
// A text/uri-list of the paths, each line ended by CRLF.
std::string formatUriList(const std::vector<std::filesystem::path>& paths);

}  // namespace kalder::view
