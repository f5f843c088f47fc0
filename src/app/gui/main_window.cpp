// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/main_window.h"

#include <QApplication>
#include <QMessageBox>
#include <QScopeGuard>
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

constexpr int kFrameTickMs = 50;
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
    connect(m_view, &ViewingArea::clientResized, this, [this] { m_resizePending = true; });
    connect(m_view, &ViewingArea::fileDropped, this,
            [this](const std::filesystem::path& path) { openFile(path); });
    connect(m_view, &ViewingArea::toggleBrowserRequested, this,
            [this] { runCommand(app::cmd::kViewerBrowser); });
    connect(m_view, &ViewingArea::contextMenuRequested, this,
            [this](const QPoint& at) { showContextMenu(app::ContextMenu::ViewingArea, at); });

    // Timer 0: frames, progress and the pending display, for the whole life of the window.
    m_frameTimer.setInterval(kFrameTickMs);
    connect(&m_frameTimer, &QTimer::timeout, this, &MainWindow::frameTick);
    m_frameTimer.start();
    // Timer 1: the slide show, running only while it is on.
    m_slideTimer.setInterval(view::SlideShow::kTickMs);
    connect(&m_slideTimer, &QTimer::timeout, this, &MainWindow::slideTick);
    m_slideShow.setSettings(
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
    m_frameTimer.stop();
    m_slideTimer.stop();
    m_settings.sortMode = static_cast<std::int32_t>(m_images->sortKey());
    m_view->Clear();
    m_browser->fileList()->setImages(nullptr);
    m_images.reset();
}

ToolContext& MainWindow::toolContext() { return *m_tools; }

QWidget* MainWindow::batchPanel() const { return m_tools ? m_tools->toolPanel() : nullptr; }

// --- files ---

