#pragma once

// One file of a transformation run: the result goes through a temporary file beside the target,
// which replaces the target only after success, and the target gets the source's permissions
// and times. A symbolic link stays a link: the file it points to is the one rewritten.

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

struct JpegFileOptions {
    bool preserveDate = false;  // keep the source's modification time on the target
    // Rewrite a target its owner may not write to; without it such a target is refused.
    bool overwriteReadOnly = false;
};

// Transforms `source` into `target` (the same path for in place). On anything but done the
// target is as it was and no temporary file remains, with one exception: when a file with
// several hard links fails while its content is rewritten, the complete result is kept in
// `keptCopy` and the error says so.
//
// A target that is a symbolic link is followed; the link stays. A target with one name is
// replaced by renaming; one with several (hard links), or whose owner the temporary file
// cannot take, is rewritten in place from the complete temporary file, so every name, the
// owner and the permissions stay.
JpegTransformResult transformJpegFile(const std::filesystem::path& source,
                                      const std::filesystem::path& target, JpegOperation operation,
                                      const JpegTransformOptions& options,
                                      const JpegFileOptions& fileOptions,
                                      const JpegTransformProgress& progress = {});

}  // namespace kalder::tools
