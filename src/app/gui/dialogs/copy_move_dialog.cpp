#include "app/gui/dialogs/copy_move_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "app/core/settings.h"
#include "app/core/translatable.h"
#include "app/gui/dialogs/dialog_buttons.h"
#include "app/gui/translations.h"
#include "shell/file_operations.h"
#include "shell/qt/qt_path.h"

namespace kalder::gui {

namespace {

constexpr int kCopyMoveTemplate = 259;
constexpr char kInvalidDestination[] = QT_TRANSLATE_NOOP("Messages", "Invalid destination folder.");

}  // namespace

std::string copyMoveRefusal(const std::vector<std::filesystem::path>& sources,
                            const std::string& folder) {
    const std::filesystem::path path(folder);
    if (!path.is_absolute()) return kInvalidDestination;
    const shell::FileStatus usable = shell::FileOperations::checkDestination(sources, path);
    return usable ? std::string() : shell::fileErrorMessage(usable.error());
}

CopyMoveDialog::CopyMoveDialog(app::Settings& settings, std::vector<std::filesystem::path> sources,
                               QWidget* parent)
    : DialogBase(kCopyMoveTemplate, parent), m_settings(settings), m_sources(std::move(sources)) {
    setWindowTitle(tr("Copy/Move to Folder"));

    m_folder = new QLineEdit(shell::toQString(settings.copyMoveFolder), this);
    m_folder->setObjectName(QStringLiteral("destination"));
    m_folder->setMinimumWidth(320);
    auto* browseButton = new QPushButton(tr("&Browse..."), this);
    browseButton->setObjectName(QStringLiteral("browse"));
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, &CopyMoveDialog::browse);
    m_move = new QCheckBox(tr("&Move Files"), this);
    m_move->setObjectName(QStringLiteral("moveFiles"));

    pickFolder = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, windowTitle(), start,
                                                 QFileDialog::ShowDirsOnly);
    };
    reportError = [this](const QString& text) { showError(this, text); };

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browseButton);
    QDialogButtonBox* buttons = standardButtons(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &CopyMoveDialog::onOk);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(folderRow);
    layout->addWidget(m_move);
    layout->addWidget(buttons);
    OnInitDialog();
}

QString CopyMoveDialog::destination() const { return m_folder->text(); }

bool CopyMoveDialog::moveFiles() const { return m_move->isChecked(); }

void CopyMoveDialog::browse() {
    if (!pickFolder) return;
    const QString chosen = pickFolder(m_folder->text());
    if (!chosen.isEmpty()) m_folder->setText(chosen);
}

void CopyMoveDialog::onOk() {
    const std::string folder = shell::toPath(m_folder->text()).string();
    if (const std::string refusal = copyMoveRefusal(m_sources, folder); !refusal.empty()) {
        if (reportError) reportError(coreText(app::kMessagesContext, refusal));
        m_folder->setFocus();
        m_folder->selectAll();
        return;
    }
    m_settings.copyMoveFolder = folder;
    accept();
}

}  // namespace kalder::gui
