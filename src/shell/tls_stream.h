#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "shell/tcp_socket.h"

namespace kalder::shell {

struct TlsOptions {
    // A PEM file of certificates trusted besides the system's store (empty: none).
    std::string extraCaFile;
    std::chrono::milliseconds timeout{30000};
};

// TLS over a connected socket. The server's certificate must chain to a trusted authority and
// name the host we connected to; otherwise the handshake fails and nothing else is sent.
class TlsStream final : public ByteStream {
public:
    // Runs the handshake over the socket, which must outlive the stream.
    static NetResult<std::unique_ptr<TlsStream>> start(TcpSocket& socket, const std::string& host,
                                                       const TlsOptions& options);
    ~TlsStream() override;
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    NetResult<std::monostate> sendAll(std::string_view bytes) override;
    NetResult<std::size_t> receive(std::span<char> buffer) override;

    struct State;

private:
    explicit TlsStream(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

}  // namespace kalder::shell
