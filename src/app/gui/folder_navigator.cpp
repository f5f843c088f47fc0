#include "app/gui/folder_navigator.h"

#include <QApplication>
#include <algorithm>
#include <array>

#include "app/core/command_ids.h"
#include "app/core/settings.h"
#include "app/gui/browser_pane.h"
#include "app/gui/file_commands.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/viewer_frames.h"
#include "app/gui/window_status.h"
#include "view/folder_images.h"
#include "view/image_entry.h"

namespace kalder::gui {
namespace fs = std::filesystem;
namespace cmd = app::cmd;

FolderNavigator::FolderNavigator(Links links)
    : m_links(std::move(links)), m_images(std::make_unique<view::FolderImages>()) {}

FolderNavigator::~FolderNavigator() = default;

void FolderNavigator::setBrowser(BrowserPane* browser) { m_browser = browser; }

void FolderNavigator::restoreFilter() {
    const app::Settings& s = m_links.settings;
    m_images->setFilter(static_cast<view::FilterMode>(std::clamp(s.filterMode, 0, 3)),
                        s.customFilter);
}

bool FolderNavigator::loadFolder(const fs::path& folder) {
    forgetEntries();
    restoreFilter();
    const bool ok = m_images->loadFolder(folder);
    m_browser->fileList()->refresh();
    if (!m_links.viewerMode) m_browser->setBrowserView(app::browserViewOf(m_links.settings));
    return ok;
}

bool FolderNavigator::openFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        m_links.status.cannotView(path);
        return false;
    }
    const fs::path file = fs::absolute(path, ec).lexically_normal();
    const std::string name = file.filename().string();
    if (m_images->folder() != file.parent_path() || !m_images->find(name))
        loadFolder(file.parent_path());
    view::ImageEntry* entry = m_images->find(name);
    if (!entry) {
        // A file the filter leaves out is still shown when asked for by name: the folder is
        // listed with that one name, and the user's filter comes back for the next listing.
        m_images->setFilter(view::FilterMode::Custom, name);
        m_links.frames.clearShown();
        m_images->loadFolder(file.parent_path());
        m_browser->fileList()->refresh();
        restoreFilter();
        entry = m_images->find(name);
    }
    if (!entry) {
        m_links.status.cannotView(path);
        return false;
    }
    moveTo(entry);
    return true;
}

bool FolderNavigator::openFolder(const fs::path& folder) {
    if (!loadFolder(folder) || m_images->size() == 0) return false;
    moveTo(m_images->at(0));
    return true;
}

void FolderNavigator::showBrowserFolder(const fs::path& folder) {
    if (!loadFolder(folder)) return;
    m_links.settings.lastFolder = folder.string();
    if (!m_links.viewerMode) m_browser->folderTree()->setCurrentFolder(folder);
    if (m_images->size() > 0) {
        moveTo(m_images->at(0));
        return;
    }
    clearCurrent();
}

void FolderNavigator::listCurrentFolder(bool afterMove) {
    if (m_images->folder().empty()) return;
    ViewerFrames& frames = m_links.frames;
    // Only the current entry keeps its pages through a reload.
    if (frames.shownEntry() != m_entry) frames.clearShown();
    m_links.files.forgetFindStart();
    const view::ImageEntry* before = m_entry;
    // Files we moved away from under the current one hand its place to the file that followed.
    m_entry = afterMove ? m_images->reloadKeepingPlace(m_entry) : m_images->reload(m_entry);
    // Another entry (or none) means the pages on screen went with the old one.
    if (m_entry != before) {
        frames.clearShown();
        m_links.status.forgetReported();
    } else {
        frames.dropReleasedFrame();
    }
    m_current = m_entry ? m_entry->path() : fs::path();
    m_links.status.showTitle();
    m_browser->fileList()->refresh();
    if (!m_links.viewerMode) {
        m_browser->setBrowserView(app::browserViewOf(m_links.settings));
        m_browser->fileList()->setCurrent(m_entry);
    }
}

void FolderNavigator::relistFolder(bool afterMove) {
    listCurrentFolder(afterMove);
    // The new entries have no thumbnails yet: a thread held by a dialog meanwhile goes on.
    resumeShownThumbnails();
    if (m_entry)
        m_links.frames.requestCurrent();
    else if (m_images->size() > 0)
        moveTo(m_images->at(0));
    else
        m_links.status.showFile();
}

void FolderNavigator::refreshRewrittenFiles() {
    if (m_images->folder().empty()) return;
    const std::string name = m_entry ? m_entry->name() : std::string();
    m_links.frames.clearShown();
    m_entry = nullptr;
    m_images->reload(nullptr);
    m_entry = name.empty() ? nullptr : m_images->find(name);
    relistFolder();
}

void FolderNavigator::entryRenamed(view::ImageEntry* entry) {
    if (entry == m_entry) {
        m_current = entry->path();
        if (m_links.currentRenamed) m_links.currentRenamed();
    }
    // Renaming stopped the loaders; the current image is asked for again all the same.
    m_links.frames.requestCurrent();
}

void FolderNavigator::forgetEntries() {
    m_links.files.forgetFindStart();
    m_links.frames.clearShown();
    m_entry = nullptr;
}

void FolderNavigator::clearCurrent() {
    m_current.clear();
    m_links.status.showNoFile();
}

void FolderNavigator::navigate(int command) {
    static constexpr std::array kNavigation = {
        view::Navigation::PreviousFile,     view::Navigation::NextFile,
        view::Navigation::FirstFile,        view::Navigation::LastFile,
        view::Navigation::PreviousSelected, view::Navigation::NextSelected};
    const auto i = static_cast<std::size_t>(command - cmd::kPreviousFile);
    if (i >= kNavigation.size()) return;
    // Moving among the selected files leaves the selection as it is.
    if (view::ImageEntry* e = m_images->navigate(kNavigation[i], m_entry))
        moveTo(e, command >= cmd::kPreviousSelectedFile);
}

void FolderNavigator::moveTo(view::ImageEntry* entry, bool keepSelection) {
    if (!entry) return;
    m_entry = entry;
    m_links.status.forgetReported();
    m_current = entry->path();
    m_links.status.showTitle();
    if (!m_links.viewerMode) m_browser->fileList()->setCurrent(entry, keepSelection);
    m_links.frames.requestCurrent();
}

void FolderNavigator::sortBrowser(view::SortKey key, view::SortOrder order) {
    m_links.settings.sortMode = static_cast<std::int32_t>(key);
    m_links.settings.sortDescending = order == view::SortOrder::Descending;
    ThumbnailBrowser* list = m_browser->fileList();
    const bool changedKey = m_images->sort(key);
    const bool changedOrder = m_images->setSortOrder(order);
    list->setSortIndicator(m_images->sortKey(), m_images->sortOrder());
    if (!changedKey && !changedOrder) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    list->refresh();
    if (!m_links.viewerMode) list->setCurrent(m_entry);
    QApplication::restoreOverrideCursor();
    m_links.frames.requestCurrent();
}

void FolderNavigator::resumeShownThumbnails() {
    // Only the browser's thumbnail views show thumbnails; the list and details views and the
    // viewer do not.
    if (!m_links.viewerMode && m_browser->fileList()->thumbnailMode()) m_images->resumeThumbnails();
}

}  // namespace kalder::gui
