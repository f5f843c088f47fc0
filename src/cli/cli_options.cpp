#include "cli/cli_options.h"

#include <charconv>
#include <map>

namespace kalder::cli {
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
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
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

}  // namespace

const char* usageText() {
    return "usage: kalder-cli COMMAND [options] FILE...\n"
           "\n"
           "commands:\n"
           "  info FILE... [--json]             format, description, size, depth, pages, dpi\n"
           "  decode FILE -o OUT.pam [options]  decode as the viewer does, write a PAM\n"
           "  thumb FILE --size N -o OUT.pam    one thumbnail\n"
           "  thumbs DIR --size N -o OUTDIR     thumbnails of every image of a folder\n"
           "  exif FILE                         the properties report\n"
           "\n"
           "decode options:\n"
           "  --fit WxH          fit into a box (aspect kept)\n"
           "  --autofit          fit panoramas by height, tall images by width\n"
           "  --zoom-rule N      0 every image, 1 only smaller, 2 only larger than the box\n"
           "  --rotate N         quarter turns clockwise (0-3)\n"
           "  --flip-h, --flip-v mirror after rotating\n"
           "  --no-smooth        nearest neighbour instead of interpolation\n"
           "  --page N           decode page N (from 0)\n"
           "  --all-pages        every page; OUT gets -N before its extension\n"
           "  --alpha            write RGB_ALPHA from the alpha channel\n"
           "  --background RRGGBB  composite transparency over this colour\n"
           "  --profile FILE     colour-manage to this monitor profile\n"
           "  --calibration R,G,B,EXTRA  per-channel and additional gamma\n"
           "\n"
           "thumbnail options:\n"
           "  --size N           longer side in pixels\n"
           "  --no-exif          do not use embedded Exif thumbnails\n"
           "  --jobs N           worker threads for thumbs (default: one per core)\n"
           "\n"
           "exit status: 0 success, 1 a file could not be read, 2 usage error\n";
}

ParseResult parseCommandLine(const std::vector<std::string>& args) {
    ParseResult r;
    CliOptions& o = r.options;
    if (args.empty()) {
        r.error = "no command";
        return r;
    }
    static const std::map<std::string, Command> commands = {
        {"info", Command::Info},     {"decode", Command::Decode}, {"thumb", Command::Thumb},
        {"thumbs", Command::Thumbs}, {"exif", Command::Exif},     {"--help", Command::Help},
        {"-h", Command::Help},       {"help", Command::Help},     {"--version", Command::Version}};
    auto it = commands.find(args[0]);
    if (it == commands.end()) {
        r.error = "unknown command: " + args[0];
        return r;
    }
    o.command = it->second;
    if (o.command == Command::Help || o.command == Command::Version) return r;

    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                r.error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
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
        if (a == "--help" || a == "-h") {
            o.command = Command::Help;
            return r;
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
        } else if (a == "--size") {
            if (!intValue(o.size, 1, 32767)) return r;
        } else if (a == "--no-exif") {
            o.useExif = false;
        } else if (a == "--jobs") {
            if (!intValue(o.jobs, 1, 256)) return r;
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
                o.command == Command::Thumbs) && o.output.empty()) {
        r.error = "missing -o OUT";
    } else if ((o.command == Command::Decode || o.command == Command::Thumb ||
                o.command == Command::Thumbs || o.command == Command::Exif) && o.inputs.size() != 1) {
        r.error = "exactly one input expected";
    } else if ((o.command == Command::Thumb || o.command == Command::Thumbs) && o.size <= 0) {
        r.error = "missing --size N";
    }
    return r;
}

}  // namespace kalder::cli
