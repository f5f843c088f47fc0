// convert: the batch convertor over the given files, with no one to ask.
#include <unistd.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>

#include "cli/cli_args.h"
#include "cli/cli_tool_host.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "image/colour_reducer.h"
#include "image/writers/writer_options.h"
#include "tools/convert/batch_convertor.h"
#include "tools/convert/page_preparation.h"

namespace kalder::cli {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUnitNames[] = {"pixels", "inches", "mm",     "cm",   "m",
                                           "feet",   "yards",  "points", "picas"};

struct ConvertOptions {
    std::vector<std::string> inputs;
    std::string output;       // the folder; empty: beside each source
    std::int32_t format = 3;  // tools::BatchFormat: PNG
    WriterChoices writer;
    double width = 0;  // 0: not given
    double height = 0;
    bool percents = false;
    std::optional<std::int32_t> unit;  // index into kUnitNames; pixels when not given
    std::int32_t dpiX = 0;             // both 0: the source's resolution
    std::int32_t dpiY = 0;
    bool keepAspect = false;
    bool swapVertical = false;
    std::int32_t rotation = 0;  // quarter turns clockwise
    bool flipHorizontal = false;
    bool flipVertical = false;
    std::string prefix;
    std::string suffix;
    std::string subfolderRoot;
    bool preserveDate = false;
    std::vector<std::string> effects;  // "gamma=R,G,B", "negative", "bw", in processing order
    std::string overlayImage;
    std::string overlayText;
    std::int32_t anchorX = 2;  // 0 left, 1 centre, 2 right
    std::int32_t anchorY = 2;  // 0 top, 1 middle, 2 bottom
    std::int32_t spacingX = 10;
    std::int32_t spacingY = 10;
    std::optional<bool> answer;  // --overwrite (--yes) or --skip-existing (--no)
    std::int32_t jobs = 0;       // 0: one per core
};

// An option whose value is looked up in `values`; `what` lists them for the error.
template <typename T>
Option lookup(std::string_view word, const std::map<std::string, T>& values, const char* what,
              std::function<void(const T&)> set) {
    return {{word}, true, [&values, what, set](const std::string& a, const std::string& v) {
                const auto it = values.find(v);
                if (it == values.end()) return "bad value for " + a + " (" + what + "): " + v;
                set(it->second);
                return std::string();
            }};
}

std::string parseConvert(const std::vector<std::string>& args, ConvertOptions& o) {
    static const std::map<std::string, std::int32_t> formats = {
        {"bmp", 0}, {"gif", 1},  {"jpg", 2}, {"jpeg", 2}, {"png", 3},
        {"tif", 4}, {"tiff", 4}, {"tga", 5}, {"pcx", 6}};
    static const std::map<std::string, std::int32_t> turns = {
        {"0", 0}, {"90", 1}, {"180", 2}, {"270", 3}};
    static const std::map<std::string, std::pair<std::int32_t, std::int32_t>> anchors = {
        {"top-left", {0, 0}},    {"top", {1, 0}},    {"top-right", {2, 0}},
        {"left", {0, 1}},        {"center", {1, 1}}, {"right", {2, 1}},
        {"bottom-left", {0, 2}}, {"bottom", {1, 2}}, {"bottom-right", {2, 2}}};
    auto bad = [](const std::string& a, const char* what, const std::string& v) {
        return "bad value for " + a + " (" + what + "): " + v;
    };
    OptionList options = {
        text({"-o", "--output"}, o.output),
        {{"--format"},
         true,
         [&](const std::string& a, const std::string& v) {
             std::string lower = v;
             for (char& ch : lower)
                 ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
             const auto it = formats.find(lower);
             if (it == formats.end()) return bad(a, "bmp, gif, jpg, png, tif, tga, pcx", v);
             o.format = it->second;
             return std::string();
         }},
        {{"--resample"},
         true,
         [&](const std::string& a, const std::string& v) {
             o.percents = !v.empty() && v.back() == '%';
             const std::string body = o.percents ? v.substr(0, v.size() - 1) : v;
             const auto x = body.find_first_of("xX");
             o.width = o.height = 0;
             auto side = [&](const std::string& t, double& out) {
                 std::vector<double> one;
                 if (t.empty()) return true;
                 if (!parseDoubles(t, one) || one.size() != 1 || !(one[0] >= 0) || one[0] > 1e6)
                     return false;
                 out = one[0];
                 return true;
             };
             const bool ok = x == std::string::npos ? o.percents && side(body, o.width)
                                                    : side(body.substr(0, x), o.width) &&
                                                          side(body.substr(x + 1), o.height);
             if (!ok || (o.width == 0 && o.height == 0)) return bad(a, "WxH, Wx, xH or N%", v);
             return std::string();
         }},
        choice({"--units"}, o.unit, kUnitNames),
        {{"--dpi"},
         true,
         [&](const std::string& a, const std::string& v) {
             std::vector<double> d;
             if (!parseDoubles(v, d) || d.empty() || d.size() > 2 || d[0] < 1 || d.back() < 1 ||
                 d[0] > 100000 || d.back() > 100000)
                 return bad(a, "X or X,Y", v);
             o.dpiX = static_cast<std::int32_t>(d[0]);
             o.dpiY = static_cast<std::int32_t>(d.back());
             return std::string();
         }},
        lookup<std::int32_t>("--rotate", turns, "90, 180 or 270",
                             [&](const std::int32_t& n) { o.rotation = n; }),
        flag({"--keep-aspect"}, o.keepAspect),
        flag({"--swap-vertical"}, o.swapVertical),
        flag({"--flip-h"}, o.flipHorizontal),
        flag({"--flip-v"}, o.flipVertical),
        text({"--prefix"}, o.prefix),
        text({"--suffix"}, o.suffix),
        text({"--copy-subfolders"}, o.subfolderRoot),
        flag({"--preserve-date"}, o.preserveDate),
        {{"--effect"},
         true,
         [&](const std::string& a, const std::string& v) {
             std::vector<double> g;
             const bool gamma =
                 v.rfind("gamma=", 0) == 0 && parseDoubles(v.substr(6), g) && g.size() == 3 &&
                 std::all_of(g.begin(), g.end(), [](double x) { return x >= 0 && x <= 100; });
             if (!gamma && v != "negative" && v != "bw")
                 return bad(a, "gamma=R,G,B (0-100), negative, bw", v);
             o.effects.push_back(v);
             return std::string();
         }},
        text({"--overlay-image"}, o.overlayImage),
        text({"--overlay-text"}, o.overlayText),
        lookup<std::pair<std::int32_t, std::int32_t>>(
            "--overlay-anchor", anchors,
            "top-left, top, top-right, left, center, right, bottom-left, bottom, bottom-right",
            [&](const std::pair<std::int32_t, std::int32_t>& xy) {
                o.anchorX = xy.first;
                o.anchorY = xy.second;
            }),
        {{"--overlay-spacing"},
         true,
         [&](const std::string& a, const std::string& v) {
             std::vector<double> d;
             if (!parseDoubles(v, d) || d.size() != 2 || d[0] < 0 || d[1] < 0 || d[0] > 10000 ||
                 d[1] > 10000)
                 return bad(a, "H,V", v);
             o.spacingX = static_cast<std::int32_t>(d[0]);
             o.spacingY = static_cast<std::int32_t>(d[1]);
             return std::string();
         }},
        answerOption(o.answer),
        {{"--overwrite", "--skip-existing"},
         false,
         [&o](const std::string& word, const std::string&) {
             const bool overwrite = word == "--overwrite";
             if (o.answer && *o.answer != overwrite)
                 return std::string("--overwrite and --skip-existing exclude each other");
             o.answer = overwrite;
             return std::string();
         }},
        integer({"--jobs"}, o.jobs, 1, 256),
    };
    addWriterOptions(options, o.writer);
    if (std::string error = parseArgs(args, options, o.inputs); !error.empty()) return error;
    if (o.inputs.empty()) return "no input file";
    if (!o.overlayImage.empty() && !o.overlayText.empty())
        return "--overlay-image and --overlay-text exclude each other";
    if (!o.subfolderRoot.empty() && o.output.empty()) return "--copy-subfolders needs -o DIR";
    return {};
}

void addEffects(const ConvertOptions& o, tools::EffectList& list) {
    std::vector<std::int32_t> order;
    for (const std::string& e : o.effects) {
        std::int32_t index = tools::EffectList::Negative;
        if (e == "bw") {
            index = tools::EffectList::BlackAndWhite;
        } else if (e.rfind("gamma=", 0) == 0) {
            index = tools::EffectList::Gamma;
            double r = 75, g = 75, b = 75;
            std::sscanf(e.c_str() + 6, "%lf,%lf,%lf", &r, &g, &b);
            tools::Effect& gamma = list.effect(index);
            gamma.setParameter(1, 0, 0);  // unlock, so the three may differ
            gamma.setParameter(0, 0, static_cast<std::int32_t>(r));
            gamma.setParameter(0, 1, static_cast<std::int32_t>(g));
            gamma.setParameter(0, 2, static_cast<std::int32_t>(b));
        }
        list.setChecked(index, true);
        if (std::find(order.begin(), order.end(), index) == order.end()) order.push_back(index);
    }
    if (order.empty()) return;
    // The named effects first, in the order given, then the others.
    for (std::int32_t i = 0; i < tools::EffectList::Count; ++i)
        if (std::find(order.begin(), order.end(), i) == order.end()) order.push_back(i);
    list.setOrder(order);
}

// The batch convertor's settings for a convert command line.
tools::BatchSettings batchSettingsFor(const ConvertOptions& o) {
    tools::BatchSettings s;
    s.format = static_cast<tools::BatchFormat>(o.format);
    s.placeInFolder = !o.output.empty();
    s.outputFolder = o.output;
    s.copySubfolders = !o.subfolderRoot.empty();
    s.namePrefix = o.prefix;
    s.nameSuffix = o.suffix;
    s.preserveDate = o.preserveDate;

    const WriterChoices& w = o.writer;
    if (w.palette) s.palette = *w.palette;
    if (w.dither) s.dithering = *w.dither;
    if (w.colors > 0) {
        // The smallest depth of the format that holds that many colours.
        const std::int32_t bits = tools::bitsForColours(w.colors);
        for (std::int32_t d : tools::batchFormatDepths(s.format)) {
            s.colorDepth = d;
            if (d >= bits) break;
        }
    }
    auto& f = s.formatOptions;
    if (w.quality) f.jpeg.quality = *w.quality;
    f.jpeg.progressive = w.progressive;
    f.png.interlaced = f.gif.interlaced = w.interlaced;
    f.bmp.rle = f.tga.rle = w.rle;
    if (w.compression) s.tiffCompressionTag = *w.compression;

    s.width = o.width;
    s.height = o.height;
    s.percents = o.percents;
    s.unit = o.unit.value_or(0);
    s.keepAspect = o.keepAspect;
    s.swapForVertical = o.swapVertical;
    if (w.method) s.method = *w.method;
    s.originalResolution = o.dpiX <= 0;
    s.dpiX = o.dpiX;
    s.dpiY = o.dpiY;

    s.rotation = o.rotation;
    s.mirrorH = o.flipHorizontal;
    s.mirrorV = o.flipVertical;
    addEffects(o, s.effects);
    if (!o.overlayImage.empty()) {
        s.overlay.mode = tools::OverlayMode::ImageFile;
        s.overlay.imagePath = o.overlayImage;
    } else if (!o.overlayText.empty()) {
        s.overlay.mode = tools::OverlayMode::Text;
        s.overlay.text = o.overlayText;
    }
    s.overlay.horizontalAnchor = o.anchorX;
    s.overlay.verticalAnchor = o.anchorY;
    s.overlay.horizontalSpacing = static_cast<std::uint32_t>(o.spacingX);
    s.overlay.verticalSpacing = static_cast<std::uint32_t>(o.spacingY);
    s.jobs = o.jobs;
    return s;
}

std::string check(const std::vector<std::string>& args) {
    ConvertOptions o;
    return parseConvert(args, o);
}

int run(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    ConvertOptions o;
    if (std::string error = parseConvert(args, o); !error.empty())
        return usageError(err, "convert", error);
    tools::BatchSettings s = batchSettingsFor(o);
    if (s.dithering == 1 &&
        !image::orderedDitherAllowed(static_cast<image::PaletteType>(s.palette))) {
        err << "kalder-cli: The ordered dithering cannot be used with this palette.\n";
        s.dithering = 0;
    }
    if (s.width > 0 || s.height > 0) {
        auto text = [](double v) { return v > 0 ? std::to_string(v) : std::string(); };
        const std::string why = tools::BatchConvertor::checkResampleTexts(
            text(s.width), text(s.height), s.unit, s.percents, s.keepAspect);
        if (!why.empty()) {
            err << "kalder-cli: " << why << "\n";
            return 2;
        }
    }
    tools::BatchFileList list;
    list.root = o.subfolderRoot;
    for (const auto& input : o.inputs) list.files.emplace_back(input);

    CliToolHost host(err, o.answer, true);
    host.catchInterrupts();
    // Never a question: a script has no one to answer it.
    bool refused = false;
    host.unanswered = [&err, &refused](const tools::ToolQuestion& q) {
        err << "kalder-cli: " << q.text << " " << q.file.string()
            << " (not converted; use --overwrite or --skip-existing)\n";
        refused = true;
        return tools::ToolAnswer::No;
    };
    const tools::BatchResult r = tools::BatchConvertor::Run(s, list, host);
    // Quiet when every file went well; otherwise the count of each outcome, damage included.
    if (r.failed > 0 || r.damaged > 0)
        host.error(std::to_string(r.converted) + " converted (" + std::to_string(r.damaged) +
                   " with damage), " + std::to_string(r.failed) + " failed, " +
                   std::to_string(r.skipped) + " skipped");
    const bool all = !r.stopped && !refused && r.failed == 0 && r.damaged == 0 &&
                     r.converted + r.skipped == static_cast<std::int32_t>(list.files.size());
    return all ? 0 : 1;
}

}  // namespace

