#include "tools/jpeg_transform/jpeg_file_job.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <system_error>
#include <vector>

namespace kalder::tools {
namespace {

namespace fs = std::filesystem;

// A fresh, empty file in `folder`; empty path when none can be made.
fs::path makeTempFile(const fs::path& folder) {
    std::string pattern = (folder / (std::string(kTempPrefix) + "XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) return {};
    ::close(fd);
    return fs::path(buffer.data());
}

JpegTransformResult failed(const char* message) {
    JpegTransformResult r;
    r.error = message;
    return r;
}

}  // namespace

std::optional<FileStatus> readFileStatus(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    FileStatus s;
    s.mode = st.st_mode & 07777;
    s.accessed = {st.st_atim.tv_sec, st.st_atim.tv_nsec};
    s.modified = {st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    return s;
}

bool applyFileStatus(const fs::path& path, const FileStatus& status, bool keepModified) {
    bool ok = ::chmod(path.c_str(), static_cast<mode_t>(status.mode)) == 0;
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(status.accessed.seconds);
    times[0].tv_nsec = status.accessed.nanoseconds;
    times[1].tv_sec = static_cast<time_t>(status.modified.seconds);
    times[1].tv_nsec = keepModified ? status.modified.nanoseconds : UTIME_OMIT;
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 && ok;
}

JpegTransformResult transformJpegFile(const fs::path& source, const fs::path& target,
                                      JpegOperation operation, const JpegTransformOptions& options,
                                      bool preserveDate, const JpegTransformProgress& progress) {
    const auto status = readFileStatus(source);
    if (!status) return failed("cannot read the file");
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const fs::path temp = makeTempFile(folder);
    if (temp.empty()) return failed("cannot create a temporary file");
    JpegTransformResult r = transformJpeg(source, temp, operation, options, progress);
    std::error_code ec;
    if (!r.done) {
        fs::remove(temp, ec);
        return r;
    }
    // The temporary file is ours (mode 0600) until it takes the target's place.
    applyFileStatus(temp, *status, preserveDate);
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return failed("cannot replace the target");
    }
    return r;
}

}  // namespace kalder::tools
