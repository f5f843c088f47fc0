#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "base/thread_pool.h"
#include "image/sinks.h"
#include "view/display_loader.h"

namespace kalder::view {

class EntryList;
class ImageEntry;

// One worker per core: display decodes go before thumbnails in the shared pool.
unsigned defaultThumbnailWorkers();

// The thumbnail loader: workers that walk the list from a start entry, wrapping at the end, and
// make every entry's thumbnail, each taking the next entry no other worker has taken, so the
// visible ones come first. The browser draws entries whose thumbnailReady() is set; nothing is
// posted.
class ThumbnailLoader {
public:
    ThumbnailLoader(EntryList& list, std::shared_ptr<DocumentSource> source, unsigned workers = 1);
    ~ThumbnailLoader();
    ThumbnailLoader(const ThumbnailLoader&) = delete;
    ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

    // Stops the worker and stores the options for the next start.
    void setOptions(const DocumentSource::ThumbnailOptions& options);
    // Stops the worker; with clearAll every thumbnail and its flags are dropped; then starts
    // again from the first entry with the new box side.
    void start(std::int32_t box, bool clearAll);
    // Resumes a suspended worker, stops it and waits for it.
    void stop();
    // Suspension takes effect between two thumbnails.
    void suspend();
    void resume();
    bool suspended() const;
    // Workers exist (they may have finished their work).
    bool started() const { return m_pool != nullptr; }
    unsigned workers() const { return m_workers; }

    // Makes the worker continue at this entry (for example the first visible one).
    void setStartEntry(const ImageEntry* entry);
    std::int32_t box() const { return m_box; }

    // Waits until every worker has ended (all done or stopped). False on timeout.
    bool waitUntilFinished(std::chrono::milliseconds timeout) const;
    // Thumbnails made by the current workers.
    std::int32_t made() const;

private:
    // Where one chain of tasks goes on looking for work.
    struct Chain {
        const ImageEntry* lastStart = nullptr;
        std::size_t position = 0;
    };
    void step(unsigned chain);
    const ImageEntry* startEntry() const;
    // The next entry nobody made or took, taken for the caller (under the list lock).
    ImageEntry* pickNext(const ImageEntry*& lastStart, std::size_t& position);
    void release(const ImageEntry* entry);

    EntryList& m_list;
    std::shared_ptr<DocumentSource> m_source;
    DocumentSource::ThumbnailOptions m_options;  // written only while no worker runs
    std::int32_t m_box = 80;

    mutable std::mutex m_startLock;  // guards m_startEntry; never held with another lock
    const ImageEntry* m_startEntry = nullptr;

    mutable std::mutex m_stateLock;  // guards m_suspended, m_running, m_made
    mutable std::condition_variable m_stateCv;
    bool m_suspended = false;
    unsigned m_running = 0;          // chains that have not ended (parked ones included)
    std::vector<unsigned> m_parked;  // chains that met a suspension
    std::int32_t m_made = 0;
    image::CancelFlag m_stop;  // the thumbnail-stop event

    std::unordered_set<const ImageEntry*> m_taken;  // guarded by the list lock
    unsigned m_workers;
    std::vector<Chain> m_chains;  // one per worker; each used by one task at a time
    // Last, so that its tasks have ended before anything they use goes away.
    std::unique_ptr<base::TaskGroup> m_pool;
};

}  // namespace kalder::view
