#include "app/gui/main_window.h"

#include <algorithm>
#include <array>

#include <QApplication>
#include <QMessageBox>

#include "app/core/toolbar_table.h"
#include "app/gui/document_loader.h"
#include "app/gui/icons.h"
#include "app/gui/menus.h"
#include "app/gui/name_bar.h"
#include "app/gui/toolbar.h"
#include "app/gui/viewing_area.h"
#include "app/gui/x11_monitor_profile.h"
#include "image/format_table.h"
#include "image/image_document.h"
#include "image/exif/exif_block.h"
#include "view/color_manager.h"

namespace kalder::gui {
namespace fs = std::filesystem;

namespace {

constexpr int kFrameTickMs = 50;
const QString kTitle = QStringLiteral("Kalder");

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(kTitle);
    setWindowIcon(applicationIcon());
    app::ensureToolbarLayout(m_settings);
    app::ensureShortcuts(m_settings);
    m_loader = new DocumentLoader(this);
    buildPanes();
    registerCommands();
    rebuildAccelerators();
    m_acceleratorsEnabled = true;
    resize(1024, 768);

    m_monitor = createMonitorProfileSource();
    m_colorManager = std::make_unique<view::ColorManager>();

    connect(m_loader, &DocumentLoader::pageStarted, this,
            [this](std::shared_ptr<image::ImageDocument> doc) { m_loading = std::move(doc); });
    connect(m_loader, &DocumentLoader::finished, this,
            [this](std::shared_ptr<image::ImageDocument> doc, bool ok) {
                m_loading = std::move(doc);
                m_loadFinished = true;
                m_loadOk = ok;
                m_announce = true;
                m_idle = true;
                frameTick();
                if (m_loadFinished && !m_loadOk) {
                    // Nothing to show for this file.
                    m_view->Clear();
                    m_shown.reset();
                    m_loading.reset();
                    showFileInfo();
                    emit imageShown(false);
                }
            });
    connect(m_view, &ViewingArea::wheelNotch, this, &MainWindow::onWheelNotch);
    connect(m_view, &ViewingArea::pagingKey, this, &MainWindow::onPagingKey);
    connect(m_view, &ViewingArea::clientResized, this, [this] { m_resizePending = true; });
    connect(m_view, &ViewingArea::fileDropped, this,
            [this](const QString& path) { openFile(fs::path(path.toStdString())); });
    connect(m_view, &ViewingArea::toggleBrowserRequested, this,
            [this] { runCommand(app::cmd::kViewerBrowser); });
    connect(m_view, &ViewingArea::contextMenuRequested, this, [this](const QPoint& at) {
        showContextMenu(app::ContextMenu::ViewingArea, at);
    });

    // Timer 0: frames, progress and the pending display, for the whole life of the window.
    m_frameTimer.setInterval(kFrameTickMs);
    connect(&m_frameTimer, &QTimer::timeout, this, &MainWindow::frameTick);
    m_frameTimer.start();

    m_state.setFitMode(static_cast<view::FitMode>(std::clamp(m_settings.fitMode, 0, 4)));
    m_state.setZoomRule(static_cast<view::ZoomRule>(std::clamp(m_settings.zoomScope, 0, 2)));
    applyDisplayOptions();
    applyColorSettings(true);
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    m_frameTimer.stop();
    m_settings.sortMode = m_listing.sortMode();
    m_loader->cancel();
    m_view->Clear();
}

// --- files ---

bool MainWindow::openFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        QMessageBox::critical(this, kTitle,
                              QStringLiteral("Cannot view file: \"%1\".")
                                  .arg(QString::fromStdString(path.string())));
        return false;
    }
    m_current = fs::absolute(path, ec).lexically_normal();
    m_listing.load(m_current.parent_path());
    if (!m_viewerMode) {
        m_browser->showFiles(m_listing);
        m_browser->selectFile(m_listing.indexOf(m_current));
    }
    requestCurrent();
    return true;
}

bool MainWindow::openFolder(const fs::path& folder) {
    FolderListing listing;
    listing.sort(m_listing.sortMode());
    if (!listing.load(folder) || listing.files().empty()) return false;
    return openFile(listing.files().front());
}

