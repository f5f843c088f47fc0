#include "app/gui/tools/mail/mail_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QVBoxLayout>
#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "app/core/settings.h"
#include "app/core/startup.h"
#include "app/gui/dialogs/dialog_buttons.h"
#include "app/gui/dialogs/progress_dialog.h"
#include "app/gui/tools/mail/mail_options_dialog.h"
#include "tools/mail/mail_charset.h"
#include "tools/mail/mail_settings.h"

namespace kalder::gui {
namespace {

constexpr int kMailTemplate = 314;

// Typed passwords live here for the program run only, one per server and user.
struct RememberedPassword {
    std::string server;
    std::string user;
    QString password;
};
RememberedPassword& rememberedPassword() {
    static RememberedPassword p;
    return p;
}

tools::MailSettingsFields storedFields(app::Settings& s) {
    return {&s.smtpServer, &s.smtpPort, &s.mailFields, &s.mailAddressHistory};
}

QComboBox* addressBox(const char* name, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMinimumWidth(300);
    return box;
}

// The texts in the message charset; when a text has a character that charset lacks, the whole
// message goes out in UTF-8 instead, so nothing turns into question marks.
class TextEncoder {
public:
    explicit TextEncoder(std::string charset) : m_charset(std::move(charset)) {}
    std::string operator()(const QString& text) {
        if (m_charset != "utf-8") {
            QStringEncoder encoder(m_charset.c_str());
            if (encoder.isValid()) {
                const QByteArray bytes = encoder.encode(text);
                if (!encoder.hasError()) return bytes.toStdString();
            }
            m_fellBack = true;
        }
        return text.toStdString();
    }
    bool fellBack() const { return m_fellBack; }

private:
    std::string m_charset;
    bool m_fellBack = false;
};

// What the sending thread reports to the progress window.
struct SendState {
    std::mutex mutex;  // guards everything below
    std::size_t index = 0;
    std::size_t count = 0;
    std::string name;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    int fileSerial = 0;
};

}  // namespace

MailDialog::MailDialog(app::Settings& settings, QWidget* parent)
    : DialogBase(kMailTemplate, parent), m_settings(settings) {
    setWindowTitle(tr("Send Image(s) by E-mail"));
    m_to = addressBox("to", this);
    m_cc = addressBox("cc", this);
    m_bcc = addressBox("bcc", this);
    m_subject = new QLineEdit(this);
    m_subject->setObjectName(QStringLiteral("subject"));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("text"));
    m_text->setMinimumSize(420, 180);

    auto* form = new QFormLayout;
    form->addRow(tr("To:"), m_to);
    form->addRow(tr("Cc:"), m_cc);
    form->addRow(tr("Bcc:"), m_bcc);
    form->addRow(tr("Subject:"), m_subject);

    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("buttons"));
    m_send = buttons->addButton(tr("Send"), QDialogButtonBox::AcceptRole);
    m_send->setObjectName(QStringLiteral("send"));
    m_send->setDefault(true);
    auto* settingsButton = buttons->addButton(tr("&Settings..."), QDialogButtonBox::ActionRole);
    settingsButton->setObjectName(QStringLiteral("settings"));
    buttons->addButton(QDialogButtonBox::Cancel);
    buttons->addButton(helpButton(), QDialogButtonBox::HelpRole);
    connect(m_send, &QPushButton::clicked, this, &MailDialog::Send);
    connect(settingsButton, &QPushButton::clicked, this, &MailDialog::openSettings);
    connect(buttons, &QDialogButtonBox::rejected, this, &MailDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bannerLabel());
    layout->addLayout(form);
    layout->addWidget(m_text, 1);
    layout->addWidget(buttons);

    reportWarning = [this](const QString& text) { showWarning(this, text); };
    reportError = [this](const QString& text) { showError(this, text); };
    askPassword = [this](const QString& user) -> std::optional<QString> {
        bool ok = false;
        const QString p = QInputDialog::getText(
            this, windowTitle(), tr("Password for %1:").arg(user), QLineEdit::Password, {}, &ok);
        return ok ? std::optional<QString>(p) : std::nullopt;
    };
    OnInitDialog();
}

MailDialog::~MailDialog() = default;

void MailDialog::forgetPasswords() { rememberedPassword() = {}; }

void MailDialog::Init(std::vector<std::filesystem::path> files) {
    m_files = std::move(files);
    fillHistories();
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    m_text->setFont(font);
    m_subject->setText(QString::fromStdString(tools::subjectForFiles(m_files)));
}

void MailDialog::fillHistories() {
    const auto addresses = tools::rememberedAddresses(m_settings.mailAddressHistory);
    for (QComboBox* box : {m_to, m_cc, m_bcc}) {
        const QString typed = box->currentText();
        box->clear();
        for (const auto& a : addresses) box->addItem(QString::fromStdString(a));
        box->setEditText(typed);
    }
}

