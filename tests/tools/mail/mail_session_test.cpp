#include "tools/mail/mail_session.h"

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tools/mail/smtp_test_server.h"

namespace kalder::tools {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

class MailSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::haveSmtpServer()) GTEST_SKIP() << "python3-aiosmtpd is not installed";
        fields.fromName = "Ann Lee";
        fields.fromAddress = "ann@example.com";
        fields.to = "bob@example.com";
        fields.subject = "Holiday";
        clock = MailClock::now();
    }
    MailServer serverFor(const test::SmtpTestServer& s,
                         MailSecurity security = MailSecurity::None) {
        EXPECT_TRUE(s.ready());
        MailServer server;
        server.host = "127.0.0.1";
        server.port = s.port();
        server.security = security;
        server.timeout = milliseconds(3000);
        return server;
    }
    fs::path file(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        test::writeFile(dir / name, bytes);
        return dir / name;
    }
    MailResult send(const MailServer& server, const std::vector<fs::path>& files = {},
                    const MailProgress& progress = {}) {
        return sendMail(server, fields, files, "utf-8", clock, "Kalder v3.0a", progress);
    }

    test::TempDir dir;
    MailFields fields;
    MailClock clock;
};

TEST(SmtpReply, LinesAreTakenWholeAndStayLines) {
    std::string pending = "250-a\nb\r\n250", reply;
    std::size_t lines = 0;
    EXPECT_EQ(takeSmtpReplyLines(pending, reply, lines), SmtpReplyState::Incomplete);
    pending += " c\r\n550 next\r\n";
    // A bare LF inside a line does not make two lines of it.
    EXPECT_EQ(takeSmtpReplyLines(pending, reply, lines), SmtpReplyState::Positive);
    EXPECT_EQ(reply, "250-a b\n250 c");
    reply.clear(), lines = 0;
    EXPECT_EQ(takeSmtpReplyLines(pending, reply, lines), SmtpReplyState::Negative);
    EXPECT_EQ(pending, "");
    pending = std::string(MailSession::kReplyBuffer, 'x');
    EXPECT_EQ(takeSmtpReplyLines(pending, reply, lines), SmtpReplyState::TooLong);
}