void MainWindow::step(std::ptrdiff_t delta) {
    const auto& files = m_listing.files();
    if (files.empty()) return;
    const auto at = m_listing.indexOf(m_current);
    const std::ptrdiff_t i = at ? static_cast<std::ptrdiff_t>(*at) : 0;
    const auto last = static_cast<std::ptrdiff_t>(files.size()) - 1;
    const std::ptrdiff_t next = std::clamp(i + delta, std::ptrdiff_t{0}, last);
    if (next == i && at) return;
    moveTo(next);
}

void MainWindow::moveTo(std::ptrdiff_t index) {
    const auto& files = m_listing.files();
    if (index < 0 || static_cast<std::size_t>(index) >= files.size()) return;
    m_current = files[static_cast<std::size_t>(index)];
    if (!m_viewerMode) m_browser->selectFile(static_cast<std::size_t>(index));
    requestCurrent();
}

// --- requests and frames ---

view::PixelSize MainWindow::clientSize() const {
    return {std::max(1, m_view->width()), std::max(1, m_view->height())};
}

bool MainWindow::vectorShown() const { return m_shown && m_shown->isVector(); }

void MainWindow::requestCurrent() {
    if (m_current.empty()) return;
    if (!m_view->isVisible()) {
        // The client size is not known before the window is laid out.
        m_requestPending = true;
        return;
    }
    m_requestPending = false;
    m_resizePending = false;
    m_requestedClient = clientSize();
    image::LoadOptions o;
    o.path = m_current;
    view::applyToLoadOptions(m_state.buildRequest(nullptr, m_requestedClient), o);
    o.smoothShrink = m_settings.squeezeInterpolated;
    o.smoothEnlarge = m_settings.stretchInterpolated;
    o.smoothEnlargeMinSize = m_settings.minStretchSize;
    o.blendAlpha = m_settings.showTransparency;
    o.backgroundColour = m_settings.transparencyColor;
    // Colour adaptation happens while decoding, never at paint time.
    o.gammaTable = m_colorTable ? m_colorTable->data() : nullptr;
    o.colorTransform = m_colorManager->hasProfile() ? m_colorManager.get() : nullptr;
    m_loadFinished = false;
    m_loadOk = false;
    m_announce = false;
    m_idle = false;
    m_ticksWithoutPage = 0;
    m_loader->request(o);  // stops the previous request first
    m_loading.reset();
    m_nameBar->setFile(QString::fromStdString(m_current.filename().string()), QString());
}

void MainWindow::frameTick() {
    if (m_requestPending && m_view->isVisible()) requestCurrent();
    if (m_resizePending) {
        m_resizePending = false;
        const view::PixelSize client = clientSize();
        if (!(client == m_requestedClient)) {
            const view::ViewAction a = m_state.clientResized(vectorShown());
            if (a.requestImage) m_requestedClient = client;
            applyAction(a);
        }
    }
    if (!m_loading || m_loading->PageCount() < 1) {
        // Nothing decoded yet: keep the viewing area painting after the first half second.
        if (!m_idle && ++m_ticksWithoutPage > 10) m_view->update();
        return;
    }
    image::Bitmap32* frame = &m_loading->PageAt(0).bitmap;
    if (frame != m_view->image()) {
        if (!m_loadFinished && !m_settings.loadProgressively) return;
        if (m_settings.exifAutoOrient) {
            const int tag = m_loading->exif().orientation();
            if (m_state.applyExifOrientation(tag ? std::optional<std::int32_t>(tag) : std::nullopt)) {
                // Decode again upright instead of showing this frame.
                m_view->SetLens(false);
                requestCurrent();
                return;
            }
        }
        const bool center = m_state.fitMode() != view::FitMode::None || m_settings.centerOnLoad;
        m_view->Clear();
        m_view->SetImage(frame, center);
        m_shown = m_loading;
        if (const auto zoom = m_state.takePendingZoom({frame->width(), frame->height()}, clientSize()))
            m_view->SetZoom(*zoom, false);
        if (m_state.takeLensPending()) m_view->SetLens(true);
    }
    if (!m_loadFinished) {
        // The share of the frame written so far.
        const image::PixelRect d = frame->dirtyRect();
        const double done = d.isEmpty() ? 0.0
                                        : static_cast<double>(d.right - d.left) * (d.bottom - d.top) /
                                              (static_cast<double>(frame->width()) * frame->height());
        m_view->SetProgress(m_settings.showProgress ? static_cast<int>(done * 100.0 + 0.5) : 0);
        return;
    }
    m_view->SetProgress(-1);
    if (m_loadOk && m_announce) {
        m_announce = false;
        setWindowTitle(QString::fromStdString(m_current.filename().string()) + QStringLiteral(" - ") +
                       kTitle);
        showFileInfo();
        refreshToolbar();
        emit imageShown(true);
    }
}

