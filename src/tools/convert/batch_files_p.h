#pragma once
// File-system steps shared by a run and its worker.
#include <sys/stat.h>

#include <filesystem>

namespace kalder::tools::detail {

// A new empty file "brx" + six random characters in `folder`; false when none can be made.
bool makeTemporary(const std::filesystem::path& folder, std::filesystem::path& out);
// Gives `path` the source's permission bits and, when `withTime`, its modification time.
void applySourceStatus(const std::filesystem::path& path, const struct stat& source, bool withTime);
// No write permission for us by the permission bits (owner, group or others, whichever applies
// to us; root is treated as the owner, so a 0444 file counts as read-only for root too).
bool isReadOnly(const struct stat& st);

}  // namespace kalder::tools::detail
