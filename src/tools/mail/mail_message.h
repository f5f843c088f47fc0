#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::tools {

inline constexpr char kMailBoundary[] = "=_BD63125469B39C3A278041629E1F";
inline constexpr char kMailPreamble[] = "A multi-part message.";

// What the user typed: sender details from the options, recipients and text from the dialog.
// Texts are bytes of the message charset.
struct MailFields {
    std::string fromName;
    std::string fromAddress;
    std::string replyToName;     // empty: the From name
    std::string replyToAddress;  // empty: the From address
    std::string to;
    std::string cc;
    std::string bcc;
    std::string subject;
    std::string text;
};

// The moment of sending: UTC for the Message-ID, the local calendar time and zone for the Date.
struct MailClock {
    std::chrono::system_clock::time_point utc;
    std::tm local{};
    std::int32_t utcOffsetMinutes = 0;  // east of UTC is positive

    static MailClock now();
};

// A header field that would break the message: the first field holding CR, LF or NUL, named as
// the dialog labels it ("From Name", "To", ...), or nullopt when all are on one line.
std::optional<std::string> fieldWithLineBreak(const MailFields& fields);

// "Wed, 09 Dec 2026 03:24:36 +0100".
std::string dateHeaderValue(const MailClock& clock);

// The sending time as 100-ns units since 1601 (UTC).
std::uint64_t windowsFileTime(std::chrono::system_clock::time_point utc);

// A header line (or several) with the text as encoded words: prefix ("Subject: "), the text,
// then the suffix on the same line when it fits, otherwise on a continuation line. A phrase (a
// display name before an address) keeps only the characters a phrase may carry literally.
std::vector<std::string> encodedHeaderLines(std::string_view prefix, std::string_view text,
                                            std::string_view suffix, std::string_view charset,
                                            bool phrase = false);

// The addresses of a recipients field: separated by commas or semicolons, "Name <addr>" taken
// as addr, blanks around them dropped.
std::vector<std::string> splitAddresses(std::string_view list);

// Every header line from Date to Content-Type, then the blank line and the preamble.
std::vector<std::string> mailHeaderLines(const MailFields& fields, std::string_view charset,
                                         const MailClock& clock, std::string_view mailer);

// The message text in quoted-printable lines (no CR LF).
std::vector<std::string> quotedPrintableLines(std::string_view text);

// The lines of the text part from its blank line to its last text line; empty for no text.
std::vector<std::string> textPartLines(std::string_view text, std::string_view charset);

// Base64 of the bytes in lines of 74 characters (the last one shorter).
std::vector<std::string> base64Lines(std::span<const std::uint8_t> bytes);

// The lines that open an attachment's part, up to and including its blank line. A name that is
// not plain ASCII goes as RFC 2231 filename* (in UTF-8 when it is UTF-8, else in `charset`),
// with an encoded word in name= for readers that know only that.
std::vector<std::string> attachmentHeaderLines(std::string_view name, std::string_view mimeType,
                                               std::string_view charset);

// The MIME type of the file's extension among the formats we read, else
// "application/octet-stream".
std::string attachmentMimeType(const std::filesystem::path& file);

// The last lines of the message before the final ".".
std::vector<std::string> closingLines();

// The name an attachment travels under: no folder, at most 26 characters, control characters,
// quotes and backslashes as "_".
std::string attachmentName(const std::filesystem::path& file);

// The subject proposed for these files: their names without extension, joined with ", ".
std::string subjectForFiles(const std::vector<std::filesystem::path>& files);

}  // namespace kalder::tools
