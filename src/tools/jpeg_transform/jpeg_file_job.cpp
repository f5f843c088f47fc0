#include "tools/jpeg_transform/jpeg_file_job.h"

#include <errno.h>
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

// Writes the whole of `from` over the content of `to`, whose inode (and with it every hard link,
// the owner and the permissions) stays. A read-only `to` is opened by lending its owner write
// permission for the time of the write when `force` is set. `touched` tells whether `to` was
// opened for writing at all.
bool rewriteInPlace(const fs::path& from, const fs::path& to, unsigned mode, bool force,
                    bool& touched) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = ::open(to.c_str(), O_WRONLY | O_CLOEXEC);
    const bool lent = out < 0 && errno == EACCES && force && (mode & S_IWUSR) == 0 &&
                      ::chmod(to.c_str(), static_cast<mode_t>(mode | S_IWUSR)) == 0;
    if (lent) out = ::open(to.c_str(), O_WRONLY | O_CLOEXEC);
    bool ok = out >= 0;
    touched = ok;
    off_t total = 0;
    std::vector<char> buffer(1 << 16);
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            if (ok) done += w;
        }
        total += n;
    }
    if (ok) ok = ::ftruncate(out, total) == 0 && ::fsync(out) == 0;
    if (out >= 0) ok = ::close(out) == 0 && ok;
    ::close(in);
    if (lent) ::chmod(to.c_str(), static_cast<mode_t>(mode));
    return ok;
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
                                      const JpegFileOptions& fileOptions,
                                      const JpegTransformProgress& progress) {
    const auto status = readFileStatus(source);
    if (!status) return failed("cannot read the file");
    std::error_code ec;
    // A link keeps pointing where it did; the data lands on the file it names.
    fs::path real = target;
    if (fs::is_symlink(target, ec)) {
        real = fs::canonical(target, ec);
        if (ec) return failed("the link points to no file");
    }
    struct stat existing {};
    const bool exists = ::stat(real.c_str(), &existing) == 0;
    if (exists && (existing.st_mode & S_IWUSR) == 0 && !fileOptions.overwriteReadOnly) {
        JpegTransformResult r = failed("the file is read-only");
        r.readOnly = true;
        return r;
    }
    const fs::path folder = real.has_parent_path() ? real.parent_path() : fs::path(".");
    const fs::path temp = makeTempFile(folder);
    if (temp.empty()) return failed("cannot create a temporary file");
    JpegTransformResult r = transformJpeg(source, temp, operation, options, progress);
    if (!r.done) {
        fs::remove(temp, ec);
        return r;
    }
    // Renaming gives the target a new inode: other names of it would keep the old picture, and
    // the owner becomes ours unless the temporary file can take it over.
    bool rewrite = exists && existing.st_nlink > 1;
    if (exists && !rewrite) {
        struct stat own {};
        const bool sameOwner = ::stat(temp.c_str(), &own) == 0 && own.st_uid == existing.st_uid &&
                               own.st_gid == existing.st_gid;
        rewrite = !sameOwner && ::chown(temp.c_str(), existing.st_uid, existing.st_gid) != 0;
    }
    if (rewrite) {
        bool touched = false;
        if (!rewriteInPlace(temp, real, existing.st_mode & 07777, fileOptions.overwriteReadOnly,
                            touched)) {
            if (!touched) {
                fs::remove(temp, ec);
                return failed("cannot write the file");
            }
            // The target may be half written; the complete result must not go too.
            r.done = false;
            r.keptCopy = temp;
            r.error = "cannot rewrite the file; the transformed copy is kept as " + temp.string();
            return r;
        }
        fs::remove(temp, ec);
        applyFileStatus(real, *status, fileOptions.preserveDate);
        return r;
    }
    // The temporary file is ours (mode 0600) until it takes the target's place.
    applyFileStatus(temp, *status, fileOptions.preserveDate);
    fs::rename(temp, real, ec);
    if (ec) {
        fs::remove(temp, ec);
        return failed("cannot replace the target");
    }
    return r;
}

}  // namespace kalder::tools
