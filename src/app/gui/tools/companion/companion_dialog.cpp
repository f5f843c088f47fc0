#include "app/gui/tools/companion/companion_dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/core/command_ids.h"
#include "app/core/settings.h"
#include "app/gui/dialogs/dialog_buttons.h"
#include "app/gui/tools/tool_context.h"
#include "shell/companion.h"
#include "shell/qt/qt_path.h"

namespace kalder::gui {

namespace {

QString invalidText() {
    return QCoreApplication::translate("kalder::gui::LocateCompanionDialog",
                                       "The Lumidrex's executable file is invalid.");
}

// While the disks are searched the window is busy: key presses and clicks are eaten, and an
// ESC among the keys stops the search.
class EscapeWatch : public QObject {
public:
    bool escaped = false;
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
                if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) escaped = true;
                return true;
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
                return true;
            default:
                return false;
        }
    }
};

}  // namespace

LocateCompanionDialog::LocateCompanionDialog(app::Settings& settings, QWidget* parent)
    : DialogBase(322, parent), m_settings(settings) {
    setWindowTitle(tr("Locate Lumidrex"));
    auto* text =
        new QLabel(tr("Lumidrex is a separate program for cleaning up images: it removes noise, "
                      "scratches and red eyes, and sharpens scans. Kalder hands it the current "
                      "image once it knows where Lumidrex is installed.\n\nLet Kalder search "
                      "your disks for it, show it the program file yourself, or get Lumidrex "
                      "from its site."),
                   this);
    text->setWordWrap(true);
    auto* find = makeNamedButton(tr("Find automatically"), "find", this);
    auto* manual = makeNamedButton(tr("Specify the path manually"), "manual", this);
    auto* site = makeNamedButton(tr("Visit Site"), "site", this);
    auto* download = makeNamedButton(tr("Download"), "download", this);
    auto* cancel = makeNamedButton(tr("Cancel"), "cancel", this);
    connect(find, &QPushButton::clicked, this, &LocateCompanionDialog::findAutomatically);
    connect(manual, &QPushButton::clicked, this, &LocateCompanionDialog::specifyManually);
    connect(site, &QPushButton::clicked, this,
            [this] { openUrl(QString::fromLatin1(kCompanionSite)); });
    connect(download, &QPushButton::clicked, this,
            [this] { openUrl(QString::fromLatin1(kCompanionDownload)); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bannerLabel());
    layout->addWidget(text);
    for (QPushButton* b : {find, manual, site, download, cancel}) layout->addWidget(b);
    searchRoots = [] { return shell::fixedDiskRoots(); };
    chooseFile = [](QWidget* owner) {
        return QFileDialog::getOpenFileName(
            owner, tr("Open"), QString(),
            tr("Lumidrex Executable (Lumid.exe lumid);;All Files (*)"));
    };
    openUrl = [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };
    setMinimumWidth(420);
    OnInitDialog();
}

void LocateCompanionDialog::findAutomatically() {
    EscapeWatch watch;
    qApp->installEventFilter(&watch);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const shell::CompanionSearch search = shell::findCompanion(searchRoots(), [&watch] {
        QCoreApplication::processEvents();
        return watch.escaped;
    });
    QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(&watch);
    if (search.stopped) return;
    if (!search.found) {
        showError(this, tr("Can't find Lumidrex."));
        return;
    }
    m_settings.companionExePath = search.found->string();
    accept();
}

void LocateCompanionDialog::specifyManually() {
    const QString file = chooseFile ? chooseFile(this) : QString();
    if (file.isEmpty()) return;
    if (!shell::IsCompanionExe(shell::toPath(file))) {
        showError(this, invalidText());
        return;
    }
    m_settings.companionExePath = shell::toPath(file).string();
    accept();
}

bool LocateCompanion(app::Settings& settings, QWidget* parent) {
    LocateCompanionDialog dialog(settings, parent);
    return dialog.exec() == QDialog::Accepted;
}

void EditWithCompanion(app::Settings& settings, const QString& image, const CompanionHooks& hooks) {
    if (settings.companionExePath.empty() && !hooks.locate()) return;
    if (!shell::IsCompanionExe(settings.companionExePath)) {
        hooks.error(invalidText());
        if (!hooks.locate()) return;
    }
    // The image is one argument even when there is none: the companion opens empty then.
    if (!hooks.start(shell::toQString(settings.companionExePath), {image})) hooks.locate();
}

void registerCompanionCommands(ToolContext& context) {
    context.commands().on(app::cmd::kCompanionEditor, [&context](app::CommandId) {
        CompanionHooks hooks;
        hooks.locate = [&context] {
            return LocateCompanion(context.settings(), context.dialogParent());
        };
        hooks.start = [](const QString& program, const QStringList& args) {
            return QProcess::startDetached(program, args);
        };
        hooks.error = [&context](const QString& text) { showError(context.dialogParent(), text); };
        const QString image =
            context.currentEntry() ? shell::toQString(context.currentFile()) : QString();
        EditWithCompanion(context.settings(), image, hooks);
    });
    context.commands().on(app::cmd::kProductPage1, [](app::CommandId) {
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kCompanionSite)));
    });
}

}  // namespace kalder::gui
