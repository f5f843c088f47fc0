// kalder-cli: the viewer's engines without a window, for scripts, tests and benchmarks.
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
#include "kalder_config.h"

int main(int argc, char** argv) {
    using namespace kalder::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "send-mail")
        return runSendMail({args.begin() + 1, args.end()}, std::cout, std::cerr);
    if (!args.empty() && args[0] == "associate")
        return runAssociate({args.begin() + 1, args.end()}, std::cout, std::cerr);
    if (!args.empty() && args[0] == "companion")
        return runCompanion({args.begin() + 1, args.end()}, std::cout, std::cerr);
    if (!args.empty() && args[0] == "icon-compile")
        return runIconCompile({args.begin() + 1, args.end()}, std::cout, std::cerr);
    if (!args.empty() && args[0] == "psd-layers")
        return runPsdLayers({args.begin() + 1, args.end()}, std::cout, std::cerr);
    if (!args.empty() && args[0] == "scan")
        return runScan({args.begin() + 1, args.end()}, std::cout, std::cerr);
    ParseResult parsed = parseCommandLine(args);
    if (!parsed.error.empty()) {
        std::cerr << "kalder-cli: " << parsed.error << "\n\n" << usageText();
        return 2;
    }
    const CliOptions& o = parsed.options;
    switch (o.command) {
        case Command::Help:
            std::cout << usageText();
            return 0;
        case Command::Version:
            std::cout << "kalder-cli " << kalder::config::kVersion << "\n";
            return 0;
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
        case Command::None:
            break;
    }
    std::cerr << usageText();
    return 2;
}
