#include "tools/mail/mail_message.h"

#include <array>
#include <cstdio>

namespace kalder::tools {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kBase64LineLength = 74;
constexpr std::size_t kWordLineLimit = 70;
constexpr std::size_t kQpLineLimit = 72;
constexpr std::size_t kAttachmentNameLength = 26;

std::string hexByte(std::uint8_t b) { return {'=', kHex[b >> 4], kHex[b & 15]}; }

// In an encoded word "?" would end the word early and "_" reads back as a space, so both are
// written in hexadecimal along with the bytes the header may not carry.
bool literalInWord(std::uint8_t b) {
    return b >= 33 && b < 127 && b != '=' && b != '?' && b != '_';
}

// A UTF-8 character's bytes stay in one word, so every word decodes on its own.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<std::uint8_t>(text[at]);
    std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t len = 1;
    while (len < n && at + len < text.size() &&
           (static_cast<std::uint8_t>(text[at + len]) & 0xC0) == 0x80)
        ++len;
    return len;
}

void appendAddressed(std::string_view prefix, std::string_view name, std::string_view address,
                     std::string_view charset, std::vector<std::string>& out) {
    const std::string bracketed = "<" + std::string(address) + ">";
    if (name.empty()) {
        out.push_back(std::string(prefix) + bracketed);
        return;
    }
    for (auto& l : encodedHeaderLines(prefix, quotedDisplayName(name), bracketed, charset))
        out.push_back(std::move(l));
}

}  // namespace

MailClock MailClock::now() {
    MailClock c;
    c.utc = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(c.utc);
    localtime_r(&t, &c.local);
    c.utcOffsetMinutes = static_cast<std::int32_t>(c.local.tm_gmtoff / 60);
    return c;
}

std::optional<std::string> fieldWithLineBreak(const MailFields& f) {
    const std::array<std::pair<const char*, const std::string*>, 8> fields = {{
        {"From Name", &f.fromName},
        {"From Address", &f.fromAddress},
        {"Reply-To Name", &f.replyToName},
        {"Reply-To Address", &f.replyToAddress},
        {"To", &f.to},
        {"Cc", &f.cc},
        {"Bcc", &f.bcc},
        {"Subject", &f.subject},
    }};
    for (const auto& [label, value] : fields)
        if (value->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) return label;
    return std::nullopt;
}

std::string dateHeaderValue(const MailClock& clock) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::tm& t = clock.local;
    const int offset = clock.utcOffsetMinutes;
    // The sign belongs to the whole offset, so half an hour west is -0030, not +00-30.
    const int magnitude = offset < 0 ? -offset : offset;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d",
                  days[(t.tm_wday % 7 + 7) % 7], t.tm_mday, months[(t.tm_mon % 12 + 12) % 12],
                  t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec, offset < 0 ? '-' : '+',
                  magnitude / 60 % 100, magnitude % 60);
    return buf;
}

std::uint64_t windowsFileTime(std::chrono::system_clock::time_point utc) {
    using namespace std::chrono;
    constexpr std::int64_t kEpochDifference = 11644473600LL;  // seconds from 1601 to 1970
    const auto units =
        duration_cast<duration<std::int64_t, std::ratio<1, 10000000>>>(utc.time_since_epoch())
            .count();
    return static_cast<std::uint64_t>(units + kEpochDifference * 10000000LL);
}

std::vector<std::string> encodedHeaderLines(std::string_view prefix, std::string_view text,
                                            std::string_view suffix, std::string_view charset) {
    std::vector<std::string> out;
    const std::string open = "=?" + std::string(charset) + "?q?";
    std::string line = std::string(prefix) + open;
    const bool utf8 = charset == "utf-8";
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = utf8 ? utf8SequenceLength(text, i) : 1;
        std::string token;
        for (std::size_t k = i; k < i + len; ++k) {
            const auto b = static_cast<std::uint8_t>(text[k]);
            token += literalInWord(b) ? std::string(1, static_cast<char>(b)) : hexByte(b);
        }
        if (line.size() + token.size() > kWordLineLimit) {
            out.push_back(line + "?=");
            line = " " + open;
        }
        line += token;
        i += len;
    }
    line += "?=";
    if (!suffix.empty()) {
        if (line.size() + 1 + suffix.size() < kWordLineLimit + 1) {
            line += " ";
        } else {
            out.push_back(line);
            line = " ";
        }
        line += suffix;
    }
    out.push_back(line);
    return out;
}

