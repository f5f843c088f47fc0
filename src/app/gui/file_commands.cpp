// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/file_commands.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <algorithm>
#include <optional>

#include "app/core/translatable.h"
#include "app/gui/browser_pane.h"
#include "app/gui/dialogs/copy_move_dialog.h"
#include "app/gui/dialogs/describe_image_dialog.h"
#include "app/gui/dialogs/file_exists_dialog.h"
#include "app/gui/dialogs/file_filter_dialog.h"
#include "app/gui/dialogs/find_image_dialog.h"
#include "app/gui/folder_navigator.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/main_window.h"
#include "app/gui/main_window_p.h"
#include "app/gui/name_bar.h"
#include "app/gui/operation_feedback.h"
#include "app/gui/properties_panel.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/tools/tool_context.h"
#include "app/gui/translations.h"
#include "app/gui/viewing_area.h"
#include "image/format_table.h"
#include "shell/file_operations.h"
#include "shell/folder_watcher.h"
#include "shell/places.h"
#include "shell/qt/qt_path.h"
#include "shell/trash.h"
#include "view/descriptions.h"
#include "view/folder_images.h"

namespace kalder::gui {
namespace fs = std::filesystem;
namespace cmd = app::cmd;

namespace {

const QString kTitle = QStringLiteral("Kalder");

// Holds the folder watch off while our own operation changes the folder.
class WatchPause {
public:
    explicit WatchPause(bool& allowed) : m_allowed(allowed), m_was(allowed) { m_allowed = false; }
    ~WatchPause() { m_allowed = m_was; }
    WatchPause(const WatchPause&) = delete;
    WatchPause& operator=(const WatchPause&) = delete;

private:
    bool& m_allowed;
    bool m_was;
};

// The format table's "name|patterns|...||" filter in the file dialog's form,
// "name (patterns);;...". "*.*" becomes "*": on Linux many files have no extension.
QString fileDialogFilter() {
    const std::string_view table = image::fileDialogFilter();
    const QStringList parts =
        QString::fromUtf8(table.data(), static_cast<qsizetype>(table.size())).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2) {
        QString name = coreText(app::kFiltersContext, parts[i].toStdString());
        const qsizetype open = name.lastIndexOf(QStringLiteral(" ("));
        if (open > 0 && name.endsWith(')')) name.truncate(open);
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        if (patterns == QStringLiteral("*.*")) patterns = QStringLiteral("*");
        filters.push_back(QStringLiteral("%1 (%2)").arg(name, patterns));
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace

FileCommands::FileCommands(MainWindow& window, WindowParts& parts)
    : m_window(window),
      m_p(parts),
      m_trash(std::make_unique<shell::Trash>()),
      m_fileOps(std::make_unique<shell::FileOperations>(*m_trash)),
      m_watcher(std::make_unique<shell::FolderWatcher>()) {}

FileCommands::~FileCommands() = default;

void FileCommands::registerCommands(app::CommandDispatcher& d) {
    d.on(cmd::kOpenFile, [this](auto) { openFile(); });
    d.on(cmd::kDeleteFiles, [this](auto) { deleteFiles(); });
    d.on(cmd::kRenameFile, [this](auto) { renameFile(); });
    d.on(cmd::kCopyMoveToFolder, [this](auto) { copyMove(); });
    d.on(cmd::kDescribeImage, [this](auto) { describe(); });
    d.on(cmd::kFindImage, [this](auto) { find(false); });
    d.on(cmd::kFindNextImage, [this](auto) { find(true); });
    d.on(cmd::kFileFilter, [this](auto) { fileFilter(); });
    d.on(cmd::kNewFolder, [this](auto) { folderCommand(cmd::kNewFolder); });
    d.on(cmd::kRenameFolder, [this](auto) { folderCommand(cmd::kRenameFolder); });
    d.on(cmd::kDeleteFolder, [this](auto) { folderCommand(cmd::kDeleteFolder); });
    d.on(cmd::kPreviousFolder, [this](auto) { folderCommand(cmd::kPreviousFolder); });
    d.on(cmd::kNextFolder, [this](auto) { folderCommand(cmd::kNextFolder); });

    BrowserPane* browser = m_window.browserPane();
    browser->fileList()->setFileOperations(m_fileOps.get());
    FolderTreePane* tree = browser->folderTree();
    tree->setFileOperations(m_fileOps.get());
    tree->setSettings(&m_window.settings());
    QObject::connect(tree, &FolderTreePane::folderRenamed, &m_window,
                     [this](const QString& from, const QString& to) {
                         folderRenamed(shell::toPath(from), shell::toPath(to));
                     });
    QObject::connect(tree, &FolderTreePane::filesDropped, &m_window,
                     [this](const QStringList& sources, const QString& target, bool moved) {
                         filesDropped(sources, shell::toPath(target), moved);
                     });
}

void FileCommands::folderCommand(int command) {
    FolderTreePane* tree = m_window.browserPane()->folderTree();
    // The tree follows the folder on screen, also when it was opened from the viewer.
    if (!m_window.images().folder().empty() && tree->currentFolder() != m_window.images().folder())
        tree->setCurrentFolder(m_window.images().folder());
    WatchPause pause(m_watchAllowed);
    switch (command) {
        case cmd::kPreviousFolder:
            tree->selectSibling(-1);
            break;
        case cmd::kNextFolder:
            tree->selectSibling(+1);
            break;
        case cmd::kNewFolder:
            if (!m_window.viewerMode()) tree->newFolder();
            break;
        case cmd::kRenameFolder:
            if (!m_window.viewerMode()) tree->renameCurrent();
            break;
        case cmd::kDeleteFolder: {
            if (m_window.viewerMode()) break;
            const fs::path doomed = tree->currentFolder();
            // The tree selects the parent afterwards, which lists it; should it not, the list
            // must not stay on a folder that is gone.
            if (tree->deleteCurrent() && !doomed.empty() &&
                shell::isSameOrInside(doomed, m_window.images().folder()))
                m_p.folder->showBrowserFolder(doomed.parent_path());
            break;
        }
        default:
            break;
    }
}

void FileCommands::folderRenamed(const fs::path& from, const fs::path& to) {
    const fs::path shown = m_window.images().folder();
    if (shown.empty() || !shell::isSameOrInside(from, shown)) return;
    // The folder on screen (or one above it) has a new name: list it under that name, keeping
    // the current file.
    const fs::path below = shown.lexically_normal().lexically_relative(from.lexically_normal());
    const fs::path moved = below == "." ? to : to / below;
    const std::string name =
        m_window.currentEntry() ? m_window.currentEntry()->name() : std::string();
    if (!m_p.folder->loadFolder(moved)) return;
    m_window.settings().lastFolder = moved.string();
    view::ImageEntry* entry = name.empty() ? nullptr : m_window.images().find(name);
    if (!entry && m_window.images().size() > 0) entry = m_window.images().at(0);
    if (entry) m_p.folder->moveTo(entry);
}

void FileCommands::filesDropped(const QStringList& sources, const fs::path& target, bool moved) {
    const fs::path shown = m_window.images().folder();
    if (shown.empty()) return;
    bool touched = target == shown;
    if (moved)
        for (const QString& s : sources)
            touched = touched || shell::toPath(s).parent_path() == shown;
    if (!touched) return;
    m_p.folder->relistFolder(moved);
}

void FileCommands::deleteFiles() {
    if (!m_window.currentEntry()) return;
    WatchPause pause(m_watchAllowed);
    // Shift held at the moment of the command deletes for good instead of to the Trash.
    const bool forGood = QApplication::keyboardModifiers() & Qt::ShiftModifier;
    ThumbnailBrowser* files = m_window.browserPane()->fileList();
    // In the viewer the file on screen is the one meant.
    if (m_window.viewerMode()) m_window.images().selectOnly(m_window.currentEntry());
    files->deleteSelected(forGood);
}

void FileCommands::renameFile() {
    if (!m_window.currentEntry()) return;
    WatchPause pause(m_watchAllowed);
    ThumbnailBrowser* files = m_window.browserPane()->fileList();
    if (!m_window.viewerMode() && files->isVisible()) {
        files->setCurrent(m_window.currentEntry(), true);
        files->startRename();
        return;
    }
    bool ok = false;
    const QString name = QInputDialog::getText(
        &m_window, tr("Rename"), tr("Enter new file name:"), QLineEdit::Normal,
        shell::toQString(m_window.currentEntry()->name()), &ok);
    if (ok) files->renameEntry(m_window.currentEntry(), name.trimmed());
}

void FileCommands::openFile() {
    const QString filter = fileDialogFilter();
    const QString folder = shell::toQString(m_window.images().folder().empty()
                                                ? fs::path(m_window.settings().lastFolder)
                                                : m_window.images().folder());
    const QString chosen = m_window.chooseFileToOpen ? m_window.chooseFileToOpen(filter, folder)
                                                     : QFileDialog::getOpenFileName(
                                                           &m_window, tr("Open"), folder, filter);
    if (chosen.isEmpty()) return;
    // From now on the file's whole folder is listed, as after a start on a file.
    m_window.settings().commandLineFile.clear();
    if (!m_window.openFile(shell::toPath(chosen)) || m_window.images().folder().empty()) return;
    m_window.settings().lastFolder = m_window.images().folder().string();
    if (!m_window.viewerMode())
        m_window.browserPane()->folderTree()->setCurrentFolder(m_window.images().folder());
}

void FileCommands::copyMove() {
    const std::vector<fs::path> sources = m_window.toolContext().chosenFiles();
    if (sources.empty()) return;
    CopyMoveDialog dialog(m_window.settings(), sources, &m_window);
    if (dialog.exec() != QDialog::Accepted) return;
    const fs::path folder = shell::toPath(dialog.destination());
    const bool move = dialog.moveFiles();
    WatchPause pause(m_watchAllowed);
    // Files already there are asked about one by one, with "all" answers remembered.
    std::optional<shell::ConflictChoice> forAll;
    const shell::ConflictHandler ask = [&](const fs::path&, const fs::path& target) {
        if (forAll) return *forAll;
        QApplication::restoreOverrideCursor();
        const FileExistsDialog::Answer answer = FileExistsDialog::ask(
            &m_window, tr("File already exists:"), shell::toQString(target), false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        switch (answer.choice) {
            case FileExistsDialog::OverwriteAll:
                forAll = shell::ConflictChoice::Overwrite;
                return *forAll;
            case FileExistsDialog::Overwrite:
                return shell::ConflictChoice::Overwrite;
            case FileExistsDialog::SkipAll:
                forAll = shell::ConflictChoice::Skip;
                return *forAll;
            case FileExistsDialog::Skip:
                return shell::ConflictChoice::Skip;
            default:
                return shell::ConflictChoice::Cancel;
        }
    };
    shell::OperationResult result;
    {
        WaitCursor wait;
        // The loaders must not read a file while it moves away under them.
        if (move) m_window.images().stopLoaders();
        result = move ? m_fileOps->moveTo(sources, folder, ask)
                      : m_fileOps->copyTo(sources, folder, ask);
    }
    if (move) {
        m_window.images().restartLoaders();
        m_window.browserPane()->folderTree()->refreshFolder(folder);
        m_p.folder->relistFolder(true);
    }
    if (!result.errors.empty()) QMessageBox::warning(&m_window, kTitle, errorList(result.errors));
}

void FileCommands::describe() {
    if (!m_window.currentEntry() || m_window.currentEntry()->pageCount() == 0) return;
    QWidget* owner = m_p.properties && m_p.properties->isVisible()
                         ? static_cast<QWidget*>(m_p.properties)
                         : &m_window;
    DescribeImageDialog dialog(shell::toQString(m_window.currentEntry()->name()),
                               QString::fromStdString(m_window.currentEntry()->description), owner);
    if (dialog.exec() != QDialog::Accepted) return;
    m_window.currentEntry()->description = dialog.description().toStdString();
    // A failed write keeps the description for this session and says nothing, as before.
    view::writeDescriptions(m_window.images().folder(), m_window.images().entries());
    m_window.nameBar()->setFile(shell::toQString(m_window.currentEntry()->name()),
                                QString::fromStdString(m_window.currentEntry()->description));
    m_p.updateProperties();
}

void FileCommands::find(bool next) {
    if (m_window.images().size() == 0) return;
    if (next && !m_finder.canFindNext()) return;
    if (!next) {
        FindImageDialog dialog(m_window.settings(), &m_window);
        if (dialog.exec() != QDialog::Accepted) return;
    }
    view::ImageFinder::Result result;
    {
        WaitCursor wait;
        result =
            next ? m_finder.findNext(m_window.images().entries(), m_window.currentEntry())
                 : m_finder.find(
                       m_window.images().entries(), m_window.currentEntry(),
                       QString::fromStdString(m_window.settings().findText).trimmed().toStdString(),
                       findOptionsFrom(m_window.settings()));
    }
    using Outcome = view::ImageFinder::Outcome;
    if (result.entry && (result.outcome == Outcome::Found || result.outcome == Outcome::Complete)) {
        m_p.folder->moveTo(const_cast<view::ImageEntry*>(result.entry));
        if (!m_window.viewerMode()) {
            // The hit is marked as the current file of a focused list, also when the search
            // began in the folder tree; the activation after the dialog gives the focus back
            // to the list too.
            ThumbnailBrowser* list = m_window.browserPane()->fileList();
            m_p.lastFocus = list;
            list->setFocus(Qt::OtherFocusReason);
        }
    }
    const QString message = QString::fromStdString(result.message());
    if (result.outcome == Outcome::NotFound)
        QMessageBox::warning(&m_window, kTitle, message);
    else if (result.outcome == Outcome::Complete)
        QMessageBox::information(&m_window, kTitle, message);
}

void FileCommands::fileFilter() {
    // No thumbnails are made for a list that is about to change.
    m_window.images().suspendThumbnails();
    FileFilterDialog dialog(m_window.settings(), &m_window);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (accepted && !m_window.images().folder().empty()) {
        m_window.images().setFilter(
            static_cast<view::FilterMode>(std::clamp(m_window.settings().filterMode, 0, 3)),
            m_window.settings().customFilter);
        m_p.folder->relistFolder();
    }
    m_p.folder->resumeShownThumbnails();
}

void FileCommands::activationChanged(bool active) {
    if (!active) {
        m_window.images().suspendThumbnails();
        if (m_watchAllowed && !m_window.images().folder().empty() && m_watcher->isValid())
            m_watcher->watch(m_window.images().folder());
        return;
    }
    m_p.folder->resumeShownThumbnails();
    // A drive mounted or removed meanwhile shows in the tree.
    m_window.browserPane()->folderTree()->updatePlaces(shell::systemPlaces());
    if (m_watcher->folder().empty()) return;
    m_watcher->readEvents();
    const bool changed =
        m_watcher->hasChanges() && m_watcher->folder() == m_window.images().folder();
    m_watcher->unwatch();
    if (!changed) return;
    m_p.folder->relistFolder();
}

}  // namespace kalder::gui
