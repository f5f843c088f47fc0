// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/main_window.h"

#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <array>

#include "app/core/toolbar_table.h"
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
#include "app/gui/viewer_frames.h"
#include "app/gui/viewing_area.h"
#include "app/gui/window_placement.h"
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
    // The loader's worker only posts; the frame is shown on this thread.
    m_images->displayLoader().setDecodeEnded([this] {
        QMetaObject::invokeMethod(
            this, [this] { m_frames->decodeEnded(); }, Qt::QueuedConnection);
    });
    m_tools = std::make_unique<ToolLauncher>(*this);
    buildPanes();
    registerCommands();
    m_tools->registerCommands();
    rebuildAccelerators();
    m_acceleratorsEnabled = true;
    resize(1024, 768);

    m_display = std::make_unique<DisplaySetup>();

    connect(m_view, &ViewingArea::wheelNotch, this, &MainWindow::onWheelNotch);
    connect(m_view, &ViewingArea::pagingKey, this, &MainWindow::onPagingKey);
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
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    m_frames->stop();
    m_settings.sortMode = static_cast<std::int32_t>(m_images->sortKey());
    m_view->Clear();
    m_browser->fileList()->setImages(nullptr);
    m_images.reset();
}

ToolContext& MainWindow::toolContext() { return *m_tools; }

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
        QMessageBox::critical(this, kTitle, cannotViewText(path));
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
        QMessageBox::critical(this, kTitle, cannotViewText(path));
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
    m_reportedEntry = nullptr;
    m_current = entry->path();
    showTitle();
    if (!m_viewerMode) m_browser->fileList()->setCurrent(entry, keepSelection);
    m_frames->requestCurrent();
}

void MainWindow::showTitle() {
    setWindowTitle(m_current.empty()
                       ? kTitle
                       : shell::toQString(m_current.filename()) + QStringLiteral(" - ") + kTitle);
}

QString MainWindow::cannotViewText(const fs::path& path) {
    QString text = QStringLiteral("Cannot view file: \"%1.\"").arg(shell::toQString(path));
    // A codec module missing from the installation is something the user can fix: say which.
    if (const std::string why = image::cdx::missingModuleMessage(path); !why.empty())
        text += QStringLiteral("\n\n") + QString::fromStdString(why);
    return text;
}

void MainWindow::reportUnviewable() {
    const QString text = cannotViewText(m_current);
    const QString reason =
        QString::fromStdString(view::loadFailureReason(m_current, m_entry->document().lastError()));
    if (m_failureBox) {
        m_failureBox->setText(text);
        m_failureBox->setInformativeText(reason);
        return;
    }
    // Not modal for the program: a slide show or the next key may move on meanwhile.
    m_failureBox = new QMessageBox(QMessageBox::Critical, kTitle, text, QMessageBox::Ok, this);
    m_failureBox->setInformativeText(reason);
    m_failureBox->setAttribute(Qt::WA_DeleteOnClose);
    m_failureBox->setWindowModality(Qt::NonModal);
    m_failureBox->show();
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
        showFileInfo();
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
    showTitle();
    m_nameBar->setFile(shell::toQString(entry->name()), QString::fromStdString(entry->description));
    showFileInfo();
    updateProperties();
    m_frames->requestCurrent();
}

// --- requests and frames ---

// --- commands ---

void MainWindow::applyAction(const view::ViewAction& a, bool anchorAtCursor) {
    if (a.lensOff) m_view->SetLens(false);
    if (a.zoom) m_view->SetZoom(*a.zoom, anchorAtCursor);
    if (a.lensOn) m_view->SetLens(true);
    if (a.osdIcon) {
        // The icon tells that the image is turned or mirrored; back upright, it goes.
        const bool upright =
            m_state.rotation() == 0 && !m_state.flipHorizontal() && !m_state.flipVertical();
        m_view->ShowOsdIcon(upright ? -1 : *a.osdIcon);
    }
    if (a.requestImage) m_frames->requestCurrent();
}

void MainWindow::zoomCommand(view::ViewState::ZoomCommand command, bool anchorAtCursor) {
    if (!m_view->image()) return;
    const image::Bitmap32* frame = m_view->image();
    applyAction(m_state.zoomCommand(command, m_view->zoom(), {frame->width(), frame->height()},
                                    m_frames->vectorShown()),
                anchorAtCursor);
}

void MainWindow::gammaChanged() {
    m_view->SetGamma(m_state.displayGamma(), m_state.gammaPosition());
    updateProperties();
}

void MainWindow::lensCommand() {
    if (m_view->lens()) {
        applyAction(m_state.lensOffCommand());
        return;
    }
    if (!m_view->image() || m_frames->vectorShown()) return;
    applyAction(m_state.lensOn(m_view->zoom()));
}

void MainWindow::panorama(int command) {
    const image::Bitmap32* frame = m_view->image();
    if (!frame) return;
    const int step = view::ViewGeometry::panoramaStep(frame->width());
    const int offset = m_view->panoramaOffset();
    switch (command) {
        case app::cmd::kScrollLeft:
            m_view->SetPanoramaOffset(offset - step);
            break;
        case app::cmd::kScrollRight:
            m_view->SetPanoramaOffset(offset + step);
            break;
        case app::cmd::kScrollLeftSlowly:
            m_view->SetPanoramaOffset(offset - 1);
            break;
        case app::cmd::kScrollRightSlowly:
            m_view->SetPanoramaOffset(offset + 1);
            break;
        default:
            m_view->SetPanoramaOffset(0);
            break;
    }
}

void MainWindow::onWheelNotch(bool forward, bool shiftHeld) {
    const int effect = shiftHeld ? 2 : m_settings.controlOptions[1];
    if (effect == 0) {
        if (!m_view->image()) return;
        runCommand(forward ? app::cmd::kPreviousFile : app::cmd::kNextFile);
    } else if (effect == 1) {
        zoomCommand(forward ? view::ViewState::ZoomCommand::In : view::ViewState::ZoomCommand::Out,
                    true);
    } else {
        const view::Point p = m_view->geometry().wheelScrollTarget(forward);
        m_view->ScrollTo(p.x, p.y);
    }
}

void MainWindow::onPagingKey(int key) {
    if (m_settings.controlOptions[0] != 1) {
        static constexpr std::array kCommands = {app::cmd::kPreviousFile, app::cmd::kNextFile,
                                                 app::cmd::kFirstFile, app::cmd::kLastFile};
        if (key >= 0 && key < 4) runCommand(kCommands[static_cast<std::size_t>(key)]);
        return;
    }
    const view::ViewGeometry& g = m_view->geometry();
    view::Point p;
    switch (static_cast<PagingKey>(key)) {
        case PagingKey::PageUp:
            p = g.pageKeyTarget(false);
            break;
        case PagingKey::PageDown:
            p = g.pageKeyTarget(true);
            break;
        case PagingKey::Home:
            p = view::ViewGeometry::homeTarget();
            break;
        case PagingKey::End:
            p = view::ViewGeometry::endTarget();
            break;
    }
    m_view->ScrollTo(p.x, p.y);
}

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
        QMessageBox::warning(
            this, kTitle, QString::fromUtf8(error->data(), static_cast<qsizetype>(error->size())));
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
    rebuildAccelerators();
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
