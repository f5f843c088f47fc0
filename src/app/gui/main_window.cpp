// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/main_window.h"

#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <array>

#include "app/core/toolbar_table.h"
#include "app/core/translatable.h"
#include "app/gui/display_setup.h"
#include "app/gui/file_commands.h"
#include "app/gui/icons.h"
#include "app/gui/menus.h"
#include "app/gui/name_bar.h"
#include "app/gui/properties_panel.h"
#include "app/gui/status_bar.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/tool_launcher.h"
#include "app/gui/toolbar.h"
#include "app/gui/translations.h"
#include "app/gui/viewer_commands.h"
#include "app/gui/viewer_frames.h"
#include "app/gui/viewing_area.h"
#include "app/gui/window_commands.h"
#include "app/gui/window_keys.h"
#include "app/gui/window_placement.h"
#include "app/gui/window_status.h"
#include "image/cdx_loader.h"
#include "image/exif/exif_block.h"
#include "image/format_table.h"
#include "image/image_document.h"
#include "shell/qt/qt_path.h"
#include "view/display_loader.h"
#include "view/folder_images.h"

namespace kalder::gui {
namespace fs = std::filesystem;
namespace cmd = app::cmd;

namespace {

const QString kTitle = QStringLiteral("Kalder");

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(kTitle);
    setWindowIcon(applicationIcon());
    keepWindowsOnScreen();
    app::ensureToolbarLayout(m_settings);
    app::ensureShortcuts(m_settings);
    m_images = std::make_unique<view::FolderImages>();
    m_files = std::make_unique<FileCommands>(*this);
    m_frames = std::make_unique<ViewerFrames>(*this);
    m_viewer = std::make_unique<ViewerCommands>(*this);
    m_status = std::make_unique<WindowStatus>(*this);
    m_windowCommands = std::make_unique<WindowCommands>(*this);
    m_keys = std::make_unique<WindowKeys>(*this);
    // The loader's worker only posts; the frame is shown on this thread.
    m_images->displayLoader().setDecodeEnded([this] {
        QMetaObject::invokeMethod(
            this, [this] { m_frames->decodeEnded(); }, Qt::QueuedConnection);
    });
    m_tools = std::make_unique<ToolLauncher>(*this);
    buildPanes();
    registerCommands();
    m_tools->registerCommands();
    m_keys->rebuild();
    resize(1024, 768);

    m_display = std::make_unique<DisplaySetup>();

    connect(m_view, &ViewingArea::wheelNotch, this,
            [this](bool forward, bool shiftHeld) { m_viewer->wheelNotch(forward, shiftHeld); });
    connect(m_view, &ViewingArea::pagingKey, this, [this](int key) { m_viewer->pagingKey(key); });
    connect(m_view, &ViewingArea::clientResized, this, [this] { m_frames->clientResized(); });
    connect(m_view, &ViewingArea::fileDropped, this,
            [this](const std::filesystem::path& path) { openFile(path); });
    connect(m_view, &ViewingArea::toggleBrowserRequested, this,
            [this] { runCommand(app::cmd::kViewerBrowser); });
    connect(m_view, &ViewingArea::contextMenuRequested, this,
            [this](const QPoint& at) { showContextMenu(app::ContextMenu::ViewingArea, at); });

    m_frames->slideShow().setSettings(
        {m_settings.slideDelay, m_settings.slideBackward, m_settings.slideRepeat});

    m_state.setFitMode(static_cast<view::FitMode>(std::clamp(m_settings.fitMode, 0, 4)));
    m_state.setZoomRule(static_cast<view::ZoomRule>(std::clamp(m_settings.zoomScope, 0, 2)));
    m_images->setSortKey(static_cast<view::SortKey>(std::clamp(m_settings.sortMode, 0, 3)));
    m_images->setSortOrder(m_settings.sortDescending ? view::SortOrder::Descending
                                                     : view::SortOrder::Ascending);
    m_browser->fileList()->setImages(m_images.get());
    m_browser->fileList()->setSortIndicator(m_images->sortKey(), m_images->sortOrder());
    applyDisplayOptions();
    applyColorSettings(true);
    m_keys->enable();
}

MainWindow::~MainWindow() {
    m_keys.reset();
    m_frames->stop();
    m_settings.sortMode = static_cast<std::int32_t>(m_images->sortKey());
    m_view->Clear();
    m_browser->fileList()->setImages(nullptr);
    m_images.reset();
}

ToolContext& MainWindow::toolContext() { return *m_tools; }
void MainWindow::openOptions() { m_windowCommands->options(); }
const app::AcceleratorTable& MainWindow::accelerators() const { return m_keys->table(); }

const view::SlideShow& MainWindow::slideShow() const { return m_frames->slideShow(); }

const view::AnimationPlayer& MainWindow::animation() const { return m_frames->animation(); }

bool MainWindow::isIdle() const { return m_frames->idle(); }

QWidget* MainWindow::batchPanel() const { return m_tools ? m_tools->toolPanel() : nullptr; }

// --- files ---

bool MainWindow::loadFolder(const fs::path& folder) {
    m_files->forgetFindStart();
    m_frames->clearShown();
    m_entry = nullptr;
    m_images->setFilter(static_cast<view::FilterMode>(std::clamp(m_settings.filterMode, 0, 3)),
                        m_settings.customFilter);
    const bool ok = m_images->loadFolder(folder);
    m_browser->fileList()->refresh();
    if (!m_viewerMode) m_browser->setBrowserView(app::browserViewOf(m_settings));
    return ok;
}

bool MainWindow::openFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        m_status->cannotView(path);
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
        m_frames->clearShown();
        m_images->loadFolder(file.parent_path());
        m_browser->fileList()->refresh();
        m_images->setFilter(static_cast<view::FilterMode>(std::clamp(m_settings.filterMode, 0, 3)),
                            m_settings.customFilter);
        entry = m_images->find(name);
    }
    if (!entry) {
        m_status->cannotView(path);
        return false;
    }
    moveTo(entry);
    return true;
}

