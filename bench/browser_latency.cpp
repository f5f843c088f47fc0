// Real-window latencies of the browser and the viewer, run under an X server (Xvfb does):
//   1. a folder opened in the browser: time to the first thumbnail and to a full first screen
//      of thumbnails, and the longest stall of the event loop while thumbnails fill in;
//   2. Next File (the Page Down key) on a prefetched image: time from the key event to the
//      paint of the next image, over several steps.
// Usage: browser_latency FOLDER [steps]
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/core/command_ids.h"
#include "app/gui/browser_pane.h"
#include "app/gui/folder_navigator.h"
#include "app/gui/main_window.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/viewer_frames.h"
#include "app/gui/viewing_area.h"
#include "view/folder_images.h"

namespace {

using kalder::gui::MainWindow;
namespace cmd = kalder::app::cmd;

// Records when the viewing area starts painting.
class PaintClock : public QObject {
public:
    explicit PaintClock(const QElapsedTimer& clock) : m_clock(clock) {}
    qint64 lastPaint = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) lastPaint = m_clock.nsecsElapsed();
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer& m_clock;
};

// Runs the event loop until `done` holds or the time is up; answers whether it held. The loop
// sleeps between events (a timer wakes it every few milliseconds to look again): on two cores a
// loop that spins would take a core from the loaders it is timing.
template <class F>
bool spinUntil(F done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    QTimer wake;
    wake.start(2);
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double ms(qint64 ns) { return static_cast<double>(ns) / 1e6; }

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: browser_latency FOLDER [steps]\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    const int steps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

    MainWindow window;
    window.resize(1280, 800);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "no window: is an X server (Xvfb) running?\n");
        return 1;
    }

    // --- 1. the browser on a large folder ---
    QElapsedTimer clock;
    qint64 lastTick = 0, longestStall = 0;
    QTimer heartbeat;
    heartbeat.setInterval(10);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestStall = std::max(longestStall, now - lastTick);
        lastTick = now;
    });
    clock.start();
    if (!window.folder().openFolder(folder)) {
        std::fprintf(stderr, "no images in %s\n", folder.c_str());
        return 1;
    }
    window.runCommand(cmd::kViewerBrowser);  // to the browser
    const qint64 listed = clock.nsecsElapsed();
    lastTick = listed;
    heartbeat.start();
    kalder::view::FolderImages& images = window.images();
    kalder::gui::ThumbnailBrowser* files = window.browserPane()->fileList();
    const std::size_t screenful =
        std::min(images.size(), static_cast<std::size_t>(files->rowsPerColumn()) *
                                    static_cast<std::size_t>(std::max(
                                        1, files->viewport()->width() / (files->box() + 22))));
    qint64 firstThumb = -1, firstScreen = -1;
    spinUntil(
        [&] {
            std::size_t ready = 0;
            for (std::size_t i = 0; i < screenful; ++i)
                ready += images.at(i)->thumbnailReady() ? 1 : 0;
            if (ready > 0 && firstThumb < 0) firstThumb = clock.nsecsElapsed();
            if (ready == screenful) firstScreen = clock.nsecsElapsed();
            return firstScreen >= 0;
        },
        60000);
    heartbeat.stop();
    std::printf("folder: %zu images listed and browser shown in %.1f ms\n", images.size(),
                ms(listed));
    std::printf("first thumbnail after %.1f ms, first screen (%zu thumbnails) after %.1f ms\n",
                ms(firstThumb), screenful, ms(firstScreen));
    std::printf("longest event-loop stall while thumbnails filled in: %.1f ms\n", ms(longestStall));

    // --- 2. Next File on a prefetched image ---
    window.runCommand(cmd::kViewerBrowser);  // back to the viewer
    // The viewer is larger than the browser's viewer pane: let the re-request at the new size
    // happen before timing, as it does while the user looks at the first image.
    QTest::qWait(300);
    PaintClock paints(clock);
    window.viewingArea()->installEventFilter(&paints);
    std::vector<double> latencies;
    for (int i = 0; i < steps && window.currentEntry(); ++i) {
        const kalder::view::ImageEntry* next = images.entries().after(window.currentEntry());
        if (!next) break;
        // Wait for the prefetch of the neighbour, as a user looking at the image would.
        spinUntil([&] { return window.frames().idle() && next->allPagesLoaded(); }, 30000);
        QApplication::processEvents();
        paints.lastPaint = -1;
        const qint64 pressed = clock.nsecsElapsed();
        QTest::keyClick(window.viewingArea(), Qt::Key_PageDown);
        spinUntil(
            [&] {
                return window.currentEntry() == next && paints.lastPaint >= pressed &&
                       window.frames().idle();
            },
            30000);
        latencies.push_back(ms(paints.lastPaint - pressed));
    }
    if (latencies.empty()) return 0;
    std::printf("each step (ms):");
    for (double l : latencies) std::printf(" %.1f", l);
    std::printf("\n");
    std::sort(latencies.begin(), latencies.end());
    std::printf(
        "Next File on a prefetched image, key to paint: median %.1f ms, worst %.1f ms (%zu "
        "steps)\n",
        latencies[latencies.size() / 2], latencies.back(), latencies.size());
    return 0;
}
