#include "cli/cli_decode.h"

#include <cerrno>
#include <filesystem>
#include <memory>
#include <ostream>

#include "cli/cli_streams.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "cli/pam_writer.h"
#include "image/colour_reducer.h"
#include "image/image_document.h"
#include "image/image_reader.h"
#include "image/resample.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"
#include "tools/convert/page_preparation.h"
#include "view/color_calibration.h"
#include "view/color_manager.h"

namespace kalder::cli {
namespace fs = std::filesystem;
using image::ImageDocument;
using image::LoadOptions;

namespace {

LoadOptions loadOptionsFor(const DecodeOptions& c, const fs::path& path) {
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

bool wantsPalette(const WriterChoices& w, const std::string& ext) {
    return ext == ".gif" || w.colors > 0 || w.palette || w.dither;
}

bool wantsResample(const DecodeOptions& c) { return c.resamplePercent > 0 || c.resampleWidth > 0; }

// The writer input the decode options ask for, for an output of extension `ext`.
tools::PageOutputOptions pageOutputOptionsFor(const DecodeOptions& c, const std::string& ext,
                                              bool colourChanged) {
    const WriterChoices& w = c.writer;
    tools::PageOutputOptions p;
    p.resampleWidth = c.resampleWidth;
    p.resampleHeight = c.resampleHeight;
    p.resamplePercent = c.resamplePercent;
    if (w.method) p.resample.method = static_cast<image::ResampleMethod>(*w.method);
    p.palette = wantsPalette(w, ext);
    if (w.palette) p.reduce.palette = static_cast<image::PaletteType>(*w.palette);
    if (w.dither) p.reduce.dither = static_cast<image::DitherType>(*w.dither);
    p.reduce.targetDepth = w.colors > 0 ? tools::bitsForColours(w.colors) : 8;
    p.coloursChanged = colourChanged;
    // Only GIF and PNG keep a transparent palette entry.
    p.transparentEntry = ext == ".gif" || ext == ".png";
    image::WriterImage& f = p.format;
    if (w.quality) f.jpegQuality = *w.quality;
    f.jpegProgressive = w.progressive;
    f.pngInterlaced = f.gifInterlaced = w.interlaced;
    if (w.compression) f.tiffCompression = *w.compression;
    f.bmpRle = f.tgaRle = w.rle;
    return p;
}

// decode through a writer: every wanted page into OUT (multi-frame formats with --all-pages) or
// into OUT-N.EXT.
int decodeToWriter(const DecodeOptions& c, const fs::path& output, const std::string& ext,
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

int decode(const DecodeOptions& c, std::ostream& out, std::ostream& err) {
    std::string formatError;
    const std::string ext = outputExtension(c.output, c.format, false, formatError);
    if (ext.empty()) return usageError(err, "decode", formatError);
    const bool throughWriter = ext != ".pam";
    const WriterChoices& w = c.writer;
    if (!throughWriter && (wantsResample(c) || wantsPalette(w, "") || w.quality || w.progressive ||
                           w.interlaced || w.compression || w.rle))
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

std::string check(const std::vector<std::string>& args) { return parseDecodeArgs(args).error; }

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const DecodeParse parsed = parseDecodeArgs(args);
    if (!parsed.error.empty()) return usageError(err, "decode", parsed.error);
    return decode(parsed.options, out, err);
}

}  // namespace

DecodeParse parseDecodeArgs(const std::vector<std::string>& args) {
    DecodeParse r;
    DecodeOptions& o = r.options;
    OptionList options = {
        text({"-o", "--output"}, o.output),
        text({"--format"}, o.format),
        {{"--fit"},
         true,
         [&o](const std::string&, const std::string& v) {
             return parseSize(v, o.fitWidth, o.fitHeight) ? "" : "bad size for --fit: " + v;
         }},
        flag({"--autofit"}, o.autoFit),
        integer({"--zoom-rule"}, o.zoomRule, 0, 2),
        integer({"--rotate"}, o.rotation, 0, 3),
        flag({"--flip-h"}, o.flipHorizontal),
        flag({"--flip-v"}, o.flipVertical),
        flag({"--no-smooth"}, o.smooth, false),
        integer({"--page"}, o.page, 0, 255),
        flag({"--all-pages"}, o.allPages),
        flag({"--alpha"}, o.alpha),
        {{"--background"},
         true,
         [&o](const std::string&, const std::string& v) {
             o.background = parseRgb(v);
             return o.background ? "" : "bad colour for --background (RRGGBB): " + v;
         }},
        text({"--profile"}, o.profile),
        {{"--calibration"},
         true,
         [&o](const std::string&, const std::string& v) {
             std::vector<double> gammas;
             if (!parseDoubles(v, gammas) || gammas.size() != 4)
                 return "bad value for --calibration (R,G,B,EXTRA): " + v;
             o.calibration = gammas;
             return std::string();
         }},
        {{"--resample"},
         true,
         [&o](const std::string&, const std::string& v) {
             const bool ok = !v.empty() && v.back() == '%'
                                 ? parseInt(v.substr(0, v.size() - 1), o.resamplePercent) &&
                                       o.resamplePercent >= 1 && o.resamplePercent <= 10000
                                 : parseSize(v, o.resampleWidth, o.resampleHeight) &&
                                       o.resampleWidth <= 32767 && o.resampleHeight <= 32767;
             return ok ? "" : "bad value for --resample (WxH or N%): " + v;
         }},
    };
    addWriterOptions(options, o.writer);
    r.error = parseArgs(args, options, o.inputs);
    if (!r.error.empty()) return r;
    if (o.inputs.empty())
        r.error = "no input file";
    else if (o.output.empty())
        r.error = "missing -o OUT";
    else if (o.inputs.size() != 1)
        r.error = "exactly one input expected";
    return r;
}

const Verb& decodeVerb() {
    static const Verb verb = {
        "decode",
        "FILE -o OUT [options]",
        "decode as the viewer does and write the result",
        "OUT's extension (or --format) picks pam, bmp, pcx, tga, gif, jpg, png or tif; without\n"
        "an extension OUT is PAM. GIF output is always reduced to a palette.\n",
        std::string(
            "  -o, --output OUT   the file to write; - for standard output (needs --format)\n"
            "  --format NAME      pam, bmp, pcx, tga, gif, jpg, png or tif instead of OUT's "
            "extension\n"
            "  --fit WxH          fit into a box (aspect kept)\n"
            "  --autofit          fit panoramas by height, tall images by width\n"
            "  --zoom-rule N      0 every image, 1 only smaller, 2 only larger than the box\n"
            "  --rotate N         quarter turns clockwise (0-3)\n"
            "  --flip-h, --flip-v  mirror after rotating\n"
            "  --no-smooth        nearest neighbour instead of interpolation\n"
            "  --page N           decode page N (from 0)\n"
            "  --all-pages        every page; OUT gets -N before its extension (GIF and TIFF "
            "take\n"
            "                     every page into one file)\n"
            "  --alpha            keep the alpha channel (PAM: RGB_ALPHA)\n"
            "  --background RRGGBB  composite transparency over this colour\n"
            "  --profile FILE     colour-manage to this monitor profile\n"
            "  --calibration R,G,B,EXTRA  per-channel and additional gamma\n"
            "  --resample WxH|N%  scale the decoded image\n") +
            kWriterOptionsHelp,
        "image",
        check,
        run,
    };
    return verb;
}

}  // namespace kalder::cli