// --- commands ---

void MainWindow::applyAction(const view::ViewAction& a, bool anchorAtCursor) {
    if (a.lensOff) m_view->SetLens(false);
    if (a.zoom) m_view->SetZoom(*a.zoom, anchorAtCursor);
    if (a.lensOn) m_view->SetLens(true);
    if (a.osdIcon) m_view->ShowOsdIcon(*a.osdIcon);
    if (a.requestImage) requestCurrent();
}

void MainWindow::zoomCommand(view::ViewState::ZoomCommand command, bool anchorAtCursor) {
    if (!m_view->image()) return;
    const image::Bitmap32* frame = m_view->image();
    applyAction(m_state.zoomCommand(command, m_view->zoom(), {frame->width(), frame->height()},
                                    vectorShown()),
                anchorAtCursor);
}

void MainWindow::gammaChanged() { m_view->SetGamma(m_state.displayGamma(), m_state.gammaPosition()); }

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
        case app::cmd::kScrollLeft: m_view->SetPanoramaOffset(offset - step); break;
        case app::cmd::kScrollRight: m_view->SetPanoramaOffset(offset + step); break;
        case app::cmd::kScrollLeftSlowly: m_view->SetPanoramaOffset(offset - 1); break;
        case app::cmd::kScrollRightSlowly: m_view->SetPanoramaOffset(offset + 1); break;
        default: m_view->SetPanoramaOffset(0); break;
    }
}

void MainWindow::onWheelNotch(bool forward, bool shiftHeld) {
    const int effect = shiftHeld ? 2 : m_settings.controlOptions[1];
    if (effect == 0) {
        if (!m_view->image()) return;
        runCommand(forward ? app::cmd::kPreviousFile : app::cmd::kNextFile);
    } else if (effect == 1) {
        zoomCommand(forward ? view::ViewState::ZoomCommand::In : view::ViewState::ZoomCommand::Out, true);
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
        case PagingKey::PageUp: p = g.pageKeyTarget(false); break;
        case PagingKey::PageDown: p = g.pageKeyTarget(true); break;
        case PagingKey::Home: p = view::ViewGeometry::homeTarget(); break;
        case PagingKey::End: p = view::ViewGeometry::endTarget(); break;
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

void MainWindow::applyColorSettings(bool startUp) {
    // The manager and the table are shared with the loader's worker: stop it first.
    m_loader->cancel();
    view::ColorOptions options;
    options.useColorProfiles = m_settings.useColorProfiles;
    options.useDefaultProfile = m_settings.useDefaultProfile;
    options.colorProfilePath = m_settings.colorProfilePath;
    options.gammaRed = m_settings.gammaRed;
    options.gammaGreen = m_settings.gammaGreen;
    options.gammaBlue = m_settings.gammaBlue;
    options.gammaExtra = m_settings.gammaExtra;
    const view::ColorSettings colour = view::buildColorSettings(options, m_colorDisabled);
    if (const auto error = view::applyColorSettings(*m_colorManager, colour, *m_monitor))
    {
        const std::string_view text = view::profileErrorMessage(*error);
        QMessageBox::warning(this, kTitle,
                             QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    m_colorTable = view::BuildTable(colour);
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
    m_browser->setBrowserView(m_settings.browserView);
    m_listing.sort(m_settings.sortMode);
    m_nameBarVisible = m_settings.nameBarVisible;
    if (m_browser->enhancedLayout() != m_settings.enhancedLayout) relayout();
    m_nameBar->setVisible(m_nameBarVisible && !m_browserOnly);
    applyColorSettings(false);
}

}  // namespace kalder::gui
