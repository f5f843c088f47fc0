// The main window's file and folder commands: rename, delete, copy/move, the folder tree's
// commands, descriptions, Find Image, the file filter, and watching the folder while inactive.
// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <algorithm>
#include <optional>

#include "app/gui/dialogs/copy_move_dialog.h"
#include "app/gui/dialogs/describe_image_dialog.h"
#include "app/gui/dialogs/file_exists_dialog.h"
#include "app/gui/dialogs/file_filter_dialog.h"
#include "app/gui/dialogs/find_image_dialog.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/main_window.h"
#include "app/gui/name_bar.h"
#include "app/gui/operation_feedback.h"
#include "app/gui/properties_panel.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/viewing_area.h"
#include "image/format_table.h"
#include "shell/file_operations.h"
#include "shell/folder_watcher.h"
#include "shell/places.h"
#include "shell/qt/qt_path.h"
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
        QString name = parts[i];
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

void MainWindow::registerFileCommands() {
    auto& d = m_commands;
    d.on(cmd::kOpenFile, [this](auto) { openFileCommand(); });
    d.on(cmd::kDeleteFiles, [this](auto) { deleteFilesCommand(); });
    d.on(cmd::kRenameFile, [this](auto) { renameFileCommand(); });
    d.on(cmd::kCopyMoveToFolder, [this](auto) { copyMoveCommand(); });
    d.on(cmd::kDescribeImage, [this](auto) { describeCommand(); });
    d.on(cmd::kFindImage, [this](auto) { findCommand(false); });
    d.on(cmd::kFindNextImage, [this](auto) { findCommand(true); });
    d.on(cmd::kFileFilter, [this](auto) { fileFilterCommand(); });
    d.on(cmd::kNewFolder, [this](auto) { folderCommand(cmd::kNewFolder); });
    d.on(cmd::kRenameFolder, [this](auto) { folderCommand(cmd::kRenameFolder); });
    d.on(cmd::kDeleteFolder, [this](auto) { folderCommand(cmd::kDeleteFolder); });
    d.on(cmd::kPreviousFolder, [this](auto) { folderCommand(cmd::kPreviousFolder); });
    d.on(cmd::kNextFolder, [this](auto) { folderCommand(cmd::kNextFolder); });

    ThumbnailBrowser* files = m_browser->fileList();
    connect(files, &ThumbnailBrowser::entryRenamed, this,
            [this](view::ImageEntry* e) { entryRenamed(e); });
    FolderTreePane* tree = m_browser->folderTree();
    tree->setFileOperations(m_fileOps.get());
    tree->setSettings(&m_settings);
    connect(tree, &FolderTreePane::folderRenamed, this,
            [this](const QString& from, const QString& to) {
                folderRenamed(shell::toPath(from), shell::toPath(to));
            });
    connect(tree, &FolderTreePane::filesDropped, this,
            [this](const QStringList& sources, const QString& target, bool moved) {
                filesDropped(sources, shell::toPath(target), moved);
            });
}

void MainWindow::folderCommand(int command) {
    FolderTreePane* tree = m_browser->folderTree();
    // The tree follows the folder on screen, also when it was opened from the viewer.
    if (!m_images->folder().empty() && tree->currentFolder() != m_images->folder())
        tree->setCurrentFolder(m_images->folder());
    WatchPause pause(m_watchAllowed);
    switch (command) {
        case cmd::kPreviousFolder:
            tree->selectSibling(-1);
            break;
        case cmd::kNextFolder:
            tree->selectSibling(+1);
            break;
        case cmd::kNewFolder:
            if (!m_viewerMode) tree->newFolder();
            break;
        case cmd::kRenameFolder:
            if (!m_viewerMode) tree->renameCurrent();
            break;
        case cmd::kDeleteFolder: {
            if (m_viewerMode) break;
            const fs::path doomed = tree->currentFolder();
            // The tree selects the parent afterwards, which lists it; should it not, the list
            // must not stay on a folder that is gone.
            if (tree->deleteCurrent() && !doomed.empty() &&
                shell::isSameOrInside(doomed, m_images->folder()))
                showBrowserFolder(doomed.parent_path());
            break;
        }
        default:
            break;
    }
}

