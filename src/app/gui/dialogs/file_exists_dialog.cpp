#include "app/gui/dialogs/file_exists_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "shell/file_operations.h"
#include "shell/qt/qt_path.h"

namespace kalder::gui {

namespace {

// Neither dialog has a row in the help table: no tooltips, no help topic.
constexpr int kNoTemplate = 0;

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

std::string fileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string withFileName(std::string_view path, std::string_view newName) {
    const std::size_t slash = path.rfind('/');
    std::string out(slash == std::string_view::npos ? std::string_view()
                                                    : path.substr(0, slash + 1));
    out += newName;
    return out;
}

bool isUsableFileName(std::string_view name) { return shell::isValidFileName(name); }

bool isNewFileName(std::string_view oldName, std::string_view newName) {
    return isUsableFileName(newName) && newName != oldName;
}

RenameFileDialog::RenameFileDialog(const QString& name, QWidget* parent)
    : DialogBase(kNoTemplate, parent) {
    setWindowTitle(tr("Rename"));
    m_name = new QLineEdit(name, this);
    m_name->setObjectName(QStringLiteral("name"));
    m_name->setMinimumWidth(280);
    m_name->selectAll();
    auto* label = new QLabel(tr("Enter new file name:"), this);
    label->setBuddy(m_name);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    auto updateOk = [ok](const QString& text) {
        ok->setEnabled(isUsableFileName(shell::toPath(text).string()));
    };
    updateOk(name);
    connect(m_name, &QLineEdit::textChanged, this, updateOk);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_name);
    layout->addWidget(buttons);
    OnInitDialog();
}

QString RenameFileDialog::name() const { return m_name->text(); }

FileExistsDialog::FileExistsDialog(const QString& message, const QString& path, bool allowRename,
                                   QWidget* parent)
    : DialogBase(kNoTemplate, parent), m_path(path), m_allowRename(allowRename) {
    setWindowTitle(QStringLiteral("Kalder"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()
                        ->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this)
                        .pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop);
    QLabel* messageLabel = plainLabel(message, this);
    messageLabel->setObjectName(QStringLiteral("message"));
    QLabel* pathLabel = plainLabel(path, this);
    pathLabel->setObjectName(QStringLiteral("path"));
    pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* texts = new QVBoxLayout;
    texts->addWidget(messageLabel);
    texts->addWidget(pathLabel);
    texts->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);

    struct ButtonRow {
        const char* text;
        const char* name;
        Choice choice;
    };
    const ButtonRow rows[] = {
        {QT_TR_NOOP("&Overwrite"), "overwrite", Overwrite},
        {QT_TR_NOOP("O&verwrite all"), "overwriteAll", OverwriteAll},
        {QT_TR_NOOP("&Skip"), "skip", Skip},
        {QT_TR_NOOP("Skip &All"), "skipAll", SkipAll},
        {QT_TR_NOOP("&Rename..."), "rename", Rename},
        {QT_TR_NOOP("Cancel"), "cancel", Cancel},
    };
    auto* buttons = new QHBoxLayout;
    for (const ButtonRow& row : rows) {
        auto* button = new QPushButton(tr(row.text), this);
        button->setObjectName(QString::fromLatin1(row.name));
        const Choice choice = row.choice;
        connect(button, &QPushButton::clicked, this, [this, choice] { choose(choice); });
        // Enter skips: the safe answer when the user did not read the question.
        if (choice == Skip)
            button->setDefault(true);
        else
            button->setAutoDefault(false);
        if (choice == Rename) button->setEnabled(allowRename);
        buttons->addWidget(button);
    }

    askNewName = [this](const QString& current) -> std::optional<QString> {
        RenameFileDialog dialog(current, this);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.name();
    };

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    OnInitDialog();
}

void FileExistsDialog::choose(Choice choice) {
    if (choice == Cancel) {
        reject();
        return;
    }
    if (choice == Rename) {
        if (m_allowRename) rename();
        return;
    }
    m_choice = choice;
    accept();
}

void FileExistsDialog::reject() {
    m_choice = Cancel;
    DialogBase::reject();
}

void FileExistsDialog::rename() {
    if (!askNewName) return;
    const std::string path = shell::toPath(m_path).string();
    const std::string oldName = fileNameOf(path);
    // The same name asks again; cancelling the question returns to this dialog.
    for (;;) {
        const std::optional<QString> answer = askNewName(shell::toQString(oldName));
        if (!answer) return;
        const std::string newName = shell::toPath(*answer).string();
        if (!isNewFileName(oldName, newName)) continue;
        m_path = shell::toQString(withFileName(path, newName));
        m_choice = Rename;
        accept();
        return;
    }
}

FileExistsDialog::Answer FileExistsDialog::ask(QWidget* parent, const QString& message,
                                               const QString& path, bool allowRename) {
    FileExistsDialog dialog(message, path, allowRename, parent);
    dialog.exec();
    return {dialog.choice(), dialog.path()};
}

}  // namespace kalder::gui
