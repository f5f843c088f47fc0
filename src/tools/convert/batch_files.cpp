#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "tools/convert/batch_files_p.h"

namespace kalder::tools::detail {

bool makeTemporary(const std::filesystem::path& folder, std::filesystem::path& out) {
    std::string name = (folder / "brxXXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    ::close(fd);
    out = name;
    return true;
}

void applySourceStatus(const std::filesystem::path& path, const struct stat& source,
                       bool withTime) {
    // Best effort, as copying attributes is: the converted file is there either way. Only the
    // permission bits: a set-user-ID bit has no business on a picture we wrote.
    (void)::chmod(path.c_str(), source.st_mode & 0777);
    if (withTime) {
        const struct timespec times[2] = {source.st_atim, source.st_mtim};
        (void)::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
}

bool isReadOnly(const struct stat& st) {
    const uid_t uid = ::geteuid();
    if (uid == 0 || uid == st.st_uid) return (st.st_mode & S_IWUSR) == 0;
    if (::getegid() == st.st_gid) return (st.st_mode & S_IWGRP) == 0;
    return (st.st_mode & S_IWOTH) == 0;
}

}  // namespace kalder::tools::detail
