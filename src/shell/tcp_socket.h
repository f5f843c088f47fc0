#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

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
    // Writes every byte; false on an error or a timeout (lastError() tells which).
    [[nodiscard]] virtual bool sendAll(std::string_view bytes) = 0;
    // Bytes read (> 0), 0 when the peer closed the connection, -1 on an error or a timeout.
    [[nodiscard]] virtual std::ptrdiff_t receive(std::span<char> buffer) = 0;
    virtual const std::string& lastError() const = 0;
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

    bool sendAll(std::string_view bytes) override;
    std::ptrdiff_t receive(std::span<char> buffer) override;
    const std::string& lastError() const override { return m_error; }

    // One send() call: bytes written or -1 with errno set (for the TLS layer's transport).
    std::ptrdiff_t sendSome(const void* data, std::size_t size);
    // One recv() call: bytes read, 0 at the end, or -1 with errno set.
    std::ptrdiff_t receiveSome(void* data, std::size_t size);
    // Waits until data can be read: 1 ready, 0 timed out, -1 error.
    int waitReadable(std::chrono::milliseconds timeout);

    int descriptor() const { return m_fd; }

private:
    explicit TcpSocket(int fd) : m_fd(fd) {}
    void noteError(int err);

    int m_fd = -1;
    std::string m_error;
};

}  // namespace kalder::shell