TEST_F(MailSessionTest, DeliversAttachmentsThatParseBackByteForByte) {
    test::SmtpTestServer smtp(dir.path(), "plain");
    std::vector<std::uint8_t> big(70000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
    const std::vector<fs::path> files = {file("My holiday pictures from 2005.jpeg", big),
                                         file("one.bin", {0x2E}),
                                         file("Bild f\xc3\xbcr Oma \xc3\xbc.png", {1, 2, 3})};
    fields.subject = "Snow_" + std::string(100, 'a') + " \xe2\x82\xac?";
    fields.text = "Hello,\n.\n.starts with a dot\n" + std::string(100, 'b') + "\n";
    fields.fromName = "\xc3\x84nne \"A\" Lee";
    fields.to = "bob@example.com, nobody@example.com; Eve <eve@example.com>";
    fields.cc = "carol@example.com";
    fields.bcc = "dave@example.com";
    std::vector<std::string> announced;
    MailProgress progress;
    progress.onFile = [&](std::size_t, std::size_t, const std::string& n) {
        announced.push_back(n);
    };

    const MailResult r = send(serverFor(smtp), files, progress);
    ASSERT_EQ(r.outcome, MailOutcome::Sent) << r.message;
    // One refused recipient is named; the others still get the message.
    EXPECT_EQ(r.refused, std::vector<std::string>{"nobody@example.com: 550 5.1.1 "
                                                  "<nobody@example.com>: Recipient address "
                                                  "rejected"});
    EXPECT_EQ(announced.size(), 3u);
    const auto messages = smtp.messages();
    ASSERT_EQ(messages.size(), 1u);
    // The hidden recipient gets the message, and no one sees that address in it.
    const auto raw = test::readFile(messages[0]);
    const std::string head(raw.begin(), raw.begin() + std::min<std::size_t>(raw.size(), 4000));
    EXPECT_NE(head.find("dave@example.com"), std::string::npos);  // the server's X-RcptTo
    EXPECT_EQ(head.find("Bcc:"), std::string::npos);
    const fs::path parts = dir / "parts";
    fs::create_directory(parts);
    const std::string parsed = test::parseDeliveredMessage(messages[0], parts);
    EXPECT_NE(parsed.find("subject: " + fields.subject + "\n"), std::string::npos) << parsed;
    // The bare name is encoded: its own quotes stay, none are added around it.
    EXPECT_NE(parsed.find("from: \xc3\x84nne \"A\" Lee\n"), std::string::npos) << parsed;
    EXPECT_NE(parsed.find("to: bob@example.com, nobody@example.com, eve@example.com\n"),
              std::string::npos)
        << parsed;
    EXPECT_NE(parsed.find("rcpt: bob@example.com, eve@example.com, carol@example.com, "
                          "dave@example.com\n"),
              std::string::npos)
        << parsed;
    EXPECT_NE(parsed.find("text: 'Hello,\\n.\\n.starts with a dot\\n" + std::string(100, 'b')),
              std::string::npos)
        << parsed;
    EXPECT_NE(parsed.find("name: My holiday pictures f.jpeg\ntype: image/jpeg\n"),
              std::string::npos)
        << parsed;
    EXPECT_NE(parsed.find("name: one.bin\ntype: application/octet-stream\n"), std::string::npos)
        << parsed;
    EXPECT_NE(parsed.find("name: Bild f\xc3\xbcr Oma \xc3\xbc.png\ntype: image/png\n"),
              std::string::npos)
        << parsed;
    EXPECT_EQ(test::readFile(parts / "part-0"), big);
    EXPECT_EQ(test::readFile(parts / "part-1"), std::vector<std::uint8_t>{0x2E});
    EXPECT_EQ(test::readFile(parts / "part-2"), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(MailSessionTest, FailuresSendNoMessageAndSayWhy) {
    test::SmtpTestServer smtp(dir.path(), "plain");
    const MailServer server = serverFor(smtp);
    const fs::path good = file("good.jpg", {1, 2, 3, 4, 5});

    MailFields refused = fields;
    fields.to = "nobody@example.com";
    MailResult r = send(server, {good});
    EXPECT_EQ(r.outcome, MailOutcome::SendFailed);
    EXPECT_EQ(r.message,
              "Error sending e-mail:\n\"550 5.1.1 <nobody@example.com>: Recipient address "
              "rejected\"");
    fields = refused;

    r = send(server, {good, dir / "vanished.jpg"});
    EXPECT_EQ(r.outcome, MailOutcome::ReadFailed);
    EXPECT_EQ(r.message, "Can't read images.");

    MailProgress stop;
    stop.stopRequested = [] { return true; };
    EXPECT_EQ(send(server, {good}, stop).outcome, MailOutcome::Stopped);

    fields.to = std::string(1000, 'x') + "@example.com";
    r = send(server, {good});
    EXPECT_EQ(r.outcome, MailOutcome::SendFailed);
    EXPECT_NE(r.message.find("too long"), std::string::npos) << r.message;
    fields = refused;

    fields.bcc = "x@y\r\nRCPT TO: <evil@example.com>";
    EXPECT_EQ(send(server, {good}).outcome, MailOutcome::MissingFields);
    fields = refused;

    // A server without STARTTLS gets nothing in plain text once TLS was asked for.
    r = send(serverFor(smtp, MailSecurity::StartTls), {good});
    EXPECT_NE(r.message.find("does not offer STARTTLS"), std::string::npos) << r.message;

    // Only the one complete message below ever arrives.
    ASSERT_EQ(send(server, {good}).outcome, MailOutcome::Sent);
    EXPECT_EQ(smtp.messages().size(), 1u);
}

TEST_F(MailSessionTest, DeadAndMisbehavingServers) {
    MailServer server;
    server.host = "127.0.0.1";
    server.port = test::freeTcpPort();
    EXPECT_EQ(send(server).message, "Can't connect to the server.");

    test::SmtpTestServer silent(dir.path(), "silent");
    server = serverFor(silent);
    server.timeout = milliseconds(300);
    const auto started = std::chrono::steady_clock::now();
    MailResult r = send(server);
    EXPECT_EQ(r.outcome, MailOutcome::SendFailed);
    EXPECT_NE(r.message.find("did not answer in time"), std::string::npos) << r.message;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));

    test::SmtpTestServer chatty(dir.path(), "longreply");
    r = send(serverFor(chatty));
    EXPECT_EQ(r.outcome, MailOutcome::SendFailed);
    EXPECT_NE(r.message.find("reply is too long"), std::string::npos) << r.message;

    MailSession session;
    ASSERT_TRUE(session.connect(serverFor(chatty)));
    EXPECT_FALSE(session.SendLine(std::string(MailSession::kMaxLine, 'a'), false));
    EXPECT_TRUE(session.SendLine(std::string(MailSession::kMaxLine - 1, 'a'), false));
}

TEST_F(MailSessionTest, StartTlsVerifiesTheCertificate) {
    if (!test::makeTestCertificate(dir.path())) GTEST_SKIP() << "openssl is not installed";
    test::SmtpTestServer smtp(dir.path(), "starttls");
    MailServer server = serverFor(smtp, MailSecurity::StartTls);
    MailResult r = send(server);
    EXPECT_EQ(r.outcome, MailOutcome::ConnectFailed);
    EXPECT_NE(r.message.find("certificate is not trusted"), std::string::npos) << r.message;
    EXPECT_TRUE(smtp.messages().empty());

    server.extraCaFile = (dir / "cert.pem").string();
    r = send(server, {file("a.jpg", {9, 8, 7})});
    EXPECT_EQ(r.outcome, MailOutcome::Sent) << r.message;
    EXPECT_EQ(smtp.messages().size(), 1u);

    // The certificate names 127.0.0.1, not localhost.
    server.host = "localhost";
    r = send(server);
    EXPECT_EQ(r.outcome, MailOutcome::ConnectFailed);
    EXPECT_NE(r.message.find("does not match"), std::string::npos) << r.message;
}

TEST_F(MailSessionTest, TlsFromTheStart) {
    if (!test::makeTestCertificate(dir.path())) GTEST_SKIP() << "openssl is not installed";
    test::SmtpTestServer smtp(dir.path(), "smtps");
    MailServer server = serverFor(smtp, MailSecurity::Tls);
    EXPECT_EQ(send(server).outcome, MailOutcome::ConnectFailed);
    server.extraCaFile = (dir / "cert.pem").string();
    const MailResult r = send(server, {file("b.jpg", {1})});
    EXPECT_EQ(r.outcome, MailOutcome::Sent) << r.message;
    EXPECT_EQ(smtp.messages().size(), 1u);
}

TEST_F(MailSessionTest, Authentication) {
    test::SmtpTestServer smtp(dir.path(), "auth");
    MailServer server = serverFor(smtp);
    server.user = "ann";
    server.password = "wrong";
    MailResult r = send(server);
    EXPECT_EQ(r.outcome, MailOutcome::SendFailed);
    EXPECT_NE(r.message.find("535"), std::string::npos) << r.message;
    server.password = "secret";
    r = send(server);
    EXPECT_EQ(r.outcome, MailOutcome::Sent) << r.message;
    EXPECT_EQ(smtp.messages().size(), 1u);
}

}  // namespace
}  // namespace kalder::tools
