#include "shell/associations.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <spawn.h>
#include <sys/wait.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <system_error>

#include "base/limits.h"
#include "base/read_file.h"
#include "base/strings.h"
#include "image/format_table.h"

extern char** environ;

namespace kalder::shell {
namespace fs = std::filesystem;
namespace {

// By extension-table index. Types follow the shared MIME database where it has one.
constexpr std::array<std::string_view, 42> kMimeTypes{
    "application/x-navi-animation",  // .ani
    "image/bmp",                     // .bmp
    "image/bmp",                     // .dib
    "image/x-win-bitmap",            // .cur
    "image/gif",                     // .gif
    "image/vnd.microsoft.icon",      // .ico
    "image/jpeg",                    // .jpg
    "image/jpeg",                    // .jpeg
    "image/jpeg",                    // .jpe
    "image/jpeg",                    // .jif
    "image/jpeg",                    // .jff
    "image/jpeg",                    // .jfif
    "image/x-portable-bitmap",       // .pbm
    "image/x-portable-graymap",      // .pgm
    "image/x-portable-pixmap",       // .ppm
    "image/x-portable-anymap",       // .pnm
    "image/vnd.zbrush.pcx",          // .pcx
    "image/png",                     // .png
    "image/vnd.adobe.photoshop",     // .psd
    "image/x-sun-raster",            // .ras
    "image/x-sun-raster",            // .sun
    "image/x-rgb",                   // .rgb
    "image/x-sgi",                   // .sgi
    "image/x-tga",                   // .tga
    "image/tiff",                    // .tif
    "image/tiff",                    // .tiff
    "image/wmf",                     // .wmf
    "image/wmf",                     // .apm
    "image/emf",                     // .emf
    "image/x-jp2-codestream",        // .j2k
    "image/x-jp2-codestream",        // .jpc
    "image/jp2",                     // .jp2
    "image/jpx",                     // .jpf
    "image/x-iff",                   // .iff
    "image/x-ilbm",                  // .lbm
    "image/x-utah-rle",              // .rle
    "image/webp",                    // .webp
    "image/avif",                    // .avif
    "image/heic",                    // .heic
    "image/heif",                    // .heif
    "image/heif",                    // .hif
    "image/jxl",                     // .jxl
};

constexpr std::string_view kDefaultGroup = "[Default Applications]";
constexpr std::string_view kUndoPresent = "value:";
constexpr std::string_view kUndoAbsent = "absent";
// Marks a desktop entry as the one we wrote, which we may rewrite and remove; any other entry
// with our ID was installed or made by hand and is used as it is.
constexpr std::string_view kGeneratedMark = "X-Kalder-Generated=true";

bool isGroupHeader(std::string_view line) {
    line = base::trim(line, base::kLineBlanks);
    return !line.empty() && line.front() == '[';
}

// The key of a "key=value" line, or empty for comments, blanks and headers.
std::string_view keyOf(std::string_view line) {
    const std::string_view t = base::trim(line, base::kLineBlanks);
    if (t.empty() || t.front() == '#' || t.front() == '[') return {};
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return {};
    return base::trim(t.substr(0, eq), base::kLineBlanks);
}

std::string readFile(const fs::path& path) {
    return base::readTextFile(path, base::kMaxDataFileBytes).valueOr({});
}

// Desktop-entry Exec quoting: reserved characters inside double quotes with `"`, "`", "$" and
// "\" escaped, "%" doubled; then the value's own escaping doubles every backslash.
std::string execArgument(std::string_view arg) {
    bool plain = !arg.empty();
    for (char c : arg) {
        const auto u = static_cast<unsigned char>(c);
        if (!(std::isalnum(u) || c == '/' || c == '.' || c == '_' || c == '-' || c == '+'))
            plain = false;
    }
    std::string quoted;
    if (!plain) quoted += '"';
    for (char c : arg) {
        if (c == '%') {
            quoted += "%%";
            continue;
        }
        if (!plain && (c == '"' || c == '`' || c == '$' || c == '\\')) quoted += '\\';
        quoted += c;
    }
    if (!plain) quoted += '"';
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// Runs a helper program with its output discarded; its absence or failure does not matter.
void runQuietly(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return;
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

fs::path envPath(const char* name, std::string_view homeRelative) {
    if (const char* v = std::getenv(name); v && *v == '/') return v;
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / homeRelative;
    return {};
}

}  // namespace

std::string_view mimeTypeOfExtension(std::size_t extensionIndex) {
    return extensionIndex < kMimeTypes.size() ? kMimeTypes[extensionIndex] : std::string_view{};
}

std::string mimeTypeOfFile(const fs::path& file) {
    std::string ext = file.extension().string();
    ext = base::toLowerAscii(ext);
    const auto extensions = image::extensionTable();
    for (std::size_t i = 0; i < extensions.size(); ++i)
        if (!ext.empty() && extensions[i].extension == ext)
            return std::string(mimeTypeOfExtension(i));
    gboolean uncertain = FALSE;
    char* guess = g_content_type_guess(file.filename().c_str(), nullptr, 0, &uncertain);
    char* mime = guess ? g_content_type_get_mime_type(guess) : nullptr;
    std::string type = mime && !uncertain ? mime : "";
    g_free(mime);
    g_free(guess);
    return type;
}

std::vector<std::string_view> handledMimeTypes() {
    std::vector<std::string_view> types;
    for (std::string_view t : kMimeTypes) {
        bool seen = false;
        for (std::string_view s : types) seen = seen || s == t;
        if (!seen) types.push_back(t);
    }
    return types;
}

std::string desktopEntryText(const fs::path& executable) {
    const std::vector<std::string_view> all = handledMimeTypes();
    return desktopEntryText(executable, all);
}

std::string desktopEntryText(const fs::path& executable,
                             std::span<const std::string_view> mimeTypes) {
    const std::string exec =
        executable.empty() ? std::string("kalder") : execArgument(executable.string());
    std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Kalder\n"
        "GenericName=Image Viewer\n"
        "Comment=View, browse and convert images\n"
        "Keywords=picture;photo;image;viewer;browser;thumbnail;slideshow;convert;\n"
        "Exec=";
    // A file manager may hand over several files; the viewer opens the first and lists its
    // folder.
    text += exec + " %F\nTryExec=";
    text += executable.empty() ? std::string("kalder") : executable.string();
    text +=
        "\n"
        "Icon=org.kalder.Kalder\n"
        "Terminal=false\n"
        "StartupNotify=true\n"
        "StartupWMClass=Kalder\n"
        "Categories=Graphics;Viewer;RasterGraphics;2DGraphics;\n"
        "MimeType=";
    for (std::string_view t : mimeTypes) {
        text += t;
        text += ';';
    }
    text += '\n';
    return text;
}

XdgFolders XdgFolders::fromEnvironment() {
    XdgFolders f;
    f.configHome = envPath("XDG_CONFIG_HOME", ".config");
    f.dataHome = envPath("XDG_DATA_HOME", ".local/share");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string_view rest = dirs && *dirs ? dirs : "/usr/local/share/:/usr/share/";
    for (const std::string_view dir : base::split(rest, ':'))
        if (dir.starts_with('/')) f.dataDirs.emplace_back(dir);
    if (const char* d = std::getenv("XDG_CURRENT_DESKTOP")) {
        for (const std::string_view part : base::split(d, ':')) {
            const std::string name = base::toLowerAscii(part);
            // A desktop name becomes part of a file name: nothing that could leave the folder.
            if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..")
                f.desktops.push_back(name);
        }
    }
    return f;
}

void MimeAppsList::parse(std::string_view text) {
    m_lines.clear();
    m_finalNewline = text.empty() || text.back() == '\n';
    if (text.empty()) return;
    for (const std::string_view line : base::split(text, '\n')) m_lines.emplace_back(line);
    if (m_finalNewline) m_lines.pop_back();  // the empty part after the last line end
}

std::string MimeAppsList::serialize() const {
    std::string text;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        text += m_lines[i];
        if (i + 1 < m_lines.size() || m_finalNewline) text += '\n';
    }
    return text;
}

std::ptrdiff_t MimeAppsList::findEntry(std::string_view mimeType) const {
    bool inDefaults = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const std::string_view line = m_lines[i];
        if (isGroupHeader(line)) {
            inDefaults = base::trim(line, base::kLineBlanks) == kDefaultGroup;
        } else if (inDefaults && keyOf(line) == mimeType) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return -1;
}

std::optional<std::string> MimeAppsList::defaultValue(std::string_view mimeType) const {
    const std::ptrdiff_t i = findEntry(mimeType);
    if (i < 0) return std::nullopt;
    const std::string_view line = m_lines[static_cast<std::size_t>(i)];
    return std::string(base::trim(line.substr(line.find('=') + 1), base::kLineBlanks));
}

void MimeAppsList::setDefaultValue(std::string_view mimeType, std::string_view value) {
    std::string entry = std::string(mimeType) + "=" + std::string(value);
    if (const std::ptrdiff_t i = findEntry(mimeType); i >= 0) {
        m_lines[static_cast<std::size_t>(i)] = std::move(entry);
        return;
    }
    // After the last entry of the first [Default Applications] group, before its blank lines.
    std::ptrdiff_t group = -1;
    std::size_t insertAt = m_lines.size();
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (!isGroupHeader(m_lines[i])) continue;
        if (group >= 0) break;
        if (base::trim(m_lines[i], base::kLineBlanks) == kDefaultGroup)
            group = static_cast<std::ptrdiff_t>(i);
    }
    if (group < 0) {
        if (!m_lines.empty() && !base::trim(m_lines.back(), base::kLineBlanks).empty())
            m_lines.emplace_back();
        m_lines.emplace_back(kDefaultGroup);
        m_lines.push_back(std::move(entry));
        m_finalNewline = true;
        return;
    }
    insertAt = static_cast<std::size_t>(group) + 1;
    for (std::size_t i = insertAt; i < m_lines.size() && !isGroupHeader(m_lines[i]); ++i) {
        if (!base::trim(m_lines[i], base::kLineBlanks).empty()) insertAt = i + 1;
    }
    if (insertAt == m_lines.size()) m_finalNewline = true;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
}

bool MimeAppsList::removeDefault(std::string_view mimeType) {
    const std::ptrdiff_t i = findEntry(mimeType);
    if (i < 0) return false;
    m_lines.erase(m_lines.begin() + i);
    return true;
}

std::string firstDesktopId(std::string_view value) {
    while (!value.empty()) {
        const std::size_t semi = value.find(';');
        const std::string_view item = base::trim(value.substr(0, semi), base::kLineBlanks);
        if (!item.empty()) return std::string(item);
        if (semi == std::string_view::npos) break;
        value.remove_prefix(semi + 1);
    }
    return {};
}

Associations::Associations(XdgFolders folders, RegistryStore& undoStore, fs::path executable)
    : m_folders(std::move(folders)), m_undo(undoStore), m_executable(std::move(executable)) {
    if (m_folders.configHome.empty()) return;
    m_main.path = m_folders.configHome / "mimeapps.list";
    m_main.list.parse(readFile(m_main.path));
    for (const std::string& desktop : m_folders.desktops) {
        ListFile f;
        f.path = m_folders.configHome / (desktop + "-mimeapps.list");
        f.undoPrefix = f.path.filename().string() + ":";
        f.list.parse(readFile(f.path));
        m_overrides.push_back(std::move(f));
    }
}

fs::path Associations::mimeAppsPath() const { return m_main.path; }

fs::path Associations::installedDesktopPath() const {
    if (m_folders.dataHome.empty()) return {};
    return m_folders.dataHome / "applications" / std::string(kDesktopFileId);
}

std::vector<Associations::ListFile*> Associations::listFiles() {
    std::vector<ListFile*> all{&m_main};
    for (ListFile& o : m_overrides) all.push_back(&o);
    return all;
}

bool Associations::IsAssociated(std::size_t extensionIndex) const {
    const std::string_view type = mimeTypeOfExtension(extensionIndex);
    return !type.empty() && isTypeAssociated(type);
}

bool Associations::isTypeAssociated(std::string_view type) const {
    // A desktop-specific choice wins over the general list, as it does for every reader.
    for (const ListFile& f : m_overrides) {
        if (auto v = f.list.defaultValue(type); v && !firstDesktopId(*v).empty())
            return firstDesktopId(*v) == kDesktopFileId;
    }
    const auto v = m_main.list.defaultValue(type);
    return v && firstDesktopId(*v) == kDesktopFileId;
}

void Associations::Associate(std::size_t extensionIndex) {
    const std::string_view type = mimeTypeOfExtension(extensionIndex);
    if (type.empty() || m_main.path.empty() || isTypeAssociated(type)) return;
    for (ListFile* f : listFiles()) {
        const std::string undoName = f->undoPrefix + std::string(type);
        const std::optional<std::string> current = f->list.defaultValue(type);
        if (f == &m_main) {
            if (current && firstDesktopId(*current) == kDesktopFileId) continue;
            // Only the user's own entry is remembered: the system default still applies once
            // ours is gone, and pinning it in the user's file would outlive a later change.
            setUndoValue(undoName, current);
            f->list.setDefaultValue(type, kDesktopFileId);
        } else if (!current) {
            // Nothing to give back later; an old record would undo a choice made since.
            if (m_undo.removeValue(kAssociationUndoKey, undoName)) m_undoDirty = true;
            continue;
        } else {
            setUndoValue(undoName, current);
            while (f->list.removeDefault(type)) {
            }
        }
        f->dirty = true;
    }
}

void Associations::Restore(std::size_t extensionIndex) {
    const std::string_view type = mimeTypeOfExtension(extensionIndex);
    if (type.empty() || m_main.path.empty()) return;
    for (ListFile* f : listFiles()) {
        const std::string undoName = f->undoPrefix + std::string(type);
        if (!hasUndoValue(undoName)) continue;
        const std::optional<std::string> current = f->list.defaultValue(type);
        if (const std::optional<std::string> saved = undoValue(undoName)) {
            f->list.setDefaultValue(type, *saved);
        } else {
            f->list.removeDefault(type);
        }
        f->dirty = true;
        setUndoValue(undoName, current);
    }
}

void Associations::SetFormatAssociated(std::size_t formatIndex, bool wanted) {
    const auto formats = image::formatTable();
    if (formatIndex >= formats.size()) return;
    const image::FormatRecord& f = formats[formatIndex];
    for (auto i = f.firstExtension; i <= f.lastExtension; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (wanted == IsAssociated(index)) continue;
        if (wanted) {
            Associate(index);
        } else {
            Restore(index);
        }
    }
}

void Associations::syncDesktopEntry() {
    const fs::path own = installedDesktopPath();
    if (own.empty()) return;
    std::error_code ec;
    const bool exists = fs::exists(own, ec);
    const std::string text = exists ? readFile(own) : std::string();
    const bool generated = text.find(kGeneratedMark) != std::string::npos;
    if (exists && !generated) return;  // installed into the user's own folder, or hand-made

    bool installed = false;
    for (const fs::path& dir : m_folders.dataDirs)
        installed = installed || fs::exists(dir / "applications" / std::string(kDesktopFileId), ec);
    std::vector<std::string_view> ours;
    if (!installed) {
        for (std::string_view type : handledMimeTypes())
            if (isTypeAssociated(type)) ours.push_back(type);
    }
    bool changed = false;
    if (ours.empty()) {
        // Nothing is ours, or a copy here would hide the installed entry.
        changed = exists && fs::remove(own, ec);
    } else {
        const std::string wanted =
            desktopEntryText(m_executable, ours) + std::string(kGeneratedMark) + "\n";
        changed = text != wanted && replaceFileContents(own, wanted);
    }
    // The folder's cache names the types each entry lists; it is the tool's to write.
    if (changed) runQuietly({"update-desktop-database", own.parent_path().string()});
}

bool Associations::CheckWantedAssociations(std::span<const bool> formatFlags) const {
    const auto extensions = image::extensionTable();
    for (std::size_t i = 0; i < extensions.size(); ++i) {
        const auto code = static_cast<std::size_t>(extensions[i].code);
        if (code < formatFlags.size() && formatFlags[code] && !IsAssociated(i)) return false;
    }
    return true;
}

void Associations::AssociateAll() {
    for (std::size_t i = 0; i < image::extensionTable().size(); ++i) Associate(i);
}

void Associations::Uninstall() {
    const std::size_t count = image::extensionTable().size();
    for (std::size_t i = 0; i < count; ++i) {
        if (IsAssociated(i)) Restore(i);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view type = mimeTypeOfExtension(i);
        // Our own entry still in place (the user had none, or one we could not swap back)
        // must not point at a program that is going away.
        const auto v = m_main.list.defaultValue(type);
        if (v && firstDesktopId(*v) == kDesktopFileId) {
            m_main.list.removeDefault(type);
            m_main.dirty = true;
        }
    }
    // The key goes with every value in it, those of the desktop-specific lists included.
    if (m_undo.hasKey(kAssociationUndoKey) && m_undo.deleteKey(kAssociationUndoKey))
        m_undoDirty = true;
    flush();
}

std::optional<std::string> Associations::undoValue(std::string_view name) const {
    const auto v = m_undo.value(kAssociationUndoKey, name);
    if (!v || !v->starts_with(kUndoPresent)) return std::nullopt;
    return v->substr(kUndoPresent.size());
}

bool Associations::hasUndoValue(std::string_view name) const {
    const auto v = m_undo.value(kAssociationUndoKey, name);
    return v && (*v == kUndoAbsent || v->starts_with(kUndoPresent));
}

void Associations::setUndoValue(std::string_view name, const std::optional<std::string>& previous) {
    const std::string stored =
        previous ? std::string(kUndoPresent) + *previous : std::string(kUndoAbsent);
    if (m_undo.value(kAssociationUndoKey, name) == stored) return;
    m_undo.setValue(kAssociationUndoKey, name, stored);
    m_undoDirty = true;
}

bool Associations::flush() {
    bool ok = true;
    // The undo values first: a list edited without its undo record could not be put back.
    if (m_undoDirty) {
        if (!m_undo.save()) return false;
        m_undoDirty = false;
    }
    for (ListFile* f : listFiles()) {
        if (!f->dirty) continue;
        if (replaceFileContents(f->path, f->list.serialize())) {
            f->dirty = false;
        } else {
            ok = false;
        }
    }
    // The entry follows what the lists now say, so only after they were written.
    if (ok) syncDesktopEntry();
    return ok;
}

}  // namespace kalder::shell