bool MainWindow::openFolder(const fs::path& folder) {
    if (!loadFolder(folder) || m_images->size() == 0) return false;
    moveTo(m_images->at(0));
    return true;
}

void MainWindow::navigate(int command) {
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

void MainWindow::moveTo(view::ImageEntry* entry, bool keepSelection) {
    if (!entry) return;
    m_entry = entry;
    m_status->forgetReported();
    m_current = entry->path();
    m_status->showTitle();
    if (!m_viewerMode) m_browser->fileList()->setCurrent(entry, keepSelection);
    m_frames->requestCurrent();
}

void MainWindow::resumeShownThumbnails() {
    // Only the browser's thumbnail views show thumbnails; the list and details views and the
    // viewer do not.
    if (!m_viewerMode && m_browser->fileList()->thumbnailMode()) m_images->resumeThumbnails();
}

void MainWindow::sortBrowser(view::SortKey key, view::SortOrder order) {
    m_settings.sortMode = static_cast<std::int32_t>(key);
    m_settings.sortDescending = order == view::SortOrder::Descending;
    ThumbnailBrowser* list = m_browser->fileList();
    const bool changedKey = m_images->sort(key);
    const bool changedOrder = m_images->setSortOrder(order);
    list->setSortIndicator(m_images->sortKey(), m_images->sortOrder());
    if (!changedKey && !changedOrder) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    list->refresh();
    if (!m_viewerMode) list->setCurrent(m_entry);
    QApplication::restoreOverrideCursor();
    m_frames->requestCurrent();
}

void MainWindow::relistFolder(bool afterMove) {
    listCurrentFolder(afterMove);
    // The new entries have no thumbnails yet: a thread held by a dialog meanwhile goes on.
    resumeShownThumbnails();
    if (m_entry)
        m_frames->requestCurrent();
    else if (m_images->size() > 0)
        moveTo(m_images->at(0));
    else
        m_status->showFile();
}

void MainWindow::refreshRewrittenFiles() {
    if (m_images->folder().empty()) return;
    const std::string name = m_entry ? m_entry->name() : std::string();
    m_frames->clearShown();
    m_entry = nullptr;
    m_images->reload(nullptr);
    m_entry = name.empty() ? nullptr : m_images->find(name);
    relistFolder();
}

void MainWindow::entryRenamed(view::ImageEntry* entry) {
    if (entry != m_entry) {
        // The loaders were stopped; the current image is asked for again all the same.
        m_frames->requestCurrent();
        return;
    }
    m_current = entry->path();
    m_nameBar->setFile(shell::toQString(entry->name()), QString::fromStdString(entry->description));
    m_status->showFile();
    updateProperties();
    m_frames->requestCurrent();
}

// --- requests and frames ---

// --- options ---

void MainWindow::applyDisplayOptions() {
    m_view->SetBackground(app::viewerBackground(m_settings));
    m_nameBar->setBackgroundColor(app::viewerBackground(m_settings));
    m_view->SetWallpaper(m_settings.wallpaperBackground);
    m_view->SetOsdSize(static_cast<view::OsdSize>(std::clamp(m_settings.osdSize, -1, 3)));
}

void MainWindow::applyLoaderOptions(bool force) {
    if (m_display->applyLoaderOptions(m_settings, *m_images, force) && !m_viewerMode)
        m_browser->setBrowserView(app::browserViewOf(m_settings));
    m_frames->dropReleasedFrame();
}

void MainWindow::applyColorSettings(bool startUp) {
    if (!m_display->takeColorSettings(m_settings) && !startUp) {
        applyLoaderOptions(false);
        m_frames->requestCurrent();
        return;
    }
    // The manager and the table are shared with the loaders' workers: stop them first.
    m_images->stopLoaders();
    m_frames->dropReleasedFrame();
    if (const auto error = m_display->applyColor())
        QMessageBox::warning(this, kTitle, coreText(app::kMessagesContext, *error));
    applyLoaderOptions(true);
    m_images->restartLoaders();
    if (!startUp) m_frames->requestCurrent();
}

void MainWindow::applySettings() {
    m_state.setFitMode(static_cast<view::FitMode>(std::clamp(m_settings.fitMode, 0, 4)));
    m_state.setZoomRule(static_cast<view::ZoomRule>(std::clamp(m_settings.zoomScope, 0, 2)));
    applyDisplayOptions();
    app::ensureToolbarLayout(m_settings);
    app::ensureShortcuts(m_settings);
    m_keys->rebuild();
    m_browser->toolbar()->RebuildToolbar(m_settings.toolbarButtons);
    m_browser->toolbar()->setTextUnderIcons(m_settings.toolbarTextUnderIcons);
    m_browser->setBrowserView(app::browserViewOf(m_settings));
    m_frames->slideShow().setSettings(
        {m_settings.slideDelay, m_settings.slideBackward, m_settings.slideRepeat});
    m_browser->fileList()->setFileTooltips(m_settings.fileTooltips);
    m_browser->fileList()->setScrollBarSize(m_settings.browserScrollBarSize);
    if (m_images->sort(static_cast<view::SortKey>(std::clamp(m_settings.sortMode, 0, 3))))
        m_browser->fileList()->refresh();
    m_nameBarVisible = m_settings.nameBarVisible;
    if (m_browser->enhancedLayout() != m_settings.enhancedLayout) relayout();
    m_nameBar->setVisible(m_nameBarVisible && !m_browserOnly);
    applyColorSettings(false);
}

}  // namespace kalder::gui
