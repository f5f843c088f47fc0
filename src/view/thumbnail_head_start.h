#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "base/thread_pool.h"
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
    // Stops, and waits for the files being made.
    ~ThumbnailHeadStart();
    ThumbnailHeadStart(const ThumbnailHeadStart&) = delete;
    ThumbnailHeadStart& operator=(const ThumbnailHeadStart&) = delete;

    // No further file is begun; the ones being made finish on their own. Returns at once.
    void stop();
    // Until the listing and every file begun are done.
    void wait();
    // Cache entries made (or found already there).
    std::size_t made() const;

private:
    // Pool tasks: the listing, then one file each.
    void list();
    void makeOne(const std::filesystem::path& file);

    const Plan m_plan;
    const std::shared_ptr<DocumentSource> m_source;
    std::atomic<bool> m_stopped{false};
    std::atomic<std::size_t> m_made{0};
    // Last, so that its tasks are waited for before the members they use go.
    base::TaskGroup m_tasks;
};

}  // namespace kalder::view
