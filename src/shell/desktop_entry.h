#pragma once

// Desktop entries (the freedesktop .desktop launchers): the installed applications a user picks a
// program from, and the Exec line that starts one on a file.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::shell {

struct DesktopEntry {
    enum class Type { Unknown, Application, Link, Directory };
    Type type = Type::Unknown;
    std::string name;  // localized where the file has the user's language
    std::string genericName;
    std::string comment;
    std::string icon;
    std::string exec;  // unescaped as a string; splitExec takes it apart
    std::string tryExec;
    std::string url;  // Type=Link
    std::vector<std::string> categories;
    std::vector<std::string> onlyShowIn;
    std::vector<std::string> notShowIn;
    bool noDisplay = false;
    bool hidden = false;
    bool terminal = false;
};

// The [Desktop Entry] group of a file's text. `locale` is a POSIX locale name
// ("de_DE.UTF-8@euro"); localized keys are matched in the order the Desktop Entry standard gives.
// Nothing when the group is missing or the text has no name.
std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, std::string_view locale = {});

// The same for a file; nothing when it cannot be read or is implausibly large.
std::optional<DesktopEntry> readDesktopEntry(const std::filesystem::path& file,
                                             std::string_view locale = {});

// The arguments of an Exec value: spaces separate, double quotes group, and inside quotes a
// backslash escapes `"`, `` ` ``, `$` and `\`. Nothing when a quote is left open.
std::optional<std::vector<std::string>> splitExec(std::string_view exec);

// The command that opens `file` with the entry: field codes %f %F %u %U become the file (or go
// away without one), %i the icon option, %c the name, %k `entryFile`, %% a percent sign; the
// deprecated codes are dropped. Nothing when the Exec line is empty or malformed.
std::optional<std::vector<std::string>> expandExec(const DesktopEntry& entry,
                                                   const std::string& file,
                                                   const std::string& entryFile = {});

// Whether a menu shows the entry on the desktop `currentDesktop` (colon-separated names, as in
// XDG_CURRENT_DESKTOP).
bool isShown(const DesktopEntry& entry, std::string_view currentDesktop);

// A program name resolved the way a shell would (a name with a slash as it is, otherwise along
// PATH) to an executable regular file.
std::optional<std::filesystem::path> findProgram(std::string_view program);

// What a chosen file runs as: a launcher gives its program, or the launcher itself when its
// command is more than a program and a file; a link gives its target; a program itself. Empty
// when nothing there can run. `label` takes the name to show for it.
std::filesystem::path resolveLaunchable(const std::filesystem::path& file, std::string& label,
                                        std::string_view locale = {});

struct InstalledApplication {
    std::string id;              // desktop-file ID: the path below applications/ joined with '-'
    std::filesystem::path file;  // the .desktop file
    DesktopEntry entry;
};

// The folders that hold applications/, most important first: XDG_DATA_HOME, then XDG_DATA_DIRS.
std::vector<std::filesystem::path> applicationFolders();

// The applications a menu would list from `folders` (each searched recursively), the first file
// of an ID winning, sorted by name. Entries that are hidden, not shown on `currentDesktop`, not
// applications, or whose TryExec is missing are left out; unreadable files are skipped.
std::vector<InstalledApplication> listApplications(
    const std::vector<std::filesystem::path>& folders, std::string_view locale,
    std::string_view currentDesktop);

// An application the desktop offers for a type.
struct TypeApplication {
    std::string id;              // desktop-file ID
    std::string name;            // localized
    std::filesystem::path file;  // its .desktop file
};

// The applications the desktop lists for a MIME type, as GIO gathers them from the desktop
// entries' MimeType= and the mimeapps.list files: the default first, removed associations and
// hidden entries left out, each once.
std::vector<TypeApplication> applicationsForType(std::string_view mimeType);

}  // namespace kalder::shell