void MainWindow::folderRenamed(const fs::path& from, const fs::path& to) {
    const fs::path shown = m_images->folder();
    if (shown.empty() || !shell::isSameOrInside(from, shown)) return;
    // The folder on screen (or one above it) has a new name: list it under that name, keeping
    // the current file.
    const fs::path below = shown.lexically_normal().lexically_relative(from.lexically_normal());
    const fs::path moved = below == "." ? to : to / below;
    const std::string name = m_entry ? m_entry->name() : std::string();
    if (!loadFolder(moved)) return;
    m_settings.lastFolder = moved.string();
    view::ImageEntry* entry = name.empty() ? nullptr : m_images->find(name);
    if (!entry && m_images->size() > 0) entry = m_images->at(0);
    if (entry) moveTo(entry);
}

void MainWindow::filesDropped(const QStringList& sources, const fs::path& target, bool moved) {
    const fs::path shown = m_images->folder();
    if (shown.empty()) return;
    bool touched = target == shown;
    if (moved)
        for (const QString& s : sources)
            touched = touched || shell::toPath(s).parent_path() == shown;
    if (!touched) return;
    relistFolder(moved);
}

void MainWindow::deleteFilesCommand() {
    if (!m_entry) return;
    WatchPause pause(m_watchAllowed);
    // Shift held at the moment of the command deletes for good instead of to the Trash.
    const bool forGood = QApplication::keyboardModifiers() & Qt::ShiftModifier;
    ThumbnailBrowser* files = m_browser->fileList();
    // In the viewer the file on screen is the one meant.
    if (m_viewerMode) m_images->selectOnly(m_entry);
    files->deleteSelected(forGood);
}

void MainWindow::renameFileCommand() {
    if (!m_entry) return;
    WatchPause pause(m_watchAllowed);
    ThumbnailBrowser* files = m_browser->fileList();
    if (!m_viewerMode && files->isVisible()) {
        files->setCurrent(m_entry, true);
        files->startRename();
        return;
    }
    bool ok = false;
    const QString name = QInputDialog::getText(
        this, QStringLiteral("Rename"), QStringLiteral("Enter new file name:"), QLineEdit::Normal,
        shell::toQString(m_entry->name()), &ok);
    if (ok) files->renameEntry(m_entry, name.trimmed());
}

void MainWindow::openFileCommand() {
    const QString filter = fileDialogFilter();
    const QString folder = shell::toQString(
        m_images->folder().empty() ? fs::path(m_settings.lastFolder) : m_images->folder());
    const QString chosen = chooseFileToOpen ? chooseFileToOpen(filter, folder)
                                            : QFileDialog::getOpenFileName(
                                                  this, QStringLiteral("Open"), folder, filter);
    if (chosen.isEmpty()) return;
    // From now on the file's whole folder is listed, as after a start on a file.
    m_settings.commandLineFile.clear();
    if (!openFile(shell::toPath(chosen)) || m_images->folder().empty()) return;
    m_settings.lastFolder = m_images->folder().string();
    if (!m_viewerMode) m_browser->folderTree()->setCurrentFolder(m_images->folder());
}

std::vector<fs::path> MainWindow::chosenFiles() const {
    std::vector<fs::path> paths;
    if (m_viewerMode) {
        if (m_entry) paths.push_back(m_entry->path());
        return paths;
    }
    for (const view::ImageEntry* e : m_images->selectedEntries()) paths.push_back(e->path());
    return paths;
}

void MainWindow::copyMoveCommand() {
    const std::vector<fs::path> sources = chosenFiles();
    if (sources.empty()) return;
    CopyMoveDialog dialog(m_settings, sources, this);
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
            this, QStringLiteral("File already exists:"), shell::toQString(target), false);
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
        if (move) m_images->stopLoaders();
        result = move ? m_fileOps->moveTo(sources, folder, ask)
                      : m_fileOps->copyTo(sources, folder, ask);
    }
    if (move) {
        m_images->restartLoaders();
        m_browser->folderTree()->refreshFolder(folder);
        relistFolder(true);
    }
    if (!result.errors.empty()) QMessageBox::warning(this, kTitle, errorList(result.errors));
}

void MainWindow::describeCommand() {
    if (!m_entry || m_entry->pageCount() == 0) return;
    QWidget* owner =
        m_properties && m_properties->isVisible() ? static_cast<QWidget*>(m_properties) : this;
    DescribeImageDialog dialog(shell::toQString(m_entry->name()),
                               QString::fromStdString(m_entry->description), owner);
    if (dialog.exec() != QDialog::Accepted) return;
    m_entry->description = dialog.description().toStdString();
    // A failed write keeps the description for this session and says nothing, as before.
    view::writeDescriptions(m_images->folder(), m_images->entries());
    m_nameBar->setFile(shell::toQString(m_entry->name()),
                       QString::fromStdString(m_entry->description));
    updateProperties();
}

