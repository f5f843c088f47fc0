#include "app/gui/main_window.h"

#include <QApplication>
#include <QMessageBox>
#include <algorithm>

#include "app/core/toolbar_table.h"
#include "app/core/translatable.h"
#include "app/gui/browser_pane.h"
#include "app/gui/display_setup.h"
#include "app/gui/file_commands.h"
#include "app/gui/folder_navigator.h"
#include "app/gui/icons.h"
#include "app/gui/main_window_p.h"
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
#include "view/image_entry.h"

namespace kalder::gui {
namespace fs = std::filesystem;
namespace cmd = app::cmd;

namespace {

const QString kTitle = QStringLiteral("Kalder");

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), m_parts(std::make_unique<WindowParts>(*this)) {
    WindowParts& p = *m_parts;
    setWindowTitle(kTitle);
    setWindowIcon(applicationIcon());
    keepWindowsOnScreen();
    app::ensureToolbarLayout(p.settings);
    app::ensureShortcuts(p.settings);
    p.files = std::make_unique<FileCommands>(*this, p);
    p.frames = std::make_unique<ViewerFrames>(*this, p);
    p.viewer = std::make_unique<ViewerCommands>(*this, p);
    p.status = std::make_unique<WindowStatus>(*this);
    p.windowCommands = std::make_unique<WindowCommands>(*this, p);
    p.keys = std::make_unique<WindowKeys>(*this, p);
    p.folder = std::make_unique<FolderNavigator>(FolderNavigator::Links{
        p.settings, *p.frames, *p.status, *p.files, p.viewerMode, [&p] {
            const view::ImageEntry* e = p.folder->currentEntry();
            p.nameBar->setFile(shell::toQString(e->name()), QString::fromStdString(e->description));
            p.status->showFile();
            p.updateProperties();
        }});
    // The loader's worker only posts; the frame is shown on this thread.
    images().displayLoader().setDecodeEnded([this] {
        QMetaObject::invokeMethod(
            this, [this] { m_parts->frames->decodeEnded(); }, Qt::QueuedConnection);
    });
    p.tools = std::make_unique<ToolLauncher>(*this, p);
    p.buildPanes();
    p.registerCommands();
    p.tools->registerCommands();
    p.keys->rebuild();
    resize(1024, 768);

    p.display = std::make_unique<DisplaySetup>();

    connect(p.view, &ViewingArea::wheelNotch, this,
            [&p](bool forward, bool shiftHeld) { p.viewer->wheelNotch(forward, shiftHeld); });
    connect(p.view, &ViewingArea::pagingKey, this, [&p](int key) { p.viewer->pagingKey(key); });
    connect(p.view, &ViewingArea::clientResized, this, [&p] { p.frames->clientResized(); });
    connect(p.view, &ViewingArea::fileDropped, this,
            [this](const std::filesystem::path& path) { openFile(path); });
    connect(p.view, &ViewingArea::toggleBrowserRequested, this,
            [this] { runCommand(app::cmd::kViewerBrowser); });
    connect(p.view, &ViewingArea::contextMenuRequested, this,
            [&p](const QPoint& at) { p.showContextMenu(app::ContextMenu::ViewingArea, at); });

    p.frames->slideShow().setSettings(
        {p.settings.slideDelay, p.settings.slideBackward, p.settings.slideRepeat});

    p.state.setFitMode(static_cast<view::FitMode>(std::clamp(p.settings.fitMode, 0, 4)));
    p.state.setZoomRule(static_cast<view::ZoomRule>(std::clamp(p.settings.zoomScope, 0, 2)));
    view::FolderImages& images = p.folder->images();
    images.setSortKey(static_cast<view::SortKey>(std::clamp(p.settings.sortMode, 0, 3)));
    images.setSortOrder(p.settings.sortDescending ? view::SortOrder::Descending
                                                  : view::SortOrder::Ascending);
    p.browser->fileList()->setImages(&images);
    p.browser->fileList()->setSortIndicator(images.sortKey(), images.sortOrder());
    p.applyDisplayOptions();
    p.applyColorSettings(true);
    p.keys->enable();
}

MainWindow::~MainWindow() {
    WindowParts& p = *m_parts;
    p.keys.reset();
    p.frames->stop();
    p.settings.sortMode = static_cast<std::int32_t>(images().sortKey());
    p.view->Clear();
    p.browser->fileList()->setImages(nullptr);
    p.folder.reset();
}

WindowParts::WindowParts(MainWindow& w) : window(w) {}
WindowParts::~WindowParts() = default;

FolderNavigator& MainWindow::folder() { return *m_parts->folder; }
bool MainWindow::openFile(const fs::path& path) { return m_parts->folder->openFile(path); }
const fs::path& MainWindow::currentFile() const { return m_parts->folder->currentFile(); }
view::FolderImages& MainWindow::images() { return m_parts->folder->images(); }
view::ImageEntry* MainWindow::currentEntry() const { return m_parts->folder->currentEntry(); }

const ViewerFrames& MainWindow::frames() const { return *m_parts->frames; }
ViewingArea* MainWindow::viewingArea() const { return m_parts->view; }
BrowserPane* MainWindow::browserPane() const { return m_parts->browser; }
NameBar* MainWindow::nameBar() const { return m_parts->nameBar; }
const view::ViewState& MainWindow::viewState() const { return m_parts->state; }
WindowStatus& MainWindow::status() { return *m_parts->status; }
app::Settings& MainWindow::settings() { return m_parts->settings; }
ToolContext& MainWindow::toolContext() { return *m_parts->tools; }
MenuBuilder* MainWindow::menus() const { return m_parts->menus; }
bool MainWindow::viewerMode() const { return m_parts->viewerMode; }
bool MainWindow::browserOnly() const { return m_parts->browserOnly; }
bool MainWindow::viewerFromBrowser() const { return m_parts->viewerFromBrowser; }

void MainWindow::setSettingsSaver(std::function<bool(const app::Settings&)> saver) {
    m_parts->saveSettings = std::move(saver);
}

QWidget* MainWindow::batchPanel() const {
    return m_parts->tools ? m_parts->tools->toolPanel() : nullptr;
}

// --- options ---

void WindowParts::applyDisplayOptions() {
    view->SetBackground(app::viewerBackground(settings));
    nameBar->setBackgroundColor(app::viewerBackground(settings));
    view->SetWallpaper(settings.wallpaperBackground);
    view->SetOsdSize(static_cast<view::OsdSize>(std::clamp(settings.osdSize, -1, 3)));
}

void WindowParts::applyLoaderOptions(bool force) {
    if (display->applyLoaderOptions(settings, folder->images(), force) && !viewerMode)
        browser->setBrowserView(app::browserViewOf(settings));
    frames->dropReleasedFrame();
}

void WindowParts::applyColorSettings(bool startUp) {
    if (!display->takeColorSettings(settings) && !startUp) {
        applyLoaderOptions(false);
        frames->requestCurrent();
        return;
    }
    // The manager and the table are shared with the loaders' workers: stop them first.
    folder->images().stopLoaders();
    frames->dropReleasedFrame();
    if (const auto error = display->applyColor())
        QMessageBox::warning(&window, kTitle, coreText(app::kMessagesContext, *error));
    applyLoaderOptions(true);
    folder->images().restartLoaders();
    if (!startUp) frames->requestCurrent();
}

void MainWindow::applySettings() {
    WindowParts& p = *m_parts;
    const app::Settings& s = p.settings;
    p.state.setFitMode(static_cast<view::FitMode>(std::clamp(s.fitMode, 0, 4)));
    p.state.setZoomRule(static_cast<view::ZoomRule>(std::clamp(s.zoomScope, 0, 2)));
    p.applyDisplayOptions();
    app::ensureToolbarLayout(p.settings);
    app::ensureShortcuts(p.settings);
    p.keys->rebuild();
    p.browser->toolbar()->RebuildToolbar(s.toolbarButtons);
    p.browser->toolbar()->setTextUnderIcons(s.toolbarTextUnderIcons);
    p.browser->setBrowserView(app::browserViewOf(s));
    p.frames->slideShow().setSettings({s.slideDelay, s.slideBackward, s.slideRepeat});
    p.browser->fileList()->setFileTooltips(s.fileTooltips);
    p.browser->fileList()->setScrollBarSize(s.browserScrollBarSize);
    if (images().sort(static_cast<view::SortKey>(std::clamp(s.sortMode, 0, 3))))
        p.browser->fileList()->refresh();
    p.nameBarVisible = s.nameBarVisible;
    if (p.browser->enhancedLayout() != s.enhancedLayout) p.relayout();
    p.nameBar->setVisible(p.nameBarVisible && !p.browserOnly);
    p.applyColorSettings(false);
}

bool MainWindow::saveSettings() {
    m_parts->settings.sortMode = static_cast<std::int32_t>(images().sortKey());
    return m_parts->saveSettings && m_parts->saveSettings(m_parts->settings);
}

}  // namespace kalder::gui
