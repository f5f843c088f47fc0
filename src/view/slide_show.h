#pragma once

#include <cstdint>
#include <functional>

namespace kalder::view {

// The slide show's timing on its 200 ms timer, as a state machine the main window feeds.
class SlideShow {
public:
    static constexpr std::int32_t kTickMs = 200;

    struct Settings {
        std::int32_t delaySeconds = 3;  // 1..10
        bool backward = false;
        bool repeat = false;
    };
    enum class Step { None, Next, Previous, First, Last };

    // What the timer sees on one tick.
    struct Tick {
        bool hasCurrent = false;
        bool windowVisible = true;
        bool hasPage = false;   // the current entry has a decoded page
        bool decoding = false;  // the display loader is decoding it
        bool atFirst = false;
        bool atLast = false;
    };

    void start() {
        m_running = true;
        m_counter = 0;
    }
    void stop() { m_running = false; }
    // 701.
    void toggle() { m_running ? stop() : start(); }
    bool running() const { return m_running; }
    void setSettings(const Settings& s);
    const Settings& settings() const { return m_settings; }

    // Every image request resets the count, so the delay runs from the new image.
    void imageRequested() { m_counter = 0; }
    // One timer tick: the navigation to make now, if any.
    Step tick(const Tick& t);

private:
    Settings m_settings;
    bool m_running = false;
    std::int32_t m_counter = 0;
};

// Playback of a multi-frame image on the 50 ms frame timer.
class AnimationPlayer {
public:
    static constexpr std::int32_t kTickMs = 50;

    // Every new image request: play from page 0.
    void imageRequested();
    bool playing() const { return m_playing; }
    std::int32_t page() const { return m_page; }
    // Before the first tick of an image: whether the page to start on is decoded. That is the
    // page its file prefers (an icon's largest entry), or the last one when the file has fewer
    // pages than it promised; a frame command before then keeps the user's choice.
    bool startPageReady(std::int32_t decodedPages, bool allPagesLoaded, std::int32_t preferredPage);

    // One tick. delayOf(page) gives a page's delay in hundredths. True when the page changed.
    bool tick(std::int32_t decodedPages, bool allPagesLoaded,
              const std::function<std::uint32_t(std::int32_t)>& delayOf);

    // Frame commands 500..504; each answers whether the shown page changed.
    bool previousFrame(std::int32_t decodedPages);
    bool nextFrame(std::int32_t decodedPages);
    bool firstFrame(std::int32_t decodedPages);
    bool lastFrame(std::int32_t decodedPages);
    void togglePlaying();

private:
    bool setPage(std::int32_t page);

    bool m_playing = true;
    bool m_startPending = true;
    std::int32_t m_page = 0;
    std::int32_t m_counter = 0;
};

}  // namespace kalder::view
