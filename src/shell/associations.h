#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "shell/registry_store.h"

namespace kalder::shell {

// The desktop-file ID under which we register; also the value we write as the default handler.
inline constexpr std::string_view kDesktopFileId = "org.kalder.Kalder.desktop";
// Where our undo values live in the registry store: one value per MIME type.
inline constexpr std::string_view kAssociationUndoKey =
    "Software\\Brenmoor Software\\Kalder\\Associations";

// The MIME type of each entry of image::extensionTable(), by index; empty past the end.
std::string_view mimeTypeOfExtension(std::size_t extensionIndex);
// The MIME type of a file by its name: the extension table's first, then the shared MIME
// database's guess; empty when neither knows it.
std::string mimeTypeOfFile(const std::filesystem::path& file);
// Every MIME type we handle, once each, in extension-table order.
std::vector<std::string_view> handledMimeTypes();
// The text of our desktop entry listing the given types (all handled ones by default). An empty
// executable gives "Exec=kalder %f" (an installed package); otherwise the executable's full
// path, quoted as desktop entries require.
std::string desktopEntryText(const std::filesystem::path& executable);
std::string desktopEntryText(const std::filesystem::path& executable,
                             std::span<const std::string_view> mimeTypes);

// The folders the XDG base-directory and MIME-applications rules name.
struct XdgFolders {
    std::filesystem::path configHome;             // holds mimeapps.list
    std::filesystem::path dataHome;               // holds applications/
    std::vector<std::filesystem::path> dataDirs;  // the system's, each holding applications/
    std::vector<std::string> desktops;            // XDG_CURRENT_DESKTOP entries, lower case

    // From XDG_CONFIG_HOME, XDG_DATA_HOME (or their ~/ defaults), XDG_DATA_DIRS and
    // XDG_CURRENT_DESKTOP.
    static XdgFolders fromEnvironment();
};

// A mimeapps.list held as its lines, so that an edit changes only the line it touches:
// comments, other groups, unknown and duplicate keys, and a missing final newline stay as read.
// Lookups follow what readers of the file do: the first "MIME=" line in any
// [Default Applications] group counts, spaces around "=" allowed, keys case-sensitive.
class MimeAppsList {
public:
    void parse(std::string_view text);
    std::string serialize() const;

    // The raw value of the type's entry, or nullopt when it has none.
    std::optional<std::string> defaultValue(std::string_view mimeType) const;
    // Replaces the counting entry's value, or adds an entry (and the group when missing).
    void setDefaultValue(std::string_view mimeType, std::string_view value);
    // Removes the counting entry; false when there was none.
    bool removeDefault(std::string_view mimeType);

private:
    // Index of the line that counts for the type, or -1.
    std::ptrdiff_t findEntry(std::string_view mimeType) const;

    std::vector<std::string> m_lines;
    bool m_finalNewline = true;
};

// The first desktop-file ID of a list value such as "a.desktop;b.desktop;".
std::string firstDesktopId(std::string_view value);

// File associations on the XDG MIME defaults. The type's entry in $XDG_CONFIG_HOME/mimeapps.list
// plays the part of the class an extension maps to; an entry in a desktop-specific
// $XDG_CONFIG_HOME/<desktop>-mimeapps.list overrides it, as a user's own choice does. The
// previous value of every entry we take over or drop is kept in the registry store (or that
// there was none) so that Restore can put it back.
//
// A type with no default of its own goes to any application whose desktop entry lists it, so
// the entry matters as much as the lists: an installed entry with our ID is used as it is; only
// when none is installed do we write our own into $XDG_DATA_HOME/applications, listing exactly
// the types that are ours, and remove it once none is.
//
// Operations work on one extension (its index in the extension table) and act on its MIME type.
// They change the files in memory; flush() writes the files that changed, each through a
// temporary file, and brings our desktop entry in line. Failures are silent: what cannot be read
// counts as empty, what cannot be written stays as it was.
class Associations {
public:
    Associations(XdgFolders folders, RegistryStore& undoStore, std::filesystem::path executable);

    bool IsAssociated(std::size_t extensionIndex) const;
    // Makes us the type's default and drops its desktop-specific overrides, remembering both.
    void Associate(std::size_t extensionIndex);
    // Swaps the current entries with the ones kept for undo; nothing when none were kept.
    void Restore(std::size_t extensionIndex);
    // Associates (wanted) or restores every extension of a format-table entry that is not yet
    // as wanted; the types of other formats are left alone.
    void SetFormatAssociated(std::size_t formatIndex, bool wanted);

    // False when some extension whose format flag is set (flags indexed by format code) is
    // not associated.
    bool CheckWantedAssociations(std::span<const bool> formatFlags) const;
    // Associates every extension.
    void AssociateAll();
    // Restores what we took over, drops our undo values and our desktop entry, then flushes.
    void Uninstall();

    // Writes the changed files; false when a write failed.
    bool flush();

    std::filesystem::path mimeAppsPath() const;
    // Where we write our own desktop entry when none is installed.
    std::filesystem::path installedDesktopPath() const;

private:
    struct ListFile {
        std::filesystem::path path;
        std::string undoPrefix;  // before the type in the undo value's name
        MimeAppsList list;
        bool dirty = false;
    };

    bool isTypeAssociated(std::string_view mimeType) const;
    // Brings our own desktop entry in line with the types that are ours.
    void syncDesktopEntry();
    std::vector<ListFile*> listFiles();

    std::optional<std::string> undoValue(std::string_view name) const;
    bool hasUndoValue(std::string_view name) const;
    void setUndoValue(std::string_view name, const std::optional<std::string>& previous);

    XdgFolders m_folders;
    RegistryStore& m_undo;
    std::filesystem::path m_executable;
    ListFile m_main;
    std::vector<ListFile> m_overrides;  // desktop-specific lists
    bool m_undoDirty = false;
};

}  // namespace kalder::shell
