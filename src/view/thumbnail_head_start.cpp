#include "view/thumbnail_head_start.h"

#include <condition_variable>
#include <mutex>
#include <vector>

#include "base/thread_pool.h"
#include "view/folder_images.h"

namespace kalder::view {

// Shared with the pool tasks, which may outlive the object that started them.
struct ThumbnailHeadStart::State {
    Plan plan;
    std::shared_ptr<DocumentSource> source;
    mutable std::mutex lock;
    mutable std::condition_variable idle;
    std::vector<std::filesystem::path> files;  // set by the listing task
    std::size_t next = 0;
    std::size_t made = 0;
    unsigned tasks = 0;  // posted and not ended
    bool stopped = false;

    void post(const std::shared_ptr<State>& self, void (*step)(const std::shared_ptr<State>&)) {
        {
            std::lock_guard guard(lock);
            if (stopped) return;
            ++tasks;
        }
        base::ThreadPool::shared().post([self, step] { step(self); },
                                        base::ThreadPool::Priority::Background);
    }
    void ended() {
        {
            std::lock_guard guard(lock);
            --tasks;
        }
        idle.notify_all();
    }
};

void ThumbnailHeadStart::makeOne(const std::shared_ptr<State>& s) {
    std::filesystem::path file;
    {
        std::lock_guard guard(s->lock);
        if (!s->stopped && s->next < s->files.size()) file = s->files[s->next++];
    }
    if (!file.empty()) {
        // One file per task, so that a display decode waiting in the pool comes first.
        const bool ok = s->source->fillCache(file, s->plan.box, s->plan.options, nullptr);
        {
            std::lock_guard guard(s->lock);
            if (ok) ++s->made;
        }
        s->post(s, makeOne);
    }
    s->ended();
}

void ThumbnailHeadStart::list(const std::shared_ptr<State>& s) {
    bool stopped = false;
    {
        std::lock_guard guard(s->lock);
        stopped = s->stopped;
    }
    if (stopped) {
        s->ended();
        return;
    }
    // The browser's own listing: the same filter, descriptions and order.
    FolderImages images(s->source, 1);
    images.setFilter(s->plan.filter, s->plan.customFilter);
    images.setSortKey(s->plan.sortKey);
    images.setSortOrder(s->plan.sortOrder);
    if (images.loadFolder(s->plan.folder)) {
        std::vector<std::filesystem::path> files;
        for (std::size_t i = 0; i < images.size() && i < s->plan.files; ++i)
            files.push_back(images.at(i)->path());
        {
            std::lock_guard guard(s->lock);
            s->files = std::move(files);
        }
        for (unsigned i = 0; i < s->plan.workers; ++i) s->post(s, makeOne);
    }
    s->ended();
}

ThumbnailHeadStart::ThumbnailHeadStart(Plan plan, std::shared_ptr<DocumentSource> source)
    : m_state(std::make_shared<State>()) {
    m_state->plan = std::move(plan);
    m_state->source = std::move(source);
    if (m_state->plan.options.cache && m_state->plan.workers > 0) m_state->post(m_state, list);
}

ThumbnailHeadStart::~ThumbnailHeadStart() { stop(); }

void ThumbnailHeadStart::stop() {
    std::lock_guard guard(m_state->lock);
    m_state->stopped = true;
}

bool ThumbnailHeadStart::waitUntilFinished(std::chrono::milliseconds timeout) const {
    std::unique_lock guard(m_state->lock);
    return m_state->idle.wait_for(guard, timeout, [this] { return m_state->tasks == 0; });
}

std::size_t ThumbnailHeadStart::made() const {
    std::lock_guard guard(m_state->lock);
    return m_state->made;
}

}  // namespace kalder::view
