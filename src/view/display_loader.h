#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "base/thread_pool.h"
#include "image/load_options.h"
#include "image/result.h"
#include "image/sinks.h"
#include "view/view_state.h"

namespace kalder::image {
class Bitmap32;
class ImageDocument;
}  // namespace kalder::image

namespace kalder::view {

class SharedThumbnailCache;

// Why a file could not be shown, for the user: what the system said when the file cannot be
// opened at all (no permission, gone), else the decoder's error.
std::string loadFailureReason(const std::filesystem::path& file, image::DecodeError error);

class EntryList;
class ImageEntry;

// What opens and decodes documents for the loaders; tests put a fake in its place.
class DocumentSource {
public:
    virtual ~DocumentSource() = default;
    // Opens the file named in options into doc. The decoder checks cancel between rows.
    virtual bool open(image::ImageDocument& doc, const image::LoadOptions& options,
                      const image::CancelSink* cancel, image::ProgressSink* progress) = 0;
    // Decodes the next page; false when there is none or it failed.
    virtual bool nextPage(image::ImageDocument& doc) = 0;

    struct ThumbnailOptions {
        bool useExif = true;
        bool rotateClockwise = true;
        // Put upright by the Exif Orientation, as the viewer does by default. The shared cache
        // holds upright pictures, as the desktop's other programs store them, so it is used
        // only then.
        bool upright = true;
        image::ColorRef background = 0xffffff;
        image::ColorTransform* colorTransform = nullptr;
        // The desktop's shared thumbnail cache, read and filled when set.
        std::shared_ptr<const SharedThumbnailCache> cache;
    };
    // A thumbnail fitting box x box, or nullptr.
    virtual std::unique_ptr<image::Bitmap32> makeThumbnail(const std::filesystem::path& path,
                                                           std::int32_t box,
                                                           const ThumbnailOptions& options,
                                                           const image::CancelSink* cancel) = 0;
    // Makes the shared cache's entry for the file (options.cache) without the thumbnail; false
    // when nothing was made or there is no cache to fill.
    virtual bool fillCache(const std::filesystem::path& path, std::int32_t box,
                           const ThumbnailOptions& options, const image::CancelSink* cancel);
};

// The source over ImageDocument and the format readers.
std::shared_ptr<DocumentSource> imageDocumentSource();

// Display settings every decode uses besides the request.
struct DisplayOptions {
    bool smoothShrink = true;
    bool smoothEnlarge = true;
    std::int32_t smoothEnlargeMinSize = 0;
    bool blendAlpha = true;
    image::ColorRef background = 0xffffff;
    bool extractAlpha = false;
    const std::uint8_t* gammaTable = nullptr;
    image::ColorTransform* colorTransform = nullptr;
    bool showProgress = true;
};

// The display loader: three request slots (current, next, previous) and a worker thread that
// decodes the slots' entries in that order. The UI calls everything here from one thread and
// polls the entries' page counts for results.
class DisplayLoader {
public:
    enum Slot : std::size_t { Current = 0, Next = 1, Previous = 2 };

    DisplayLoader(EntryList& list, std::shared_ptr<DocumentSource> source);
    ~DisplayLoader();
    DisplayLoader(const DisplayLoader&) = delete;
    DisplayLoader& operator=(const DisplayLoader&) = delete;

    // Every image change: keeps, shifts or refills the three slots.
    void request(const DisplayRequest& request, bool single);
    // After a request for the current image alone (a resize): fills the empty next and
    // previous slots from the current one, so that Next and Previous File are ready again.
    // The current image is left as it is; answers whether anything was added.
    bool prefetchNeighbours();
    bool isLoading(const ImageEntry* entry) const;
    // Rows done of the page being decoded as a percentage (0 when progress display is off).
    std::int32_t progress() const;

    // Stops the worker, empties the slots, stores the options.
    void setOptions(const DisplayOptions& options);
    // Called on the worker each time an entry's decode has ended (done or failed, not stopped),
    // so a window can show it at once instead of at its next poll. Set before the first start.
    void setDecodeEnded(std::function<void()> callback) { m_decodeEnded = std::move(callback); }
    // Starts a worker if none runs.
    void start();
    // Stops the worker; with emptySlots the slots are cleared too.
    void stop(bool emptySlots);
    bool running() const { return m_worker != nullptr; }

    std::array<DisplayRequest, 3> requestSlots() const;
    // Worker threads started so far.
    std::int32_t starts() const { return m_starts; }
    // Waits until the worker has nothing left to decode (or none runs). False on timeout.
    bool waitUntilIdle(std::chrono::milliseconds timeout) const;

private:
    class ProgressCounter;
    void run();
    bool fetch(std::size_t slot, ImageEntry*& entry, image::LoadOptions& options);
    void decode(ImageEntry& entry, const image::LoadOptions& options);
    void releaseSlotEntry(std::size_t slot, std::unique_lock<std::mutex>& listLock);
    DisplayRequest neighbour(const DisplayRequest& request, bool forward) const;
    void signalRequest();

    EntryList& m_list;
    std::shared_ptr<DocumentSource> m_source;
    DisplayOptions m_options;  // written only while no worker runs

    // Under the list lock (m_list.lock()):
    std::array<DisplayRequest, 3> m_slots;
    const ImageEntry* m_decoding = nullptr;

    mutable std::mutex m_eventLock;  // guards m_requestReady, m_idle, m_scheduled; waits on m_stop
    mutable std::condition_variable m_eventCv;
    bool m_requestReady = false;  // auto reset
    bool m_idle = true;
    bool m_scheduled = false;  // a run() task is queued or running
    image::CancelFlag m_stop;  // the display-stop event, read by decoders between rows

    std::unique_ptr<ProgressCounter> m_progress;
    std::function<void()> m_decodeEnded;
    std::int32_t m_starts = 0;
    // Last, so that the worker has ended before anything it uses goes away.
    std::unique_ptr<base::TaskGroup> m_worker;
};

}  // namespace kalder::view
