#pragma once

#include "app/gui/dialogs/dialog_base.h"
#include "tools/mail/mail_settings.h"

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace kalder::gui {

// "E-mail Options": the server, how to reach it and the sender. Edits a copy; the caller stores
// it after OK. The password field is kept in memory only.
class MailOptionsDialog : public DialogBase {
    Q_OBJECT
public:
    MailOptionsDialog(const tools::MailOptions& options, const QString& password,
                      QWidget* parent = nullptr);

    tools::MailOptions options() const;
    QString password() const;

private:
    void securityChanged(int index);

    QLineEdit* m_server;
    QSpinBox* m_port;
    QComboBox* m_security;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_fromName;
    QLineEdit* m_fromAddress;
    QLineEdit* m_replyToName;
    QLineEdit* m_replyToAddress;
    QLineEdit* m_caFile;
    int m_lastSecurity = 0;
};

}  // namespace kalder::gui
