#include "tools/mail/mail_session.h"

#include <algorithm>

#include "base/read_file.h"
#include "base/strings.h"
#include "shell/tcp_socket.h"
#include "shell/tls_stream.h"

namespace kalder::tools {
namespace {

constexpr std::size_t kMaxReplyLines = 100;
// 111 bytes are exactly two base64 lines of 74 characters, so the file is encoded piece by
// piece into the same lines as in one go.
constexpr std::size_t kBase64Chunk = 111;
constexpr std::size_t kMaxAttachmentBytes = std::size_t{1} << 31;
const char kCantConnect[] = "Can't connect to the server.";
const char kCantRead[] = "Can't read images.";
const char kSendError[] = "Error sending e-mail:";

std::string base64(std::string_view text) {
    const auto lines =
        base64Lines({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    std::string out;
    for (const auto& l : lines) out += l;
    return out;
}

// The keywords of an EHLO reply, one per line after the greeting line.
bool offers(const std::string& ehloReply, std::string_view keyword, std::string* rest = nullptr) {
    for (const std::string_view part : base::split(ehloReply, '\n')) {
        const std::string line = base::toUpperAscii(part);
        if (line.size() > 4) {
            const std::string body = line.substr(4);
            if (body == keyword || (body.starts_with(keyword) && body.size() > keyword.size() &&
                                    (body[keyword.size()] == ' ' || body[keyword.size()] == '='))) {
                if (rest) *rest = " " + body.substr(keyword.size()) + " ";
                return true;
            }
        }
    }
    return false;
}

std::string heloName(const std::string& fromAddress) {
    const auto at = fromAddress.rfind('@');
    return at == std::string::npos || at + 1 == fromAddress.size() ? std::string("localhost")
                                                                   : fromAddress.substr(at + 1);
}

class Sender {
public:
    Sender(const MailServer& server, MailSession& session) : m_server(server), m_s(session) {}

    MailResult failure(MailOutcome outcome, std::string message) {
        m_s.close();
        return {outcome, std::move(message), {}};
    }
    // The error box text: the server's reply when it gave one, otherwise what went wrong.
    MailResult sendFailure() {
        std::string text = kSendError;
        const std::string& detail = m_s.error().empty() ? m_s.reply() : m_s.error();
        if (detail.size() > 2) text += m_s.error().empty() ? "\n\"" + detail + "\"" : "\n" + detail;
        return failure(MailOutcome::SendFailed, text);
    }

    // Data lines: a leading "." is doubled so that no line of ours ends the message early.
    bool data(const std::string& line) {
        return m_s.SendLine(line.starts_with('.') ? "." + line : line, false);
    }
    bool data(const std::vector<std::string>& lines) {
        return std::all_of(lines.begin(), lines.end(), [&](const auto& l) { return data(l); });
    }

    bool greet(const std::string& fromAddress, std::string& capabilities) {
        if (!m_s.SendLine("EHLO " + heloName(fromAddress), true)) {
            if (!m_s.error().empty()) return false;
            capabilities.clear();
            return m_s.SendLine("HELO " + heloName(fromAddress), true);
        }
        capabilities = m_s.reply();
        return true;
    }

    bool authenticate(const std::string& capabilities) {
        std::string mechanisms;
        if (!offers(capabilities, "AUTH", &mechanisms)) {
            m_s.close();
            return noteLocal("The server does not offer authentication.");
        }
        const std::string& user = m_server.user;
        const std::string& pass = m_server.password;
        if (mechanisms.find(" PLAIN ") != std::string::npos)
            return m_s.SendLine("AUTH PLAIN " + base64(std::string(1, '\0') + user + '\0' + pass),
                                true);
        if (mechanisms.find(" LOGIN ") != std::string::npos)
            return m_s.SendLine("AUTH LOGIN", true) && m_s.SendLine(base64(user), true) &&
                   m_s.SendLine(base64(pass), true);
        return noteLocal("The server offers no supported way to log in (PLAIN or LOGIN).");
    }

    std::string localError;

private:
    bool noteLocal(std::string text) {
        localError = std::move(text);
        return false;
    }
    const MailServer& m_server;
    MailSession& m_s;
};

}  // namespace

const char* mailSecurityName(MailSecurity security) {
    switch (security) {
        case MailSecurity::StartTls:
            return "starttls";
        case MailSecurity::Tls:
            return "tls";
        case MailSecurity::None:
            break;
    }
    return "none";
}

std::optional<MailSecurity> mailSecurityFromName(std::string_view name) {
    for (auto s : {MailSecurity::None, MailSecurity::StartTls, MailSecurity::Tls})
        if (name == mailSecurityName(s)) return s;
    return std::nullopt;
}

std::int32_t defaultMailPort(MailSecurity security) {
    return security == MailSecurity::StartTls ? 587 : security == MailSecurity::Tls ? 465 : 25;
}

std::optional<std::string> mailFieldsProblem(const MailServer& server, const MailFields& fields) {
    if (server.host.empty() || fields.fromAddress.empty())
        return "You must fill at least \"SMTP server name\" and \"From address\" fields in the "
               "Settings dialog.";
    if (splitAddresses(fields.to).empty()) return "You must fill \"To\" field.";
    if (server.port < 1 || server.port > 65535) return "The server port must be 1 to 65535.";
    if (auto field = fieldWithLineBreak(fields))
        return "The field \"" + *field + "\" must not contain line breaks.";
    return std::nullopt;
}

MailSession::MailSession() = default;
MailSession::~MailSession() { close(); }

void MailSession::close() {
    m_stream = nullptr;
    m_tls.reset();
    m_socket.reset();
    m_pending.clear();
}

bool MailSession::fail(std::string message) {
    m_error = std::move(message);
    return false;
}

bool MailSession::connect(const MailServer& server) {
    close();
    m_error.clear();
    m_reply.clear();
    m_tlsFailed = false;
    auto socket = shell::TcpSocket::connect(server.host, static_cast<std::uint16_t>(server.port),
                                            server.timeout);
    if (!socket.ok()) return fail(shell::netErrorMessage(socket.error()));
    m_socket = std::move(socket).value();
    m_stream = m_socket.get();
    if (server.security == MailSecurity::Tls) {
        auto tls =
            shell::TlsStream::start(*m_socket, server.host, {server.extraCaFile, server.timeout});
        if (!tls.ok()) {
            close();
            m_tlsFailed = true;
            return fail(shell::netErrorMessage(tls.error()));
        }
        m_tls = std::move(tls).value();
        m_stream = m_tls.get();
    }
    return true;
}

bool MailSession::startTls(const MailServer& server) {
    if (!m_socket || m_tls) return fail("not connected");
    // Bytes the server sent before the handshake were not protected; a server (or someone in
    // between) sending them is not to be believed.
    if (!m_pending.empty()) {
        close();
        return fail("The server sent data before the secure connection started.");
    }
    auto tls =
        shell::TlsStream::start(*m_socket, server.host, {server.extraCaFile, server.timeout});
    if (!tls.ok()) {
        close();
        return fail(shell::netErrorMessage(tls.error()));
    }
    m_tls = std::move(tls).value();
    m_stream = m_tls.get();
    return true;
}

bool MailSession::SendLine(std::string_view text, bool expectReply) {
    m_error.clear();
    if (!m_stream) return fail("not connected");
    if (text.size() >= kMaxLine) return fail("A line of the message is too long.");
    std::string line(text);
    line += "\r\n";
    if (auto sent = m_stream->sendAll(line); !sent)
        return fail(shell::netErrorMessage(sent.error()));
    return !expectReply || ReadReply();
}

SmtpReplyState takeSmtpReplyLines(std::string& pending, std::string& reply, std::size_t& lines) {
    constexpr std::size_t kLimit = MailSession::kReplyBuffer;
    for (;;) {
        const std::size_t end = pending.find("\r\n");
        if (end == std::string::npos)
            return pending.size() >= kLimit ? SmtpReplyState::TooLong : SmtpReplyState::Incomplete;
        if (end + 2 > kLimit || lines >= kMaxReplyLines) return SmtpReplyState::TooLong;
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 2);
        ++lines;
        // A bare CR or LF inside a line would read as a line break of the joined reply (and
        // could make an EHLO keyword out of the middle of a line).
        std::replace_if(
            line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        if (!reply.empty()) reply += '\n';
        reply += line;
        // "250-" continues a reply; "250 " (or a bare code) ends it.
        if (line.size() < 4 || line[3] != '-')
            return !line.empty() && (line[0] == '2' || line[0] == '3') ? SmtpReplyState::Positive
                                                                       : SmtpReplyState::Negative;
    }
}

bool MailSession::ReadReply() {
    m_error.clear();
    m_reply.clear();
    if (!m_stream) return fail("not connected");
    char buffer[kReplyBuffer];
    std::size_t lines = 0;
    for (;;) {
        switch (takeSmtpReplyLines(m_pending, m_reply, lines)) {
            case SmtpReplyState::Positive:
                return true;
            case SmtpReplyState::Negative:
                return false;
            case SmtpReplyState::TooLong:
                return fail("The server's reply is too long.");
            case SmtpReplyState::Incomplete:
                break;
        }
        const auto n =
            m_stream->receive({buffer, std::min(sizeof buffer, kReplyBuffer - m_pending.size())});
        if (!n) return fail(shell::netErrorMessage(n.error()));
        m_pending.append(buffer, *n);
    }
}

MailResult sendMail(const MailServer& server, const MailFields& fields,
                    const std::vector<std::filesystem::path>& files, std::string_view charset,
                    const MailClock& clock, std::string_view mailer, const MailProgress& progress) {
    if (auto problem = mailFieldsProblem(server, fields))
        return {MailOutcome::MissingFields, *problem, {}};
    MailSession s;
    Sender send(server, s);
    if (!s.connect(server)) {
        return {MailOutcome::ConnectFailed,
                s.tlsFailed() ? std::string(kCantConnect) + "\n" + s.error() : kCantConnect,
                {}};
    }
    if (!s.ReadReply()) return send.sendFailure();

    // With no security and no user the conversation is the plain one, opened with HELO.
    const bool extended = server.security != MailSecurity::None || !server.user.empty();
    if (!extended) {
        if (!s.SendLine("HELO " + fields.fromAddress, true)) return send.sendFailure();
    } else {
        std::string capabilities;
        if (!send.greet(fields.fromAddress, capabilities)) return send.sendFailure();
        if (server.security == MailSecurity::StartTls) {
            if (!offers(capabilities, "STARTTLS"))
                return send.failure(MailOutcome::SendFailed,
                                    std::string(kSendError) +
                                        "\nThe server does not offer STARTTLS; nothing was sent.");
            if (!s.SendLine("STARTTLS", true)) return send.sendFailure();
            if (!s.startTls(server))
                return send.failure(MailOutcome::ConnectFailed,
                                    std::string(kCantConnect) + "\n" + s.error());
            if (!send.greet(fields.fromAddress, capabilities)) return send.sendFailure();
        }
        if (!server.user.empty() && !send.authenticate(capabilities)) {
            if (!send.localError.empty())
                return send.failure(MailOutcome::SendFailed,
                                    std::string(kSendError) + "\n" + send.localError);
            return send.sendFailure();
        }
    }

    if (!s.SendLine("MAIL FROM: <" + fields.fromAddress + ">", true)) return send.sendFailure();
    // A refused recipient does not stop the message to the others; each is reported.
    std::vector<std::string> refused;
    std::size_t accepted = 0;
    for (const std::string* field : {&fields.to, &fields.cc, &fields.bcc}) {
        for (const std::string& address : splitAddresses(*field)) {
            if (s.SendLine("RCPT TO: <" + address + ">", true)) {
                ++accepted;
            } else if (s.error().empty()) {
                refused.push_back(address + ": " + s.reply());
            } else {
                return send.sendFailure();
            }
        }
    }
    if (accepted == 0) {
        MailResult r = send.sendFailure();
        r.refused = std::move(refused);
        return r;
    }
    if (!s.SendLine("DATA", true)) return send.sendFailure();

    if (!send.data(mailHeaderLines(fields, charset, clock, mailer)) ||
        !send.data(textPartLines(fields.text, charset)))
        return send.sendFailure();

    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string name = attachmentName(files[i]);
        const std::string type = attachmentMimeType(files[i]);
        if (progress.onFile) progress.onFile(i, files.size(), name);
        const auto bytes = base::readFile(files[i], kMaxAttachmentBytes);
        if (!bytes.ok()) return send.failure(MailOutcome::ReadFailed, kCantRead);
        if (!send.data(attachmentHeaderLines(name, type, charset))) return send.sendFailure();
        const std::span<const std::uint8_t> all(*bytes);
        for (std::size_t done = 0; done < all.size();) {
            if (progress.stopRequested && progress.stopRequested())
                return send.failure(MailOutcome::Stopped, {});
            const std::size_t n = std::min(kBase64Chunk, all.size() - done);
            if (!send.data(base64Lines(all.subspan(done, n)))) return send.sendFailure();
            done += n;
            if (progress.onBytes) progress.onBytes(done, all.size());
        }
    }
    if (!send.data(closingLines()) || !s.SendLine(".", true)) return send.sendFailure();
    // The server has taken the message at this point; a lost QUIT must not make the user send
    // it a second time.
    static_cast<void>(s.SendLine("QUIT", true));
    s.close();
    return {MailOutcome::Sent, {}, std::move(refused)};
}

}  // namespace kalder::tools
