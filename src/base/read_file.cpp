#include "base/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/unique_fd.h"

namespace kalder::base {
namespace {

template <typename Bytes>
Result<Bytes, FileError> readInto(const std::filesystem::path& path, std::size_t maxBytes,
                                  OverLimit overLimit) {
    if (path.empty()) return FileError::Missing;
    // Non-blocking, so that a FIFO put in the file's place cannot hang us before the check.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return errno == ENOENT || errno == ENOTDIR ? FileError::Missing : FileError::Io;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return FileError::Io;
    if (!S_ISREG(info.st_mode)) return FileError::NotAFile;
    const auto announced = static_cast<std::uintmax_t>(std::max<off_t>(info.st_size, 0));
    if (announced > maxBytes && overLimit == OverLimit::Fail) return FileError::TooLarge;
    Bytes bytes;
    bytes.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(announced, maxBytes)));
    char buffer[65536];
    for (;;) {
        // One byte past the limit tells a file of exactly maxBytes from a longer one.
        const std::size_t room = maxBytes - bytes.size();
        const std::size_t want = room < sizeof buffer ? room + 1 : sizeof buffer;
        const ssize_t n = ::read(fd.get(), buffer, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (overLimit == OverLimit::Salvage) break;
            return FileError::Io;
        }
        if (n == 0) break;
        const auto got = static_cast<std::size_t>(n);
        if (got > room) {
            if (overLimit == OverLimit::Fail) return FileError::TooLarge;
            // Truncate or Salvage: the file ends at the limit.
            bytes.insert(bytes.end(), buffer, buffer + room);
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

}  // namespace

std::string_view fileErrorMessage(FileError error) {
    switch (error) {
        case FileError::Missing:
            return "no such file";
        case FileError::NotAFile:
            return "not a regular file";
        case FileError::TooLarge:
            return "the file is too large";
        case FileError::Io:
            return "cannot read the file";
    }
    return "read error";
}

Result<std::vector<std::uint8_t>, FileError> readFile(const std::filesystem::path& path,
                                                      std::size_t maxBytes, OverLimit overLimit) {
    return readInto<std::vector<std::uint8_t>>(path, maxBytes, overLimit);
}

Result<std::string, FileError> readTextFile(const std::filesystem::path& path, std::size_t maxBytes,
                                            OverLimit overLimit) {
    return readInto<std::string>(path, maxBytes, overLimit);
}

}  // namespace kalder::base
