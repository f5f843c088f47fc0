#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <string_view>

#include "cli/cli_jpeg_transform.h"
#include "image/colour_reducer.h"
#include "image/resample.h"

namespace kalder::cli {

bool takeValue(const std::vector<std::string>& args, std::size_t& i, std::string& out,
               std::string& error) {
    if (i + 1 >= args.size()) {
        error = args[i] + " needs a value";
        return false;
    }
    out = args[++i];
    return true;
}

namespace {

bool parseInt(const std::string& text, std::int32_t& out) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc{} && p == text.data() + text.size();
}

bool parseSize(const std::string& text, std::int32_t& w, std::int32_t& h) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    return parseInt(text.substr(0, x), w) && parseInt(text.substr(x + 1), h) && w > 0 && h > 0;
}

bool parseDoubles(const std::string& text, std::vector<double>& out) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = text.find(',', start);
        const std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        try {
            std::size_t used = 0;
            out.push_back(std::stod(part, &used));
            if (used != part.size()) return false;
        } catch (...) {
            return false;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

bool sameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

template <typename Names>
std::optional<std::int32_t> indexOfName(const Names& names, const std::string& word) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (sameWord(names[i], word)) return static_cast<std::int32_t>(i);
    return std::nullopt;
}

template <typename Names>
std::string joinNames(const Names& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + std::string(n);
    return out;
}