std::string quotedDisplayName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::vector<std::string> mailHeaderLines(const MailFields& f, std::string_view charset,
                                         const MailClock& clock, std::string_view mailer) {
    std::vector<std::string> out;
    out.push_back("Date: " + dateHeaderValue(clock));
    appendAddressed("From: ", f.fromName, f.fromAddress, charset, out);
    out.push_back("X-Mailer: " + std::string(mailer));
    if (!f.subject.empty())
        for (auto& l : encodedHeaderLines("Subject: ", f.subject, {}, charset)) out.push_back(l);
    appendAddressed("Reply-To: ", f.replyToName.empty() ? f.fromName : f.replyToName,
                    f.replyToAddress.empty() ? f.fromAddress : f.replyToAddress, charset, out);
    out.push_back("To: <" + f.to + ">");
    if (!f.cc.empty()) out.push_back("Cc: <" + f.cc + ">");
    // No Bcc line: every recipient gets the same header, so it would show the hidden address to
    // all of them. The Bcc address is only named to the server (RCPT TO).
    const std::uint64_t ft = windowsFileTime(clock.utc);
    char id[32];
    std::snprintf(id, sizeof id, "%X.%X.", static_cast<unsigned>(ft >> 32),
                  static_cast<unsigned>(ft & 0xFFFFFFFFu));
    out.push_back("Message-ID: <" + std::string(id) + f.fromAddress + ">");
    out.push_back("MIME-Version: 1.0");
    out.push_back(std::string("Content-Type: multipart/mixed; boundary=\"") + kMailBoundary + "\"");
    out.push_back("");
    out.push_back(kMailPreamble);
    return out;
}

std::vector<std::string> quotedPrintableLines(std::string_view text) {
    std::vector<std::string> out;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (b == '\r' || b == '\n') {
            if (b == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out.push_back(line);
            line.clear();
            continue;
        }
        const bool literal = (b >= 33 && b <= 126 && b != '=') || b == ' ' || b == '\t';
        if (literal ? line.size() > kQpLineLimit : line.size() + 2 > kQpLineLimit) {
            out.push_back(line + "=");
            line.clear();
        }
        line += literal ? std::string(1, static_cast<char>(b)) : hexByte(b);
    }
    if (!line.empty()) {
        if (line.back() == ' ' || line.back() == '\t') line += '=';
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> textPartLines(std::string_view text, std::string_view charset) {
    if (text.empty()) return {};
    std::vector<std::string> out = {"", std::string("--") + kMailBoundary,
                                    "Content-Type: text/plain; charset=" + std::string(charset),
                                    "Content-Transfer-Encoding: quoted-printable", ""};
    for (auto& l : quotedPrintableLines(text)) out.push_back(std::move(l));
    return out;
}

std::vector<std::string> base64Lines(std::span<const std::uint8_t> bytes) {
    std::string all;
    all.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = static_cast<std::uint32_t>(bytes[i]) << 16;
        if (n > 1) v |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        if (n > 2) v |= bytes[i + 2];
        all += kBase64[(v >> 18) & 63];
        all += kBase64[(v >> 12) & 63];
        all += n > 1 ? kBase64[(v >> 6) & 63] : '=';
        all += n > 2 ? kBase64[v & 63] : '=';
    }
    std::vector<std::string> out;
    for (std::size_t i = 0; i < all.size(); i += kBase64LineLength)
        out.push_back(all.substr(i, kBase64LineLength));
    return out;
}

std::vector<std::string> attachmentHeaderLines(std::string_view name) {
    const std::string n(name);
    return {"",
            std::string("--") + kMailBoundary,
            "Content-Type: application/octet-stream; name=\"" + n + "\"",
            "Content-Transfer-Encoding: base64",
            "Content-Disposition: attachment; filename=\"" + n + "\"",
            ""};
}

std::vector<std::string> closingLines() { return {"", std::string("--") + kMailBoundary + "--"}; }

std::string attachmentName(const std::filesystem::path& file) {
    std::string name = file.filename().string();
    // Bytes that would end the quoted header value or the header line go the way of
    // non-ASCII bytes.
    for (char& c : name) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b >= 128 || b < 32 || b == 127 || c == '"' || c == '\\') c = '_';
    }
    if (name.size() <= kAttachmentNameLength) return name;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && name.size() - dot <= kAttachmentNameLength - 2) {
        const std::size_t extension = name.size() - dot;
        return name.substr(0, kAttachmentNameLength - extension) + name.substr(dot);
    }
    return name.substr(0, kAttachmentNameLength);
}

std::string subjectForFiles(const std::vector<std::filesystem::path>& files) {
    std::string subject;
    std::size_t used = 0;
    for (; used < files.size() && subject.size() < 68; ++used) {
        if (used) subject += ", ";
        subject += files[used].stem().string();
    }
    if (used < files.size()) subject += ", ...";
    return subject;
}

}  // namespace kalder::tools
