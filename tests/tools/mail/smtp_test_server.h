#pragma once
// A real SMTP server on loopback for the mail tests, started and stopped by the test itself.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace kalder::test {

// Modes: plain (a mailbox that refuses recipients starting with "nobody"), starttls, smtps,
// auth (user "ann", password "secret"), silent (accepts and never answers), longreply.
// Once it listens, the server says "ready" on file descriptor 3.
inline constexpr char kSmtpServerScript[] = R"PY(
import os, signal, socket, ssl, sys
mode, port, maildir = sys.argv[1], int(sys.argv[2]), sys.argv[3]
def ready(): os.write(3, b"ready\n"); os.close(3)
if mode in ("silent", "longreply"):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", port)); s.listen(8); held = []
    ready()
    while True:
        c, _ = s.accept(); held.append(c)
        if mode == "longreply": c.sendall(b"220 " + b"x" * 1200 + b"\r\n")
from aiosmtpd.controller import Controller
from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import AuthResult, LoginPassword
class Box(Mailbox):
    async def handle_RCPT(self, server, session, envelope, address, options):
        if address.startswith("nobody"): return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address); return "250 OK"
kw = {}
if mode in ("starttls", "smtps"):
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(sys.argv[4], sys.argv[5])
    kw = dict(tls_context=ctx, require_starttls=True) if mode == "starttls" else dict(ssl_context=ctx)
if mode == "auth":
    def check(server, session, envelope, mechanism, data):
        return AuthResult(success=isinstance(data, LoginPassword) and data.login == b"ann"
                          and data.password == b"secret", handled=False)
    kw = dict(authenticator=check, auth_require_tls=False, auth_required=True)
c = Controller(Box(maildir), hostname="127.0.0.1", port=port, **kw)
c.start()
signal.signal(signal.SIGTERM, lambda *a: (c.stop(), sys.exit(0)))
ready()
signal.pause()
)PY";

inline bool haveSmtpServer() {
    return std::system("/usr/bin/python3 -c 'import aiosmtpd' >/dev/null 2>&1") == 0;
}

inline int freeTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// A self-signed certificate for 127.0.0.1 (cert.pem, key.pem in the folder); false without
// openssl.
inline bool makeTestCertificate(const std::filesystem::path& dir) {
    const std::string cmd =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
        "-nodes -days 2 -subj /CN=127.0.0.1 -addext "
        "subjectAltName=IP:127.0.0.1 -keyout '" +
        (dir / "key.pem").string() + "' -out '" + (dir / "cert.pem").string() + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

class SmtpTestServer {
public:
    SmtpTestServer(const std::filesystem::path& dir, const std::string& mode)
        : m_port(freeTcpPort()), m_maildir(dir / ("mail-" + mode)) {
        const auto script = dir / "smtp_server.py";
        std::ofstream(script) << kSmtpServerScript;
        std::vector<std::string> args = {
            "/usr/bin/python3",        script.string(),    mode,
            std::to_string(m_port),    m_maildir.string(), (dir / "cert.pem").string(),
            (dir / "key.pem").string()};
        // Everything the child needs is built before fork: after it, only exec-safe calls.
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string logPath = (dir / (mode + ".log")).string();
        // The server's word that it listens arrives through a pipe; its end (a crash) does too.
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            // The server's tracebacks for the failures we provoke belong in its log, not ours.
            const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0) {
                ::dup2(log, 1);
                ::dup2(log, 2);
            }
            if (ready[1] == 3)
                ::fcntl(3, F_SETFD, 0);
            else
                ::dup2(ready[1], 3);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(ready[1]);
        // Python starts in a fraction of a second; the timeout only bounds a broken setup.
        pollfd wait{ready[0], POLLIN, 0};
        char said[6] = {};
        m_ready = m_pid > 0 && ::poll(&wait, 1, 10000) == 1 &&
                  ::read(ready[0], said, sizeof said) == 6 && std::memcmp(said, "ready\n", 6) == 0;
        ::close(ready[0]);
    }
    ~SmtpTestServer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    bool ready() const { return m_ready; }
    int port() const { return m_port; }
    // The delivered messages, one file each.
    std::vector<std::filesystem::path> messages() const {
        std::vector<std::filesystem::path> out;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(m_maildir / "new", ec))
            out.push_back(e.path());
        return out;
    }

private:
    int m_port;
    std::filesystem::path m_maildir;
    pid_t m_pid = -1;
    bool m_ready = false;
};

// Parses a delivered message with Python's email package: writes each attachment's bytes to
// DIR/part-N and returns the lines "subject: ...", "from: ...", "to: ...", "rcpt: ...", then
// "name: ..." and "type: ..." per attachment and "text: ...".
inline std::string parseDeliveredMessage(const std::filesystem::path& message,
                                         const std::filesystem::path& dir) {
    const auto script = dir / "parse_mail.py";
    std::ofstream(script) << R"PY(
import email, email.policy, sys
m = email.message_from_binary_file(open(sys.argv[1], "rb"), policy=email.policy.default)
print("subject:", m["subject"]); print("from:", m["from"].addresses[0].display_name)
print("to:", ", ".join(a.addr_spec for a in m["to"].addresses)); print("rcpt:", m["x-rcptto"])
n = 0
for part in m.iter_parts():
    if part.get_content_type() == "text/plain":
        print("text:", repr(part.get_content()))
    else:
        print("name:", part.get_filename()); print("type:", part.get_content_type())
        open("%s/part-%d" % (sys.argv[2], n), "wb").write(part.get_content()); n += 1
)PY";
    const std::string cmd = "/usr/bin/python3 '" + script.string() + "' '" + message.string() +
                            "' '" + dir.string() + "'";
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

}  // namespace kalder::test
