#include "app/gui/tool_launcher.h"

#include <algorithm>

#include "app/gui/browser_pane.h"
#include "app/gui/folder_navigator.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/main_window.h"
#include "app/gui/main_window_p.h"
#include "app/gui/tools/tool_commands.h"
#include "app/gui/viewer_frames.h"
#include "app/gui/viewing_area.h"
#include "view/folder_images.h"
#include "view/thumbnail_loader.h"

namespace kalder::gui {

void ToolLauncher::registerCommands() { registerToolCommands(*this); }

QWidget* ToolLauncher::dialogParent() { return &m_window; }

app::Settings& ToolLauncher::settings() { return m_window.settings(); }

app::CommandDispatcher& ToolLauncher::commands() { return m_p.commands; }

bool ToolLauncher::runCommand(app::CommandId id) { return m_window.runCommand(id); }

bool ToolLauncher::viewerMode() const { return m_window.viewerMode(); }

std::filesystem::path ToolLauncher::currentFolder() const { return m_window.images().folder(); }

std::filesystem::path ToolLauncher::treeFolder() const {
    const BrowserPane* browser = m_window.browserPane();
    const FolderTreePane* tree = browser ? browser->folderTree() : nullptr;
    return tree ? tree->currentFolder() : std::filesystem::path();
}

std::filesystem::path ToolLauncher::currentFile() const { return m_window.currentFile(); }

const view::ImageEntry* ToolLauncher::currentEntry() const { return m_window.currentEntry(); }

std::vector<const view::ImageEntry*> ToolLauncher::selectedEntries() const {
    return m_window.images().selectedEntries();
}

view::DisplayRequest ToolLauncher::displayRequest() const {
    const ViewingArea* area = m_window.viewingArea();
    const view::PixelSize client{std::max(1, area ? area->width() : 1),
                                 std::max(1, area ? area->height() : 1)};
    return m_window.viewState().buildRequest(m_window.currentEntry(), client);
}

std::int32_t ToolLauncher::shownPage() const { return m_p.frames->animation().page(); }

const image::Bitmap32* ToolLauncher::shownBitmap() const {
    const ViewingArea* area = m_window.viewingArea();
    return area ? area->image() : nullptr;
}

double ToolLauncher::viewerGamma() const { return m_window.viewState().gamma(); }

void ToolLauncher::onImageShown(std::function<void()> callback) {
    QObject::connect(&m_window, &MainWindow::imageShown, &m_window,
                     [callback = std::move(callback)](bool) { callback(); });
}

bool ToolLauncher::pauseThumbnails() {
    view::FolderImages& images = m_window.images();
    const bool running = !images.thumbnailLoader().suspended();
    images.suspendThumbnails();
    return running;
}

void ToolLauncher::resumeThumbnails() { m_window.images().resumeThumbnails(); }

void ToolLauncher::resumeShownThumbnails() { m_p.folder->resumeShownThumbnails(); }

void ToolLauncher::stopLoaders() { m_window.images().stopLoaders(); }

void ToolLauncher::restartLoaders() { m_window.images().restartLoaders(); }

void ToolLauncher::refreshFolder() { m_window.runCommand(app::cmd::kRefresh); }

void ToolLauncher::refreshRewrittenFiles() { m_p.folder->refreshRewrittenFiles(); }

void ToolLauncher::commandStatesChanged() { m_window.refreshToolbar(); }

}  // namespace kalder::gui
