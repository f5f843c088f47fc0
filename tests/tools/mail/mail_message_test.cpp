#include "tools/mail/mail_message.h"

#include <gtest/gtest.h>

#include "tools/mail/mail_charset.h"

namespace kalder::tools {
namespace {

using Lines = std::vector<std::string>;

TEST(MailCharset, LocaleCodesetsMapToTableNames) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"UTF-8", "utf-8"},
        {"utf8", "utf-8"},
        {"ISO-8859-2", "iso-8859-2"},
        {"ISO-8859-1", "iso-8859-1"},
        {"ANSI_X3.4-1968", "iso-8859-1"},
        {"KOI8-R", "koi8-r"},
        {"EBCDIC", "unknown"},
    };
    for (const auto& [codeset, name] : cases)
        EXPECT_EQ(charsetForCodePage(codePageForCodeset(codeset)), name) << codeset;
    // The first matching row wins, so 1252 never reads "windows-1252".
    EXPECT_EQ(charsetForCodePage(1252), "iso-8859-1");
    EXPECT_EQ(charsetForCodePage(50222), "iso-2022-jp");
}

TEST(MailHeaders, EncodedWords) {
    // Display names go bare; in a phrase quotes and backslashes are encoded too.
    EXPECT_EQ(encodedHeaderLines("From: ", "Ann \"A\\L\"", "<ann@example.com>", "iso-8859-1", true),
              Lines{"From: =?iso-8859-1?q?Ann=20=22A=5CL=22?= <ann@example.com>"});
    // "_" and "?" would read back as a space and as the end of the word.
    EXPECT_EQ(encodedHeaderLines("Subject: ", "IMG_1 = x?\xe9", {}, "utf-8"),
              Lines{"Subject: =?utf-8?q?IMG=5F1=20=3D=20x=3F=E9?="});

    const auto subject = encodedHeaderLines("Subject: ", std::string(100, 'a'), {}, "utf-8");
    ASSERT_EQ(subject.size(), 2u);
    EXPECT_TRUE(subject[1].starts_with(" =?utf-8?q?"));
    std::string letters;
    for (const auto& l : subject) {
        EXPECT_LE(l.size(), 72u);
        EXPECT_TRUE(l.ends_with("?="));
        const auto q = l.find("?q?") + 3;
        letters += l.substr(q, l.size() - 2 - q);
    }
    EXPECT_EQ(letters, std::string(100, 'a'));

    // A UTF-8 character is never split between two words.
    std::string euros;
    for (int i = 0; i < 12; ++i) euros += "\xe2\x82\xac";
    for (const auto& l : encodedHeaderLines("Subject: ", euros, {}, "utf-8"))
        EXPECT_TRUE(l.ends_with("=AC?=")) << l;

    // A long name puts the address on its own line.
    const auto from = encodedHeaderLines("From: ", std::string(50, 'n'), "<a@b.c>", "utf-8");
    ASSERT_EQ(from.size(), 2u);
    EXPECT_EQ(from[1], " <a@b.c>");
}

TEST(MailHeaders, WholeHeaderInOrder) {
    MailClock clock;
    clock.utc = std::chrono::system_clock::from_time_t(0);
    clock.local = {};
    clock.local.tm_year = 126, clock.local.tm_mon = 11, clock.local.tm_mday = 9;
    clock.local.tm_wday = 3, clock.local.tm_hour = 4, clock.local.tm_min = 5,
    clock.local.tm_sec = 6;
    clock.utcOffsetMinutes = 60;
    MailFields f;
    f.fromAddress = "me@x.org";
    f.fromName = "Me";
    f.replyToAddress = "back@x.org";
    f.to = "you@y.org";
    f.bcc = "hidden@y.org";
    f.subject = "Hi";
    EXPECT_EQ(mailHeaderLines(f, "utf-8", clock, "Kalder v3.0a"),
              (Lines{"Date: Wed, 09 Dec 2026 04:05:06 +0100", "From: =?utf-8?q?Me?= <me@x.org>",
                     "X-Mailer: Kalder v3.0a", "Subject: =?utf-8?q?Hi?=",
                     "Reply-To: =?utf-8?q?Me?= <back@x.org>", "To: <you@y.org>",
                     "Message-ID: <19DB1DE.D53E8000.me@x.org>", "MIME-Version: 1.0",
                     "Content-Type: multipart/mixed; boundary=\"=_BD63125469B39C3A278041629E1F\"",
                     "", "A multi-part message."}));
    // Zones west of UTC, including those less than an hour away.
    for (auto [minutes, text] : {std::pair{-30, "-0030"}, {-330, "-0530"}, {345, "+0545"}}) {
        clock.utcOffsetMinutes = minutes;
        EXPECT_TRUE(dateHeaderValue(clock).ends_with(text)) << text;
    }
    f.fromName.clear();
    EXPECT_EQ(mailHeaderLines(f, "utf-8", clock, "")[1], "From: <me@x.org>");
    // Several recipients, as typed; a display name in a phrase encodes its specials.
    f.to = " a@x.org, Bea <b@x.org>;c@x.org ,";
    f.cc = "d@x.org;e@x.org";
    f.fromName = "Lee, \"Ann\"";
    const Lines lines = mailHeaderLines(f, "utf-8", clock, "");
    EXPECT_EQ(lines[1], "From: =?utf-8?q?Lee=2C=20=22Ann=22?= <me@x.org>");
    EXPECT_EQ(lines[5], "To: <a@x.org>, <b@x.org>, <c@x.org>");
    EXPECT_EQ(lines[6], "Cc: <d@x.org>, <e@x.org>");
    EXPECT_EQ(splitAddresses(" , ;"), Lines{});
}

