#include "shell/file_operations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kalder::shell {
namespace fs = std::filesystem;
namespace {

bool pathExists(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

bool isDirectory(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

fs::path canonicalOrSelf(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::weakly_canonical(fs::absolute(p, ec), ec);
    return ec ? p.lexically_normal() : c;
}

}  // namespace

bool isSameOrInside(const fs::path& folder, const fs::path& candidate) {
    if (folder.empty()) return false;
    // Whole components, without empty ones, so "/a/b/" is "/a/b" and "/a/bc" is not inside it;
    // an absolute path starts with the component "/", so a relative one never matches it.
    const auto components = [](const fs::path& p) {
        std::vector<std::string> parts;
        for (const fs::path& part : p.lexically_normal())
            if (!part.empty()) parts.push_back(part.string());
        return parts;
    };
    const std::vector<std::string> outer = components(folder);
    const std::vector<std::string> inner = components(candidate);
    return inner.size() >= outer.size() && std::equal(outer.begin(), outer.end(), inner.begin());
}

bool isValidFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

void FileOperations::journal(Kind kind, std::vector<Item> items) {
    if (!items.empty()) m_journal.push_back({kind, std::move(items)});
}

FileStatus FileOperations::checkDestination(const std::vector<fs::path>& sources,
                                            const fs::path& folder) {
    if (folder.empty() || !isDirectory(folder) || ::access(folder.c_str(), X_OK) != 0)
        return FileError{FileErrorCode::InvalidDestination, 0, folder};
    const fs::path dest = canonicalOrSelf(folder);
    for (const fs::path& source : sources) {
        if (!isDirectory(source)) continue;
        if (isSameOrInside(canonicalOrSelf(source), dest))
            return FileError{FileErrorCode::IntoOwnSubfolder, 0, source};
    }
    return std::monostate{};
}

OperationResult FileOperations::deleteFiles(const std::vector<fs::path>& paths, bool toTrash) {
    OperationResult result;
    std::vector<Item> items;
    for (const fs::path& p : paths) {
        if (toTrash) {
            FileResult<TrashEntry> entry = m_trash.moveToTrash(p);
            if (!entry) {
                result.ok = false;
                result.errors.push_back(entry.error());
                continue;
            }
            items.push_back({p, entry->filesPath(), *entry, std::nullopt});
        } else {
            std::error_code ec;
            if (!pathExists(p))
                ec = std::make_error_code(std::errc::no_such_file_or_directory);
            else
                fs::remove_all(p, ec);
            if (ec) {
                result.ok = false;
                result.errors.push_back(fileErrorFrom(ec, p));
                continue;
            }
        }
        result.done.push_back(p);
    }
    journal(Kind::Trashed, std::move(items));
    return result;
}

OperationResult FileOperations::transfer(const std::vector<fs::path>& paths, const fs::path& folder,
                                         const ConflictHandler& onConflict, bool move) {
    OperationResult result;
    if (FileStatus usable = checkDestination(paths, folder); !usable) {
        result.ok = false;
        result.errors.push_back(usable.error());
        return result;
    }
    std::vector<Item> items;
    for (const fs::path& source : paths) {
        const fs::path target = folder / source.filename();
        Item item{source, target, std::nullopt, std::nullopt};
        if (!pathExists(source)) {
            result.ok = false;
            result.errors.push_back(fileErrorFromErrno(ENOENT, source));
            continue;
        }
        if (pathExists(target)) {
            std::error_code ec;
            if (fs::equivalent(source, target, ec)) {
                if (move) continue;  // already there
                result.ok = false;
                result.errors.push_back(FileError{FileErrorCode::SameFile, 0, source});
                continue;
            }
            const ConflictChoice choice =
                onConflict ? onConflict(source, target) : ConflictChoice::Skip;
            if (choice == ConflictChoice::Cancel) {
                result.aborted = true;
                break;
            }
            if (choice == ConflictChoice::Skip) continue;
            FileResult<TrashEntry> replaced = m_trash.moveToTrash(target);
            if (!replaced) {
                // Without a safe place for the old file the new one does not go there.
                result.ok = false;
                result.errors.push_back(replaced.error());
                continue;
            }
            item.replaced = std::move(*replaced);
        }
        const FileStatus done = move ? moveNoReplace(source, target) : copyTree(source, target);
        if (!done) {
            result.ok = false;
            result.errors.push_back(done.error());
            if (item.replaced) (void)m_trash.restore(*item.replaced);
            continue;
        }
        result.done.push_back(source);
        items.push_back(std::move(item));
    }
    journal(move ? Kind::Moved : Kind::Copied, std::move(items));
    return result;
}

OperationResult FileOperations::copyTo(const std::vector<fs::path>& paths, const fs::path& folder,
                                       const ConflictHandler& onConflict) {
    return transfer(paths, folder, onConflict, false);
}

OperationResult FileOperations::moveTo(const std::vector<fs::path>& paths, const fs::path& folder,
                                       const ConflictHandler& onConflict) {
    return transfer(paths, folder, onConflict, true);
}

OperationResult FileOperations::rename(const fs::path& from, const std::string& newName) {
    OperationResult result;
    const fs::path to = from.parent_path() / newName;
    if (!isValidFileName(newName)) {
        result.ok = false;
        result.errors.push_back(FileError{FileErrorCode::InvalidName, EINVAL, to});
        return result;
    }
    if (to == from) return result;
    if (FileStatus renamed = renameNoReplace(from, to); !renamed) {
        result.ok = false;
        result.errors.push_back(renamed.error());
        return result;
    }
    result.done.push_back(from);
    journal(Kind::Renamed, {{from, to, std::nullopt, std::nullopt}});
    return result;
}

FileResult<fs::path> FileOperations::newFolder(const fs::path& parent, std::time_t now) {
    std::vector<std::string> names{"New Folder"};
    for (int i = 2; i <= 5; ++i) names.push_back("New Folder " + std::to_string(i));
    std::tm local{};
    localtime_r(&now, &local);
    char suffix[32];
    std::strftime(suffix, sizeof suffix, " %j%H%M%S", &local);
    names.push_back(std::string("New Folder") + suffix);
    for (const std::string& name : names) {
        const fs::path p = parent / name;
        if (::mkdir(p.c_str(), 0777) == 0) {
            journal(Kind::CreatedFolder, {{p, p, std::nullopt, std::nullopt}});
            return p;
        }
    }
    return FileError{FileErrorCode::CannotCreateFolder, errno, parent};
}

FileStatus FileOperations::undoItem(Kind kind, const Item& item) {
    switch (kind) {
        case Kind::Trashed:
            return m_trash.restore(*item.trashed);
        case Kind::Copied:
            // The copy goes to the trash rather than away for good.
            KALDER_TRY(m_trash.moveToTrash(item.to));
            break;
        case Kind::Moved:
            KALDER_TRY(moveNoReplace(item.to, item.from));
            break;
        case Kind::Renamed:
            return renameNoReplace(item.to, item.from);
        case Kind::CreatedFolder:
            if (::rmdir(item.to.c_str()) != 0) return fileErrorFromErrno(errno, item.to);
            return std::monostate{};
    }
    if (item.replaced) return m_trash.restore(*item.replaced);
    return std::monostate{};
}

OperationResult FileOperations::undo() {
    OperationResult result;
    if (m_journal.empty()) return result;
    Record& record = m_journal.back();
    std::vector<Item> left;
    // Reverse order, so items that depend on each other unwind cleanly.
    for (auto it = record.items.rbegin(); it != record.items.rend(); ++it) {
        const FileStatus undone = undoItem(record.kind, *it);
        if (undone) {
            result.done.push_back(it->to);
            continue;
        }
        result.ok = false;
        result.errors.push_back(undone.error());
        left.insert(left.begin(), *it);
    }
    if (left.empty())
        m_journal.pop_back();
    else
        record.items = std::move(left);
    return result;
}

}  // namespace kalder::shell
