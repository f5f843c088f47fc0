#include "tools/print_layout/print_preparer.h"

#include <new>

#include "image/image_document.h"
#include "image/load_options.h"
#include "image/sinks.h"

namespace kalder::tools {

namespace {

class HostCancel final : public image::CancelSink {
public:
    explicit HostCancel(PrintHost& host) : m_host(host) {}
    bool isCancelled() const override { return m_host.stopRequested(); }

private:
    PrintHost& m_host;
};

bool loadInto(const image::LoadOptions& options, image::Bitmap32& out,
              const image::CancelSink* cancel) {
    try {
        image::ImageDocument document;
        if (!document.loadAll(options, false, cancel) || document.PageCount() < 1) return false;
        const image::Bitmap32& b = document.PageAt(0).bitmap;
        return !b.isEmpty() && b.CopyTo(out);
    } catch (const std::bad_alloc&) {
        out.Release();
        return false;
    }
}

}  // namespace

bool loadFullImage(const std::filesystem::path& path, image::Bitmap32& out,
                   const image::CancelSink* cancel) {
    image::LoadOptions options;
    options.path = path;
    return loadInto(options, out, cancel);
}

bool loadPrintPreview(const std::filesystem::path& path, image::Bitmap32& out) {
    image::LoadOptions options;
    options.path = path;
    options.fitWidth = options.fitHeight = kPrintPreviewSize;
    options.limitWidth = options.limitHeight = kPrintPreviewSize;
    options.zoomRule = 2;  // shrink big pictures only
    return loadInto(options, out, nullptr);
}

void releasePage(std::vector<PrintCell>& cells, std::int32_t page) {
    for (PrintCell& c : cells)
        if (c.page == page) c.bitmap.reset();
}

PrepareOutcome preparePage(std::vector<PrintCell>& cells, std::int32_t page,
                           const std::vector<PrintItem>& items, const PrintOptions& options,
                           PrintHost& host, const PrintImageLoader& load) {
    const auto total = static_cast<std::int64_t>(cells.size());
    HostCancel cancel(host);
    image::Bitmap32 full;
    std::size_t loadedItem = items.size();
    const auto fail = [&](PrepareOutcome outcome) {
        releasePage(cells, page);
        return outcome;
    };

    for (std::size_t i = 0; i < cells.size(); ++i) {
        PrintCell& cell = cells[i];
        if (cell.page != page) continue;
        if (cell.item >= items.size()) return fail(PrepareOutcome::Failed);
        const PrintItem& item = items[cell.item];
        const auto done = static_cast<std::int64_t>(i);
        if (host.stopRequested()) return fail(PrepareOutcome::Stopped);
        if (loadedItem != cell.item) {
            // Drop the previous decode first so two full-size pictures never coexist.
            full.Release();
            loadedItem = items.size();
            host.progress(kPrintStageReading, item.path, total, done);
            if (!load(item.path, full, &cancel)) {
                if (host.stopRequested()) return fail(PrepareOutcome::Stopped);
                host.error(std::string(kPrintCannotRead) + " " + item.path.string());
                return fail(PrepareOutcome::Failed);
            }
            loadedItem = cell.item;
        }
        host.progress(kPrintStageProcessing, item.path, total, done);
        const PixelSize target = targetPixelSize(cell.width, cell.height, full.width(),
                                                 full.height(), options.dpi, options.zoom);
        auto bitmap = std::make_unique<image::Bitmap32>();
        if (target.width == 0 || !bitmap->Create(target.width, target.height)) {
            host.error(std::string(kPrintCannotRead) + " " + item.path.string());
            return fail(PrepareOutcome::Failed);
        }
        image::ResampleOptions ro;
        ro.method = options.method;
        ro.shrinkAveraging = true;
        ro.cancel = &cancel;
        if (!image::Resample(full, *bitmap, ro)) {
            if (host.stopRequested()) return fail(PrepareOutcome::Stopped);
            host.error(std::string(kPrintCannotRead) + " " + item.path.string());
            return fail(PrepareOutcome::Failed);
        }
        cell.bitmap = std::move(bitmap);
    }
    return PrepareOutcome::Done;
}

}  // namespace kalder::tools
