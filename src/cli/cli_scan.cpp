#include "cli/cli_scan.h"

#include <charconv>
#include <filesystem>
#include <ostream>

#include "cli/cli_args.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"

namespace kalder::cli {

namespace {

std::optional<double> positiveNumber(const std::string& text) {
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || !(v > 0) || v > 100000)
        return std::nullopt;
    return v;
}

// One line per option: name, current value, then the choices or the range.
void listOptions(const shell::Scanner& scanner, std::ostream& out) {
    for (const std::string& name : scanner.optionNames()) {
        const shell::ScanOptionInfo info = scanner.optionInfo(name);
        out << name << "\t" << info.current << "\t";
        if (info.isRange) {
            out << info.minimum << ".." << info.maximum;
            if (info.step > 0) out << " step " << info.step;
        } else {
            for (std::size_t i = 0; i < info.choices.size(); ++i)
                out << (i ? "|" : "") << info.choices[i];
        }
        out << (info.settable ? "" : "\t(read-only)") << "\n";
    }
}

}  // namespace

ScanCliParse parseScanArgs(const std::vector<std::string>& args) {
    ScanCliParse r;
    ScanCliOptions& o = r.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) { return takeValue(args, i, out, r.error); };
        std::string v;
        if (a == "--list") {
            o.list = true;
        } else if (a == "--options") {
            o.listOptions = true;
        } else if (a == "--option") {
            if (!value(v)) return r;
            const auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0) {
                r.error = "bad value for --option (NAME=VALUE): " + v;
                return r;
            }
            o.backendOptions.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (a == "--device") {
            if (!value(o.device)) return r;
        } else if (a == "--mode") {
            if (!value(v)) return r;
            if (v == "color" || v == "colour") {
                o.colour = shell::ScanColour::Color;
            } else if (v == "gray" || v == "grey") {
                o.colour = shell::ScanColour::Gray;
            } else if (v == "lineart") {
                o.colour = shell::ScanColour::LineArt;
            } else {
                r.error = "bad value for --mode (color, gray, lineart): " + v;
                return r;
            }
        } else if (a == "--resolution") {
            if (!value(v)) return r;
            o.resolution = positiveNumber(v);
            if (!o.resolution) {
                r.error = "bad value for --resolution: " + v;
                return r;
            }
        } else if (a == "--source") {
            if (!value(o.source)) return r;
        } else if (a == "--pages") {
            if (!value(v)) return r;
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), o.pages);
            if (ec != std::errc{} || end != v.data() + v.size() || o.pages < 1 || o.pages > 10000) {
                r.error = "bad value for --pages: " + v;
                return r;
            }
        } else if (a == "-o" || a == "--output") {
            if (!value(o.output)) return r;
        } else {
            r.error = "unknown option: " + a;
            return r;
        }
    }
    if (o.list || o.listOptions) return r;
    if (o.output.empty()) {
        r.error = "missing -o OUT";
        return r;
    }
    const auto type = tools::scanSaveTypeForPath(o.output);
    if (!type) {
        r.error = "OUT must end in .bmp, .jpg, .png, .tga or .tif: " + o.output;
        return r;
    }
    o.type = *type;
    return r;
}

std::string scanPagePath(const std::string& output, std::int32_t page, bool numbered) {
    if (!numbered) return output;
    return tools::numberedScanPath(output, page).string();
}

int runScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ScanCliParse parsed = parseScanArgs(args);
    if (!parsed.error.empty()) return usageError(err, "scan", parsed.error);
    const ScanCliOptions& o = parsed.options;
    if (o.list) {
        std::vector<shell::ScannerDevice> devices;
        if (const shell::ScanStatus s = shell::Scanner::listDevices(devices); !s) {
            err << tools::kScanErrorAcquiring << " " << s.text() << "\n";
            return 1;
        }
        for (const shell::ScannerDevice& d : devices) out << d.name << "\t" << d.label() << "\n";
        return 0;
    }

    std::unique_ptr<shell::Scanner> scanner;
    shell::ScanStatus s = shell::Scanner::open(o.device, scanner);
    if (s && o.colour) s = scanner->setColour(*o.colour);
    if (s && !o.source.empty()) s = scanner->setSource(o.source);
    if (s && o.resolution) s = scanner->setResolution(*o.resolution);
    if (s && o.listOptions) {
        listOptions(*scanner, out);
        return 0;
    }
    // The backend's own options come last, so they can refine what the common words set.
    for (const auto& [name, value] : o.backendOptions) {
        if (!s) break;
        if (!scanner->optionInfo(name).present) {
            err << "kalder-cli: " << o.device << ": no option " << name << " (scan --device "
                << o.device << " --options lists them)\n";
            return 1;
        }
        s = scanner->setOption(name, value);
    }
    if (!s) {
        err << tools::kScanErrorAcquiring << " " << s.text() << "\n";
        return 1;
    }
    const bool numbered = scanner->feederSelected() && o.pages != 1;
    std::int32_t page = 0;
    bool saveFailed = false;
    s = scanner->scanPages(o.pages, [&](shell::ScannedImage& image) {
        const std::string path = scanPagePath(o.output, ++page, numbered);
        if (!tools::writeScannedImage(image, o.type, path).ok()) {
            err << "kalder-cli: " << path << ": " << tools::kScanCannotSave << "\n";
            saveFailed = true;
        } else {
            if (progressWanted()) err << "[" << page << "] " << path << "\n";
            out << path << "\n";
        }
        return true;
    });
    if (!s) {
        err << tools::kScanErrorAcquiring << " " << s.text() << "\n";
        return 1;
    }
    return saveFailed ? 1 : 0;
}

const Verb& scanVerb() {
    static const Verb verb = {
        "scan",
        "[--device NAME] [options] -o OUT\n--list\n--device NAME --options",
        "acquire from a scanner",
        "OUT's extension picks bmp, jpg, png, tga or tif; feeder pages get -N before it.\n",
        "  -o, --output OUT   the file to write\n"
        "  --list             list the devices\n"
        "  --device NAME      the device (default: the first one)\n"
        "  --mode NAME        color, gray or lineart\n"
        "  --resolution DPI   dots per inch\n"
        "  --source NAME      flatbed, feeder, ... as the device names them\n"
        "  --pages N          at most N pages from a feeder\n"
        "  --option NAME=VALUE  set one of the device's own options; repeatable\n"
        "  --options          list the device's options, their values and ranges\n",
        "none",
        [](const std::vector<std::string>& args) { return parseScanArgs(args).error; },
        runScan,
    };
    return verb;
}

}  // namespace kalder::cli
