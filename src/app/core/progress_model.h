#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::app {

// The arithmetic behind the progress window: one bar over the whole job, refreshed at most ten
// times a second. No Qt here; the window feeds it and shows what it answers.
class ProgressModel {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // The bar runs from 0 to this value.
    static constexpr std::int32_t kBarMax = 32766;
    static constexpr std::chrono::milliseconds kRefreshInterval{100};

    // Without a clock the steady clock is used.
    explicit ProgressModel(Clock clock = {});

    // Item `index` of `count` is being worked on.
    void setItem(std::int32_t index, std::int32_t count);
    // Stage `index` of `count` of the current item.
    void setStage(std::int32_t count, std::int32_t index);

    // `done` of `total` units of the current stage are finished. Answers the bar position when a
    // refresh is due: done < total and at least a tenth of a second since the last refresh (the
    // first call always refreshes). Otherwise nothing, and the keyboard is not looked at either.
    std::optional<std::int32_t> step(std::int64_t total, std::int64_t done);

    // The position for the current item and stage with `done` of `total` finished. Counts below
    // one are taken as one and indexes are kept inside their counts, so a caller's slip can
    // neither divide by zero nor run the bar past its end.
    std::int32_t position(std::int64_t total, std::int64_t done) const;

    std::int32_t item() const { return m_item; }
    std::int32_t itemCount() const { return m_itemCount; }
    std::int32_t stage() const { return m_stage; }
    std::int32_t stageCount() const { return m_stageCount; }

private:
    Clock m_clock;
    std::int32_t m_item = 0;
    std::int32_t m_itemCount = 1;
    std::int32_t m_stage = 0;
    std::int32_t m_stageCount = 1;
    std::optional<std::chrono::steady_clock::time_point> m_lastRefresh;
};

// Fits a path into `width` pixels as measured by `measure` (the label's font): the whole path
// when it fits; else the start of the folder part, "...", and the file name; when the file name
// alone is too wide, "..." and as much of the end of the file name as fits (at least one
// character). The path is UTF-8 and is only ever cut between characters.
std::string compactPath(std::string_view path, std::int32_t width,
                        const std::function<std::int32_t(std::string_view)>& measure);

}  // namespace kalder::app