void MailDialog::openSettings() {
    const tools::MailOptions options = tools::loadMailOptions(storedFields(m_settings));
    const RememberedPassword& known = rememberedPassword();
    const bool same = known.server == options.server && known.user == options.user;
    MailOptionsDialog dialog(options, same ? known.password : QString(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const tools::MailOptions chosen = dialog.options();
    tools::storeMailOptions(chosen, storedFields(m_settings));
    rememberedPassword() = {chosen.server, chosen.user, dialog.password()};
}

void MailDialog::Send() {
    if (m_sending) return;
    const tools::MailOptions o = tools::loadMailOptions(storedFields(m_settings));
    TextEncoder encode(tools::localeCharset());
    tools::MailFields f;
    f.fromName = encode(QString::fromStdString(o.fromName));
    f.fromAddress = o.fromAddress;
    f.replyToName = encode(QString::fromStdString(o.replyToName));
    f.replyToAddress = o.replyToAddress;
    f.to = m_to->currentText().trimmed().toStdString();
    f.cc = m_cc->currentText().trimmed().toStdString();
    f.bcc = m_bcc->currentText().trimmed().toStdString();
    f.subject = encode(m_subject->text());
    f.text = encode(m_text->toPlainText());
    if (encode.fellBack()) {
        // Encode every text once more, now all in UTF-8.
        f.fromName = o.fromName;
        f.replyToName = o.replyToName;
        f.subject = m_subject->text().toStdString();
        f.text = m_text->toPlainText().toStdString();
    }
    const std::string charset = encode.fellBack() ? "utf-8" : tools::localeCharset();

    tools::MailServer server;
    server.host = o.server;
    server.port = o.port;
    server.security = o.security;
    server.user = o.user;
    server.extraCaFile = extraCaFile.empty() ? o.caFile : extraCaFile;
    server.timeout = timeout;
    if (auto problem = tools::mailFieldsProblem(server, f)) {
        if (reportWarning) reportWarning(QString::fromStdString(*problem));
        return;
    }
    for (const std::string* a : {&f.cc, &f.bcc, &f.to})
        tools::rememberAddress(m_settings.mailAddressHistory, *a);
    fillHistories();

    RememberedPassword& known = rememberedPassword();
    if (!server.user.empty()) {
        if (known.server != server.host || known.user != server.user || known.password.isEmpty()) {
            const auto typed =
                askPassword ? askPassword(QString::fromStdString(server.user)) : std::nullopt;
            if (!typed) return;
            known = {server.host, server.user, *typed};
        }
        server.password = known.password.toStdString();
    }

    const tools::MailResult result = runWithProgress(server, f, charset);
    m_lastOutcome = result.outcome;
    switch (result.outcome) {
        case tools::MailOutcome::Sent:
            if (!result.refused.empty() && reportWarning) {
                QString text = tr("The message was sent, but the server refused these recipients:");
                for (const std::string& r : result.refused)
                    text += "\n" + QString::fromStdString(r);
                reportWarning(text);
            }
            accept();
            return;
        case tools::MailOutcome::Stopped:
            return;
        case tools::MailOutcome::MissingFields:
            if (reportWarning) reportWarning(QString::fromStdString(result.message));
            return;
        default:
            // A refused log-in is asked for again next time.
            if (result.message.find("\"535") != std::string::npos) known.password.clear();
            if (reportError) reportError(QString::fromStdString(result.message));
            return;
    }
}

tools::MailResult MailDialog::runWithProgress(const tools::MailServer& server,
                                              const tools::MailFields& fields,
                                              const std::string& charset) {
    m_sending = true;
    m_stopRequested = false;
    SendState state;
    std::atomic<bool> stop{false};
    tools::MailProgress progress;
    progress.onFile = [&state](std::size_t i, std::size_t n, const std::string& name) {
        std::lock_guard lock(state.mutex);
        state.index = i;
        state.count = n;
        state.name = name;
        state.done = 0;
        state.total = 0;
        ++state.fileSerial;
    };
    progress.onBytes = [&state](std::uint64_t done, std::uint64_t total) {
        std::lock_guard lock(state.mutex);
        state.done = done;
        state.total = total;
    };
    progress.stopRequested = [&stop] { return stop.load(); };
    const std::string mailer = std::string(app::kAppTitle) + " v" + app::kVersionText;
    // The conversation runs beside the user-interface thread, so the window keeps painting and
    // ESC is seen even while the server is slow to answer.
    std::future<tools::MailResult> sending =
        std::async(std::launch::async, [=, files = m_files, &progress] {
            return tools::sendMail(server, fields, files, charset, tools::MailClock::now(), mailer,
                                   progress);
        });

    QApplication::setOverrideCursor(Qt::WaitCursor);
    ProgressDialog window;
    window.Create(this);
    int shownSerial = 0;
    while (sending.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready) {
        std::uint64_t done = 0, total = 0;
        {
            std::lock_guard lock(state.mutex);
            if (state.fileSerial != shownSerial) {
                shownSerial = state.fileSerial;
                window.SetItem(QString::fromStdString(state.name), static_cast<int>(state.index),
                               static_cast<int>(state.count));
                window.SetStage(tr("Sending..."), 1, 0);
            }
            done = state.done;
            total = state.total;
        }
        if (window.Step(static_cast<qint64>(total ? total : 1), static_cast<qint64>(done), true) ||
            m_stopRequested)
            stop = true;
    }
    window.Close();
    QApplication::restoreOverrideCursor();
    m_sending = false;
    return sending.get();
}

void MailDialog::reject() {
    // Closing while sending asks the sender to stop; the dialog closes after it has.
    if (m_sending) {
        m_stopRequested = true;
        return;
    }
    DialogBase::reject();
}

}  // namespace kalder::gui
