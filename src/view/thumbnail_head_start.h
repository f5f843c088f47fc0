#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "view/browser_sort.h"
#include "view/display_loader.h"
#include "view/file_filter.h"

namespace kalder::view {

// Thumbnails begun while the window is still being built. When the program starts on a folder
// to browse, a pool task lists it as the browser will and makes the shared cache's entries of its
// first files on the core the window's construction leaves idle; the thumbnail loader then finds
// them in the cache instead of starting from nothing.
class ThumbnailHeadStart {
public:
    struct Plan {
        std::filesystem::path folder;
        FilterMode filter = FilterMode::Default;
        std::string customFilter;
        SortKey sortKey = SortKey::Name;
        SortOrder sortOrder = SortOrder::Ascending;
        std::int32_t box = 0;                      // the browser's, in device pixels
        DocumentSource::ThumbnailOptions options;  // cache set, as the loader will have them
        std::size_t files = 64;                    // at most this many, in the browser's order
        unsigned workers = 1;
    };

    explicit ThumbnailHeadStart(Plan plan,
                                std::shared_ptr<DocumentSource> source = imageDocumentSource());
    // Stops without waiting.
    ~ThumbnailHeadStart();
    ThumbnailHeadStart(const ThumbnailHeadStart&) = delete;
    ThumbnailHeadStart& operator=(const ThumbnailHeadStart&) = delete;

    // No further file is begun; the ones being made finish on their own. Returns at once.
    void stop();
    // Waits until no task runs or waits. False on timeout.
    bool waitUntilFinished(std::chrono::milliseconds timeout) const;
    // Cache entries made (or found already there).
    std::size_t made() const;

private:
    struct State;
    // Pool tasks: the listing, then one file each.
    static void list(const std::shared_ptr<State>& s);
    static void makeOne(const std::shared_ptr<State>& s);

    std::shared_ptr<State> m_state;
};

}  // namespace kalder::view
