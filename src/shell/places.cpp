#include "shell/places.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "base/limits.h"
#include "base/read_file.h"
#include "base/strings.h"
#include "shell/file_operations.h"

namespace kalder::shell {
namespace fs = std::filesystem;
namespace {

// File systems that hold no user data of their own.
constexpr std::array<std::string_view, 30> kPseudoTypes = {
    "proc",      "sysfs",     "tmpfs",           "devtmpfs",    "devpts",      "cgroup",
    "cgroup2",   "overlay",   "securityfs",      "pstore",      "debugfs",     "tracefs",
    "mqueue",    "hugetlbfs", "configfs",        "fusectl",     "binfmt_misc", "autofs",
    "bpf",       "efivarfs",  "squashfs",        "nsfs",        "ramfs",       "rpc_pipefs",
    "selinuxfs", "aufs",      "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs",  "nfsd"};

// Remote file systems a user mounts on purpose.
constexpr std::array<std::string_view, 10> kNetworkTypes = {
    "nfs",        "nfs4",  "cifs",        "smb3",  "smbfs",
    "fuse.sshfs", "sshfs", "fuse.rclone", "davfs", "fuse.davfs2"};

// System trees whose mounts are not places of their own.
constexpr std::array<std::string_view, 10> kSystemTrees = {
    "/boot", "/efi", "/etc", "/usr", "/var", "/snap", "/proc", "/sys", "/dev", "/run"};

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& list, std::string_view value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A folder one level below `tree` or deeper.
bool isStrictlyUnder(const fs::path& path, const fs::path& tree) {
    return path != tree && isSameOrInside(tree, path);
}

bool isFolder(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Absolute, without "." or ".." parts and without a trailing separator.
fs::path normalFolder(const fs::path& p) {
    fs::path n = p.lexically_normal();
    std::string s = n.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return fs::path(s);
}

// The value of a shell-style assignment: "quoted with \ escapes" or a bare word.
std::string shellValue(std::string_view raw) {
    raw = base::trimLeft(raw);
    std::string out;
    if (raw.empty() || raw.front() != '"') {
        for (char c : raw) {
            if (c == ' ' || c == '\t' || c == '\r' || c == '#') break;
            out += c;
        }
        return out;
    }
    for (std::size_t i = 1; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') return out;
        if (c == '\\' && i + 1 < raw.size())
            out += raw[++i];
        else
            out += c;
    }
    return {};  // no closing quote
}

}  // namespace

std::string unescapeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(),
                            [](char c) { return c >= '0' && c <= '7'; })) {
                const int value =
                    (digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0');
                if (value <= 255) {
                    out += static_cast<char>(value);
                    i += 3;
                    continue;
                }
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<MountEntry> parseMounts(std::string_view text) {
    std::vector<MountEntry> mounts;
    for (std::string_view line : base::split(text, '\n')) {
        std::array<std::string_view, 3> fields;
        std::size_t count = 0;
        while (count < fields.size()) {
            line = base::trimLeft(line);
            if (line.empty()) break;
            const std::size_t space = line.find_first_of(" \t");
            fields[count++] = line.substr(0, space);
            line = space == std::string_view::npos ? std::string_view{} : line.substr(space);
        }
        if (count < fields.size()) continue;
        const std::string point = unescapeMountField(fields[1]);
        if (point.empty() || point.front() != '/') continue;
        mounts.push_back(
            {unescapeMountField(fields[0]), fs::path(point), unescapeMountField(fields[2])});
    }
    return mounts;
}

std::optional<PlaceKind> userMountKind(const MountEntry& mount) {
    const std::string point = normalFolder(mount.mountPoint).string();
    if (point == "/") return std::nullopt;  // the root has its own place
    if (contains(kPseudoTypes, mount.type)) return std::nullopt;
    const bool network = contains(kNetworkTypes, mount.type);
    if (!network && !startsWith(mount.device, "/dev/")) return std::nullopt;
    if (isStrictlyUnder(point, "/run/media") || isStrictlyUnder(point, "/media"))
        return network ? PlaceKind::Network : PlaceKind::Removable;
    for (std::string_view tree : kSystemTrees)
        if (isSameOrInside(fs::path(tree), point)) return std::nullopt;
    return network ? PlaceKind::Network : PlaceKind::Drive;
}

std::optional<fs::path> userDirFromConfig(std::string_view userDirsText, std::string_view key,
                                          const fs::path& home) {
    const std::string prefix = "XDG_" + std::string(key) + "_DIR=";
    std::optional<fs::path> found;
    for (std::string_view part : base::split(userDirsText, '\n')) {
        const std::string_view line = base::trimLeft(part);
        if (!startsWith(line, prefix)) continue;
        const std::string value = shellValue(line.substr(prefix.size()));
        // The last assignment wins, as when the shell sources the file.
        found.reset();
        for (std::string_view var : {std::string_view("$HOME"), std::string_view("${HOME}")}) {
            if (startsWith(value, var) &&
                (value.size() == var.size() || value[var.size()] == '/')) {
                const std::string rest = value.substr(var.size());
                found = normalFolder(rest.empty() ? home : fs::path(home.string() + rest));
            }
        }
        if (!found && !value.empty() && value.front() == '/') found = normalFolder(value);
    }
    return found;
}

std::vector<Place> buildPlaces(const fs::path& home, std::string_view userDirsText,
                               std::string_view mountsText) {
    std::vector<Place> places;
    const fs::path homeFolder = normalFolder(home);
    const auto listed = [&places](const fs::path& p) {
        return std::any_of(places.begin(), places.end(),
                           [&p](const Place& place) { return place.path == p; });
    };
    if (!homeFolder.empty() && isFolder(homeFolder))
        places.push_back({"Home", homeFolder, PlaceKind::Home});
    const struct {
        const char* key;
        const char* fallback;
        PlaceKind kind;
    } userDirs[] = {{"DESKTOP", "Desktop", PlaceKind::Desktop},
                    {"PICTURES", "Pictures", PlaceKind::Pictures}};
    for (const auto& dir : userDirs) {
        const fs::path p = userDirFromConfig(userDirsText, dir.key, homeFolder)
                               .value_or(normalFolder(homeFolder / dir.fallback));
        if (p != homeFolder && !listed(p) && isFolder(p))
            places.push_back({dir.fallback, p, dir.kind});
    }
    places.push_back({"File System", fs::path("/"), PlaceKind::Root});
    for (const MountEntry& mount : parseMounts(mountsText)) {
        const std::optional<PlaceKind> kind = userMountKind(mount);
        const fs::path point = normalFolder(mount.mountPoint);
        if (!kind || listed(point)) continue;
        places.push_back({point.filename().string(), point, *kind});
    }
    return places;
}

std::vector<Place> systemPlaces() {
    fs::path home;
    if (const char* env = std::getenv("HOME"); env && *env == '/')
        home = env;
    else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        home = pw->pw_dir;
    fs::path config = home / ".config";
    if (const char* env = std::getenv("XDG_CONFIG_HOME"); env && *env == '/') config = env;
    return buildPlaces(
        home, base::readTextFile(config / "user-dirs.dirs", base::kMaxDataFileBytes).valueOr({}),
        currentMountsText());
}

std::string currentMountsText() {
    return base::readTextFile("/proc/self/mounts", base::kMaxDataFileBytes).valueOr({});
}

bool folderNameLess(std::string_view a, std::string_view b) {
    if (!base::equalsIgnoringCase(a, b)) return base::lessIgnoringCase(a, b);
    return a < b;
}

namespace {

// Calls `onFolder(name)` for each visible sub-folder until it answers false.
template <typename F>
void forEachSubFolder(const fs::path& folder, F onFolder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name.front() == '.') continue;
        bool folderEntry = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
            folderEntry = isFolder(folder / name);
        if (folderEntry && !onFolder(std::string(name))) break;
    }
    ::closedir(dir);
}

}  // namespace

std::vector<SubFolder> listSubFolders(const fs::path& folder, bool lookInside) {
    std::vector<SubFolder> folders;
    forEachSubFolder(folder, [&folders](std::string name) {
        folders.push_back({std::move(name), true});
        return true;
    });
    std::sort(folders.begin(), folders.end(), [](const SubFolder& a, const SubFolder& b) {
        return folderNameLess(a.name, b.name);
    });
    if (lookInside)
        for (SubFolder& f : folders) f.mayHaveSubFolders = hasSubFolder(folder / f.name);
    return folders;
}

bool hasSubFolder(const fs::path& folder) {
    bool found = false;
    forEachSubFolder(folder, [&found](const std::string&) {
        found = true;
        return false;
    });
    return found;
}

}  // namespace kalder::shell
