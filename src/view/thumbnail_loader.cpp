#include "view/thumbnail_loader.h"

#include "image/bitmap32.h"
#include "view/image_entry.h"

namespace kalder::view {

unsigned defaultThumbnailWorkers() {
    // Every core: the pool runs a display decode before the next thumbnail, so the picture the
    // user asked for waits for one thumbnail at most.
    return base::ThreadPool::cores();
}

ThumbnailLoader::ThumbnailLoader(EntryList& list, std::shared_ptr<DocumentSource> source,
                                 unsigned workers)
    : m_list(list), m_source(std::move(source)), m_workers(workers > 0 ? workers : 1) {}

ThumbnailLoader::~ThumbnailLoader() { stop(); }

void ThumbnailLoader::setOptions(const DocumentSource::ThumbnailOptions& options) {
    stop();
    m_options = options;
}

void ThumbnailLoader::start(std::int32_t box, bool clearAll) {
    stop();
    if (clearAll)
        for (std::size_t i = 0; i < m_list.size(); ++i) m_list.at(i)->clearThumbnail();
    m_box = box;
    setStartEntry(m_list.first());
    {
        std::lock_guard lock(m_stateLock);
        m_running = m_workers;
        m_made = 0;
    }
    m_stop.reset();
    {
        std::lock_guard lock(m_list.lock());
        m_taken.clear();
    }
    m_pool = std::make_unique<base::TaskGroup>(base::ThreadPool::shared(),
                                               base::ThreadPool::Priority::Background, m_workers);
    m_chains.assign(m_workers, Chain{});
    m_parked.clear();
    for (unsigned i = 0; i < m_workers; ++i) {
        m_chains[i].lastStart = startEntry();
        {
            std::lock_guard lock(m_list.lock());
            if (m_list.contains(m_chains[i].lastStart))
                m_chains[i].position = m_chains[i].lastStart->index();
        }
        m_pool->post([this, i] { step(i); });
    }
}

void ThumbnailLoader::stop() {
    if (!m_pool) return;
    {
        std::lock_guard lock(m_stateLock);
        m_suspended = false;
        m_stop.cancel();
    }
    m_stateCv.notify_all();
    m_pool->discardQueued();
    m_pool.reset();  // waits for the thumbnails being made
    std::lock_guard lock(m_stateLock);
    m_running = 0;
    m_parked.clear();
    m_stop.reset();
}

void ThumbnailLoader::suspend() {
    std::lock_guard lock(m_stateLock);
    if (m_pool) m_suspended = true;
}

void ThumbnailLoader::resume() {
    std::vector<unsigned> parked;
    {
        std::lock_guard lock(m_stateLock);
        m_suspended = false;
        parked.swap(m_parked);
    }
    m_stateCv.notify_all();
    if (m_pool)
        for (unsigned chain : parked) m_pool->post([this, chain] { step(chain); });
}

bool ThumbnailLoader::suspended() const {
    std::lock_guard lock(m_stateLock);
    return m_suspended;
}

void ThumbnailLoader::setStartEntry(const ImageEntry* entry) {
    std::lock_guard lock(m_startLock);
    m_startEntry = entry;
}

const ImageEntry* ThumbnailLoader::startEntry() const {
    std::lock_guard lock(m_startLock);
    return m_startEntry;
}

bool ThumbnailLoader::waitUntilFinished(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_stateLock);
    return m_stateCv.wait_for(lock, timeout, [this] { return m_running == 0; });
}

std::int32_t ThumbnailLoader::made() const {
    std::lock_guard lock(m_stateLock);
    return m_made;
}

ImageEntry* ThumbnailLoader::pickNext(const ImageEntry*& lastStart, std::size_t& position) {
    const ImageEntry* start = startEntry();  // the start lock is released again here
    std::lock_guard lock(m_list.lock());
    if (start != lastStart && m_list.contains(start)) position = start->index();
    lastStart = start;
    const std::size_t count = m_list.size();
    for (std::size_t k = 0; k < count; ++k) {
        ImageEntry* e = m_list.at((position + k) % count);
        if (!e->thumbnailDone() && m_taken.insert(e).second) {
            position = e->index();
            return e;
        }
    }
    return nullptr;
}

void ThumbnailLoader::release(const ImageEntry* entry) {
    std::lock_guard lock(m_list.lock());
    m_taken.erase(entry);
}

void ThumbnailLoader::step(unsigned chain) {
    // Each chain makes one thumbnail per task and posts itself again, so a display decode of the
    // same pool gets the next free worker instead of waiting for the whole folder.
    Chain& c = m_chains[chain];
    bool more = false;
    {
        std::lock_guard lock(m_stateLock);
        if (m_suspended && !m_stop.isCancelled()) {
            m_parked.push_back(chain);
            return;
        }
    }
    if (!m_stop.isCancelled()) {
        if (ImageEntry* entry = pickNext(c.lastStart, c.position)) {
            more = true;
            if (!entry->hasThumbnail()) {
                auto thumbnail = m_source->makeThumbnail(entry->path(), m_box, m_options, &m_stop);
                if (m_stop.isCancelled()) {
                    release(entry);
                    more = false;
                } else {
                    // A file that cannot be thumbnailed keeps its empty box.
                    entry->setThumbnail(std::move(thumbnail));
                }
            } else {
                entry->setThumbnail(nullptr);
            }
            if (more) {
                entry->setThumbnailDone();
                release(entry);
                std::lock_guard lock(m_stateLock);
                ++m_made;
                ++c.position;
            }
        }
    }
    if (more && !m_stop.isCancelled()) {
        m_pool->post([this, chain] { step(chain); });
        return;
    }
    {
        std::lock_guard lock(m_stateLock);
        if (m_running > 0) --m_running;
    }
    m_stateCv.notify_all();
}

}  // namespace kalder::view
