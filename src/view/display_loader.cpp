#include "view/display_loader.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <system_error>

#include "image/image_document.h"
#include "view/image_entry.h"
#include "view/thumbnail_cache.h"

namespace kalder::view {

std::string loadFailureReason(const std::filesystem::path& file, image::DecodeError error) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::error_code(errno, std::generic_category()).message();
    ::close(fd);
    return std::string(image::decodeErrorMessage(error));
}

namespace {

// The parts of a request that decide what gets decoded.
bool sameDecode(const DisplayRequest& a, const DisplayRequest& b) {
    return a.entry == b.entry && a.fitWidth == b.fitWidth && a.fitHeight == b.fitHeight &&
           a.rotation == b.rotation && a.flipHorizontal == b.flipHorizontal &&
           a.flipVertical == b.flipVertical;
}

ImageEntry* mutableEntry(const ImageEntry* e) {
    // Slots hold the entries the list owns; the loader is allowed to fill them.
    return const_cast<ImageEntry*>(e);
}

// Thumbnails through ImageDocument, as the cache functions want them.
ThumbnailDecode documentThumbnails(const DocumentSource::ThumbnailOptions& o,
                                   const image::CancelSink* cancel) {
    return [&o, cancel](const std::filesystem::path& source, std::int32_t side,
                        bool display) -> std::unique_ptr<image::Bitmap32> {
        image::ImageDocument doc;
        if (!doc.MakeThumbnail(source, side, o.background, display ? o.colorTransform : nullptr,
                               o.useExif, o.rotateClockwise, cancel, o.upright))
            return nullptr;
        if (!display && doc.thumbnailIsPlaceholder()) return nullptr;
        auto out = std::make_unique<image::Bitmap32>();
        if (!doc.thumbnail().CopyTo(*out)) return nullptr;
        return out;
    };
}

class ImageDocumentSource final : public DocumentSource {
public:
    bool open(image::ImageDocument& doc, const image::LoadOptions& options,
              const image::CancelSink* cancel, image::ProgressSink* progress) override {
        return doc.Open(options, cancel, progress);
    }
    bool nextPage(image::ImageDocument& doc) override { return doc.AddPage() && doc.DecodePage(); }
    std::unique_ptr<image::Bitmap32> makeThumbnail(const std::filesystem::path& path,
                                                   std::int32_t box, const ThumbnailOptions& o,
                                                   const image::CancelSink* cancel) override {
        const ThumbnailDecode decode = documentThumbnails(o, cancel);
        return o.cache && o.upright ? cachedThumbnail(*o.cache, path, box, decode, cancel)
                                    : decode(path, box, true);
    }
    bool fillCache(const std::filesystem::path& path, std::int32_t box, const ThumbnailOptions& o,
                   const image::CancelSink* cancel) override {
        // The cache holds upright pictures only.
        return o.cache && o.upright &&
               fillThumbnailCache(*o.cache, path, box, documentThumbnails(o, cancel), cancel);
    }
};

}  // namespace

bool DocumentSource::fillCache(const std::filesystem::path&, std::int32_t, const ThumbnailOptions&,
                               const image::CancelSink*) {
    return false;
}

std::shared_ptr<DocumentSource> imageDocumentSource() {
    return std::make_shared<ImageDocumentSource>();
}

class DisplayLoader::ProgressCounter final : public image::ProgressSink {
public:
    void Progress(std::int64_t total, std::int64_t done) override {
        std::lock_guard lock(m_lock);
        m_total = total;
        m_done = done;
    }
    void reset() { Progress(0, 0); }
    std::int32_t percent() const {
        std::lock_guard lock(m_lock);
        if (m_total <= 0) return 0;
        return static_cast<std::int32_t>(
            100.0 * static_cast<double>(m_done) / static_cast<double>(m_total) + 0.5);
    }

private:
    mutable std::mutex m_lock;  // guards m_total, m_done
    std::int64_t m_total = 0;
    std::int64_t m_done = 0;
};

DisplayLoader::DisplayLoader(EntryList& list, std::shared_ptr<DocumentSource> source)
    : m_list(list), m_source(std::move(source)), m_progress(std::make_unique<ProgressCounter>()) {}

