#include "shell/file_operations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/translatable.h"

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

std::string FileOperations::checkDestination(const std::vector<fs::path>& sources,
                                             const fs::path& folder) {
    if (folder.empty() || !isDirectory(folder) || ::access(folder.c_str(), X_OK) != 0)
        return QT_TRANSLATE_NOOP("Messages", "Invalid destination folder.");
    const fs::path dest = canonicalOrSelf(folder);
    for (const fs::path& source : sources) {
        if (!isDirectory(source)) continue;
        if (isSameOrInside(canonicalOrSelf(source), dest))
            return QT_TRANSLATE_NOOP("Messages",
                                     "The folder cannot be moved/copied to its own sub-folder.");
    }
    return {};
}

OperationResult FileOperations::deleteFiles(const std::vector<fs::path>& paths, bool toTrash) {
    OperationResult result;
    std::vector<Item> items;
    for (const fs::path& p : paths) {
        std::string error;
        if (toTrash) {
            auto entry = m_trash.moveToTrash(p, error);
            if (!entry) {
                result.ok = false;
                result.errors.push_back(error);
                continue;
            }
            items.push_back({p, entry->filesPath(), entry, std::nullopt});
        } else {
            std::error_code ec;
            if (!pathExists(p))
                ec = std::make_error_code(std::errc::no_such_file_or_directory);
            else
                fs::remove_all(p, ec);
            if (ec) {
                result.ok = false;
                result.errors.push_back(ec.message() + " " + p.string());
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
    if (std::string message = checkDestination(paths, folder); !message.empty()) {
        result.ok = false;
        result.errors.push_back(message);
        return result;
    }
    std::vector<Item> items;
    for (const fs::path& source : paths) {
        const fs::path target = folder / source.filename();
        Item item{source, target, std::nullopt, std::nullopt};
        if (!pathExists(source)) {
            result.ok = false;
            result.errors.push_back(errnoMessage(ENOENT, source));
            continue;
        }
        if (pathExists(target)) {
            std::error_code ec;
            if (fs::equivalent(source, target, ec)) {
                if (move) continue;  // already there
                result.ok = false;
                result.errors.push_back("The source and destination file names are the same. " +
                                        source.string());
                continue;
            }
            const ConflictChoice choice =
                onConflict ? onConflict(source, target) : ConflictChoice::Skip;
            if (choice == ConflictChoice::Cancel) {
                result.aborted = true;
                break;
            }
            if (choice == ConflictChoice::Skip) continue;
            std::string error;
            item.replaced = m_trash.moveToTrash(target, error);
            if (!item.replaced) {
                // Without a safe place for the old file the new one does not go there.
                result.ok = false;
                result.errors.push_back(error);
                continue;
            }
        }
        std::string error;
        const bool done =
            move ? moveNoReplace(source, target, error) : copyTree(source, target, error);
        if (!done) {
            result.ok = false;
            result.errors.push_back(error);
            if (item.replaced) {
                std::string ignored;
                m_trash.restore(*item.replaced, ignored);
            }
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
        result.errors.push_back(errnoMessage(EINVAL, to));
        return result;
    }
    if (to == from) return result;
    if (!renameNoReplace(from, to)) {
        result.ok = false;
        result.errors.push_back(errnoMessage(errno, errno == EEXIST ? to : from));
        return result;
    }
    result.done.push_back(from);
    journal(Kind::Renamed, {{from, to, std::nullopt, std::nullopt}});
    return result;
}

std::optional<fs::path> FileOperations::newFolder(const fs::path& parent, std::string& error,
                                                  std::time_t now) {
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
    error = "Cannot create the folder.";
    return std::nullopt;
}

bool FileOperations::undoItem(Kind kind, const Item& item, std::string& error) {
    switch (kind) {
        case Kind::Trashed:
            return m_trash.restore(*item.trashed, error);
        case Kind::Copied: {
            // The copy goes to the trash rather than away for good.
            if (!m_trash.moveToTrash(item.to, error)) return false;
            break;
        }
        case Kind::Moved:
            if (!moveNoReplace(item.to, item.from, error)) return false;
            break;
        case Kind::Renamed:
            if (!renameNoReplace(item.to, item.from)) {
                error = errnoMessage(errno, errno == EEXIST ? item.from : item.to);
                return false;
            }
            return true;
        case Kind::CreatedFolder:
            if (::rmdir(item.to.c_str()) != 0) {
                error = errnoMessage(errno, item.to);
                return false;
            }
            return true;
    }
    if (item.replaced && !m_trash.restore(*item.replaced, error)) return false;
    return true;
}

OperationResult FileOperations::undo() {
    OperationResult result;
    if (m_journal.empty()) return result;
    Record& record = m_journal.back();
    std::vector<Item> left;
    // Reverse order, so items that depend on each other unwind cleanly.
    for (auto it = record.items.rbegin(); it != record.items.rend(); ++it) {
        std::string error;
        if (undoItem(record.kind, *it, error)) {
            result.done.push_back(it->to);
            continue;
        }
        result.ok = false;
        result.errors.push_back(error);
        left.insert(left.begin(), *it);
    }
    if (left.empty())
        m_journal.pop_back();
    else
        record.items = std::move(left);
    return result;
}

}  // namespace kalder::shell
