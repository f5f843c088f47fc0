#include "shell/tcp_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kalder::shell {
namespace {

struct AddrInfoFree {
    void operator()(addrinfo* a) const { freeaddrinfo(a); }
};

timeval toTimeval(std::chrono::milliseconds t) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(t.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((t.count() % 1000) * 1000);
    return tv;
}

int pollMs(std::chrono::milliseconds t) {
    return t.count() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(t.count());
}

// Connects without blocking longer than the timeout, then leaves the socket blocking.
int connectOne(const addrinfo& a, std::chrono::milliseconds timeout, int& err) {
    const int fd =
        ::socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a.ai_protocol);
    if (fd < 0) {
        err = errno;
        return -1;
    }
    int rc = ::connect(fd, a.ai_addr, a.ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        do {
            rc = ::poll(&p, 1, pollMs(timeout));
        } while (rc < 0 && errno == EINTR);
        if (rc == 0) {
            err = ETIMEDOUT;
        } else if (rc > 0) {
            socklen_t len = sizeof err;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        } else {
            err = errno;
        }
        rc = err == 0 ? 0 : -1;
    } else if (rc != 0) {
        err = errno;
    }
    if (rc != 0) {
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    const timeval tv = toTimeval(timeout);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0) {
        err = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::string netErrorMessage(const NetError& error) {
    switch (error.code) {
        case NetErrorCode::UnknownHost:
        case NetErrorCode::Unreachable:
        case NetErrorCode::TlsFailed:
            return error.detail;
        case NetErrorCode::CaFileUnreadable:
            return "Can't read the certificate file " + error.detail + ".";
        case NetErrorCode::NoTrustStore:
            return "No trusted certificates were found on this system.";
        case NetErrorCode::Untrusted:
            return "The server's certificate is not trusted" +
                   (error.detail.empty() ? std::string() : ": " + error.detail);
        case NetErrorCode::TimedOut:
            return "the server did not answer in time";
        case NetErrorCode::Closed:
            return "the server closed the connection";
        case NetErrorCode::Broken:
            return error.detail;
    }
    return error.detail;
}

NetResult<std::unique_ptr<TcpSocket>> TcpSocket::connect(const std::string& host,
                                                         std::uint16_t port,
                                                         std::chrono::milliseconds timeout) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int gai = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (gai != 0) return NetError{NetErrorCode::UnknownHost, host + ": " + ::gai_strerror(gai)};
    std::unique_ptr<addrinfo, AddrInfoFree> list(found);
    int err = 0;
    for (const addrinfo* a = list.get(); a; a = a->ai_next) {
        const int fd = connectOne(*a, timeout, err);
        if (fd >= 0) return std::unique_ptr<TcpSocket>(new TcpSocket(fd));
    }
    return NetError{NetErrorCode::Unreachable,
                    host + ":" + service + ": " + std::strerror(err ? err : ECONNREFUSED)};
}

TcpSocket::~TcpSocket() {
    if (m_fd >= 0) ::close(m_fd);
}

namespace {

// A failed send() or recv(): a socket timeout shows as EAGAIN.
NetError streamError(int err) {
    if (err == EAGAIN || err == EWOULDBLOCK) return {NetErrorCode::TimedOut, {}};
    return {NetErrorCode::Broken, std::strerror(err)};
}

}  // namespace

std::ptrdiff_t TcpSocket::sendSome(const void* data, std::size_t size) {
    ssize_t n;
    do {
        n = ::send(m_fd, data, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
}

std::ptrdiff_t TcpSocket::receiveSome(void* data, std::size_t size) {
    ssize_t n;
    do {
        n = ::recv(m_fd, data, size, 0);
    } while (n < 0 && errno == EINTR);
    return n;
}

int TcpSocket::waitReadable(std::chrono::milliseconds timeout) {
    pollfd p{m_fd, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, pollMs(timeout));
    } while (rc < 0 && errno == EINTR);
    return rc < 0 ? -1 : rc > 0 ? 1 : 0;
}

NetResult<std::monostate> TcpSocket::sendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto n = sendSome(bytes.data(), bytes.size());
        if (n <= 0) return streamError(n < 0 ? errno : EPIPE);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return std::monostate{};
}

NetResult<std::size_t> TcpSocket::receive(std::span<char> buffer) {
    const auto n = receiveSome(buffer.data(), buffer.size());
    if (n < 0) return streamError(errno);
    if (n == 0) return NetError{NetErrorCode::Closed, {}};
    return static_cast<std::size_t>(n);
}

}  // namespace kalder::shell
