#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/mail/mail_message.h"

namespace kalder::shell {
class ByteStream;
class TcpSocket;
class TlsStream;
}  // namespace kalder::shell

namespace kalder::tools {

// How the connection to the server is protected. The order is that of the "Security:" list.
enum class MailSecurity : std::int32_t { None = 0, StartTls, Tls };

// "none", "starttls", "tls".
const char* mailSecurityName(MailSecurity security);
std::optional<MailSecurity> mailSecurityFromName(std::string_view name);
// 25, 587 and 465: the ports these are usually served on.
std::int32_t defaultMailPort(MailSecurity security);

struct MailServer {
    std::string host;
    std::int32_t port = 25;
    MailSecurity security = MailSecurity::None;
    std::string user;  // empty: no authentication
    std::string password;
    std::string extraCaFile;  // trusted besides the system's certificates
    std::chrono::milliseconds timeout{30000};
};

// What the sender reports while it works, and how it is asked to stop.
struct MailProgress {
    std::function<void(std::size_t index, std::size_t count, const std::string& name)> onFile;
    std::function<void(std::uint64_t done, std::uint64_t total)> onBytes;
    std::function<bool()> stopRequested;
};

enum class MailOutcome { Sent, MissingFields, ConnectFailed, SendFailed, ReadFailed, Stopped };

struct MailResult {
    MailOutcome outcome = MailOutcome::Sent;
    std::string message;  // the text for the user; empty when sent
    // Recipients the server refused, each as "address: the server's reply". The message went
    // to the others; when it refused every one, nothing was sent.
    std::vector<std::string> refused;
};

// The first reason the message cannot be sent as filled in ("You must fill "To" field.", ...),
// or nullopt.
std::optional<std::string> mailFieldsProblem(const MailServer& server, const MailFields& fields);

// How far the bytes received so far make up one reply.
enum class SmtpReplyState { Incomplete, Positive, Negative, TooLong };

// Moves the complete lines of one reply from the front of `pending` into `reply` (joined with
// line breaks, without CR LF); `lines` counts the lines taken and starts at 0 for each reply.
// Incomplete asks for more bytes; TooLong when a line or the reply exceeds what we accept,
// however the server splits its bytes.
SmtpReplyState takeSmtpReplyLines(std::string& pending, std::string& reply, std::size_t& lines);

// One SMTP conversation over a socket, optionally wrapped in TLS.
class MailSession {
public:
    static constexpr std::size_t kMaxLine = 999;       // a line this long or longer is refused
    static constexpr std::size_t kReplyBuffer = 1000;  // the longest reply line, CR LF included

    MailSession();
    ~MailSession();
    MailSession(const MailSession&) = delete;
    MailSession& operator=(const MailSession&) = delete;

    // Connects, with TLS from the start for MailSecurity::Tls. False with error() set.
    bool connect(const MailServer& server);
    // Switches the open connection to TLS after the server's 220 to STARTTLS.
    bool startTls(const MailServer& server);

    // Sends the text and CR LF; reads the reply when one is expected, which must be positive.
    bool SendLine(std::string_view text, bool expectReply);
    // Reads one reply, all its lines; true when it is positive (2xx or 3xx).
    bool ReadReply();

    // The last reply, its lines joined with line breaks, without the final CR LF.
    const std::string& reply() const { return m_reply; }
    // Why the last call failed when the server did not say (connection, TLS, limits).
    const std::string& error() const { return m_error; }
    // The last connect() reached the server but the secure connection failed.
    bool tlsFailed() const { return m_tlsFailed; }
    void close();

private:
    bool fail(std::string message);

    std::unique_ptr<shell::TcpSocket> m_socket;
    std::unique_ptr<shell::TlsStream> m_tls;  // destroyed before the socket it runs over
    shell::ByteStream* m_stream = nullptr;
    std::string m_pending;  // received bytes after the last reply
    std::string m_reply;
    std::string m_error;
    bool m_tlsFailed = false;
};

// Sends the files as attachments of one message. Texts are bytes of the charset. Never
// finishes a message it could not complete: a stop or an unreadable file drops the connection
// before the final ".", so the server discards what it got.
MailResult sendMail(const MailServer& server, const MailFields& fields,
                    const std::vector<std::filesystem::path>& files, std::string_view charset,
                    const MailClock& clock, std::string_view mailer, const MailProgress& progress);

}  // namespace kalder::tools