void MainWindow::findCommand(bool next) {
    if (m_images->size() == 0) return;
    if (next && !m_finder.canFindNext()) return;
    if (!next) {
        FindImageDialog dialog(m_settings, this);
        if (dialog.exec() != QDialog::Accepted) return;
    }
    view::ImageFinder::Result result;
    {
        WaitCursor wait;
        result = next ? m_finder.findNext(m_images->entries(), m_entry)
                      : m_finder.find(
                            m_images->entries(), m_entry,
                            QString::fromStdString(m_settings.findText).trimmed().toStdString(),
                            findOptionsFrom(m_settings));
    }
    using Outcome = view::ImageFinder::Outcome;
    if (result.entry && (result.outcome == Outcome::Found || result.outcome == Outcome::Complete)) {
        moveTo(const_cast<view::ImageEntry*>(result.entry));
        if (!m_viewerMode) {
            // The hit is marked as the current file of a focused list, also when the search
            // began in the folder tree; the activation after the dialog gives the focus back
            // to the list too.
            ThumbnailBrowser* list = m_browser->fileList();
            m_lastFocus = list;
            list->setFocus(Qt::OtherFocusReason);
        }
    }
    const QString message = QString::fromStdString(result.message());
    if (result.outcome == Outcome::NotFound)
        QMessageBox::warning(this, kTitle, message);
    else if (result.outcome == Outcome::Complete)
        QMessageBox::information(this, kTitle, message);
}

void MainWindow::fileFilterCommand() {
    // No thumbnails are made for a list that is about to change.
    m_images->suspendThumbnails();
    FileFilterDialog dialog(m_settings, this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (accepted && !m_images->folder().empty()) {
        m_images->setFilter(static_cast<view::FilterMode>(std::clamp(m_settings.filterMode, 0, 3)),
                            m_settings.customFilter);
        relistFolder();
    }
    resumeShownThumbnails();
}

void MainWindow::resumeShownThumbnails() {
    // Only the browser's thumbnail views show thumbnails; the list view and the viewer do not.
    if (!m_viewerMode && app::browserViewOf(m_settings) != app::BrowserView::List)
        m_images->resumeThumbnails();
}

void MainWindow::relistFolder(bool afterMove) {
    listCurrentFolder(afterMove);
    // The new entries have no thumbnails yet: a thread held by a dialog meanwhile goes on.
    resumeShownThumbnails();
    if (m_entry)
        requestCurrent();
    else if (m_images->size() > 0)
        moveTo(m_images->at(0));
    else
        showFileInfo();
}

void MainWindow::refreshRewrittenFiles() {
    if (m_images->folder().empty()) return;
    const std::string name = m_entry ? m_entry->name() : std::string();
    clearShown();
    m_entry = nullptr;
    m_images->reload(nullptr);
    m_entry = name.empty() ? nullptr : m_images->find(name);
    relistFolder();
}

void MainWindow::entryRenamed(view::ImageEntry* entry) {
    if (entry != m_entry) {
        // The loaders were stopped; the current image is asked for again all the same.
        requestCurrent();
        return;
    }
    m_current = entry->path();
    showTitle();
    m_nameBar->setFile(shell::toQString(entry->name()), QString::fromStdString(entry->description));
    showFileInfo();
    updateProperties();
    requestCurrent();
}

void MainWindow::activationChanged(bool active) {
    if (!active) {
        m_images->suspendThumbnails();
        if (m_watchAllowed && !m_images->folder().empty() && m_watcher->isValid())
            m_watcher->watch(m_images->folder());
        return;
    }
    resumeShownThumbnails();
    // A drive mounted or removed meanwhile shows in the tree.
    m_browser->folderTree()->updatePlaces(shell::systemPlaces());
    if (m_watcher->folder().empty()) return;
    m_watcher->readEvents();
    const bool changed = m_watcher->hasChanges() && m_watcher->folder() == m_images->folder();
    m_watcher->unwatch();
    if (!changed) return;
    relistFolder();
}

}  // namespace kalder::gui
