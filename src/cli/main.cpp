// kalder-cli: the viewer's engines without a window, for scripts, tests and benchmarks.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_associate.h"
#include "cli/cli_commands.h"
#include "cli/cli_companion.h"
#include "cli/cli_convert.h"
#include "cli/cli_gif_compile.h"
#include "cli/cli_icon_compile.h"
#include "cli/cli_jpeg_transform.h"
#include "cli/cli_mail.h"
#include "cli/cli_options.h"
#include "cli/cli_psd_layers.h"
#include "cli/cli_scan.h"
#include "cli/cli_usage.h"
#include "kalder_config.h"

namespace {

using namespace kalder::cli;

int runVerb(const std::vector<std::string>& args) {
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const std::string& verb = args[0];
    if (verb == "send-mail") return runSendMail(rest, std::cout, std::cerr);
    if (verb == "associate") return runAssociate(rest, std::cout, std::cerr);
    if (verb == "companion") return runCompanion(rest, std::cout, std::cerr);
    if (verb == "icon-compile") return runIconCompile(rest, std::cout, std::cerr);
    if (verb == "psd-layers") return runPsdLayers(rest, std::cout, std::cerr);
    if (verb == "scan") return runScan(rest, std::cout, std::cerr);
    ParseResult parsed = parseCommandLine(args);
    if (!parsed.error.empty()) return usageError(std::cerr, verb, parsed.error);
    const CliOptions& o = parsed.options;
    switch (o.command) {
        case Command::Info:
            return runInfo(o, std::cout, std::cerr);
        case Command::Decode:
            return runDecode(o, std::cout, std::cerr);
        case Command::Thumb:
            return runThumb(o, std::cout, std::cerr);
        case Command::Thumbs:
            return runThumbs(o, std::cout, std::cerr);
        case Command::Exif:
            return runExif(o, std::cout, std::cerr);
        case Command::GifCompile:
            return runGifCompile(o, std::cout, std::cerr);
        case Command::JpegTransform:
            return runJpegTransform(o, std::cout, std::cerr);
        case Command::ExifOrientation:
            return runExifOrientation(o, std::cout, std::cerr);
        case Command::Convert:
            return runConvert(o, std::cout, std::cerr);
        case Command::Help:
            std::cout << verbHelpText(*findVerb(verb));
            return 0;
        case Command::Version:
        case Command::None:
            break;
    }
    return usageError(std::cerr, verb, "unknown command: " + verb);
}

int dispatch(std::vector<std::string> args) {
    // --quiet belongs to every verb, so it is taken here, before any verb reads its words.
    for (auto it = args.begin(); it != args.end() && *it != "--";) {
        if (*it == "--quiet") {
            setQuiet(true);
            it = args.erase(it);
        } else {
            ++it;
        }
    }
    if (args.empty()) return usageError(std::cerr, "", "no command");
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        const VerbUsage* verb = args.size() > 1 ? findVerb(args[1]) : nullptr;
        std::cout << (verb ? verbHelpText(*verb) : overviewText());
        return 0;
    }
    if (first == "--version") {
        std::cout << "kalder-cli " << kalder::config::kVersion << "\n";
        return 0;
    }
    const VerbUsage* verb = findVerb(first);
    if (!verb) return usageError(std::cerr, "", "unknown command: " + first);
    if (asksForHelp({args.begin() + 1, args.end()})) {
        std::cout << verbHelpText(*verb);
        return 0;
    }
    return runVerb(args);
}

}  // namespace

int main(int argc, char** argv) {
    int status = dispatch({argv + 1, argv + argc});
    // What a command printed is its result: a full disk or a closed pipe must not pass for
    // success.
    errno = 0;
    std::cout.flush();
    const bool written = std::cout && std::fflush(stdout) == 0 && !std::ferror(stdout);
    // A command that failed already said why.
    if (!written && status == 0) {
        std::cerr << "kalder-cli: standard output: " << std::strerror(errno ? errno : EIO) << "\n";
        status = 1;
    }
    return status;
}
