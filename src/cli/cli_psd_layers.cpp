#include "cli/cli_psd_layers.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "cli/cli_tool_host.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "tools/psd_decompiler/psd_decompiler.h"

namespace kalder::cli {
namespace fs = std::filesystem;

PsdLayersOptions parsePsdLayers(const std::vector<std::string>& args, std::string& error) {
    PsdLayersOptions o;
    error.clear();
    bool formatGiven = false;
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            o.inputs.insert(o.inputs.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                            args.end());
            break;
        } else if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size())
                error = a + " needs a value";
            else
                o.outputFolder = args[++i];
        } else if (a == "--bmp" || a == "--png") {
            if (formatGiven && o.png != (a == "--png"))
                error = "--bmp and --png exclude each other";
            o.png = a == "--png";
            formatGiven = true;
        } else if (takeAnswerWord(a, o.answer, error)) {
        } else if (a == "--expand") {
            o.expand = true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option: " + a;
        } else {
            o.inputs.push_back(a);
        }
    }
    if (error.empty() && o.inputs.empty()) error = "no PSD file given";
    if (error.empty() && o.outputFolder.empty()) error = "no output folder given (-o DIR)";
    return o;
}

int runPsdLayers(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    const PsdLayersOptions o = parsePsdLayers(args, error);
    if (!error.empty()) return usageError(err, "psd-layers", error);
    std::error_code ec;
    fs::create_directories(o.outputFolder, ec);
    if (!fs::is_directory(o.outputFolder, ec)) {
        err << "kalder-cli: " << o.outputFolder << ": not a folder\n";
        return 1;
    }
    tools::PsdDecompileOptions options;
    options.format =
        o.png ? tools::PsdLayerFormat::PngWithAlpha : tools::PsdLayerFormat::BmpWithMask;
    options.expandToImage = o.expand;
    options.outputFolder = o.outputFolder;
    // Nobody to ask: outputs are replaced, as the other commands do, unless --no.
    CliToolHost host(err, o.answer);
    const auto result = tools::decompilePsdFiles({o.inputs.begin(), o.inputs.end()}, options, host);
    for (const auto& path : result.written) out << path.string() << "\n";
    return result.completed ? 0 : 1;
}

const Verb& psdLayersVerb() {
    static const Verb verb = {
        "psd-layers",
        "FILE... -o DIR [--bmp|--png] [--expand] [--yes|--no]",
        "every layer as a file",
        "",
        "  -o, --output DIR   the folder to write into\n"
        "  --bmp              BMP with a _mask.bmp beside it (the default)\n"
        "  --png              PNG\n"
        "  --expand           every layer at the document's size\n"
        "  --yes, --no        replace existing files or keep them (default: replace)\n",
        "image",
        [](const std::vector<std::string>& args) {
            std::string error;
            (void)parsePsdLayers(args, error);
            return error;
        },
        runPsdLayers,
    };
    return verb;
}

}  // namespace kalder::cli
