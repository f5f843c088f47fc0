#include "tools/mail/mail_message.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "base/strings.h"
#include "image/format_table.h"
#include "shell/associations.h"

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
bool asciiAlnum(std::uint8_t b) {
    return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

bool literalInWord(std::uint8_t b, bool phrase) {
    if (phrase)  // RFC 2047 5 (3): in a phrase only these stand for themselves
        return asciiAlnum(b) || b == '!' || b == '*' || b == '+' || b == '-' || b == '/';
    return b >= 33 && b < 127 && b != '=' && b != '?' && b != '_';
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<std::uint8_t>(c) < 128; });
}

bool isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        const std::size_t n = lead < 0x80   ? 1
                              : lead < 0xC2 ? 0
                              : lead < 0xE0 ? 2
                              : lead < 0xF0 ? 3
                              : lead < 0xF5 ? 4
                                            : 0;
        if (n == 0 || i + n > text.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<std::uint8_t>(text[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
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
    // The bare name: quotes inside an encoded word are shown as part of the name.
    for (auto& l : encodedHeaderLines(prefix, name, bracketed, charset, true))
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
                                            std::string_view suffix, std::string_view charset,
                                            bool phrase) {
    std::vector<std::string> out;
    const std::string open = "=?" + std::string(charset) + "?q?";
    std::string line = std::string(prefix) + open;
    const bool utf8 = charset == "utf-8";
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = utf8 ? utf8SequenceLength(text, i) : 1;
        std::string token;
        for (std::size_t k = i; k < i + len; ++k) {
            const auto b = static_cast<std::uint8_t>(text[k]);
            token += literalInWord(b, phrase) ? std::string(1, static_cast<char>(b)) : hexByte(b);
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
    auto addressList = [](const std::string& field) {
        std::string list;
        for (const auto& a : splitAddresses(field)) list += (list.empty() ? "<" : ", <") + a + ">";
        return list;
    };
    out.push_back("To: " + addressList(f.to));
    if (!splitAddresses(f.cc).empty()) out.push_back("Cc: " + addressList(f.cc));
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

std::vector<std::string> splitAddresses(std::string_view list) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        auto end = list.find_first_of(",;", start);
        if (end == std::string_view::npos) end = list.size();
        std::string_view item = list.substr(start, end - start);
        const auto open = item.rfind('<');
        const auto close = item.rfind('>');
        if (open != std::string_view::npos && close != std::string_view::npos && close > open)
            item = item.substr(open + 1, close - open - 1);
        const auto first = item.find_first_not_of(" \t");
        if (first != std::string_view::npos) {
            const auto last = item.find_last_not_of(" \t");
            out.emplace_back(item.substr(first, last - first + 1));
        }
        start = end + 1;
    }
    return out;
}

std::vector<std::string> attachmentHeaderLines(std::string_view name, std::string_view mimeType,
                                               std::string_view charset) {
    const std::string type = "Content-Type: " + std::string(mimeType) + ";";
    std::string nameParameter, fileParameter;
    if (isAscii(name)) {
        nameParameter = " name=\"" + std::string(name) + "\"";
        fileParameter = " filename=\"" + std::string(name) + "\"";
    } else {
        const std::string_view cs = isUtf8(name) ? std::string_view("utf-8") : charset;
        // One encoded word however long: a parameter value cannot be folded into several.
        std::string word = "=?" + std::string(cs) + "?q?";
        for (char c : name) {
            const auto b = static_cast<std::uint8_t>(c);
            word += literalInWord(b, true) || b == '.' ? std::string(1, c) : hexByte(b);
        }
        nameParameter = " name=\"" + word + "?=\"";
        std::string value = std::string(cs) + "''";
        for (char c : name) {
            const auto b = static_cast<std::uint8_t>(c);
            if (asciiAlnum(b) || std::string_view("!#$&+-.^_`|~").find(c) != std::string_view::npos)
                value += c;
            else
                value += "%" + hexByte(b).substr(1);
        }
        fileParameter = " filename*=" + value;
    }
    return {"",
            std::string("--") + kMailBoundary,
            type,
            nameParameter,
            "Content-Transfer-Encoding: base64",
            "Content-Disposition: attachment;",
            fileParameter,
            ""};
}

std::string attachmentMimeType(const std::filesystem::path& file) {
    const std::string ext = base::toLowerAscii(file.extension().string());
    const auto table = image::extensionTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].extension != ext) continue;
        const std::string_view type = shell::mimeTypeOfExtension(i);
        if (!type.empty()) return std::string(type);
    }
    return "application/octet-stream";
}

std::vector<std::string> closingLines() { return {"", std::string("--") + kMailBoundary + "--"}; }

std::string attachmentName(const std::filesystem::path& file) {
    std::string name = file.filename().string();
    // Bytes that would end the quoted header value or the header line.
    for (char& c : name) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 32 || b == 127 || c == '"' || c == '\\') c = '_';
    }
    // Lengths count characters, so a UTF-8 name is never cut inside one.
    const bool utf8 = isUtf8(name);
    auto characters = [&](std::string_view s) {
        if (!utf8) return s.size();
        return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) {
            return (static_cast<std::uint8_t>(c) & 0xC0) != 0x80;
        }));
    };
    // The bytes of the first n characters.
    auto head = [&](std::size_t n) {
        std::size_t at = 0;
        for (std::size_t seen = 0; at < name.size(); ++at) {
            if (!utf8 || (static_cast<std::uint8_t>(name[at]) & 0xC0) != 0x80) {
                if (seen == n) break;
                ++seen;
            }
        }
        return name.substr(0, at);
    };
    if (characters(name) <= kAttachmentNameLength) return name;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos &&
        characters(std::string_view(name).substr(dot)) <= kAttachmentNameLength - 2) {
        const std::size_t extension = characters(std::string_view(name).substr(dot));
        return head(kAttachmentNameLength - extension) + name.substr(dot);
    }
    return head(kAttachmentNameLength);
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