DisplayLoader::~DisplayLoader() { stop(true); }

void DisplayLoader::signalRequest() {
    bool post = false;
    {
        std::lock_guard lock(m_eventLock);
        m_requestReady = true;
        m_idle = false;
        post = m_worker && !m_scheduled;
        if (post) m_scheduled = true;
    }
    m_eventCv.notify_all();
    // The worker is a task of the shared pool that runs while there are requests; a new one is
    // posted only when the last one has left.
    if (post) m_worker->post([this] { run(); });
}

void DisplayLoader::start() {
    if (m_worker) return;
    m_stop.reset();
    ++m_starts;
    m_worker = std::make_unique<base::TaskGroup>(base::ThreadPool::shared(),
                                                 base::ThreadPool::Priority::Interactive, 1);
    // A new worker looks at every slot once.
    signalRequest();
}

void DisplayLoader::stop(bool emptySlots) {
    if (m_worker) {
        {
            std::lock_guard lock(m_eventLock);
            m_stop.cancel();
        }
        m_eventCv.notify_all();
        m_worker->discardQueued();
        m_worker.reset();  // waits for a run that had started
        m_stop.reset();
    }
    {
        std::lock_guard lock(m_eventLock);
        m_requestReady = false;
        m_idle = true;
        m_scheduled = false;
    }
    m_eventCv.notify_all();
    std::lock_guard lock(m_list.lock());
    // A decode that was cut off is dropped, so the entry is decoded again in full.
    if (m_decoding && !m_decoding->allPagesLoaded()) mutableEntry(m_decoding)->releaseImage();
    m_decoding = nullptr;
    if (emptySlots) m_slots = {};
}

void DisplayLoader::setOptions(const DisplayOptions& options) {
    stop(true);
    m_options = options;
}

bool DisplayLoader::isLoading(const ImageEntry* entry) const {
    std::lock_guard lock(m_list.lock());
    return entry && m_decoding == entry;
}

std::int32_t DisplayLoader::progress() const {
    return m_options.showProgress ? m_progress->percent() : 0;
}

std::array<DisplayRequest, 3> DisplayLoader::requestSlots() const {
    std::lock_guard lock(m_list.lock());
    return m_slots;
}

bool DisplayLoader::waitUntilIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_eventLock);
    return m_eventCv.wait_for(lock, timeout, [this] { return m_idle; });
}

DisplayRequest DisplayLoader::neighbour(const DisplayRequest& request, bool forward) const {
    if (!m_list.contains(request.entry)) return {};
    const ImageEntry* e = forward ? m_list.after(request.entry) : m_list.before(request.entry);
    if (!e) {
        const ImageEntry* wrap = forward ? m_list.first() : m_list.last();
        if (wrap == request.entry) return {};
        e = wrap;
    }
    DisplayRequest r = request;
    r.entry = e;
    return r;
}

void DisplayLoader::releaseSlotEntry(std::size_t slot, std::unique_lock<std::mutex>& listLock) {
    const ImageEntry* e = m_slots[slot].entry;
    if (!e) return;
    if (e == m_decoding) {
        listLock.unlock();
        stop(false);
        start();
        listLock.lock();
    }
    mutableEntry(e)->releaseImage();
}

void DisplayLoader::request(const DisplayRequest& request, bool single) {
    std::unique_lock lock(m_list.lock());
    const std::size_t count = m_list.size();
    DisplayRequest& current = m_slots[Current];
    DisplayRequest& next = m_slots[Next];
    DisplayRequest& previous = m_slots[Previous];

    if (!single && count == 2 && current.entry && next.entry && !m_decoding &&
        sameDecode(request, next)) {
        std::swap(current, next);
        return;
    }
    if (!single && count >= 3 && next.entry && next.entry->pageCount() > 0 &&
        sameDecode(request, next)) {
        releaseSlotEntry(Previous, lock);
        previous = current;
        current = next;
        next = neighbour(request, true);
        lock.unlock();
        signalRequest();
        return;
    }
    if (!single && count >= 3 && previous.entry && previous.entry->pageCount() > 0 &&
        sameDecode(request, previous)) {
        releaseSlotEntry(Next, lock);
        next = current;
        current = previous;
        previous = neighbour(request, false);
        lock.unlock();
        signalRequest();
        return;
    }
    lock.unlock();

    // Full restart: everything in the window is decoded again for the new request.
    stop(false);
    lock.lock();
    for (const DisplayRequest& r : m_slots)
        if (r.entry) mutableEntry(r.entry)->releaseImage();
    m_slots = {};
    current = request;
    if (!single) {
        next = neighbour(request, true);
        previous = neighbour(request, false);
    }
    for (const DisplayRequest& r : m_slots)
        if (r.entry) mutableEntry(r.entry)->releaseImage();
    m_decoding = nullptr;
    lock.unlock();
    start();
}

