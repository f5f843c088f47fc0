#pragma once

#include <unistd.h>

namespace kalder::base {

// Owns a file descriptor and closes it on every path out of the scope.
class UniqueFd {
public:
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    // Closes now, for callers that must know whether the close (the last write-back) worked.
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int m_fd;
};

}  // namespace kalder::base
