#include "shell/tcp_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "shell/tls_stream.h"

namespace kalder::shell {
namespace {

using std::chrono::milliseconds;

// A loopback listener in the test's own process; accepted connections are ours to script.
class Listener {
public:
    Listener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(::listen(m_fd, 4), 0);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    ~Listener() { ::close(m_fd); }
    std::uint16_t port() const { return m_port; }
    int accept() { return ::accept(m_fd, nullptr, nullptr); }

private:
    int m_fd;
    std::uint16_t m_port;
};

std::unique_ptr<TcpSocket> connectTo(std::uint16_t port) {
    auto socket = TcpSocket::connect("127.0.0.1", port, milliseconds(200));
    EXPECT_TRUE(socket.ok()) << netErrorMessage(socket.error());
    return socket.ok() ? std::move(socket).value() : nullptr;
}

// What a failed start said, or "started".
template <typename T>
std::string failure(const NetResult<T>& r) {
    return r.ok() ? std::string("started") : netErrorMessage(r.error());
}

TEST(TcpSocket, TimeoutsClosedPeersAndRefusals) {
    Listener l;
    auto s = connectTo(l.port());
    ASSERT_TRUE(s);
    const int peer = l.accept();
    char buf[16];
    // Nothing arrives: the receive gives up after the timeout instead of blocking.
    const auto waited = s->receive(buf);
    ASSERT_FALSE(waited.ok());
    EXPECT_EQ(netErrorMessage(waited.error()), "the server did not answer in time");

    ASSERT_TRUE(s->sendAll("ping"));
    ASSERT_EQ(::recv(peer, buf, 4, MSG_WAITALL), 4);
    ::close(peer);
    const auto closed = s->receive(buf);
    ASSERT_FALSE(closed.ok());
    EXPECT_EQ(netErrorMessage(closed.error()), "the server closed the connection");
    // Writing to a closed peer fails (EPIPE or ECONNRESET) and raises no SIGPIPE.
    bool failed = false;
    for (int i = 0; i < 100 && !failed; ++i) failed = !s->sendAll(std::string(4096, 'x'));
    EXPECT_TRUE(failed);

    // Port 1 is privileged and nothing on a test machine listens there.
    const auto refused = TcpSocket::connect("127.0.0.1", 1, milliseconds(200));
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().code, NetErrorCode::Unreachable);
    EXPECT_NE(failure(refused).find("127.0.0.1:1:"), std::string::npos) << failure(refused);
}

TEST(TlsStream, FailsCleanlyOnAPeerThatDoesNotSpeakTls) {
    Listener l;
    auto s = connectTo(l.port());
    ASSERT_TRUE(s);
    const int peer = l.accept();
    const char junk[] = "220 not a TLS server\r\n";
    ASSERT_GT(::send(peer, junk, sizeof junk - 1, 0), 0);
    const auto junkPeer = TlsStream::start(*s, "127.0.0.1", {});
    ASSERT_FALSE(junkPeer.ok());
    EXPECT_FALSE(netErrorMessage(junkPeer.error()).empty());

    TlsOptions missingCa;
    missingCa.extraCaFile = "/nonexistent/ca.pem";
    EXPECT_EQ(failure(TlsStream::start(*s, "127.0.0.1", missingCa)),
              "Can't read the certificate file /nonexistent/ca.pem.");
    ::close(peer);

    // A peer that accepts and stays silent: the handshake ends at the timeout.
    auto quiet = connectTo(l.port());
    ASSERT_TRUE(quiet);
    const int silent = l.accept();
    TlsOptions shortWait;
    shortWait.timeout = milliseconds(200);
    EXPECT_EQ(failure(TlsStream::start(*quiet, "127.0.0.1", shortWait)),
              "the server did not answer in time");
    ::close(silent);
}

}  // namespace
}  // namespace kalder::shell
