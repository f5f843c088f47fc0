#pragma once

#include <QTimer>
#include <cstdint>

#include "view/image_facts.h"
#include "view/slide_show.h"
#include "view/view_types.h"

namespace kalder::view {
class ImageEntry;
}

namespace kalder::gui {

class MainWindow;
struct WindowParts;

// What the viewer asks of the display loader and what it has on screen: the request for the
// current entry (deferred until the window is laid out, single after a resize), the page shown
// and its animation, the slide show's clock, and the facts told about the picture. Its timer
// polls the loaders every tick for the life of the window.
class ViewerFrames {
public:
    ViewerFrames(MainWindow& window, WindowParts& parts);
    ~ViewerFrames();
    ViewerFrames(const ViewerFrames&) = delete;
    ViewerFrames& operator=(const ViewerFrames&) = delete;

    // Asks for the current entry at the client's size; a prefetched image shows at once.
    void requestCurrent();
    // One tick: a pending request or resize, the next frame, progress, "shown" once decoded.
    void tick();
    // A decode ended: what it made is shown now rather than at the next ticks of the timers.
    void decodeEnded();
    // Clears the view (and the panel) of the pages on screen.
    void clearShown();
    // Clears the view when the loaders have released the pages it shows.
    void dropReleasedFrame();
    void frameCommand(int command);
    void slideTick();
    void showImageFacts();
    // The viewing area changed size: the image may be asked for again on the next tick.
    void clientResized();
    void stop();

    bool vectorShown() const;
    view::PixelSize clientSize() const;
    bool idle() const { return m_idle; }
    const view::ImageEntry* shownEntry() const { return m_shownEntry; }
    std::int32_t shownPage() const { return m_shownPage; }
    view::SlideShow& slideShow() { return m_slideShow; }
    const view::SlideShow& slideShow() const { return m_slideShow; }
    const view::AnimationPlayer& animation() const { return m_animation; }
    QTimer& slideTimer() { return m_slideTimer; }

private:
    // Hands the loader the request for the entry at this client size, unless it has it already.
    void ask(view::ImageEntry* entry, view::PixelSize client, bool single);

    MainWindow& m_w;
    WindowParts& m_p;
    // The entry whose page is on screen (often the current one).
    const view::ImageEntry* m_shownEntry = nullptr;
    std::int32_t m_shownPage = -1;
    bool m_announce = false;  // imageShown not yet emitted for the current request
    view::SlideShow m_slideShow;
    view::AnimationPlayer m_animation;
    QTimer m_slideTimer;
    QTimer m_frameTimer;
    bool m_requestPending = false;
    bool m_requestSingle = false;        // the next request is for the current image alone
    bool m_prefetchAfterResize = false;  // neighbours to be decoded once the current image shows
    // Neighbours to be decoded once the browser's visible thumbnails are made.
    bool m_prefetchAfterThumbnails = false;
    bool m_resizePending = false;
    view::PixelSize m_requestedClient;
    int m_ticksWithoutPage = 0;
    int m_ticksAwaitingScreen = 0;
    bool m_idle = true;
    view::ImageFacts m_facts;
};

}  // namespace kalder::gui
