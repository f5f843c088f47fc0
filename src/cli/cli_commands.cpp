#include "cli/cli_commands.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/cli_streams.h"
#include "cli/cli_usage.h"
#include "cli/pam_writer.h"
#include "image/colour_reducer.h"
#include "image/exif/exif_report.h"
#include "image/format_table.h"
#include "image/image_document.h"
#include "image/image_reader.h"
#include "image/resample.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"
#include "tools/convert/page_preparation.h"
#include "view/color_calibration.h"
#include "view/color_manager.h"
#include "view/display_loader.h"
#include "view/thumbnail_cache.h"

namespace kalder::cli {
namespace fs = std::filesystem;
using image::ImageDocument;
using image::LoadOptions;

namespace {

// Pages of a multi-frame file, counted by decoding each frame at a tiny size.
std::int32_t countPages(const fs::path& path) {
    ImageDocument doc;
    LoadOptions o;
    o.path = path;
    o.fitWidth = o.fitHeight = 8;
    o.smoothShrink = false;
    if (!doc.Open(o)) return 0;
    std::int32_t n = 0;
    // Each frame is dropped once decoded; the count stops where a document would stop.
    while (n < ImageDocument::kMaxPages && doc.AddPage()) {
        if (!doc.DecodePage()) break;
        ++n;
        doc.ReleasePages();
    }
    return n;
}

LoadOptions loadOptionsFor(const CliOptions& c, const fs::path& path) {
    LoadOptions o;
    o.path = path;
    o.autoFit = c.autoFit;
    o.fitWidth = c.fitWidth;
    o.fitHeight = c.fitHeight;
    o.zoomRule = c.zoomRule;
    if (c.zoomRule != 0) {
        // The zoom rules compare against the box the image is fitted into.
        o.limitWidth = c.fitWidth > 0 ? c.fitWidth : LoadOptions::kUnbounded;
        o.limitHeight = c.fitHeight > 0 ? c.fitHeight : LoadOptions::kUnbounded;
    } else if (c.fitWidth > 0 && c.fitHeight > 0) {
        // Vector readers render at the requested size.
        o.limitWidth = c.fitWidth;
        o.limitHeight = c.fitHeight;
    }
    o.rotation = c.rotation;
    o.flipHorizontal = c.flipHorizontal;
    o.flipVertical = c.flipVertical;
    o.smoothShrink = c.smooth;
    o.smoothEnlarge = c.smooth;
    if (c.background) {
        const std::uint32_t rgb = *c.background;
        o.blendAlpha = true;
        o.backgroundColour = image::makeColorRef(static_cast<std::uint8_t>(rgb >> 16),
                                                 static_cast<std::uint8_t>(rgb >> 8),
                                                 static_cast<std::uint8_t>(rgb));
    }
    o.extractAlpha = c.alpha;
    return o;
}

fs::path pagePath(const fs::path& out, std::int32_t page) {
    return out.parent_path() /
           (out.stem().string() + "-" + std::to_string(page) + out.extension().string());
}

bool writePage(const image::ImagePage& page, const LoadOptions& o, bool alpha,
               const fs::path& path) {
    if (alpha) {
        auto plane = tools::alphaForBitmap(page, o);
        return writePam(path, page.bitmap, plane);
    }
    return writePam(path, page.bitmap);
}

bool wantsPalette(const CliOptions& c, const std::string& ext) {
    return ext == ".gif" || c.colors > 0 || c.palette || c.dither;
}

bool wantsResample(const CliOptions& c) { return c.resamplePercent > 0 || c.resampleWidth > 0; }

// The writer input the decode options ask for, for an output of extension `ext`.
tools::PageOutputOptions pageOutputOptionsFor(const CliOptions& c, const std::string& ext,
                                              bool colourChanged) {
    tools::PageOutputOptions p;
    p.resampleWidth = c.resampleWidth;
    p.resampleHeight = c.resampleHeight;
    p.resamplePercent = c.resamplePercent;
    if (c.method) p.resample.method = static_cast<image::ResampleMethod>(*c.method);
    p.palette = wantsPalette(c, ext);
    if (c.palette) p.reduce.palette = static_cast<image::PaletteType>(*c.palette);
    if (c.dither) p.reduce.dither = static_cast<image::DitherType>(*c.dither);
    p.reduce.targetDepth = c.colors > 0 ? tools::bitsForColours(c.colors) : 8;
    p.coloursChanged = colourChanged;
    // Only GIF and PNG keep a transparent palette entry.
    p.transparentEntry = ext == ".gif" || ext == ".png";
    image::WriterImage& f = p.format;
    if (c.quality) f.jpegQuality = *c.quality;
    f.jpegProgressive = c.progressive;
    f.pngInterlaced = f.gifInterlaced = c.interlaced;
    if (c.compression) f.tiffCompression = *c.compression;
    f.bmpRle = f.tgaRle = c.rle;
    return p;
}

// decode through a writer: every wanted page into OUT (multi-frame formats with --all-pages) or
// into OUT-N.EXT.
int decodeToWriter(const CliOptions& c, const fs::path& output, const std::string& ext,
                   ImageDocument& doc, const LoadOptions& o, bool colourChanged,
                   std::ostream& err) {
    const tools::PageOutputOptions outputOptions = pageOutputOptionsFor(c, ext, colourChanged);
    const bool oneFile = !c.allPages || ext == ".gif" || ext == ".tif" || ext == ".tiff";
    image::ImageInfo info;
    const bool haveInfo = image::ReadImageInfo(o.path, info, true);
    const std::int32_t dpiX = haveInfo ? info.dpiX : 0, dpiY = haveInfo ? info.dpiY : 0;

    std::unique_ptr<image::ImageWriter> writer;
    fs::path target;
    auto fail = [&](const std::string& why) {
        return fileError(err, c.output == "-" ? "standard output" : target.string(), why);
    };
    std::int32_t written = 0;
    for (std::int32_t i = 0; doc.AddPage(); ++i) {
        if (!doc.DecodePage()) break;
        const bool wanted = c.allPages || i == c.page;
        if (wanted) {
            if (!writer) {
                target = oneFile ? output : pagePath(output, i);
                writer = image::createWriterForExtension(ext);
                if (auto s = writer->Open(target); !s)
                    return fail(tools::writeErrorMessage(s.error()));
            }
            const image::ImagePage& page = doc.PageAt(doc.PageCount() - 1);
            tools::PreparedPage prepared;
            std::string why;
            if (!tools::preparePage(
                    page, page.bitmap,
                    c.alpha ? tools::alphaForBitmap(page, o) : std::vector<std::uint8_t>{}, dpiX,
                    dpiY, outputOptions, prepared, why))
                return fail(why);
            if (auto s = writer->Write(prepared.image); !s)
                return fail(tools::writeErrorMessage(s.error()));
            if (!oneFile) {
                if (auto s = writer->Close(); !s) return fail(tools::writeErrorMessage(s.error()));
                writer.reset();
            }
            ++written;
        }
        if (!c.allPages && i >= c.page) break;
        // Frames come composed; each is dropped once written, so long animations stay small.
        doc.ReleasePages();
    }
    if (written == 0)
        return fileError(err, c.inputs.front(),
                         doc.PageCount() > c.page ? "damaged or truncated image" : "no such page");
    if (writer) {
        if (auto s = writer->Close(); !s) return fail(tools::writeErrorMessage(s.error()));
    }
    return 0;
}

// The format an output is written in, as an extension (".pam", ".png", ...): --format, else
// OUT's extension. Empty with `error` set when neither names one we write.
std::string outputExtension(const CliOptions& c, bool thumbnail, std::string& error) {
    std::string ext;
    if (!c.outputFormat.empty()) {
        ext = tools::lowerExtension("x." + c.outputFormat);
    } else if (c.output == "-") {
        error = "writing to standard output needs --format";
        return {};
    } else {
        ext = tools::lowerExtension(c.output);
    }
    // A file manager's thumbnailer names its output as it likes, often with no extension:
    // a thumbnail is PNG unless PAM is asked for by name.
    if (thumbnail && ext.empty() && c.output != "-") ext = ".png";
    const bool known =
        ext == ".pam" ||
        (thumbnail ? ext == ".png" : image::createWriterForExtension(ext) != nullptr);
    if (!known) {
        const char* list = thumbnail ? "pam or png" : "pam, bmp, pcx, tga, gif, jpg, png or tif";
        error = c.outputFormat.empty()
                    ? c.output + ": unknown output format (the extension must name " + list + ")"
                    : "bad value for --format (" + std::string(list) + "): " + c.outputFormat;
        return {};
    }
    return ext;
}

// Where a command writes: OUT itself, or a temporary file whose bytes go to standard output
// once it is complete, so a failed decode never leaves half an image in a pipe.
class OutputTarget {
public:
    OutputTarget(const std::string& output, const std::string& ext)
        : m_toStdout(output == "-"), m_path(output) {
        if (!m_toStdout) return;
        m_temp = std::make_unique<TempFolder>();
        m_path = m_temp->ok() ? m_temp->path() / ("out" + ext) : fs::path();
    }
    bool ok() const { return !m_path.empty(); }
    const fs::path& path() const { return m_path; }
    // After the command wrote path(): its bytes to standard output.
    int finish(std::ostream& out, std::ostream& err) const {
        if (m_toStdout && !copyFileTo(m_path, out))
            return fileError(err, "standard output", std::strerror(errno ? errno : EIO));
        return 0;
    }

private:
    bool m_toStdout;
    std::unique_ptr<TempFolder> m_temp;
    fs::path m_path;
};

}  // namespace

int runInfo(const CliOptions& c, std::ostream& out, std::ostream& err) {
    int status = 0;
    if (c.json) out << "[\n";
    bool first = true;
    for (const auto& name : c.inputs) {
        const InputFile input(name);
        image::ImageInfo info;
        if (!input.ok()) {
            status = fileError(err, name, "cannot be read");
            continue;
        }
        if (!image::ReadImageInfo(input.path(), info, true) || info.formatIndex < 0 ||
            info.width <= 0) {
            status = fileError(err, name, readFailureReason(input.path()));
            continue;
        }
        const auto& format = image::formatTable()[static_cast<std::size_t>(info.formatIndex)];
        auto reader = image::createReaderForCode(format.code);
        const std::int32_t pages = reader && reader->IsSingleImage() ? 1 : countPages(input.path());
        if (c.json) {
            out << (first ? "" : ",\n") << "  {\"file\": \"" << jsonEscape(name)
                << "\", \"format\": \"" << format.shortName << "\", \"description\": \""
                << jsonEscape(info.description) << "\", \"width\": " << info.width
                << ", \"height\": " << info.height << ", \"bitsPerPixel\": " << info.bitsPerPixel
                << ", \"pages\": " << pages << ", \"dpiX\": " << info.dpiX
                << ", \"dpiY\": " << info.dpiY << ", \"gray\": " << (info.isGray ? "true" : "false")
                << "}";
        } else {
            out << name << "\t" << format.shortName << "\t" << info.description << "\t"
                << info.width << "\t" << info.height << "\t" << info.bitsPerPixel << "\t" << pages
                << "\t" << info.dpiX << "\t" << info.dpiY << "\n";
        }
        first = false;
    }
    if (c.json) out << "\n]\n";
    return status;
}

int runDecode(const CliOptions& c, std::ostream& out, std::ostream& err) {
    std::string formatError;
    const std::string ext = outputExtension(c, false, formatError);
    if (ext.empty()) return usageError(err, "decode", formatError);
    const bool throughWriter = ext != ".pam";
    if (!throughWriter && (wantsResample(c) || wantsPalette(c, "") || c.quality || c.progressive ||
                           c.interlaced || c.compression || c.rle))
        return usageError(
            err, "decode",
            "the output options need an output of bmp, pcx, tga, gif, jpg, png or tif");
    const bool oneFile = !c.allPages || ext == ".gif" || ext == ".tif" || ext == ".tiff";
    if (c.output == "-" && !oneFile)
        return usageError(err, "decode", "--all-pages to standard output needs gif or tif");

    const InputFile input(c.inputs.front());
    if (!input.ok()) return fileError(err, input.name(), "cannot be read");
    LoadOptions o = loadOptionsFor(c, input.path());

    // Colour management as the viewer applies it while decoding.
    view::ColorSettings colour;
    if (c.calibration) {
        colour.gammaRed = (*c.calibration)[0];
        colour.gammaGreen = (*c.calibration)[1];
        colour.gammaBlue = (*c.calibration)[2];
        colour.gammaExtra = (*c.calibration)[3];
    }
    if (!c.profile.empty()) {
        colour.profile = view::ProfileChoice::File;
        colour.profilePath = c.profile;
    }
    view::ColorManager manager;
    if (auto error = view::applyColorSettings(manager, colour, view::NoMonitorProfile{}))
        err << "kalder-cli: " << c.profile << ": " << view::profileErrorMessage(*error) << "\n";
    const auto table = view::BuildTable(colour);
    o.gammaTable = table ? table->data() : nullptr;
    o.colorTransform = manager.hasProfile() ? &manager : nullptr;

    ImageDocument doc;
    if (!doc.Open(o)) return fileError(err, input.name(), readFailureReason(input.path()));
    const OutputTarget target(c.output, ext);
    if (!target.ok()) return fileError(err, "standard output", "no temporary folder");
    if (throughWriter) {
        const int status =
            decodeToWriter(c, target.path(), ext, doc, o, o.gammaTable || o.colorTransform, err);
        return status != 0 ? status : target.finish(out, err);
    }
    std::int32_t written = 0;
    for (std::int32_t i = 0; doc.AddPage(); ++i) {
        if (!doc.DecodePage()) break;
        const bool wanted = c.allPages || i == c.page;
        if (wanted) {
            const fs::path page = c.allPages ? pagePath(target.path(), i) : target.path();
            if (!writePage(doc.PageAt(i), o, c.alpha, page))
                return fileError(err, c.output == "-" ? "standard output" : page.string(),
                                 "cannot be written");
            ++written;
        }
        if (!c.allPages && i >= c.page) break;
        // Earlier frames are composed already; their pixels are not needed any more.
    }
    if (written == 0)
        return fileError(err, input.name(),
                         doc.PageCount() > c.page ? "damaged or truncated image" : "no such page");
    return target.finish(out, err);
}

int runThumb(const CliOptions& c, std::ostream& out, std::ostream& err) {
    std::string formatError;
    const std::string ext = outputExtension(c, true, formatError);
    if (ext.empty()) return usageError(err, "thumb", formatError);
    const InputFile input(c.inputs.front());
    if (!input.ok()) return fileError(err, input.name(), "cannot be read");
    ImageDocument doc;
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

int runThumbs(const CliOptions& c, std::ostream&, std::ostream& err) {
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

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned jobs = c.jobs > 0 ? static_cast<unsigned>(c.jobs) : cores;
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
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < jobs && t < files.size(); ++t) threads.emplace_back(worker);
    worker();
    for (auto& t : threads) t.join();
    return status;
}

int runExif(const CliOptions& c, std::ostream& out, std::ostream& err) {
    const InputFile input(c.inputs.front());
    if (!input.ok()) return fileError(err, input.name(), "cannot be read");
    image::ImageInfo info;
    if (!image::ReadImageInfo(input.path(), info, true) || info.formatIndex < 0)
        return fileError(err, input.name(), readFailureReason(input.path()));
    // The comments come from the file's own text chunks, which only a real open collects.
    std::vector<std::string> comments;
    {
        ImageDocument doc;
        LoadOptions o;
        o.path = input.path();
        o.comments = &comments;
        (void)doc.Open(o);
    }
    image::PropertiesOptions options;
    options.comments = comments;
    out << image::readableReportText(image::buildPropertiesReport(input.path(), info, options));
    return 0;
}

}  // namespace kalder::cli
