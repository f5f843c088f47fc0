#include "cli/cli_commands.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/pam_writer.h"
#include "image/cdx_loader.h"
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

// "cannot read FILE", or, when the reader is a codec module the installation lacks, which module
// that is and where it was looked for.
std::string cannotRead(const fs::path& file) {
    const std::string why = image::cdx::missingModuleMessage(file);
    return why.empty() ? "cannot read " + file.string() : file.string() + ": " + why;
}

std::string jsonEscape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

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
int decodeToWriter(const CliOptions& c, ImageDocument& doc, const LoadOptions& o,
                   bool colourChanged, std::ostream& err) {
    const fs::path output = c.output;
    const std::string ext = tools::lowerExtension(output.string());
    const tools::PageOutputOptions outputOptions = pageOutputOptionsFor(c, ext, colourChanged);
    const bool oneFile = !c.allPages || ext == ".gif" || ext == ".tif" || ext == ".tiff";
    image::ImageInfo info;
    const bool haveInfo = image::ReadImageInfo(o.path, info, true);
    const std::int32_t dpiX = haveInfo ? info.dpiX : 0, dpiY = haveInfo ? info.dpiY : 0;

    std::unique_ptr<image::ImageWriter> writer;
    fs::path target;
    auto fail = [&](const std::string& why) {
        err << "cannot write " << target.string() << ": " << why << "\n";
        return 1;
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
    if (written == 0) {
        err << cannotRead(o.path) << "\n";
        return 1;
    }
    if (writer) {
        if (auto s = writer->Close(); !s) return fail(tools::writeErrorMessage(s.error()));
    }
    return 0;
}

}  // namespace

int runInfo(const CliOptions& c, std::ostream& out, std::ostream& err) {
    int status = 0;
    if (c.json) out << "[\n";
    bool first = true;
    for (const auto& name : c.inputs) {
        image::ImageInfo info;
        if (!image::ReadImageInfo(name, info, true) || info.formatIndex < 0 || info.width <= 0) {
            err << cannotRead(name) << "\n";
            status = 1;
            continue;
        }
        const auto& format = image::formatTable()[static_cast<std::size_t>(info.formatIndex)];
        auto reader = image::createReaderForCode(format.code);
        const std::int32_t pages = reader && reader->IsSingleImage() ? 1 : countPages(name);
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
    const fs::path input = c.inputs.front();
    LoadOptions o = loadOptionsFor(c, input);

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
    if (auto error = view::applyColorSettings(manager, colour, view::NoMonitorProfile{})) {
        err << view::profileErrorMessage(*error) << "\n";
    }
    const auto table = view::BuildTable(colour);
    o.gammaTable = table ? table->data() : nullptr;
    o.colorTransform = manager.hasProfile() ? &manager : nullptr;

    const bool throughWriter =
        image::createWriterForExtension(tools::lowerExtension(c.output)) != nullptr;
    if (!throughWriter && (wantsResample(c) || wantsPalette(c, "") || c.quality || c.progressive ||
                           c.interlaced || c.compression || c.rle)) {
        err << "the output options need an output of bmp, pcx, tga, gif, jpg, png or tif\n";
        return 2;
    }

    ImageDocument doc;
    if (!doc.Open(o)) {
        err << cannotRead(input) << "\n";
        return 1;
    }
    if (throughWriter) return decodeToWriter(c, doc, o, o.gammaTable || o.colorTransform, err);
    std::int32_t written = 0;
    for (std::int32_t i = 0; doc.AddPage(); ++i) {
        if (!doc.DecodePage()) break;
        const bool wanted = c.allPages || i == c.page;
        if (wanted) {
            const fs::path target = c.allPages ? pagePath(c.output, i) : fs::path(c.output);
            if (!writePage(doc.PageAt(i), o, c.alpha, target)) {
                err << "cannot write " << target.string() << "\n";
                return 1;
            }
            ++written;
        }
        if (!c.allPages && i >= c.page) break;
        // Earlier frames are composed already; their pixels are not needed any more.
    }
    if (written == 0) {
        err << cannotRead(input) << "\n";
        return 1;
    }
    out.flush();
    return 0;
}

int runThumb(const CliOptions& c, std::ostream&, std::ostream& err) {
    ImageDocument doc;
    const fs::path input = c.inputs.front();
    if (!fs::is_regular_file(input) ||
        !doc.MakeThumbnail(input, c.size, 0xffffff, nullptr, c.useExif, true)) {
        err << cannotRead(input) << "\n";
        return 1;
    }
    // PAM when asked for by name; otherwise PNG, which a file manager's thumbnailer expects
    // whatever (or no) extension its temporary output file has.
    const image::Bitmap32& thumbnail = doc.thumbnail();
    bool written = false;
    if (tools::lowerExtension(c.output) == ".pam") {
        written = writePam(c.output, thumbnail);
    } else if (auto writer = image::createWriterForExtension(".png")) {
        image::WriterImage out;
        out.pixels = thumbnail.pixels();
        out.width = thumbnail.width();
        out.height = thumbnail.height();
        written = writer->Open(c.output).ok() && writer->Write(out).ok() && writer->Close().ok();
    }
    if (!written) {
        err << "cannot write " << c.output << "\n";
        return 1;
    }
    return 0;
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
    if (ec) {
        err << "cannot read " << dir.string() << "\n";
        return 1;
    }
    std::sort(files.begin(), files.end());
    if (!c.output.empty()) fs::create_directories(c.output, ec);
    view::DocumentSource::ThumbnailOptions options;
    options.useExif = c.useExif;
    if (c.sharedCache)
        options.cache = std::make_shared<const view::SharedThumbnailCache>(
            view::SharedThumbnailCache::Options{});
    const std::shared_ptr<view::DocumentSource> source = view::imageDocumentSource();

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned jobs = c.jobs > 0 ? static_cast<unsigned>(c.jobs) : cores;
    std::atomic<std::size_t> next{0};
    std::atomic<int> status{0};
    std::mutex errLock;  // guards err
    auto worker = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
            const fs::path target = fs::path(c.output) / (files[i].filename().string() + ".pam");
            const auto thumbnail = source->makeThumbnail(files[i], c.size, options, nullptr);
            const bool ok = thumbnail && (c.output.empty() || writePam(target, *thumbnail));
            if (!ok) {
                std::lock_guard lock(errLock);
                err << cannotRead(files[i]) << "\n";
                status = 1;
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
    image::ImageInfo info;
    const std::string& name = c.inputs.front();
    if (!image::ReadImageInfo(name, info, true) || info.formatIndex < 0) {
        err << cannotRead(name) << "\n";
        return 1;
    }
    // The comments come from the file's own text chunks, which only a real open collects.
    std::vector<std::string> comments;
    {
        ImageDocument doc;
        LoadOptions o;
        o.path = name;
        o.comments = &comments;
        (void)doc.Open(o);
    }
    image::PropertiesOptions options;
    options.comments = comments;
    out << image::readableReportText(image::buildPropertiesReport(name, info, options));
    return 0;
}

}  // namespace kalder::cli
