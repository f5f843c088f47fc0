#include "shell/companion.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "base/read_file.h"
#include "base/strings.h"
#include "shell/pe_version.h"
#include "shell/places.h"
#include "shell/process.h"

namespace kalder::shell {

namespace fs = std::filesystem;

namespace {

bool peIsCompanion(const fs::path& file) {
    constexpr std::size_t kMaxExeBytes = 256u << 20;
    const auto bytes = base::readFile(file, kMaxExeBytes);
    if (!bytes.ok()) return false;
    const std::optional<PeVersionInfo> info = readPeVersionInfo(*bytes);
    if (!info) return false;
    for (const PeVersionInfo::Translation& t : info->translations)
        if (const auto name = info->value(t, "ProductName");
            name && base::equalsIgnoringCase(*name, kCompanionProduct))
            return true;
    return false;
}

bool nativeIsCompanion(const fs::path& file, std::chrono::milliseconds timeout) {
    if (::access(file.c_str(), X_OK) != 0) return false;
    const ProcessResult r =
        runProcessFor({file.string(), "--version"}, static_cast<int>(timeout.count()));
    if (!r.started || r.timedOut) return false;
    std::istringstream lines(r.output);
    std::string first;
    lines >> first;
    return base::equalsIgnoringCase(first, kCompanionProduct);
}

}  // namespace

bool IsCompanionExe(const fs::path& file, std::chrono::milliseconds versionTimeout) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return false;
    char magic[2] = {};
    std::ifstream(file, std::ios::binary).read(magic, 2);
    if (magic[0] == 'M' && magic[1] == 'Z') return peIsCompanion(file);
    return nativeIsCompanion(file, versionTimeout);
}

bool isCompanionFileName(std::string_view name) {
    return base::equalsIgnoringCase(name, "Lumid.exe") || base::equalsIgnoringCase(name, "lumid");
}

std::vector<fs::path> fixedDiskRoots() {
    std::vector<fs::path> roots{"/"};
    for (const MountEntry& m : parseMounts(currentMountsText()))
        if (m.mountPoint != "/" && userMountKind(m) == PlaceKind::Drive)
            roots.push_back(m.mountPoint);
    return roots;
}

CompanionSearch findCompanion(const std::vector<fs::path>& roots, const std::function<bool()>& stop,
                              const std::function<bool(const fs::path&)>& accept) {
    CompanionSearch result;
    const auto test = accept ? accept : [](const fs::path& p) { return IsCompanionExe(p); };
    for (const fs::path& root : roots) {
        struct stat rootStat {};
        if (::lstat(root.c_str(), &rootStat) != 0 || !S_ISDIR(rootStat.st_mode)) continue;
        // A stack of folders still to list; each folder's sub-folders go on in reverse so that
        // the first listed is searched first.
        std::vector<fs::path> pending{root};
        while (!pending.empty()) {
            if (stop && stop()) {
                result.stopped = true;
                return result;
            }
            const fs::path folder = std::move(pending.back());
            pending.pop_back();
            DIR* dir = ::opendir(folder.c_str());
            if (!dir) continue;
            std::vector<fs::path> subFolders;
            while (const dirent* e = ::readdir(dir)) {
                if (e->d_name[0] == '.') continue;
                const fs::path path = folder / e->d_name;
                struct stat st {};
                if (::lstat(path.c_str(), &st) != 0) continue;
                if (S_ISDIR(st.st_mode)) {
                    if (st.st_dev == rootStat.st_dev) subFolders.push_back(path);
                } else if (S_ISREG(st.st_mode) && isCompanionFileName(e->d_name) && test(path)) {
                    ::closedir(dir);
                    result.found = path;
                    return result;
                }
            }
            ::closedir(dir);
            pending.insert(pending.end(), subFolders.rbegin(), subFolders.rend());
        }
    }
    return result;
}

}  // namespace kalder::shell
