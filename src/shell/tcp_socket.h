#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "base/result.h"

namespace kalder::shell {

// Why a connection, or the secure channel over it, could not be set up.
enum class NetErrorCode : std::uint8_t {
    UnknownHost,       // the host name did not resolve
    Unreachable,       // no address of the host accepted the connection
    CaFileUnreadable,  // the extra certificate file could not be read
    NoTrustStore,      // the system has no trusted authorities
    Untrusted,         // the server's certificate failed verification
    TimedOut,          // the server did not answer in time
    TlsFailed,         // any other failure of the TLS library
    Closed,            // the server closed the connection
    Broken,            // a send or receive failed: the system's or the TLS library's words
};
struct NetError {
    NetErrorCode code = NetErrorCode::Unreachable;
    std::string detail;  // the system's own words: host and port, file, verification status
};
// The text for the user.
std::string netErrorMessage(const NetError& error);
template <typename T>
using NetResult = base::Result<T, NetError>;

// A connected byte stream: a plain socket, or TLS running over one.
class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Writes every byte, or says why not (TimedOut, Broken).
    virtual NetResult<std::monostate> sendAll(std::string_view bytes) = 0;
    // Bytes read, at least one; Closed when the peer closed the connection.
    virtual NetResult<std::size_t> receive(std::span<char> buffer) = 0;
};

// A blocking TCP client socket. Every send and receive gives up after the timeout, and a peer
// that went away makes a send fail instead of raising SIGPIPE.
class TcpSocket final : public ByteStream {
public:
    // Tries each address the host name resolves to, in order, until one accepts.
    static NetResult<std::unique_ptr<TcpSocket>> connect(const std::string& host,
                                                         std::uint16_t port,
                                                         std::chrono::milliseconds timeout);
    ~TcpSocket() override;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    NetResult<std::monostate> sendAll(std::string_view bytes) override;
    NetResult<std::size_t> receive(std::span<char> buffer) override;

    // One send() call: bytes written or -1 with errno set (for the TLS layer's transport).
    std::ptrdiff_t sendSome(const void* data, std::size_t size);
    // One recv() call: bytes read, 0 at the end, or -1 with errno set.
    std::ptrdiff_t receiveSome(void* data, std::size_t size);
    // Waits until data can be read: 1 ready, 0 timed out, -1 error.
    int waitReadable(std::chrono::milliseconds timeout);

    int descriptor() const { return m_fd; }

private:
    explicit TcpSocket(int fd) : m_fd(fd) {}

    int m_fd = -1;
};

}  // namespace kalder::shell
