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
#include "image/colour_reducer.h"
#include "image/exif/exif_report.h"
#include "image/format_table.h"
#include "image/image_document.h"
#include "image/image_reader.h"
#include "image/resample.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"
#include "view/color_calibration.h"
#include "view/color_manager.h"

namespace kalder::cli {
namespace fs = std::filesystem;
using image::ImageDocument;
using image::LoadOptions;

namespace {

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

// The page's alpha plane (source orientation and size) mapped onto its bitmap, nearest neighbour.
std::vector<std::uint8_t> alphaForBitmap(const image::ImagePage& page, const LoadOptions& o) {
    const auto& bitmap = page.bitmap;
    const std::int32_t Wt = bitmap.width(), Ht = bitmap.height();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(Wt) * Ht, 255);
    const std::int64_t w = page.width, h = page.height;
    if (page.alphaPlane.size() != static_cast<std::size_t>(w * h)) return out;
    const bool quarter = o.rotation & 1;
    const std::int64_t Ws = quarter ? Ht : Wt;  // target size in source orientation
    const std::int64_t Hs = quarter ? Wt : Ht;
    for (std::int32_t y = 0; y < Ht; ++y) {
        for (std::int32_t x = 0; x < Wt; ++x) {
            const std::int64_t fx = o.flipHorizontal ? Wt - 1 - x : x;
            const std::int64_t fy = o.flipVertical ? Ht - 1 - y : y;
            std::int64_t u, v;  // in source orientation, target scale
            switch (o.rotation & 3) {
                case 0:
                    u = fx;
                    v = fy;
                    break;
                case 1:
                    u = fy;
                    v = Wt - 1 - fx;
                    break;
                case 2:
                    u = Wt - 1 - fx;
                    v = Ht - 1 - fy;
                    break;
                default:
                    u = Ht - 1 - fy;
                    v = fx;
                    break;
            }
            const std::int64_t su = std::min(w - 1, u * w / Ws);
            const std::int64_t sv = std::min(h - 1, v * h / Hs);
            out[static_cast<std::size_t>(y) * Wt + x] =
                page.alphaPlane[static_cast<std::size_t>(sv * w + su)];
        }
    }
    return out;
}

fs::path pagePath(const fs::path& out, std::int32_t page) {
    return out.parent_path() /
           (out.stem().string() + "-" + std::to_string(page) + out.extension().string());
}

bool writePage(const image::ImagePage& page, const LoadOptions& o, bool alpha,
               const fs::path& path) {
    if (alpha) {
        auto plane = alphaForBitmap(page, o);
        return writePam(path, page.bitmap, plane);
    }
    return writePam(path, page.bitmap);
}

std::string lowerExtension(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return ext;
}

std::string writeErrorMessage(image::DecodeError error) {
    switch (error) {
        case image::DecodeError::NoReader:
            return "the codec module is not available";
        case image::DecodeError::Unsupported:
            return "the image cannot be stored in this format";
        case image::DecodeError::TooLarge:
            return "the image is too large for this format";
        case image::DecodeError::OutOfMemory:
            return "out of memory";
        case image::DecodeError::Cancelled:
            return "cancelled";
        default:
            return "the file cannot be written";
    }
}

// One decoded page made ready for a writer: scaled, reduced to a palette, with its options.
struct PreparedPage {
    image::Bitmap32 scaled;
    std::vector<std::uint8_t> alpha;  // bitmap-sized opacities; empty when none
    std::vector<std::uint8_t> indexes;
    image::WriterImage image;
};

bool wantsPalette(const CliOptions& c, const std::string& ext) {
    return ext == ".gif" || c.colors > 0 || c.palette || c.dither;
}

bool wantsResample(const CliOptions& c) { return c.resamplePercent > 0 || c.resampleWidth > 0; }

std::int32_t bitsForColours(std::int32_t colours) {
    std::int32_t bits = 1;
    while ((1 << bits) < colours && bits < 8) ++bits;
    return bits;
}

// Fails with a message in `error`.
bool preparePage(const CliOptions& c, const image::ImagePage& page, const LoadOptions& o,
                 const std::string& ext, std::int32_t dpiX, std::int32_t dpiY, bool colourChanged,
                 PreparedPage& out, std::string& error) {
    const image::Bitmap32* bitmap = &page.bitmap;
    if (c.alpha) out.alpha = alphaForBitmap(page, o);
    if (wantsResample(c)) {
        std::int32_t w = c.resampleWidth, h = c.resampleHeight;
        if (c.resamplePercent > 0) {
            w = static_cast<std::int32_t>(std::max<std::int64_t>(
                1, (std::int64_t{bitmap->width()} * c.resamplePercent + 50) / 100));
            h = static_cast<std::int32_t>(std::max<std::int64_t>(
                1, (std::int64_t{bitmap->height()} * c.resamplePercent + 50) / 100));
        }
        if (w > 32767 || h > 32767 || !out.scaled.Create(w, h)) {
            error = "cannot resample to " + std::to_string(w) + "x" + std::to_string(h);
            return false;
        }
        image::ResampleOptions ro;
        if (c.method) ro.method = static_cast<image::ResampleMethod>(*c.method);
        if (!image::Resample(*bitmap, out.scaled, ro)) {
            error = "cannot resample";
            return false;
        }
        if (!out.alpha.empty()) {
            std::vector<std::uint8_t> scaledAlpha(static_cast<std::size_t>(w) * h);
            if (!image::ResampleAlpha(out.alpha, bitmap->width(), bitmap->height(), scaledAlpha, w,
                                      h, ro)) {
                error = "cannot resample";
                return false;
            }
            out.alpha = std::move(scaledAlpha);
        }
        bitmap = &out.scaled;
        dpiX = dpiY = 0;  // the physical size is no longer known
    }

    image::WriterImage& img = out.image;
    const bool seeThrough =
        std::any_of(out.alpha.begin(), out.alpha.end(), [](std::uint8_t a) { return a < 128; });
    if (wantsPalette(c, ext)) {
        image::ColourReduceOptions ro;
        if (c.palette) ro.palette = static_cast<image::PaletteType>(*c.palette);
        if (c.dither) ro.dither = static_cast<image::DitherType>(*c.dither);
        ro.targetDepth = c.colors > 0 ? bitsForColours(c.colors) : 8;
        // A palette source keeps its own table when nothing changed its colours.
        if (page.bitsPerPixel >= 1 && page.bitsPerPixel <= 8 && !colourChanged &&
            bitmap == &page.bitmap) {
            ro.sourceDepth = static_cast<std::int32_t>(page.bitsPerPixel);
            ro.sourcePalette = page.palette;
        }
        // Only GIF and PNG keep a transparent palette entry.
        ro.reserveTransparent = seeThrough && (ext == ".gif" || ext == ".png");
        image::ColourReducer reducer;
        const image::Bitmap32* images[] = {bitmap};
        if (!reducer.Setup(images, ro) || !reducer.BuildPalette()) {
            error = "cannot reduce the colours";
            return false;
        }
        auto mapped = reducer.MapImage(0);
        if (!mapped) {
            error = "cannot reduce the colours";
            return false;
        }
        out.indexes = std::move(*mapped);
        reducer.fillWriterImage(img, out.indexes);
        img.transparent = ro.reserveTransparent && reducer.transparentIndex() >= 0;
        img.transparentIndex = std::max(0, reducer.transparentIndex());
        img.alphaPlane = img.transparent ? out.alpha.data() : nullptr;
    } else {
        img.pixels = bitmap->pixels();
        img.width = bitmap->width();
        img.height = bitmap->height();
        img.bits = 32;
        img.alphaPlane = out.alpha.empty() ? nullptr : out.alpha.data();
    }
    img.dpiX = std::max(0, dpiX);
    img.dpiY = std::max(0, dpiY);
    if (c.quality) img.jpegQuality = *c.quality;
    img.jpegProgressive = c.progressive;
    img.pngInterlaced = img.gifInterlaced = c.interlaced;
    if (c.compression) img.tiffCompression = *c.compression;
    img.bmpRle = img.tgaRle = c.rle;
    img.gifDelay = page.delay;
    // Pages are whole composed frames; one with holes must not show the frame before it.
    img.gifDisposal = img.transparent ? 2 : 0;
    return true;
}

// decode through a writer: every wanted page into OUT (multi-frame formats with --all-pages) or
// into OUT-N.EXT.
int decodeToWriter(const CliOptions& c, ImageDocument& doc, const LoadOptions& o,
                   bool colourChanged, std::ostream& err) {
    const fs::path output = c.output;
    const std::string ext = lowerExtension(output);
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
                if (auto s = writer->Open(target); !s) return fail(writeErrorMessage(s.error()));
            }
            PreparedPage prepared;
            std::string why;
            if (!preparePage(c, doc.PageAt(doc.PageCount() - 1), o, ext, dpiX, dpiY, colourChanged,
                             prepared, why))
                return fail(why);
            if (auto s = writer->Write(prepared.image); !s)
                return fail(writeErrorMessage(s.error()));
            if (!oneFile) {
                if (auto s = writer->Close(); !s) return fail(writeErrorMessage(s.error()));
                writer.reset();
            }
            ++written;
        }
        if (!c.allPages && i >= c.page) break;
        // Frames come composed; each is dropped once written, so long animations stay small.
        doc.ReleasePages();
    }
    if (written == 0) {
        err << "cannot read " << o.path.string() << "\n";
        return 1;
    }
    if (writer) {
        if (auto s = writer->Close(); !s) return fail(writeErrorMessage(s.error()));
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
            err << "cannot read " << name << "\n";
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

    const bool throughWriter = image::createWriterForExtension(lowerExtension(c.output)) != nullptr;
    if (!throughWriter && (wantsResample(c) || wantsPalette(c, "") || c.quality || c.progressive ||
                           c.interlaced || c.compression || c.rle)) {
        err << "the output options need an output of bmp, pcx, tga, gif, jpg, png or tif\n";
        return 2;
    }

    ImageDocument doc;
    if (!doc.Open(o)) {
        err << "cannot read " << input.string() << "\n";
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
        err << "cannot read " << input.string() << "\n";
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
        err << "cannot read " << input.string() << "\n";
        return 1;
    }
    if (!writePam(c.output, doc.thumbnail())) {
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
    fs::create_directories(c.output, ec);

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned jobs = c.jobs > 0 ? static_cast<unsigned>(c.jobs) : cores;
    std::atomic<std::size_t> next{0};
    std::atomic<int> status{0};
    std::mutex errLock;  // guards err
    auto worker = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
            ImageDocument doc;
            const fs::path target = fs::path(c.output) / (files[i].filename().string() + ".pam");
            const bool ok =
                doc.MakeThumbnail(files[i], c.size, 0xffffff, nullptr, c.useExif, true) &&
                writePam(target, doc.thumbnail());
            if (!ok) {
                std::lock_guard lock(errLock);
                err << "cannot read " << files[i].string() << "\n";
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
        err << "cannot read " << name << "\n";
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
    out << image::reportText(image::buildPropertiesReport(name, info, options), "\n");
    return 0;
}

}  // namespace kalder::cli
