#include "shell/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "base/file_uri.h"

namespace kalder::shell {
namespace fs = std::filesystem;
namespace {

bool lstatOf(const fs::path& p, struct stat& st) { return ::lstat(p.c_str(), &st) == 0; }
bool statOf(const fs::path& p, struct stat& st) { return ::stat(p.c_str(), &st) == 0; }

// The absolute path of a file without resolving the file itself (a link is trashed as a link).
fs::path absoluteItemPath(const fs::path& p) {
    std::error_code ec;
    const fs::path abs = fs::absolute(p, ec).lexically_normal();
    fs::path parent = abs.parent_path();
    fs::path name = abs.filename();
    if (name.empty()) {  // "dir/" comes in with an empty file name
        name = parent.filename();
        parent = parent.parent_path();
    }
    const fs::path real = fs::weakly_canonical(parent, ec);
    return (ec ? parent : real) / name;
}

bool makeDir(const fs::path& p, mode_t mode) {
    return ::mkdir(p.c_str(), mode) == 0 || errno == EEXIST;
}

// A directory we own that is not a symbolic link.
bool isOwnDirectory(const fs::path& p) {
    struct stat st {};
    return lstatOf(p, st) && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

bool ensureTrashLayout(const fs::path& trash) {
    std::error_code ec;
    if (!fs::exists(trash, ec)) {
        fs::create_directories(trash.parent_path(), ec);
        if (!makeDir(trash, 0700)) return false;
    }
    return isOwnDirectory(trash) && makeDir(trash / "files", 0700) &&
           makeDir(trash / "info", 0700) && isOwnDirectory(trash / "files") &&
           isOwnDirectory(trash / "info");
}

// The top directory of the mount that holds p.
fs::path mountTop(const fs::path& p, dev_t device) {
    fs::path top = p;
    while (top.has_parent_path() && top.parent_path() != top) {
        struct stat st {};
        if (!statOf(top.parent_path(), st) || st.st_dev != device) break;
        top = top.parent_path();
    }
    return top;
}

// Where the items of a trash directory are relative to: "/" for the home trash (absolute
// paths), the mount's top directory for the others.
fs::path topOfTrash(const fs::path& trashDir) {
    const std::string name = trashDir.filename().string();
    if (name.starts_with(".Trash-")) return trashDir.parent_path();
    if (trashDir.parent_path().filename() == ".Trash") return trashDir.parent_path().parent_path();
    return "/";
}

std::string candidateName(const std::string& base, int n) {
    if (n == 1) return base;
    const std::size_t dot = base.rfind('.');
    if (dot == std::string::npos || dot == 0) return base + "." + std::to_string(n);
    return base.substr(0, dot) + "." + std::to_string(n) + base.substr(dot);
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string randomSuffix() {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s;
    for (int i = 0; i < 8; ++i) s += kChars[rng() % (sizeof kChars - 1)];
    return s;
}

}  // namespace

FileStatus renameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return std::monostate{};
    const auto failed = [&](int e) { return fileErrorFromErrno(e, e == EEXIST ? to : from); };
    if (errno != EINVAL && errno != ENOSYS) return failed(errno);
    // The file system cannot refuse to replace by itself: check first, then rename.
    struct stat st {};
    if (lstatOf(to, st)) return failed(EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) return failed(errno);
    return std::monostate{};
}

FileStatus copyTree(const fs::path& from, const fs::path& to) {
    struct stat st {};
    if (!lstatOf(from, st)) return fileErrorFromErrno(errno, from);
    std::error_code ec;
    if (S_ISLNK(st.st_mode)) {
        const fs::path target = fs::read_symlink(from, ec);
        if (!ec) fs::create_symlink(target, to, ec);
        if (ec) return fileErrorFrom(ec, to);
        return std::monostate{};
    }
    const fs::path temp =
        to.parent_path() / ("." + to.filename().string() + ".kalder-" + randomSuffix());
    if (S_ISDIR(st.st_mode)) {
        fs::create_directory(temp, ec);
        if (!ec)
            fs::copy(from, temp, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    } else {
        fs::copy_file(from, temp, fs::copy_options::none, ec);
    }
    if (!ec) {
        fs::permissions(temp, static_cast<fs::perms>(st.st_mode & 07777), ec);
        ec.clear();  // permissions are a nicety; the bytes are what matter
        const FileStatus placed = renameNoReplace(temp, to);
        if (placed) return placed;
        ec = std::error_code(placed.error().sysError, std::generic_category());
    }
    std::error_code ignored;
    fs::remove_all(temp, ignored);
    return fileErrorFrom(ec, to);
}

FileStatus moveNoReplace(const fs::path& from, const fs::path& to) {
    FileStatus renamed = renameNoReplace(from, to);
    if (renamed || renamed.error().code != FileErrorCode::CrossDevice) return renamed;
    // Another device: copy, and delete the source only once the copy is complete.
    KALDER_TRY(copyTree(from, to));
    std::error_code ec;
    fs::remove_all(from, ec);
    if (ec) return fileErrorFrom(ec, from);
    return std::monostate{};
}

Trash::Trash() : m_homeTrash(defaultHomeTrash()) {}
Trash::Trash(fs::path homeTrash) : m_homeTrash(std::move(homeTrash)) {}

fs::path Trash::defaultHomeTrash() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/') return fs::path(dataHome) / "Trash";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/") / ".local" / "share" / "Trash";
}

FileResult<fs::path> Trash::trashFor(const fs::path& path) const {
    struct stat item {};
    if (!lstatOf(path, item)) return fileErrorFromErrno(errno, path);
    // The home trash's device is that of its nearest existing ancestor.
    fs::path probe = m_homeTrash;
    struct stat home {};
    while (!statOf(probe, home)) {
        if (!probe.has_parent_path() || probe.parent_path() == probe) break;
        probe = probe.parent_path();
    }
    if (home.st_dev == item.st_dev) {
        if (ensureTrashLayout(m_homeTrash)) return m_homeTrash;
        return FileError{FileErrorCode::TrashUnusable, 0, m_homeTrash};
    }
    const fs::path top = mountTop(absoluteItemPath(path).parent_path(), item.st_dev);
    const std::string uid = std::to_string(::getuid());
    struct stat shared {};
    const fs::path sharedDir = top / ".Trash";
    if (lstatOf(sharedDir, shared) && S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX)) {
        const fs::path mine = sharedDir / uid;
        if (ensureTrashLayout(mine)) return mine;
    }
    const fs::path own = top / (".Trash-" + uid);
    if (ensureTrashLayout(own)) return own;
    return FileError{FileErrorCode::NoTrash, 0, path};
}

std::string Trash::encodePath(std::string_view path) {
    // Readers of trash info files expect the escaping GLib's own trash writes.
    return base::percentEncode(path, "/");
}

std::optional<std::string> Trash::decodePath(std::string_view s) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return std::nullopt;
        const int hi = hex(s[i + 1]), lo = hex(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

std::string Trash::formatDeletionDate(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
    return buffer;
}

FileResult<TrashEntry> Trash::moveToTrash(const fs::path& path) {
    const fs::path item = absoluteItemPath(path);
    const FileResult<fs::path> found = trashFor(item);
    if (!found) return found.error();
    const fs::path& trashDir = *found;
    const fs::path top = topOfTrash(trashDir);
    const std::string recorded = top == "/" ? item.string() : item.lexically_relative(top).string();

    TrashEntry entry;
    entry.trashDir = trashDir;
    entry.originalPath = item;
    entry.deletionDate = formatDeletionDate(std::time(nullptr));
    const std::string info = "[Trash Info]\nPath=" + encodePath(recorded) +
                             "\nDeletionDate=" + entry.deletionDate + "\n";
    const std::string base = item.filename().string();
    for (int n = 1; n < 10000; ++n) {
        entry.name = candidateName(base, n);
        // The info file claims the name: whoever creates it first owns it.
        const int fd =
            ::open(entry.infoPath().c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fileErrorFromErrno(errno, entry.infoPath());
        }
        const bool written = writeAll(fd, info);
        const bool closed = ::close(fd) == 0;
        if (!written || !closed) {
            const FileError failed = fileErrorFromErrno(errno ? errno : EIO, entry.infoPath());
            ::unlink(entry.infoPath().c_str());
            return failed;
        }
        const FileStatus moved = renameNoReplace(item, entry.filesPath());
        if (moved) return entry;
        ::unlink(entry.infoPath().c_str());
        // A leftover in files/ without its info file.
        if (moved.error().code == FileErrorCode::Exists) continue;
        return moved.error();
    }
    return FileError{FileErrorCode::TrashCrowded, 0, item};
}

FileStatus Trash::restore(const TrashEntry& entry, const fs::path* target) {
    const fs::path to = target ? *target : entry.originalPath;
    struct stat st {};
    if (lstatOf(to, st)) return fileErrorFromErrno(EEXIST, to);
    std::error_code ec;
    fs::create_directories(to.parent_path(), ec);
    KALDER_TRY(moveNoReplace(entry.filesPath(), to));
    ::unlink(entry.infoPath().c_str());
    return std::monostate{};
}

std::optional<TrashEntry> Trash::readInfo(const fs::path& trashDir, const std::string& name) {
    TrashEntry entry;
    entry.trashDir = trashDir;
    entry.name = name;
    std::ifstream in(entry.infoPath());
    if (!in) return std::nullopt;
    std::string line;
    bool inGroup = false, havePath = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with('[')) {
            inGroup = line == "[Trash Info]";
            continue;
        }
        if (!inGroup) continue;
        if (line.starts_with("Path=")) {
            const auto decoded = decodePath(std::string_view(line).substr(5));
            if (!decoded || decoded->empty()) return std::nullopt;
            const fs::path p(*decoded);
            entry.originalPath = p.is_absolute() ? p : topOfTrash(trashDir) / p;
            havePath = true;
        } else if (line.starts_with("DeletionDate=")) {
            entry.deletionDate = line.substr(13);
        }
    }
    if (!havePath) return std::nullopt;
    return entry;
}

std::vector<TrashEntry> Trash::list(const fs::path& trashDir) const {
    const fs::path dir = trashDir.empty() ? m_homeTrash : trashDir;
    std::vector<TrashEntry> out;
    std::error_code ec;
    for (fs::directory_iterator it(dir / "info", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        constexpr std::string_view kSuffix = ".trashinfo";
        if (file.size() <= kSuffix.size() || !file.ends_with(kSuffix)) continue;
        if (auto e = readInfo(dir, file.substr(0, file.size() - kSuffix.size()))) out.push_back(*e);
    }
    return out;
}

}  // namespace kalder::shell