const Verb& convertVerb() {
    static const Verb verb = {
        "convert",
        "FILE... [-o DIR] [options]",
        "convert many files",
        "",
        std::string(
            "  -o, --output DIR   write into DIR (created); without it beside each source\n"
            "  --format NAME      bmp, gif, jpg, png (default), tif, tga, pcx\n"
            "  --resample WxH|Wx|xH|N%  target size; one side alone with --keep-aspect\n"
            "  --units NAME       pixels, inches, mm, cm, m, feet, yards, points, picas\n"
            "  --dpi X[,Y]        resolution for units and written (default: the file's)\n"
            "  --keep-aspect      keep the aspect ratio (crop to fill when both sides given)\n"
            "  --swap-vertical    exchange width and height for portrait images\n"
            "  --rotate 90|180|270  clockwise\n"
            "  --flip-h, --flip-v  mirror\n"
            "  --prefix S, --suffix S  added to each output name\n"
            "  --copy-subfolders ROOT  recreate the folders below ROOT inside DIR\n"
            "  --preserve-date    keep the source's modification time\n"
            "  --effect E         gamma=R,G,B (0-100, 75 unchanged), negative, bw; repeatable\n"
            "  --overlay-image F, --overlay-text T  stamp onto every image\n"
            "  --overlay-anchor A  top-left ... bottom-right (default bottom-right)\n"
            "  --overlay-spacing H,V  distance from the anchored edges (default 10,10)\n"
            "  --overwrite, --skip-existing  for outputs that exist (default: refuse)\n"
            "  --yes, --no        the same as --overwrite, --skip-existing\n"
            "  --jobs N           worker threads (default: one per core)\n") +
            kWriterOptionsHelp,
        "image",
        check,
        run,
    };
    return verb;
}

}  // namespace kalder::cli
