// thumb and thumbs: thumbnails as the browser and a file manager's thumbnailer make them.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <ostream>

#include "base/thread_pool.h"
#include "cli/cli_args.h"
#include "cli/cli_streams.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "cli/pam_writer.h"
#include "image/format_table.h"
#include "image/image_document.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"
#include "tools/convert/page_preparation.h"
#include "view/display_loader.h"
#include "view/thumbnail_cache.h"

namespace kalder::cli {
namespace {
namespace fs = std::filesystem;

struct ThumbOptions {
    std::vector<std::string> inputs;
    std::string output;
    std::string format;  // thumb: --format, else OUT's extension decides
    std::int32_t size = 0;
    bool useExif = true;
    std::int32_t jobs = 0;     // thumbs: 0, one per core
    bool sharedCache = false;  // thumbs: through the desktop's shared thumbnail cache
};

// thumb and thumbs share their words; `folder` is thumbs, which has its own few.
std::string parseThumb(const std::vector<std::string>& args, bool folder, ThumbOptions& o) {
    OptionList options = {
        text({"-o", "--output"}, o.output),
        integer({"--size"}, o.size, 1, 32767),
        flag({"--no-exif"}, o.useExif, false),
    };
    if (folder) {
        options.push_back(integer({"--jobs"}, o.jobs, 1, 256));
        options.push_back(flag({"--cache"}, o.sharedCache));
    } else {
        options.push_back(text({"--format"}, o.format));
    }
    if (std::string error = parseArgs(args, options, o.inputs); !error.empty()) return error;
    if (o.inputs.empty()) return "no input file";
    if (o.output.empty() && !o.sharedCache) return "missing -o OUT";
    if (o.inputs.size() != 1) return "exactly one input expected";
    if (o.size <= 0) {
        if (!o.sharedCache) return "missing --size N";
        o.size = 128;  // the cache's normal flavour
    }
    return {};
}

int thumb(const ThumbOptions& c, std::ostream& out, std::ostream& err) {
    std::string formatError;
    const std::string ext = outputExtension(c.output, c.format, true, formatError);
    if (ext.empty()) return usageError(err, "thumb", formatError);
    const InputFile input(c.inputs.front());
    if (!input.ok()) return fileError(err, input.name(), "cannot be read");
    image::ImageDocument doc;
    if (!fs::is_regular_file(input.path()) ||
        !doc.MakeThumbnail(input.path(), c.size, 0xffffff, nullptr, c.useExif, true))
        return fileError(err, input.name(), readFailureReason(input.path()));
    const OutputTarget target(c.output, ext);
    if (!target.ok()) return fileError(err, "standard output", "no temporary folder");
    const std::string shown = c.output == "-" ? "standard output" : c.output;
    if (ext == ".pam") {
        if (!writePam(target.path(), doc.thumbnail()))
            return fileError(err, shown, "cannot be written");
    } else {
        const image::Bitmap32& b = doc.thumbnail();
        image::WriterImage img;
        img.pixels = b.row(0);
        img.width = b.width();
        img.height = b.height();
        img.bits = 32;
        auto writer = image::createWriterForExtension(ext);
        image::Status s = writer->Open(target.path());
        if (s) s = writer->Write(img);
        if (s) s = writer->Close();
        if (!s) return fileError(err, shown, tools::writeErrorMessage(s.error()));
    }
    return target.finish(out, err);
}

int thumbs(const ThumbOptions& c, std::ostream& err) {
    const fs::path dir = c.inputs.front();
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (entry.is_regular_file(ec) &&
            image::DetectFormat(entry.path(), image::DetectMode::ByExtension) >= 0)
            files.push_back(entry.path());
    }
    if (ec) return fileError(err, dir.string(), ec.message());
    std::sort(files.begin(), files.end());
    if (!c.output.empty()) {
        fs::create_directories(c.output, ec);
        if (!fs::is_directory(c.output, ec)) return fileError(err, c.output, "not a folder");
    }
    view::DocumentSource::ThumbnailOptions options;
    options.useExif = c.useExif;
    if (c.sharedCache)
        options.cache = std::make_shared<const view::SharedThumbnailCache>(
            view::SharedThumbnailCache::Options{});
    const std::shared_ptr<view::DocumentSource> source = view::imageDocumentSource();

    const unsigned jobs = c.jobs > 0 ? static_cast<unsigned>(c.jobs) : base::ThreadPool::cores();
    const bool progress = progressWanted();
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;  // guarded by errLock
    std::atomic<int> status{0};
    std::mutex errLock;  // guards err
    auto worker = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
            const fs::path target = fs::path(c.output) / (files[i].filename().string() + ".pam");
            const auto thumbnail = source->makeThumbnail(files[i], c.size, options, nullptr);
            const bool written = thumbnail && (c.output.empty() || writePam(target, *thumbnail));
            std::lock_guard lock(errLock);
            ++done;
            if (!thumbnail) {
                fileError(err, files[i].string(), readFailureReason(files[i]));
                status = 1;
            } else if (!written) {
                fileError(err, target.string(), "cannot be written");
                status = 1;
            } else if (progress) {
                err << "[" << done << "/" << files.size() << "] " << files[i].string() << "\n";
            }
        }
    };
    base::TaskGroup helpers(base::ThreadPool::shared(), base::ThreadPool::Priority::Normal);
    for (unsigned t = 1; t < jobs && t < files.size(); ++t) helpers.post(worker);
    worker();
    helpers.wait();
    return status;
}

std::string checkThumb(const std::vector<std::string>& args) {
    ThumbOptions o;
    return parseThumb(args, false, o);
}

int runThumb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ThumbOptions o;
    if (std::string error = parseThumb(args, false, o); !error.empty())
        return usageError(err, "thumb", error);
    return thumb(o, out, err);
}

std::string checkThumbs(const std::vector<std::string>& args) {
    ThumbOptions o;
    return parseThumb(args, true, o);
}

int runThumbs(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    ThumbOptions o;
    if (std::string error = parseThumb(args, true, o); !error.empty())
        return usageError(err, "thumbs", error);
    return thumbs(o, err);
}

}  // namespace

const Verb& thumbVerb() {
    static const Verb verb = {
        "thumb",
        "FILE --size N -o OUT",
        "one thumbnail",
        "OUT's extension (or --format) picks pam or png; an OUT without an extension gets PNG, "
        "as a\n"
        "file manager's thumbnailer expects.\n",
        "  -o, --output OUT   the file to write\n"
        "  --format NAME      pam or png instead of OUT's extension\n"
        "  --size N           longer side in pixels\n"
        "  --no-exif          do not use embedded Exif thumbnails\n",
        "image",
        checkThumb,
        runThumb,
    };
    return verb;
}

const Verb& thumbsVerb() {
    static const Verb verb = {
        "thumbs",
        "DIR --size N -o OUTDIR\nDIR --cache [--size N] [-o OUTDIR]",
        "thumbnails of every image of a folder",
        "With --cache the thumbnails go through the desktop's shared thumbnail cache, filling "
        "it\n"
        "(size 128 by default).\n",
        "  -o, --output OUTDIR  write NAME.pam for every image into OUTDIR\n"
        "  --size N           longer side in pixels\n"
        "  --cache            through the shared thumbnail cache\n"
        "  --no-exif          do not use embedded Exif thumbnails\n"
        "  --jobs N           worker threads (default: one per core)\n",
        "dir",
        checkThumbs,
        runThumbs,
    };
    return verb;
}

}  // namespace kalder::cli