TEST(MailHeaders, LineBreaksInFieldsAreFound) {
    MailFields f;
    f.to = "a@b.c";
    EXPECT_FALSE(fieldWithLineBreak(f));
    for (auto member : {&MailFields::fromName, &MailFields::to, &MailFields::cc,
                        &MailFields::subject, &MailFields::replyToAddress}) {
        MailFields g = f;
        g.*member += "x\r\nBcc: <evil@x>";
        EXPECT_TRUE(fieldWithLineBreak(g));
    }
}

TEST(MailBody, QuotedPrintable) {
    const auto long100 = quotedPrintableLines(std::string(100, 'a'));
    EXPECT_EQ(long100, (Lines{std::string(73, 'a') + "=", std::string(27, 'a')}));
    EXPECT_EQ(quotedPrintableLines("a=b\r\n\xe9t\xe9\rc \nend \t"),
              (Lines{"a=3Db", "=E9t=E9", "c ", "end \t="}));
    EXPECT_EQ(quotedPrintableLines("one\n"), Lines{"one"});
    // Encoded bytes never push a line past the limit.
    for (const auto& l : quotedPrintableLines(std::string(200, '\x01'))) EXPECT_LE(l.size(), 74u);
}

TEST(MailBody, Base64) {
    const auto b = [](std::string s) {
        return base64Lines({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
    };
    EXPECT_EQ(b("M"), Lines{"TQ=="});
    EXPECT_EQ(b("Man"), Lines{"TWFu"});
    EXPECT_EQ(b(""), Lines{});
    const auto lines = b(std::string(100, '\xff'));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 74u);
    EXPECT_EQ(lines[1], std::string(58, '/') + "/w==");
}

TEST(MailAttachments, Names) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"/photos/My holiday pictures from 2005.jpeg", "My holiday pictures f.jpeg"},
        {"short.jpg", "short.jpg"},
        {"abcdefghijklmnopqrstuvwxyz0123", "abcdefghijklmnopqrstuvwxyz"},
        {"a.extension-that-is-far-too-long", "a.extension-that-is-far-to"},
        {"caf\xc3\xa9 \"x\"\r\n.png", "caf\xc3\xa9 _x___.png"},
        // Characters, not bytes, are counted, and none is cut in two.
        {"\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc"
         "\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc"
         "\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc.png",
         "\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc"
         "\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc"
         "\xc3\xbc\xc3\xbc.png"},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(attachmentName(path), name) << path;
    EXPECT_EQ(attachmentHeaderLines("a b.png", "image/png", "utf-8"),
              (Lines{"", std::string("--") + kMailBoundary, "Content-Type: image/png;",
                     " name=\"a b.png\"", "Content-Transfer-Encoding: base64",
                     "Content-Disposition: attachment;", " filename=\"a b.png\"", ""}));
    // Not ASCII: RFC 2231 for the file name, an encoded word for name=; a name that is not
    // UTF-8 says the message charset.
    const Lines utf8 = attachmentHeaderLines("f\xc3\xbcr %.png", "image/png", "iso-8859-1");
    EXPECT_EQ(utf8[3], " name=\"=?utf-8?q?f=C3=BCr=20=25.png?=\"");
    EXPECT_EQ(utf8[6], " filename*=utf-8''f%C3%BCr%20%25.png");
    EXPECT_EQ(attachmentHeaderLines("f\xfcr", "image/png", "iso-8859-1")[6],
              " filename*=iso-8859-1''f%FCr");
    EXPECT_EQ(attachmentMimeType("/x/A.JPG"), "image/jpeg");
    EXPECT_EQ(attachmentMimeType("notes.txt"), "application/octet-stream");
}

TEST(MailAttachments, SubjectFromFileNames) {
    EXPECT_EQ(subjectForFiles({"/a/one.jpg", "two.png"}), "one, two");
    std::vector<std::filesystem::path> many(20, "picture_0001.jpg");
    const std::string subject = subjectForFiles(many);
    EXPECT_TRUE(subject.ends_with("picture_0001, ...")) << subject;
    EXPECT_LT(subject.size(), 68u + 20u);
}

}  // namespace
}  // namespace kalder::tools
