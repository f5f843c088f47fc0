#include "view/slide_show.h"

#include <algorithm>

namespace kalder::view {

void SlideShow::setSettings(const Settings& s) {
    m_settings = s;
    m_settings.delaySeconds = std::clamp(s.delaySeconds, 1, 10);
    // The Adjust dialog's OK restarts the timer with the count at 0.
    m_counter = 0;
}

SlideShow::Step SlideShow::tick(const Tick& t) {
    if (!m_running || !t.hasCurrent || !t.windowVisible) return Step::None;
    // The delay counts only while the image is complete.
    if (t.hasPage && !t.decoding && m_counter < m_settings.delaySeconds * 5) ++m_counter;
    if (m_counter < m_settings.delaySeconds * 5) return Step::None;
    if (!m_settings.backward) {
        if (!t.atLast) return Step::Next;
        return m_settings.repeat ? Step::First : Step::None;
    }
    if (!t.atFirst) return Step::Previous;
    return m_settings.repeat ? Step::Last : Step::None;
}

void AnimationPlayer::imageRequested() {
    m_playing = true;
    m_startPending = true;
    m_page = 0;
    m_counter = 0;
}

bool AnimationPlayer::startPageReady(std::int32_t decodedPages, bool allPagesLoaded,
                                     std::int32_t preferredPage) {
    if (!m_startPending) return true;
    if (preferredPage > 0 && preferredPage >= decodedPages && !allPagesLoaded) return false;
    m_startPending = false;
    if (preferredPage > 0) m_page = std::min(preferredPage, std::max(0, decodedPages - 1));
    return true;
}

bool AnimationPlayer::setPage(std::int32_t page) {
    m_startPending = false;
    const bool changed = page != m_page;
    m_page = page;
    return changed;
}

bool AnimationPlayer::tick(std::int32_t decodedPages, bool allPagesLoaded,
                           const std::function<std::uint32_t(std::int32_t)>& delayOf) {
    if (decodedPages <= 1 || !m_playing) return false;
    if (m_page >= decodedPages) m_page = decodedPages - 1;
    const std::uint32_t delay = delayOf(m_page);
    if (delay == 0) return false;
    if (static_cast<std::uint64_t>(m_counter) * 5 < delay) {
        ++m_counter;
        return false;
    }
    m_counter = 0;
    if (m_page + 1 < decodedPages) return setPage(m_page + 1);
    // On the last decoded page: wrap only once every page is there.
    return allPagesLoaded ? setPage(0) : false;
}

bool AnimationPlayer::previousFrame(std::int32_t decodedPages) {
    if (decodedPages <= 1) return false;
    m_playing = false;
    return setPage(std::max(0, m_page - 1));
}

bool AnimationPlayer::nextFrame(std::int32_t decodedPages) {
    if (decodedPages <= 1) return false;
    m_playing = false;
    return setPage(std::min(decodedPages - 1, m_page + 1));
}

bool AnimationPlayer::firstFrame(std::int32_t decodedPages) {
    if (decodedPages <= 1) return false;
    m_playing = false;
    return setPage(0);
}

bool AnimationPlayer::lastFrame(std::int32_t decodedPages) {
    if (decodedPages <= 1) return false;
    m_playing = false;
    return setPage(decodedPages - 1);
}

void AnimationPlayer::togglePlaying() {
    m_playing = !m_playing;
    m_counter = 0;
}

}  // namespace kalder::view