bool DisplayLoader::prefetchNeighbours() {
    {
        std::lock_guard lock(m_list.lock());
        DisplayRequest& current = m_slots[Current];
        if (!current.entry || m_list.size() < 2 || (m_slots[Next].entry && m_slots[Previous].entry))
            return false;
        for (const auto& [slot, forward] : {std::pair{Next, true}, std::pair{Previous, false}}) {
            if (m_slots[slot].entry) continue;
            m_slots[slot] = neighbour(current, forward);
            // Pages decoded for another size or orientation are not what this slot wants.
            if (m_slots[slot].entry && m_slots[slot].entry != m_decoding)
                mutableEntry(m_slots[slot].entry)->releaseImage();
        }
    }
    if (!running()) start();
    signalRequest();
    return true;
}

bool DisplayLoader::fetch(std::size_t slot, ImageEntry*& entry, image::LoadOptions& o) {
    std::lock_guard lock(m_list.lock());
    const DisplayRequest& r = m_slots[slot];
    if (!r.entry) return false;
    // A finished attempt (pages, or a failure) is not repeated until the image is released.
    if (r.entry->pageCount() > 0 || r.entry->allPagesLoaded()) return false;
    entry = mutableEntry(r.entry);
    m_decoding = entry;
    o = image::LoadOptions{};
    o.path = entry->path();
    applyToLoadOptions(r, o);
    o.smoothShrink = m_options.smoothShrink;
    o.smoothEnlarge = m_options.smoothEnlarge;
    o.smoothEnlargeMinSize = m_options.smoothEnlargeMinSize;
    o.blendAlpha = m_options.blendAlpha;
    o.backgroundColour = m_options.background;
    o.extractAlpha = m_options.extractAlpha;
    o.gammaTable = m_options.gammaTable;
    o.colorTransform = m_options.colorTransform;
    o.comments = &entry->comments();
    o.commentsLock = &entry->commentsLock();
    return true;
}

void DisplayLoader::decode(ImageEntry& entry, const image::LoadOptions& options) {
    m_progress->reset();
    image::ImageDocument& doc = entry.document();
    if (m_source->open(doc, options, &m_stop, m_progress.get())) {
        std::int32_t pages = 0;
        while (pages < image::ImageDocument::kMaxPages && !m_stop.isCancelled() &&
               m_source->nextPage(doc)) {
            entry.addLoadedPage();
            ++pages;
        }
    }
    // When stopped, the entry stays marked as being decoded; stop() drops the partial image.
    if (m_stop.isCancelled()) return;
    entry.setAllPagesLoaded();
    {
        std::lock_guard lock(m_list.lock());
        m_decoding = nullptr;
    }
    if (m_decodeEnded) m_decodeEnded();
}

void DisplayLoader::run() {
    for (;;) {
        {
            std::lock_guard lock(m_eventLock);
            if (m_stop.isCancelled() || !m_requestReady) {
                if (!m_stop.isCancelled()) m_idle = true;
                m_scheduled = false;
                m_eventCv.notify_all();
                return;
            }
            m_requestReady = false;
            m_idle = false;
        }
        for (std::size_t slot : {Current, Next, Previous}) {
            if (m_stop.isCancelled()) break;
            ImageEntry* entry = nullptr;
            image::LoadOptions options;
            if (!fetch(slot, entry, options)) continue;
            decode(*entry, options);
        }
    }
}

}  // namespace kalder::view
