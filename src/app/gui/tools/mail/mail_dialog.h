#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "app/gui/dialogs/dialog_base.h"
#include "tools/mail/mail_session.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

// "Send Image(s) by E-mail": recipients, subject and text for the selected files. Send talks to
// the server while the progress window runs; a failure leaves the dialog open for another try.
class MailDialog : public DialogBase {
    Q_OBJECT
public:
    explicit MailDialog(app::Settings& settings, QWidget* parent = nullptr);
    ~MailDialog() override;

    // Fills the dialog for these files: histories, subject, fixed-pitch text field.
    void Init(std::vector<std::filesystem::path> files);
    // The "Send" button.
    void Send();

    // Message boxes and the password question; tests replace them.
    std::function<void(const QString&)> reportWarning;
    std::function<void(const QString&)> reportError;
    std::function<std::optional<QString>(const QString& user)> askPassword;
    // Connection limits (tests shorten the timeout and trust their own certificate).
    std::chrono::milliseconds timeout{30000};
    std::string extraCaFile;

    // The outcome of the last Send, for tests.
    tools::MailOutcome lastOutcome() const { return m_lastOutcome; }

    // Forgets the passwords typed during this run.
    static void forgetPasswords();

protected:
    void reject() override;

private:
    void openSettings();
    void fillHistories();
    tools::MailResult runWithProgress(const tools::MailServer& server,
                                      const tools::MailFields& fields, const std::string& charset);

    app::Settings& m_settings;
    std::vector<std::filesystem::path> m_files;
    QComboBox* m_to;
    QComboBox* m_cc;
    QComboBox* m_bcc;
    QLineEdit* m_subject;
    QPlainTextEdit* m_text;
    QPushButton* m_send;
    bool m_sending = false;
    bool m_stopRequested = false;
    tools::MailOutcome m_lastOutcome = tools::MailOutcome::Sent;
};

}  // namespace kalder::gui
