#include "tools/print_layout/print_preparer.h"

#include <new>

#include "image/image_document.h"
#include "image/load_options.h"
#include "image/orientation.h"
#include "image/sinks.h"

namespace kalder::tools {

namespace {

// Cells are the job's items: `done` of `total` cells are ready, the next one from `file`.
void report(ToolHost& host, std::string_view stage, const std::filesystem::path& file,
            std::int64_t total, std::int64_t done) {
    host.progress({stage, 0, 1, file, static_cast<std::int32_t>(done),
                   static_cast<std::int32_t>(total), done, total});
}

bool loadInto(const image::LoadOptions& options, bool upright, image::Bitmap32& out,
              const image::CancelSink* cancel) {
    try {
        image::ImageDocument document;
        if (!document.Open(options, cancel)) return false;
        if (upright) document.orientUpright();
        if (!document.AddPage() || !document.DecodePage()) return false;
        const image::Bitmap32& b = document.PageAt(0).bitmap;
        return !b.isEmpty() && b.CopyTo(out);
    } catch (const std::bad_alloc&) {
        out.Release();
        return false;
    }
}

}  // namespace

bool loadFullImage(const std::filesystem::path& path, image::Bitmap32& out,
                   const image::CancelSink* cancel, bool upright) {
    image::LoadOptions options;
    options.path = path;
    return loadInto(options, upright, out, cancel);
}

bool loadPrintPreview(const std::filesystem::path& path, image::Bitmap32& out, bool upright) {
    image::LoadOptions options;
    options.path = path;
    options.fitWidth = options.fitHeight = kPrintPreviewSize;
    options.limitWidth = options.limitHeight = kPrintPreviewSize;
    options.zoomRule = 2;  // shrink big pictures only
    return loadInto(options, upright, out, nullptr);
}

void readOriginalSize(PrintItem& item, bool upright) {
    if (item.sizeRead) return;
    item.sizeRead = true;
    image::ImageInfo info;
    if (!image::ReadImageInfo(item.path, info, true)) return;
    const bool quarter = upright && (image::uprightTransform(info.exif.orientation()).rotation & 1);
    item.width = quarter ? info.height : info.width;
    item.height = quarter ? info.width : info.height;
    item.dpiX = quarter ? info.dpiY : info.dpiX;
    item.dpiY = quarter ? info.dpiX : info.dpiY;
}

void releasePage(std::vector<PrintCell>& cells, std::int32_t page) {
    for (PrintCell& c : cells)
        if (c.page == page) c.bitmap.reset();
}

PrepareOutcome preparePage(std::vector<PrintCell>& cells, std::int32_t page,
                           const std::vector<PrintItem>& items, const PrintOptions& options,
                           ToolHost& host, const PrintImageLoader& load) {
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
        if (host.cancelled()) return fail(PrepareOutcome::Stopped);
        if (loadedItem != cell.item) {
            // Drop the previous decode first so two full-size pictures never coexist.
            full.Release();
            loadedItem = items.size();
            report(host, kPrintStageReading, item.path, total, done);
            const bool loaded = load ? load(item.path, full, &cancel)
                                     : loadFullImage(item.path, full, &cancel, options.upright);
            if (!loaded) {
                if (host.cancelled()) return fail(PrepareOutcome::Stopped);
                host.error(std::string(kPrintCannotRead) + " " + item.path.string());
                return fail(PrepareOutcome::Failed);
            }
            loadedItem = cell.item;
        }
        report(host, kPrintStageProcessing, item.path, total, done);
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
            if (host.cancelled()) return fail(PrepareOutcome::Stopped);
            host.error(std::string(kPrintCannotRead) + " " + item.path.string());
            return fail(PrepareOutcome::Failed);
        }
        cell.bitmap = std::move(bitmap);
    }
    return PrepareOutcome::Done;
}

}  // namespace kalder::tools
