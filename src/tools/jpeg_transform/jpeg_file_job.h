#pragma once

// One file of a transformation run: the result goes through a temporary file beside the target,
// which replaces the target only after success, and the target gets the source's permissions
// and times.

#include <filesystem>
#include <optional>

#include "tools/jpeg_transform/jpeg_transform.h"

namespace kalder::tools {

// What a file keeps across the replacement.
struct FileStatus {
    unsigned mode = 0;  // permission bits
    struct Time {
        long long seconds = 0;
        long nanoseconds = 0;
    } accessed, modified;
};

std::optional<FileStatus> readFileStatus(const std::filesystem::path& path);
// Applies the permissions and times; with keepModified false the file keeps its own
// modification time (the time of the transformation).
bool applyFileStatus(const std::filesystem::path& path, const FileStatus& status,
                     bool keepModified);

// The temporary files are named like this in the target's folder.
inline constexpr char kTempPrefix[] = ".brx";

// Transforms `source` into `target` (the same path for in place). On anything but done the
// target is as it was and no temporary file remains. `preserveDate` keeps the source's
// modification time on the target.
JpegTransformResult transformJpegFile(const std::filesystem::path& source,
                                      const std::filesystem::path& target, JpegOperation operation,
                                      const JpegTransformOptions& options, bool preserveDate,
                                      const JpegTransformProgress& progress = {});

}  // namespace kalder::tools