// The options only convert has (and its own --rotate and --resample). True when args[i] was
// one; a bad value sets `error`.
bool parseConvertOption(const std::vector<std::string>& args, std::size_t& i, CliOptions& o,
                        std::string& error) {
    const std::string& a = args[i];
    std::string v;
    auto value = [&] {
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        v = args[++i];
        return true;
    };
    auto bad = [&](const char* what) {
        error = "bad value for " + a + " (" + what + "): " + v;
        return true;
    };
    if (a == "--format") {
        if (!value()) return true;
        static const std::map<std::string, std::int32_t> formats = {
            {"bmp", 0}, {"gif", 1},  {"jpg", 2}, {"jpeg", 2}, {"png", 3},
            {"tif", 4}, {"tiff", 4}, {"tga", 5}, {"pcx", 6}};
        std::string lower = v;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const auto it = formats.find(lower);
        if (it == formats.end()) return bad("bmp, gif, jpg, png, tif, tga, pcx");
        o.format = it->second;
    } else if (a == "--resample") {
        if (!value()) return true;
        o.convertPercents = !v.empty() && v.back() == '%';
        const std::string body = o.convertPercents ? v.substr(0, v.size() - 1) : v;
        const auto x = body.find_first_of("xX");
        o.convertWidth = o.convertHeight = 0;
        auto side = [&](const std::string& t, double& out) {
            std::vector<double> one;
            if (t.empty()) return true;
            if (!parseDoubles(t, one) || one.size() != 1 || !(one[0] >= 0) || one[0] > 1e6)
                return false;
            out = one[0];
            return true;
        };
        const bool ok = x == std::string::npos ? o.convertPercents && side(body, o.convertWidth)
                                               : side(body.substr(0, x), o.convertWidth) &&
                                                     side(body.substr(x + 1), o.convertHeight);
        if (!ok || (o.convertWidth == 0 && o.convertHeight == 0)) return bad("WxH, Wx, xH or N%");
    } else if (a == "--units") {
        if (!value()) return true;
        const auto unit = indexOfName(
            std::vector<std::string_view>(std::begin(kUnitNames), std::end(kUnitNames)), v);
        if (!unit) return bad("pixels, inches, mm, cm, m, feet, yards, points, picas");
        o.unit = *unit;
    } else if (a == "--dpi") {
        if (!value()) return true;
        std::vector<double> d;
        if (!parseDoubles(v, d) || d.empty() || d.size() > 2 || d[0] < 1 || d.back() < 1 ||
            d[0] > 100000 || d.back() > 100000)
            return bad("X or X,Y");
        o.dpiX = static_cast<std::int32_t>(d[0]);
        o.dpiY = static_cast<std::int32_t>(d.back());
    } else if (a == "--rotate") {
        if (!value()) return true;
        static const std::map<std::string, std::int32_t> turns = {
            {"0", 0}, {"90", 1}, {"180", 2}, {"270", 3}};
        const auto it = turns.find(v);
        if (it == turns.end()) return bad("90, 180 or 270");
        o.rotation = it->second;
    } else if (a == "--keep-aspect") {
        o.keepAspect = true;
    } else if (a == "--swap-vertical") {
        o.swapVertical = true;
    } else if (a == "--prefix") {
        if (value()) o.prefix = v;
    } else if (a == "--suffix") {
        if (value()) o.suffix = v;
    } else if (a == "--copy-subfolders") {
        if (value()) o.subfolderRoot = v;
    } else if (a == "--preserve-date") {
        o.preserveDate = true;
    } else if (a == "--effect") {
        if (!value()) return true;
        std::vector<double> g;
        const bool gamma =
            v.rfind("gamma=", 0) == 0 && parseDoubles(v.substr(6), g) && g.size() == 3 &&
            std::all_of(g.begin(), g.end(), [](double x) { return x >= 0 && x <= 100; });
        if (!gamma && v != "negative" && v != "bw") return bad("gamma=R,G,B (0-100), negative, bw");
        o.effects.push_back(v);
    } else if (a == "--overlay-image") {
        if (value()) o.overlayImage = v;
    } else if (a == "--overlay-text") {
        if (value()) o.overlayText = v;
    } else if (a == "--overlay-anchor") {
        if (!value()) return true;
        static const std::map<std::string, std::pair<std::int32_t, std::int32_t>> anchors = {
            {"top-left", {0, 0}},    {"top", {1, 0}},    {"top-right", {2, 0}},
            {"left", {0, 1}},        {"center", {1, 1}}, {"right", {2, 1}},
            {"bottom-left", {0, 2}}, {"bottom", {1, 2}}, {"bottom-right", {2, 2}}};
        const auto it = anchors.find(v);
        if (it == anchors.end())
            return bad(
                "top-left, top, top-right, left, center, right, bottom-left, bottom, "
                "bottom-right");
        o.anchorX = it->second.first;
        o.anchorY = it->second.second;
    } else if (a == "--overlay-spacing") {
        if (!value()) return true;
        std::vector<double> d;
        if (!parseDoubles(v, d) || d.size() != 2 || d[0] < 0 || d[1] < 0 || d[0] > 10000 ||
            d[1] > 10000)
            return bad("H,V");
        o.spacingX = static_cast<std::int32_t>(d[0]);
        o.spacingY = static_cast<std::int32_t>(d[1]);
    } else if (a == "--overwrite") {
        o.overwrite = true;
    } else if (a == "--skip-existing") {
        o.skipExisting = true;
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::int32_t> tiffCompressionFromName(const std::string& name) {
    static const std::map<std::string, std::int32_t> names = {
        {"none", 1}, {"ccitt1d", 2}, {"g3", 3},           {"g4", 4},
        {"lzw", 5},  {"jpeg", 7},    {"packbits", 32773}, {"deflate", 32946}};
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto it = names.find(lower);
    if (it == names.end()) return std::nullopt;
    return it->second;
}

ParseResult parseCommandLine(const std::vector<std::string>& args) {
    ParseResult r;
    CliOptions& o = r.options;
    if (args.empty()) {
        r.error = "no command";
        return r;
    }
    if (args[0] == "jpeg-transform" || args[0] == "exif-orientation")
        return parseJpegToolCommandLine(args);
    static const std::map<std::string, Command> commands = {
        {"info", Command::Info},        {"decode", Command::Decode}, {"thumb", Command::Thumb},
        {"thumbs", Command::Thumbs},    {"exif", Command::Exif},     {"--help", Command::Help},
        {"convert", Command::Convert},  {"-h", Command::Help},       {"help", Command::Help},
        {"--version", Command::Version}};
    auto it = commands.find(args[0]);
    if (args[0] == "gif-compile") {
        o.command = Command::GifCompile;
    } else if (it == commands.end()) {
        r.error = "unknown command: " + args[0];
        return r;
    } else {
        o.command = it->second;
    }
    if (o.command == Command::Help || o.command == Command::Version) return r;

    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) { return takeValue(args, i, out, r.error); };
        auto intValue = [&](std::int32_t& out, std::int32_t lo, std::int32_t hi) {
            std::string v;
            if (!value(v)) return false;
            if (!parseInt(v, out) || out < lo || out > hi) {
                r.error = "bad value for " + a + ": " + v;
                return false;
            }
            return true;
        };
        std::string v;
        if (o.command == Command::Convert && parseConvertOption(args, i, o, r.error)) {
            if (!r.error.empty()) return r;
            continue;
        }
        if (a == "--") {
            o.inputs.insert(o.inputs.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                            args.end());
            break;
        } else if (a == "--help" || a == "-h") {
            o.command = Command::Help;
            return r;
        } else if (a == "--format" &&
                   (o.command == Command::Decode || o.command == Command::Thumb)) {
            if (!value(o.outputFormat)) return r;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "-o" || a == "--output") {
            if (!value(o.output)) return r;
        } else if (a == "--fit") {
            if (!value(v)) return r;
            if (!parseSize(v, o.fitWidth, o.fitHeight)) {
                r.error = "bad size for --fit: " + v;
                return r;
            }
        } else if (a == "--autofit") {
            o.autoFit = true;
        } else if (a == "--zoom-rule") {
            if (!intValue(o.zoomRule, 0, 2)) return r;
        } else if (a == "--rotate") {
            if (!intValue(o.rotation, 0, 3)) return r;
        } else if (a == "--flip-h") {
            o.flipHorizontal = true;
        } else if (a == "--flip-v") {
            o.flipVertical = true;
        } else if (a == "--no-smooth") {
            o.smooth = false;
        } else if (a == "--page") {
            if (!intValue(o.page, 0, 255)) return r;
        } else if (a == "--all-pages") {
            o.allPages = true;
        } else if (a == "--alpha") {
            o.alpha = true;
        } else if (a == "--background") {
            if (!value(v)) return r;
            std::uint32_t rgb = 0;
            auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), rgb, 16);
            if (v.size() != 6 || ec != std::errc{} || p != v.data() + v.size()) {
                r.error = "bad colour for --background (RRGGBB): " + v;
                return r;
            }
            o.background = rgb;
        } else if (a == "--profile") {
            if (!value(o.profile)) return r;
        } else if (a == "--calibration") {
            if (!value(v)) return r;
            std::vector<double> gammas;
            if (!parseDoubles(v, gammas) || gammas.size() != 4) {
                r.error = "bad value for --calibration (R,G,B,EXTRA): " + v;
                return r;
            }
            o.calibration = gammas;
        } else if (a == "--quality") {
            std::int32_t q = 0;
            if (!intValue(q, 0, 100)) return r;
            o.quality = q;
        } else if (a == "--progressive") {
            o.progressive = true;
        } else if (a == "--interlaced") {
            o.interlaced = true;
        } else if (a == "--rle") {
            o.rle = true;
        } else if (a == "--compression") {
            if (!value(v)) return r;
            o.compression = tiffCompressionFromName(v);
            if (!o.compression) {
                r.error =
                    "bad value for --compression (none, ccitt1d, g3, g4, lzw, jpeg, packbits, "
                    "deflate): " +
                    v;
                return r;
            }
        } else if (a == "--colors" || a == "--colours") {
            if (!intValue(o.colors, 2, 256)) return r;
        } else if (a == "--palette") {
            if (!value(v)) return r;
            o.palette = indexOfName(image::kPaletteTypeNames, v);
            if (!o.palette) {
                r.error =
                    "bad value for --palette (" + joinNames(image::kPaletteTypeNames) + "): " + v;
                return r;
            }
        } else if (a == "--dither") {
            if (!value(v)) return r;
            o.dither = indexOfName(image::kDitherTypeNames, v);
            if (!o.dither) {
                r.error =
                    "bad value for --dither (" + joinNames(image::kDitherTypeNames) + "): " + v;
                return r;
            }
        } else if (a == "--method") {
            if (!value(v)) return r;
            o.method = indexOfName(image::kResampleMethodNames, v);
            if (!o.method) {
                r.error =
                    "bad value for --method (" + joinNames(image::kResampleMethodNames) + "): " + v;
                return r;
            }
        } else if (a == "--resample") {
            if (!value(v)) return r;
            if (!v.empty() && v.back() == '%') {
                if (!parseInt(v.substr(0, v.size() - 1), o.resamplePercent) ||
                    o.resamplePercent < 1 || o.resamplePercent > 10000) {
                    r.error = "bad value for --resample (WxH or N%): " + v;
                    return r;
                }
            } else if (!parseSize(v, o.resampleWidth, o.resampleHeight) ||
                       o.resampleWidth > 32767 || o.resampleHeight > 32767) {
                r.error = "bad value for --resample (WxH or N%): " + v;
                return r;
            }
        } else if (a == "--delay") {
            std::int32_t n = 0;
            if (!intValue(n, 0, 65535)) return r;
            o.delay = n;
        } else if (a == "--disposal") {
            std::int32_t n = 0;
            if (!intValue(n, 1, 3)) return r;
            o.disposal = n;
        } else if (a == "--loop") {
            if (!value(v)) return r;
            std::int32_t n = 0;
            if (v == "forever") {
                o.plays = 0;
            } else if (parseInt(v, n) && n >= 1 && n <= 65536) {
                o.plays = static_cast<std::uint32_t>(n);
            } else {
                r.error = "bad value for --loop (forever, or how often it plays: 1-65536): " + v;
                return r;
            }
        } else if (a == "--minimize" || a == "--minimise") {
            o.minimize = true;
        } else if (a == "--separate-palettes") {
            o.separatePalettes = true;
        } else if (a == "--comment") {
            if (!value(o.comment)) return r;
        } else if (a == "--size") {
            if (!intValue(o.size, 1, 32767)) return r;
        } else if (a == "--no-exif") {
            o.useExif = false;
        } else if (a == "--jobs") {
            if (!intValue(o.jobs, 1, 256)) return r;
        } else if (a == "--cache" && o.command == Command::Thumbs) {
            o.sharedCache = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            r.error = "unknown option: " + a;
            return r;
        } else {
            o.inputs.push_back(a);
        }
    }

    if (o.inputs.empty()) {
        r.error = "no input file";
    } else if ((o.command == Command::Decode || o.command == Command::Thumb ||
                (o.command == Command::Thumbs && !o.sharedCache) ||
                o.command == Command::GifCompile) &&
               o.output.empty()) {
        r.error = "missing -o OUT";
    } else if ((o.command == Command::Decode || o.command == Command::Thumb ||
                o.command == Command::Thumbs || o.command == Command::Exif) &&
               o.inputs.size() != 1) {
        r.error = "exactly one input expected";
    } else if ((o.command == Command::Thumb || o.command == Command::Thumbs) && o.size <= 0) {
        if (o.sharedCache)
            o.size = 128;  // the cache's normal flavour
        else
            r.error = "missing --size N";
    } else if (o.command == Command::Convert) {
        if (o.overwrite && o.skipExisting)
            r.error = "--overwrite and --skip-existing exclude each other";
        else if (!o.overlayImage.empty() && !o.overlayText.empty())
            r.error = "--overlay-image and --overlay-text exclude each other";
        else if (!o.subfolderRoot.empty() && o.output.empty())
            r.error = "--copy-subfolders needs -o DIR";
    }
    return r;
}

}  // namespace kalder::cli
