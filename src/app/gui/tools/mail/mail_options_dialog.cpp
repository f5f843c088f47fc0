#include "app/gui/tools/mail/mail_options_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kalder::gui {
namespace {

constexpr int kMailOptionsTemplate = 316;

QLineEdit* textField(const std::string& text, const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMinimumWidth(260);
    return edit;
}

std::string text(const QLineEdit* edit) { return edit->text().trimmed().toStdString(); }

}  // namespace

MailOptionsDialog::MailOptionsDialog(const tools::MailOptions& o, const QString& password,
                                     QWidget* parent)
    : DialogBase(kMailOptionsTemplate, parent) {
    setWindowTitle(tr("E-mail Options"));
    m_server = textField(o.server, "server", this);
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("port"));
    m_port->setRange(1, 65535);
    m_port->setValue(o.port >= 1 && o.port <= 65535 ? o.port : 25);
    m_security = new QComboBox(this);
    m_security->setObjectName(QStringLiteral("security"));
    m_security->addItems({tr("None"), tr("STARTTLS"), tr("SSL/TLS")});
    m_lastSecurity = static_cast<int>(o.security);
    m_security->setCurrentIndex(m_lastSecurity);
    connect(m_security, &QComboBox::currentIndexChanged, this, &MailOptionsDialog::securityChanged);
    m_user = textField(o.user, "user", this);
    m_password = new QLineEdit(password, this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_fromName = textField(o.fromName, "fromName", this);
    m_fromAddress = textField(o.fromAddress, "fromAddress", this);
    m_replyToName = textField(o.replyToName, "replyToName", this);
    m_replyToAddress = textField(o.replyToAddress, "replyToAddress", this);
    // A server with its own certificate authority (a self-hosted one) is trusted through its
    // certificate file, as the command line's --ca-file does.
    m_caFile = textField(o.caFile, "caFile", this);
    m_caFile->setAccessibleName(tr("Trusted certificates file"));
    m_caFile->setPlaceholderText(tr("Only the system's certificates"));
    auto* browse = new QPushButton(tr("Browse..."), this);
    browse->setObjectName(QStringLiteral("caFileBrowse"));
    browse->setAccessibleName(tr("Choose the trusted certificates file"));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file =
            QFileDialog::getOpenFileName(this, tr("Trusted certificates"), m_caFile->text(),
                                         tr("Certificates (*.pem *.crt *.cer);;All files (*)"));
        if (!file.isEmpty()) m_caFile->setText(file);
    });
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile, 1);
    caRow->addWidget(browse);

    auto* form = new QFormLayout;
    form->addRow(tr("SMTP server name:"), m_server);
    form->addRow(tr("SMTP Server Port:"), m_port);
    form->addRow(tr("Security:"), m_security);
    form->addRow(tr("User name:"), m_user);
    form->addRow(tr("Password:"), m_password);
    form->addRow(tr("From Name:"), m_fromName);
    form->addRow(tr("From Address:"), m_fromAddress);
    form->addRow(tr("Reply-To Name:"), m_replyToName);
    form->addRow(tr("Reply-To Address:"), m_replyToAddress);
    form->addRow(tr("Trusted certificates:"), caRow);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(standardButtons());
    OnInitDialog();
}

// A port left at the old mode's usual number follows the new mode; one the user typed stays.
void MailOptionsDialog::securityChanged(int index) {
    if (m_port->value() == tools::defaultMailPort(static_cast<tools::MailSecurity>(m_lastSecurity)))
        m_port->setValue(tools::defaultMailPort(static_cast<tools::MailSecurity>(index)));
    m_lastSecurity = index;
}

tools::MailOptions MailOptionsDialog::options() const {
    tools::MailOptions o;
    o.server = text(m_server);
    o.port = m_port->value();
    o.security = static_cast<tools::MailSecurity>(std::max(0, m_security->currentIndex()));
    o.user = text(m_user);
    o.fromName = text(m_fromName);
    o.fromAddress = text(m_fromAddress);
    o.replyToName = text(m_replyToName);
    o.replyToAddress = text(m_replyToAddress);
    o.caFile = text(m_caFile);
    return o;
}

QString MailOptionsDialog::password() const { return m_password->text(); }

}  // namespace kalder::gui
