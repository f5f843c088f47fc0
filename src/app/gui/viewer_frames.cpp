// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/viewer_frames.h"

#include <QScopeGuard>
#include <algorithm>
#include <utility>

#include "app/core/command_ids.h"
#include "app/gui/browser_pane.h"
#include "app/gui/folder_navigator.h"
#include "app/gui/main_window.h"
#include "app/gui/main_window_p.h"
#include "app/gui/name_bar.h"
#include "app/gui/properties_panel.h"
#include "app/gui/status_bar.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/viewer_commands.h"
#include "app/gui/viewing_area.h"
#include "app/gui/window_status.h"
#include "image/image_document.h"
#include "shell/qt/qt_path.h"
#include "view/folder_images.h"
#include "view/image_entry.h"

namespace kalder::gui {
namespace cmd = app::cmd;

namespace {
constexpr int kFrameTickMs = 50;
// Ticks a full-screen window waits for the screen's size before the image is asked for anyway.
constexpr int kScreenWaitTicks = 10;
}  // namespace

ViewerFrames::ViewerFrames(MainWindow& window, WindowParts& parts) : m_w(window), m_p(parts) {
    // Timer 0: frames, progress and the pending display, for the whole life of the window.
    m_frameTimer.setInterval(kFrameTickMs);
    QObject::connect(&m_frameTimer, &QTimer::timeout, &m_w, [this] { tick(); });
    m_frameTimer.start();
    // Timer 1: the slide show, running only while it is on.
    m_slideTimer.setInterval(view::SlideShow::kTickMs);
    QObject::connect(&m_slideTimer, &QTimer::timeout, &m_w, [this] { slideTick(); });
}

ViewerFrames::~ViewerFrames() { stop(); }

void ViewerFrames::stop() {
    m_frameTimer.stop();
    m_slideTimer.stop();
}

void ViewerFrames::clearShown() {
    m_p.view->Clear();
    m_shownEntry = nullptr;
    m_shownPage = -1;
    // The panel reads the same pages.
    if (m_p.properties) m_p.properties->showEntry(nullptr, 0);
}

void ViewerFrames::dropReleasedFrame() {
    if (m_shownEntry && m_shownEntry->document().PageCount() < 1) clearShown();
}

void ViewerFrames::showImageFacts() {
    view::ImageFacts f;
    view::ImageEntry* const entry = m_p.folder->currentEntry();
    if (entry) {
        f.position = entry->index() + 1;
        f.count = m_p.folder->images().size();
        if (!entry->hasStatus()) entry->refreshStatus();
        f.fileSize = entry->fileSize();
        const std::int32_t pages = entry->pageCount();
        if (m_shownEntry == entry && m_p.view->image() && pages > 0) {
            const image::ImageDocument& doc = entry->document();
            const std::int32_t page = std::clamp(m_animation.page(), 0, pages - 1);
            const image::ImagePage& shown = doc.PageAt(page);
            f.width = static_cast<std::int32_t>(shown.width);
            f.height = static_cast<std::int32_t>(shown.height);
            f.zoomPercent =
                view::zoomPercent(m_p.view->DisplayedSize(), {f.width, f.height}, m_p.view->zoom());
            f.page = page + 1;
            f.pages = pages;
            f.animation = pages > 1 && (doc.PageAt(0).delay > 0 || doc.PageAt(1).delay > 0);
        }
    }
    const bool overlay = m_p.settings.imageInfoOverlay && m_p.viewerMode;
    if (f == m_facts && overlay == !m_p.view->factsOverlay().isEmpty()) return;
    m_facts = f;
    const QString text = imageFactsText(f);
    m_p.browser->statusBar()->setImageFacts(f);
    m_p.view->SetFactsOverlay(overlay ? text : QString());
    // What a screen reader says of the viewer: the file and its facts.
    m_p.view->setAccessibleName(entry ? shell::toQString(entry->name()) : MainWindow::tr("Viewer"));
    m_p.view->setAccessibleDescription(text);
}

view::PixelSize ViewerFrames::clientSize() const {
    // In device pixels, so a fitted image is decoded at the screen's full resolution.
    const view::PixelSize c = m_p.view->clientSize();
    return {std::max(1, c.width), std::max(1, c.height)};
}

bool ViewerFrames::vectorShown() const {
    return m_shownEntry && m_shownEntry->document().isVector();
}

void ViewerFrames::requestCurrent() {
    view::ImageEntry* const entry = m_p.folder->currentEntry();
    if (!entry) return;
    // The client size is not known before the window is laid out, except where the window
    // opens on a whole screen: then the decode begins while the window is still built, and the
    // request made once the window manager has made it full screen is the same one. A window
    // manager that does not is given half a second.
    const auto expected = m_p.expectedClientSize();
    const bool waitForScreen =
        expected && !(*expected == clientSize()) && m_ticksAwaitingScreen < kScreenWaitTicks;
    if (!m_p.view->isVisible() || waitForScreen) {
        m_requestPending = true;
        if (expected) ask(entry, *expected, m_requestSingle);
        if (m_p.view->isVisible()) ++m_ticksAwaitingScreen;
        return;
    }
    bool single = m_requestSingle;
    m_requestSingle = false;
    // While the browser still makes the thumbnails on screen, the user is looking at those: the
    // neighbours' decodes would take cores from them.
    m_prefetchAfterThumbnails = false;
    if (!single && !m_p.viewerMode && !m_p.browser->fileList()->visibleThumbnailsMade()) {
        single = true;
        m_prefetchAfterThumbnails = true;
    }
    m_requestPending = false;
    m_resizePending = false;
    m_requestedClient = clientSize();
    ask(entry, m_requestedClient, single);
    // The request may have released the pages on screen.
    dropReleasedFrame();
    m_announce = true;
    m_idle = false;
    m_ticksWithoutPage = 0;
    m_animation.imageRequested();
    m_slideShow.imageRequested();
    m_p.nameBar->setFile(shell::toQString(entry->name()),
                         QString::fromStdString(entry->description));
    // A prefetched image is on screen at once.
    tick();
}

void ViewerFrames::ask(view::ImageEntry* entry, view::PixelSize client, bool single) {
    const view::DisplayRequest request = m_p.state.buildRequest(entry, client);
    // The same request again keeps what is decoded or being decoded.
    if (m_p.folder->images().displayLoader().requestSlots()[view::DisplayLoader::Current] ==
        request)
        return;
    // A new request for the shown file releases its pages, and the decode may have made the
    // first new page before this thread looks again; that page is a new image, not another
    // frame of the one on screen.
    if (m_shownEntry == entry) clearShown();
    m_p.folder->images().request(request, single);
}

void ViewerFrames::clientResized() {
    m_resizePending = true;
    // The first layout of the window: the request that waited for it need not wait for the
    // timer as well. Queued, because the area turns visible only after its first resize.
    if (m_requestPending)
        QMetaObject::invokeMethod(
            &m_w, [this] { tick(); }, Qt::QueuedConnection);
}

void ViewerFrames::decodeEnded() {
    // An animation's frames keep the timer's pace; an extra tick would shorten one.
    if (m_p.folder->currentEntry() && m_p.folder->currentEntry()->pageCount() == 1) tick();
    m_p.view->progressiveRepaint();
}

void ViewerFrames::tick() {
    // Whatever this tick did to the picture, the facts shown follow it.
    const auto facts = qScopeGuard([this] { showImageFacts(); });
    if (m_requestPending && m_p.view->isVisible()) requestCurrent();
    if (m_resizePending) {
        m_resizePending = false;
        const view::PixelSize client = clientSize();
        if (!(client == m_requestedClient)) {
            const view::ViewAction a = m_p.state.clientResized(vectorShown());
            if (a.requestImage) {
                m_requestedClient = client;
                m_requestSingle = true;
                m_prefetchAfterResize = true;
            }
            m_p.viewer->apply(a);
        }
    }
    if (!m_p.viewerMode) m_p.browser->fileList()->poll();
    if (m_prefetchAfterThumbnails &&
        (m_p.viewerMode || m_p.browser->fileList()->visibleThumbnailsMade())) {
        m_prefetchAfterThumbnails = false;
        if (m_p.folder->images().displayLoader().prefetchNeighbours()) dropReleasedFrame();
    }
    view::ImageEntry* const entry = m_p.folder->currentEntry();
    if (!entry) return;
    image::ImageDocument& doc = entry->document();
    const bool loading = m_p.folder->images().isLoading(entry);
    const std::int32_t pages = entry->pageCount();
    if (pages < 1 && entry->allPagesLoaded()) {
        // The file could not be decoded: nothing to show for it.
        if (m_announce) {
            m_announce = false;
            m_idle = true;
            clearShown();
            m_p.status->showFile();
            // The browser lists such files with their placeholder; the viewer says why its
            // area stays empty, once: a resize or F11 asks for the same file again.
            m_p.status->reportUnviewable();
            emit m_w.imageShown(false);
        }
        return;
    }
    const bool partial = pages < 1;
    if (partial && (!loading || doc.PageCount() < 1 || !m_p.settings.loadProgressively ||
                    doc.preferredPage() > 0)) {
        // Nothing decoded yet: keep the viewing area painting after the first half second.
        if (!m_idle && ++m_ticksWithoutPage > 10) m_p.view->update();
        return;
    }
    // A file that prefers a later page (an icon's largest entry) shows nothing else first.
    if (!partial &&
        !m_animation.startPageReady(pages, entry->allPagesLoaded(), doc.preferredPage()))
        return;
    if (pages > 1)
        m_animation.tick(pages, entry->allPagesLoaded(),
                         [&doc](std::int32_t p) { return doc.PageAt(p).delay; });
    const std::int32_t page = partial ? 0 : std::clamp(m_animation.page(), 0, pages - 1);
    image::Bitmap32* frame = &doc.PageAt(page).bitmap;
    if (frame != m_p.view->image()) {
        if (m_shownEntry == entry && m_shownPage >= 0) {
            // Another frame of the image on screen.
            m_p.view->SetImage(frame, false);
            if (m_p.properties && m_p.properties->isVisible()) m_p.properties->updatePage(page);
        } else {
            if (m_p.settings.exifAutoOrient) {
                const int tag = doc.exif().orientation();
                if (m_p.state.applyExifOrientation(tag ? std::optional<std::int32_t>(tag)
                                                       : std::nullopt)) {
                    // Decode again upright instead of showing this frame.
                    m_p.view->SetLens(false);
                    requestCurrent();
                    return;
                }
            }
            const bool center =
                m_p.state.fitMode() != view::FitMode::None || m_p.settings.centerOnLoad;
            m_p.view->Clear();
            m_p.view->SetImage(frame, center);
            if (const auto zoom =
                    m_p.state.takePendingZoom({frame->width(), frame->height()}, clientSize()))
                m_p.view->SetZoom(*zoom, false);
            if (m_p.state.takeLensPending()) m_p.view->SetLens(true);
        }
        m_shownEntry = entry;
        m_shownPage = page;
    }
    if (partial) {
        // The share of the frame written so far.
        const image::PixelRect d = frame->dirtyRect();
        const double done = d.isEmpty()
                                ? 0.0
                                : static_cast<double>(d.right - d.left) * (d.bottom - d.top) /
                                      (static_cast<double>(frame->width()) * frame->height());
        m_p.view->SetProgress(m_p.settings.showProgress ? static_cast<int>(done * 100.0 + 0.5) : 0);
        return;
    }
    m_p.view->SetProgress(-1);
    if (m_announce && !loading) {
        m_announce = false;
        m_idle = true;
        // The resize asked for this image alone; with it on screen the neighbours follow.
        if (std::exchange(m_prefetchAfterResize, false) &&
            m_p.folder->images().displayLoader().prefetchNeighbours())
            dropReleasedFrame();
        m_p.status->showFile();
        m_w.refreshToolbar();
        m_p.updateProperties();
        emit m_w.imageShown(true);
    }
}

void ViewerFrames::slideTick() {
    view::ImageEntry* const entry = m_p.folder->currentEntry();
    const view::EntryList& list = m_p.folder->images().entries();
    view::SlideShow::Tick t;
    t.hasCurrent = entry != nullptr;
    t.windowVisible = m_w.isVisible() && !m_w.isMinimized();
    t.hasPage = entry && entry->pageCount() > 0;
    t.decoding = entry && m_p.folder->images().isLoading(entry);
    t.atFirst = entry && entry == list.first();
    t.atLast = entry && entry == list.last();
    switch (m_slideShow.tick(t)) {
        case view::SlideShow::Step::Next:
            m_p.folder->moveTo(list.after(entry));
            break;
        case view::SlideShow::Step::Previous:
            m_p.folder->moveTo(list.before(entry));
            break;
        case view::SlideShow::Step::First:
            m_p.folder->moveTo(list.first());
            break;
        case view::SlideShow::Step::Last:
            m_p.folder->moveTo(list.last());
            break;
        case view::SlideShow::Step::None:
            break;
    }
}

void ViewerFrames::frameCommand(int command) {
    if (!m_p.folder->currentEntry()) return;
    const std::int32_t pages = m_p.folder->currentEntry()->pageCount();
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
    tick();
}

}  // namespace kalder::gui