bool MainWindow::loadFolder(const fs::path& folder) {
    m_files->forgetFindStart();
    clearShown();
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
        clearShown();
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
    requestCurrent();
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

void MainWindow::clearShown() {
    m_view->Clear();
    m_shownEntry = nullptr;
    m_shownPage = -1;
    // The panel reads the same pages.
    if (m_properties) m_properties->showEntry(nullptr, 0);
}

void MainWindow::dropReleasedFrame() {
    if (m_shownEntry && m_shownEntry->document().PageCount() < 1) clearShown();
}

void MainWindow::resumeShownThumbnails() {
    // Only the browser's thumbnail views show thumbnails; the list and details views and the
    // viewer do not.
    if (!m_viewerMode && m_browser->fileList()->thumbnailMode()) m_images->resumeThumbnails();
}

void MainWindow::showImageFacts() {
    view::ImageFacts f;
    if (m_entry) {
        f.position = m_entry->index() + 1;
        f.count = m_images->size();
        if (!m_entry->hasStatus()) m_entry->refreshStatus();
        f.fileSize = m_entry->fileSize();
        const std::int32_t pages = m_entry->pageCount();
        if (m_shownEntry == m_entry && m_view->image() && pages > 0) {
            const image::ImageDocument& doc = m_entry->document();
            const std::int32_t page = std::clamp(m_animation.page(), 0, pages - 1);
            const image::ImagePage& shown = doc.PageAt(page);
            f.width = static_cast<std::int32_t>(shown.width);
            f.height = static_cast<std::int32_t>(shown.height);
            f.zoomPercent =
                view::zoomPercent(m_view->DisplayedSize(), {f.width, f.height}, m_view->zoom());
            f.page = page + 1;
            f.pages = pages;
            f.animation = pages > 1 && (doc.PageAt(0).delay > 0 || doc.PageAt(1).delay > 0);
        }
    }
    const bool overlay = m_settings.imageInfoOverlay && m_viewerMode;
    if (f == m_facts && overlay == !m_view->factsOverlay().isEmpty()) return;
    m_facts = f;
    const QString text = imageFactsText(f);
    m_browser->statusBar()->setImageFacts(f);
    m_view->SetFactsOverlay(overlay ? text : QString());
    // What a screen reader says of the viewer: the file and its facts.
    m_view->setAccessibleName(m_entry ? shell::toQString(m_entry->name()) : tr("Viewer"));
    m_view->setAccessibleDescription(text);
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
    requestCurrent();
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

// --- requests and frames ---

view::PixelSize MainWindow::clientSize() const {
    // In device pixels, so a fitted image is decoded at the screen's full resolution.
    const view::PixelSize c = m_view->clientSize();
    return {std::max(1, c.width), std::max(1, c.height)};
}

bool MainWindow::vectorShown() const { return m_shownEntry && m_shownEntry->document().isVector(); }

void MainWindow::requestCurrent() {
    if (!m_entry) return;
    if (!m_view->isVisible()) {
        // The client size is not known before the window is laid out.
        m_requestPending = true;
        return;
    }
    const bool single = m_requestSingle;
    m_requestSingle = false;
    m_requestPending = false;
    m_resizePending = false;
    m_requestedClient = clientSize();
    const view::DisplayRequest request = m_state.buildRequest(m_entry, m_requestedClient);
    // The same request again keeps what is decoded or being decoded.
    if (!(m_images->displayLoader().requestSlots()[view::DisplayLoader::Current] == request))
        m_images->request(request, single);
    // The request may have released the pages on screen.
    dropReleasedFrame();
    m_announce = true;
    m_idle = false;
    m_ticksWithoutPage = 0;
    m_animation.imageRequested();
    m_slideShow.imageRequested();
    m_nameBar->setFile(shell::toQString(m_entry->name()),
                       QString::fromStdString(m_entry->description));
    // A prefetched image is on screen at once.
    frameTick();
}

void MainWindow::frameTick() {
    // Whatever this tick did to the picture, the facts shown follow it.
    const auto facts = qScopeGuard([this] { showImageFacts(); });
    if (m_requestPending && m_view->isVisible()) requestCurrent();
    if (m_resizePending) {
        m_resizePending = false;
        const view::PixelSize client = clientSize();
        if (!(client == m_requestedClient)) {
            const view::ViewAction a = m_state.clientResized(vectorShown());
            if (a.requestImage) {
                m_requestedClient = client;
                m_requestSingle = true;
                m_prefetchAfterResize = true;
            }
            applyAction(a);
        }
    }
    if (!m_viewerMode) m_browser->fileList()->poll();
    if (!m_entry) return;
    image::ImageDocument& doc = m_entry->document();
    const bool loading = m_images->isLoading(m_entry);
    const std::int32_t pages = m_entry->pageCount();
    if (pages < 1 && m_entry->allPagesLoaded()) {
        // The file could not be decoded: nothing to show for it.
        if (m_announce) {
            m_announce = false;
            m_idle = true;
            clearShown();
            showTitle();
            showFileInfo();
            // The browser lists such files with their placeholder; the viewer says why its
            // area stays empty, once: a resize or F11 asks for the same file again.
            if (m_viewerMode && m_reportedEntry != m_entry) {
                m_reportedEntry = m_entry;
                reportUnviewable();
            }
            emit imageShown(false);
        }
        return;
    }
    const bool partial = pages < 1;
    if (partial && (!loading || doc.PageCount() < 1 || !m_settings.loadProgressively ||
                    doc.preferredPage() > 0)) {
        // Nothing decoded yet: keep the viewing area painting after the first half second.
        if (!m_idle && ++m_ticksWithoutPage > 10) m_view->update();
        return;
    }
    // A file that prefers a later page (an icon's largest entry) shows nothing else first.
    if (!partial &&
        !m_animation.startPageReady(pages, m_entry->allPagesLoaded(), doc.preferredPage()))
        return;
    if (pages > 1)
        m_animation.tick(pages, m_entry->allPagesLoaded(),
                         [&doc](std::int32_t p) { return doc.PageAt(p).delay; });
    const std::int32_t page = partial ? 0 : std::clamp(m_animation.page(), 0, pages - 1);
    image::Bitmap32* frame = &doc.PageAt(page).bitmap;
    if (frame != m_view->image()) {
        if (m_shownEntry == m_entry && m_shownPage >= 0) {
            // Another frame of the image on screen.
            m_view->SetImage(frame, false);
            if (m_properties && m_properties->isVisible()) m_properties->updatePage(page);
        } else {
            if (m_settings.exifAutoOrient) {
                const int tag = doc.exif().orientation();
                if (m_state.applyExifOrientation(tag ? std::optional<std::int32_t>(tag)
                                                     : std::nullopt)) {
                    // Decode again upright instead of showing this frame.
                    m_view->SetLens(false);
                    requestCurrent();
                    return;
                }
            }
            const bool center = m_state.fitMode() != view::FitMode::None || m_settings.centerOnLoad;
            m_view->Clear();
            m_view->SetImage(frame, center);
            if (const auto zoom =
                    m_state.takePendingZoom({frame->width(), frame->height()}, clientSize()))
                m_view->SetZoom(*zoom, false);
            if (m_state.takeLensPending()) m_view->SetLens(true);
        }
        m_shownEntry = m_entry;
        m_shownPage = page;
    }
    if (partial) {
        // The share of the frame written so far.
        const image::PixelRect d = frame->dirtyRect();
        const double done = d.isEmpty()
                                ? 0.0
                                : static_cast<double>(d.right - d.left) * (d.bottom - d.top) /
                                      (static_cast<double>(frame->width()) * frame->height());
        m_view->SetProgress(m_settings.showProgress ? static_cast<int>(done * 100.0 + 0.5) : 0);
        return;
    }
    m_view->SetProgress(-1);
    if (m_announce && !loading) {
        m_announce = false;
        m_idle = true;
        // The resize asked for this image alone; with it on screen the neighbours follow.
        if (std::exchange(m_prefetchAfterResize, false) &&
            m_images->displayLoader().prefetchNeighbours())
            dropReleasedFrame();
        showTitle();
        showFileInfo();
        refreshToolbar();
        updateProperties();
        emit imageShown(true);
    }
}

void MainWindow::slideTick() {
    view::SlideShow::Tick t;
    t.hasCurrent = m_entry != nullptr;
    t.windowVisible = isVisible() && !isMinimized();
    t.hasPage = m_entry && m_entry->pageCount() > 0;
    t.decoding = m_entry && m_images->isLoading(m_entry);
    t.atFirst = m_entry && m_entry == m_images->entries().first();
    t.atLast = m_entry && m_entry == m_images->entries().last();
    switch (m_slideShow.tick(t)) {
        case view::SlideShow::Step::Next:
            moveTo(m_images->entries().after(m_entry));
            break;
        case view::SlideShow::Step::Previous:
            moveTo(m_images->entries().before(m_entry));
            break;
        case view::SlideShow::Step::First:
            moveTo(m_images->entries().first());
            break;
        case view::SlideShow::Step::Last:
            moveTo(m_images->entries().last());
            break;
        case view::SlideShow::Step::None:
            break;
    }
}

void MainWindow::frameCommand(int command) {
    if (!m_entry) return;
    const std::int32_t pages = m_entry->pageCount();
    switch (command) {
        case cmd::kPreviousFrame:
            m_animation.previousFrame(pages);
            break;
        case cmd::kNextFrame:
            m_animation.nextFrame(pages);
            break;
        case cmd::kFirstFrame:
            m_animation.firstFrame(pages);
            break;
        case cmd::kLastFrame:
            m_animation.lastFrame(pages);
            break;
        default:
            if (pages > 1) m_animation.togglePlaying();
            break;
    }
    frameTick();
}

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
    if (a.requestImage) requestCurrent();
}

void MainWindow::zoomCommand(view::ViewState::ZoomCommand command, bool anchorAtCursor) {
    if (!m_view->image()) return;
    const image::Bitmap32* frame = m_view->image();
    applyAction(m_state.zoomCommand(command, m_view->zoom(), {frame->width(), frame->height()},
                                    vectorShown()),
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
    if (!m_view->image() || vectorShown()) return;
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
    m_view->SetBackground(m_settings.backgroundColor);
    m_nameBar->setBackgroundColor(m_settings.backgroundColor);
    m_view->SetWallpaper(m_settings.wallpaperBackground);
    m_view->SetOsdSize(static_cast<view::OsdSize>(std::clamp(m_settings.osdSize, -1, 3)));
}

void MainWindow::applyLoaderOptions(bool force) {
    if (m_display->applyLoaderOptions(m_settings, *m_images, force) && !m_viewerMode)
        m_browser->setBrowserView(app::browserViewOf(m_settings));
    dropReleasedFrame();
}

void MainWindow::applyColorSettings(bool startUp) {
    if (!m_display->takeColorSettings(m_settings) && !startUp) {
        applyLoaderOptions(false);
        requestCurrent();
        return;
    }
    // The manager and the table are shared with the loaders' workers: stop them first.
    m_images->stopLoaders();
    dropReleasedFrame();
    if (const auto error = m_display->applyColor())
        QMessageBox::warning(
            this, kTitle, QString::fromUtf8(error->data(), static_cast<qsizetype>(error->size())));
    applyLoaderOptions(true);
    m_images->restartLoaders();
    if (!startUp) requestCurrent();
}

void MainWindow::applySettings() {
    m_state.setFitMode(static_cast<view::FitMode>(std::clamp(m_settings.fitMode, 0, 4)));
    m_state.setZoomRule(static_cast<view::ZoomRule>(std::clamp(m_settings.zoomScope, 0, 2)));
    applyDisplayOptions();
    app::ensureToolbarLayout(m_settings);
    app::ensureShortcuts(m_settings);
    rebuildAccelerators();
    m_browser->toolbar()->RebuildToolbar(m_settings.toolbarButtons);
    m_browser->setBrowserView(app::browserViewOf(m_settings));
    m_slideShow.setSettings(
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
