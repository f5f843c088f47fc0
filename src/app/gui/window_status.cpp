// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/window_status.h"

#include <QMessageBox>

#include "app/core/commands.h"
#include "app/core/file_info_text.h"
#include "app/core/settings.h"
#include "app/core/translatable.h"
#include "app/gui/browser_pane.h"
#include "app/gui/main_window.h"
#include "app/gui/name_bar.h"
#include "app/gui/status_bar.h"
#include "app/gui/translations.h"
#include "image/cdx_loader.h"
#include "image/image_document.h"
#include "shell/qt/qt_path.h"
#include "view/descriptions.h"
#include "view/folder_images.h"
#include "view/image_entry.h"

namespace kalder::gui {
namespace fs = std::filesystem;

namespace {

QString programName() { return QStringLiteral("Kalder"); }

}  // namespace

void WindowStatus::showTitle() {
    const fs::path& current = m_w.currentFile();
    m_w.setWindowTitle(current.empty() ? programName()
                                       : shell::toQString(current.filename()) +
                                             QStringLiteral(" - ") + programName());
}

void WindowStatus::showFile() {
    showTitle();
    showFileInfo();
}

void WindowStatus::showNoFile() {
    showTitle();
    m_w.nameBar()->setFile(QString(), QString());
    showFileInfo();
}

void WindowStatus::setStatusText(const QString& text) {
    m_normalStatus = text;
    m_w.browserPane()->statusBar()->setStatusText(text);
}

void WindowStatus::showCommandPrompt(app::CommandId id) {
    StatusBar* bar = m_w.browserPane()->statusBar();
    if (id == 0) {
        bar->setStatusText(m_normalStatus);
        return;
    }
    bar->setStatusText(coreText(app::kCommandsContext, app::commandPrompt(id)));
}

QString WindowStatus::cannotViewText(const fs::path& path) {
    QString text = MainWindow::tr("Cannot view file: \"%1.\"").arg(shell::toQString(path));
    // A codec module missing from the installation is something the user can fix: say which.
    if (const std::string why = image::cdx::missingModuleMessage(path); !why.empty())
        text += QStringLiteral("\n\n") + QString::fromStdString(why);
    return text;
}

void WindowStatus::cannotView(const fs::path& path) {
    QMessageBox::critical(&m_w, programName(), cannotViewText(path));
}

void WindowStatus::reportUnviewable() {
    const view::ImageEntry* entry = m_w.currentEntry();
    if (!entry || !m_w.viewerMode() || m_reportedEntry == entry) return;
    m_reportedEntry = entry;
    const fs::path& current = m_w.currentFile();
    const QString text = cannotViewText(current);
    const QString reason = coreText(
        app::kMessagesContext, view::loadFailureReason(current, entry->document().lastError()));
    if (m_failureBox) {
        m_failureBox->setText(text);
        m_failureBox->setInformativeText(reason);
        return;
    }
    m_failureBox =
        new QMessageBox(QMessageBox::Critical, programName(), text, QMessageBox::Ok, &m_w);
    m_failureBox->setInformativeText(reason);
    m_failureBox->setAttribute(Qt::WA_DeleteOnClose);
    m_failureBox->setWindowModality(Qt::NonModal);
    m_failureBox->show();
}

QString WindowStatus::shownDamage() const {
    view::ImageEntry* entry = m_w.currentEntry();
    if (!entry || entry->path() != m_w.currentFile() || entry->pageCount() < 1 ||
        m_w.images().isLoading(entry))
        return {};
    const std::int32_t row = entry->document().PageAt(0).dataEndsAtRow;
    return row < 0 ? QString() : MainWindow::tr("Damaged file: data ends at row %1").arg(row);
}

void WindowStatus::showFileInfo() {
    // The picture shows what could be read; the status says why the rest is missing.
    const QString damage = shownDamage();
    if (!m_w.settings().statusBarFileInfo) {
        if (!damage.isEmpty())
            setStatusText(damage);
        else if (m_damageShown)
            setStatusText(QString());
        m_damageShown = !damage.isEmpty();
        return;
    }
    const fs::path& current = m_w.currentFile();
    const std::string text =
        current.empty() ? std::string() : view::fileInformationText(current, false);
    QString status = text.empty() ? coreText(app::kStatusBarContext, app::kNoInformation)
                                  : QString::fromStdString(text);
    if (!damage.isEmpty()) status += QStringLiteral(" | ") + damage;
    m_damageShown = !damage.isEmpty();
    setStatusText(status);
}

}  // namespace kalder::gui
