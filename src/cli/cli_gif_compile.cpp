// gif-compile: one animated GIF from the input files, a frame per file in the order given. An
// existing output is replaced unless --no.
#include <ostream>

#include "cli/cli_args.h"
#include "cli/cli_tool_host.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "tools/convert/page_preparation.h"
#include "tools/gif_compiler/gif_compiler.h"

namespace kalder::cli {
namespace {

struct GifOptions {
    std::vector<std::string> inputs;
    std::string output;
    std::optional<std::int32_t> delay;     // hundredths of a second for every frame
    std::optional<std::int32_t> disposal;  // 1, 2 or 3 for every frame
    std::uint32_t plays = 0;               // how often the animation plays; 0: for ever
    bool minimize = false;
    bool separatePalettes = false;
    std::string comment;
    WriterChoices writer;  // the palette options and --interlaced
    std::optional<bool> answer;
};

std::string parseGif(const std::vector<std::string>& args, GifOptions& o) {
    OptionList options = {
        text({"-o", "--output"}, o.output),
        integer({"--delay"}, o.delay, 0, 65535),
        integer({"--disposal"}, o.disposal, 1, 3),
        {{"--loop"},
         true,
         [&o](const std::string&, const std::string& v) {
             std::int32_t n = 0;
             if (v == "forever") {
                 o.plays = 0;
             } else if (parseInt(v, n) && n >= 1 && n <= 65536) {
                 o.plays = static_cast<std::uint32_t>(n);
             } else {
                 return "bad value for --loop (forever, or how often it plays: 1-65536): " + v;
             }
             return std::string();
         }},
        flag({"--minimize", "--minimise"}, o.minimize),
        flag({"--separate-palettes"}, o.separatePalettes),
        text({"--comment"}, o.comment),
        flag({"--interlaced"}, o.writer.interlaced),
        answerOption(o.answer),
    };
    addPaletteOptions(options, o.writer);
    if (std::string error = parseArgs(args, options, o.inputs); !error.empty()) return error;
    if (o.inputs.empty()) return "no input file";
    return o.output.empty() ? "missing -o OUT" : "";
}

std::string check(const std::vector<std::string>& args) {
    GifOptions o;
    return parseGif(args, o);
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    GifOptions c;
    if (std::string error = parseGif(args, c); !error.empty())
        return usageError(err, "gif-compile", error);
    tools::AnimationOptions o;
    o.output = c.output;
    o.comments = c.comment;
    const WriterChoices& w = c.writer;
    if (w.palette) o.palette = static_cast<image::PaletteType>(*w.palette);
    if (w.dither) o.dither = static_cast<image::DitherType>(*w.dither);
    if (w.colors > 0) o.colorDepth = tools::bitsForColours(w.colors);
    o.interlaced = w.interlaced;
    o.minimize = c.minimize;
    o.plays = c.plays;
    o.separatePalettes = c.separatePalettes;
    if (o.dither == image::DitherType::Ordered && !image::orderedDitherAllowed(o.palette)) {
        err << "kalder-cli: The ordered dithering cannot be used with this palette.\n";
        return 2;
    }

    std::vector<std::filesystem::path> files(c.inputs.begin(), c.inputs.end());
    // Nobody to ask: the user asked for what the options say, so an existing output is replaced
    // unless --no.
    CliToolHost host(err, c.answer, true);
    std::vector<tools::AnimationFrame> frames;
    // No previews are shown here; the smallest keeps the opening check cheap.
    if (!tools::GifCompiler::Open(files, 1, host, frames)) return 1;
    for (auto& f : frames) {
        if (c.delay) f.delay = static_cast<std::uint32_t>(*c.delay);
        if (c.disposal) f.disposal = *c.disposal;
    }
    const auto result = tools::GifCompiler::Compile(frames, o, host);
    if (result.outcome == tools::CompileOutcome::Stopped)
        err << "kalder-cli: " << o.output.string() << ": not written (--no)\n";
    if (result.outcome != tools::CompileOutcome::Written) return 1;
    out << o.output.string() << "\n";
    return 0;
}

}  // namespace

const Verb& gifCompileVerb() {
    static const Verb verb = {
        "gif-compile",
        "FILE... -o OUT.gif [options]",
        "one animated GIF, a frame per file",
        "",
        "  -o, --output OUT   the GIF to write\n"
        "  --delay N          every frame's delay in 1/100 s (default 50)\n"
        "  --disposal N       1 leave in place (default), 2 restore background,\n"
        "                     3 restore previous\n"
        "  --loop N|forever   how often it plays (default: forever; 1 writes no loop block)\n"
        "  --minimize         store only what changes, unchanged pixels transparent, when\n"
        "                     that makes the file smaller\n"
        "  --separate-palettes  a palette per frame (optimized palette only)\n"
        "  --comment TEXT     a comment block\n"
        "  --palette NAME     optimized, websafe, bw, vga, system\n"
        "  --colors N         at most N colours (2-256)\n"
        "  --dither NAME      none, ordered, floyd, jarvis, stucki\n"
        "  --interlaced       interlaced frames\n"
        "  --yes, --no        replace an existing OUT, and use separate palettes on frames\n"
        "                     with transparency, or not (default: yes)\n",
        "image",
        check,
        run,
    };
    return verb;
}

}  // namespace kalder::cli
