#include "app/core/progress_model.h"

#include <algorithm>

namespace kalder::app {

ProgressModel::ProgressModel(Clock clock) : m_clock(std::move(clock)) {
    if (!m_clock) m_clock = [] { return std::chrono::steady_clock::now(); };
}

void ProgressModel::setItem(std::int32_t index, std::int32_t count) {
    m_item = index;
    m_itemCount = count;
}

void ProgressModel::setStage(std::int32_t count, std::int32_t index) {
    m_stageCount = count;
    m_stage = index;
}

std::int32_t ProgressModel::position(std::int64_t total, std::int64_t done) const {
    const std::int64_t items = std::max<std::int64_t>(m_itemCount, 1);
    const std::int64_t stages = std::max<std::int64_t>(m_stageCount, 1);
    const std::int64_t item = std::clamp<std::int64_t>(m_item, 0, items - 1);
    const std::int64_t stage = std::clamp<std::int64_t>(m_stage, 0, stages - 1);
    if (total < 1) total = 1;
    done = std::clamp<std::int64_t>(done, 0, total);
    // In floating point: N * S * total can overflow 64 bits, and the result is truncated anyway.
    const long double whole = static_cast<long double>(items) * static_cast<long double>(stages) *
                              static_cast<long double>(total);
    const long double part = (static_cast<long double>(item) * static_cast<long double>(stages) +
                              static_cast<long double>(stage)) *
                                 static_cast<long double>(total) +
                             static_cast<long double>(done);
    const auto value = static_cast<std::int64_t>(part / whole * kBarMax);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, kBarMax));
}

std::optional<std::int32_t> ProgressModel::step(std::int64_t total, std::int64_t done) {
    const auto now = m_clock();
    if (done >= total) return std::nullopt;
    if (m_lastRefresh && now - *m_lastRefresh < kRefreshInterval) return std::nullopt;
    m_lastRefresh = now;
    return position(total, done);
}

namespace {

// Byte offsets where UTF-8 characters start, plus the end.
std::vector<std::size_t> characterStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    }
    starts.push_back(text.size());
    return starts;
}

}  // namespace

std::string compactPath(std::string_view path, std::int32_t width,
                        const std::function<std::int32_t(std::string_view)>& measure) {
    if (measure(path) <= width) return std::string(path);
    constexpr std::string_view kEllipsis = "...";

    std::size_t cut = path.rfind('\\');
    if (cut == std::string_view::npos) cut = path.rfind('/');
    const std::string_view head =
        cut == std::string_view::npos ? std::string_view{} : path.substr(0, cut);
    const std::string_view tail = cut == std::string_view::npos ? path : path.substr(cut);
    const std::int32_t ellipsisWidth = measure(kEllipsis);
    const std::int32_t tailWidth = measure(tail);

    if (width - ellipsisWidth < tailWidth) {
        // Drop characters from the front of the tail until "..." and the rest fit, keeping at
        // least one character.
        const auto starts = characterStarts(tail);
        std::size_t first = 0;
        std::string candidate;
        for (;;) {
            const std::string_view rest = tail.substr(starts[first]);
            candidate = std::string(kEllipsis) + std::string(rest);
            if (measure(candidate) <= width || first + 2 >= starts.size()) break;
            ++first;
        }
        return candidate;
    }

    // As many leading characters of the head as fit in what is left.
    const std::int32_t room = width - ellipsisWidth - tailWidth;
    const auto starts = characterStarts(head);
    std::size_t keep = 0;
    for (std::size_t n = 1; n < starts.size(); ++n) {
        if (measure(head.substr(0, starts[n])) > room) break;
        keep = starts[n];
    }
    return std::string(head.substr(0, keep)) + std::string(kEllipsis) + std::string(tail);
}

}  // namespace kalder::app
