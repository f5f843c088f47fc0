#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "image/sinks.h"
#include "view/display_loader.h"

namespace kalder::view {

class EntryList;
class ImageEntry;

// The thumbnail loader: one worker that walks the list from a start entry, wrapping at the
// end, and makes every entry's thumbnail. The browser draws entries whose thumbnailReady() is
// set; nothing is posted.
class ThumbnailLoader {
public:
    ThumbnailLoader(EntryList& list, std::shared_ptr<DocumentSource> source);
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
    // A worker exists (it may have finished its work).
    bool started() const { return m_thread.joinable(); }

    // Makes the worker continue at this entry (for example the first visible one).
    void setStartEntry(const ImageEntry* entry);
    std::int32_t box() const { return m_box; }

    // Waits until the worker has ended (all done or stopped). False on timeout.
    bool waitUntilFinished(std::chrono::milliseconds timeout) const;
    // Thumbnails made by the current worker.
    std::int32_t made() const;

private:
    void run();
    const ImageEntry* startEntry() const;
    ImageEntry* pickNext(const ImageEntry*& lastStart, std::size_t& position);

    EntryList& m_list;
    std::shared_ptr<DocumentSource> m_source;
    DocumentSource::ThumbnailOptions m_options;  // written only while no worker runs
    std::int32_t m_box = 80;

    mutable std::mutex m_startLock;  // guards m_startEntry; never held with another lock
    const ImageEntry* m_startEntry = nullptr;

    mutable std::mutex m_stateLock;  // guards m_suspended, m_finished, m_made
    mutable std::condition_variable m_stateCv;
    bool m_suspended = false;
    bool m_finished = true;
    std::int32_t m_made = 0;
    image::CancelFlag m_stop;  // the thumbnail-stop event

    std::thread m_thread;
};

}  // namespace kalder::view
