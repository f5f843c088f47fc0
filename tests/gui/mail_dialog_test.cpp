// The e-mail dialogs against a real SMTP server on loopback: what Init fills in, the refusals
// before anything is sent, a failed send that keeps the dialog open, and a delivery.
#include "app/gui/tools/mail/mail_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/core/settings.h"
#include "app/gui/tools/mail/mail_options_dialog.h"
#include "gui/dialog_test_support.h"
#include "support/test_support.h"
#include "tools/mail/smtp_test_server.h"

using namespace kalder;
using namespace kalder::gui;
using kalder::test::child;

namespace {

TEST(MailDialog, FillsRefusesFailsAndSends) {
    if (!test::haveSmtpServer()) GTEST_SKIP() << "python3-aiosmtpd is not installed";
    test::TempDir dir;
    test::SmtpTestServer smtp(dir.path(), "plain");
    ASSERT_TRUE(smtp.ready());
    test::writeFile(dir / "beach.jpg", {1, 2, 3});

    app::Settings settings;
    settings.mailAddressHistory = {"bob@example.com", "#user=someone"};
    MailDialog dialog(settings);
    QStringList warnings, errors;
    dialog.reportWarning = [&](const QString& t) { warnings << t; };
    dialog.reportError = [&](const QString& t) { errors << t; };
    dialog.timeout = std::chrono::milliseconds(3000);
    dialog.Init({dir / "beach.jpg"});
    auto* to = child<QComboBox>(dialog, "to");
    EXPECT_EQ(child<QLineEdit>(dialog, "subject")->text(), "beach");
    EXPECT_EQ(to->count(), 1);
    EXPECT_TRUE(child<QPlainTextEdit>(dialog, "text")->font().fixedPitch());

    dialog.Send();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_EQ(warnings[0],
              "You must fill at least \"SMTP server name\" and \"From address\" fields in the "
              "Settings dialog.");

    settings.smtpServer = "127.0.0.1";
    settings.smtpPort = smtp.port();
    settings.mailFields = {"Ann", "ann@example.com", "", ""};
    settings.mailAddressHistory = {"bob@example.com"};
    dialog.Send();
    EXPECT_EQ(warnings.value(1), "You must fill \"To\" field.");

    to->setEditText("nobody@example.com");
    dialog.Send();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("Error sending e-mail:\n\"550")) << errors[0].toStdString();
    EXPECT_FALSE(dialog.result() == QDialog::Accepted);

    // A list in the field: the refused one is named, the others get the message.
    to->setEditText("carol@example.com, nobody@example.com");
    child<QPlainTextEdit>(dialog, "text")->setPlainText(QStringLiteral("Gr\u00fc\u00dfe \u20ac"));
    dialog.Send();
    EXPECT_EQ(dialog.lastOutcome(), tools::MailOutcome::Sent);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(smtp.messages().size(), 1u);
    // Characters the locale's charset lacks send the message in UTF-8, not as question marks.
    const std::string parsed = test::parseDeliveredMessage(smtp.messages()[0], dir.path());
    EXPECT_NE(parsed.find("text: 'Gr\u00fc\u00dfe \u20ac"), std::string::npos) << parsed;
    ASSERT_EQ(warnings.size(), 3);
    EXPECT_TRUE(
        warnings[2].endsWith("refused these recipients:\nnobody@example.com: 550 5.1.1 "
                             "<nobody@example.com>: Recipient address rejected"))
        << warnings[2].toStdString();
}

TEST(MailDialog, TrustsTheCertificateFileOfTheOptions) {
    if (!test::haveSmtpServer()) GTEST_SKIP() << "python3-aiosmtpd is not installed";
    test::TempDir dir;
    if (!test::makeTestCertificate(dir.path())) GTEST_SKIP() << "openssl is not installed";
    test::SmtpTestServer smtp(dir.path(), "smtps");
    ASSERT_TRUE(smtp.ready());
    test::writeFile(dir / "beach.jpg", {1, 2, 3});
    app::Settings settings;
    settings.smtpServer = "127.0.0.1";
    settings.smtpPort = smtp.port();
    settings.mailFields = {"Ann", "ann@example.com", "", ""};
    for (const bool trusted : {false, true}) {
        settings.mailAddressHistory = {"#security=tls"};
        if (trusted)
            settings.mailAddressHistory.push_back("#cafile=" + (dir / "cert.pem").string());
        MailDialog dialog(settings);
        dialog.reportError = [](const QString&) {};
        dialog.timeout = std::chrono::milliseconds(3000);
        dialog.Init({dir / "beach.jpg"});
        child<QComboBox>(dialog, "to")->setEditText("bob@example.com");
        dialog.Send();
        EXPECT_EQ(dialog.lastOutcome() == tools::MailOutcome::Sent, trusted);
    }
    EXPECT_EQ(smtp.messages().size(), 1u);
}

TEST(MailOptionsDialog, PortFollowsSecurityUnlessTyped) {
    tools::MailOptions o;
    o.server = "smtp.example.org";
    MailOptionsDialog dialog(o, {});
    auto* security = child<QComboBox>(dialog, "security");
    auto* port = child<QSpinBox>(dialog, "port");
    security->setCurrentIndex(2);
    EXPECT_EQ(port->value(), 465);
    port->setValue(2525);
    security->setCurrentIndex(1);
    EXPECT_EQ(port->value(), 2525);
    child<QLineEdit>(dialog, "user")->setText(" ann ");
    EXPECT_EQ(dialog.options().user, "ann");
    EXPECT_EQ(dialog.options().security, tools::MailSecurity::StartTls);
    child<QLineEdit>(dialog, "caFile")->setText("/etc/own-ca.pem");
    EXPECT_EQ(dialog.options().caFile, "/etc/own-ca.pem");
}

}  // namespace
