#pragma once

// The companion editor: a separate image-cleaning program the viewer hands images to. It is
// found on disk and recognised by its product name, never by its file name alone.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace kalder::shell {

inline constexpr std::string_view kCompanionProduct = "Lumidrex";

// A Windows executable passes when a translation of its version resource has the product name
// (ignoring case); any other executable when the first word of the first line its `--version`
// prints is the product name, within `versionTimeout`.
bool IsCompanionExe(const std::filesystem::path& file,
                    std::chrono::milliseconds versionTimeout = std::chrono::seconds(5));

// Whether a file name is one the companion is installed under ("Lumid.exe", or "lumid" for a
// native build), ignoring case.
bool isCompanionFileName(std::string_view name);

// The roots "Find automatically" searches: the root file system and the other local fixed
// disks, each searched without leaving its own file system.
std::vector<std::filesystem::path> fixedDiskRoots();

struct CompanionSearch {
    std::optional<std::filesystem::path> found;
    bool stopped = false;  // `stop` answered true
};

// Depth-first over each root, sub-folders in listing order, names starting with "." skipped,
// symbolic links not followed. `stop` is asked before each folder is listed; `accept` tests
// each candidate file (IsCompanionExe by default).
CompanionSearch findCompanion(const std::vector<std::filesystem::path>& roots,
                              const std::function<bool()>& stop,
                              const std::function<bool(const std::filesystem::path&)>& accept = {});

}  // namespace kalder::shell
