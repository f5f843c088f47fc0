#include "cli/cli_icon_compile.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <numeric>
#include <ostream>

#include "cli/cli_tool_host.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "tools/icon_compiler/icon_compiler.h"

namespace kalder::cli {
namespace {

bool parseNumber(const std::string& text, std::int64_t& out, int base = 10) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return ec == std::errc{} && p == text.data() + text.size();
}

// The colour and hot spot come from the command line; the dialogs are never shown.
class CommandLineQuestions final : public tools::IconQuestions {
public:
    explicit CommandLineQuestions(image::ColorRef colour) : m_colour(colour) {}
    bool chooseColour(image::ColorRef& colour) override {
        colour = m_colour;
        return true;
    }
    bool askHotSpot(std::int32_t&, std::int32_t&) override { return true; }
    bool askDelay(std::uint32_t&) override { return true; }

private:
    image::ColorRef m_colour;
};

}  // namespace

IconCompileOptions parseIconCompile(const std::vector<std::string>& args, std::string& error) {
    IconCompileOptions o;
    error.clear();
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string v = hasValue ? args[i + 1] : std::string();
        std::int64_t n = 0;
        if (a == "--") {
            o.inputs.insert(o.inputs.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                            args.end());
            break;
        }
        if (a == "-o" || a == "--output" || a == "--transparent" || a == "--mask" ||
            a == "--hotspot" || a == "--delay" || a == "--sizes") {
            if (!hasValue) {
                error = a + " needs a value";
                break;
            }
            ++i;
        }
        if (a == "-o" || a == "--output") {
            o.output = v;
        } else if (a == "--transparent") {
            if (v.size() != 6 || !parseNumber(v, n, 16))
                error = "bad colour for --transparent (RRGGBB): " + v;
            else
                o.transparent = static_cast<std::uint32_t>(n);
        } else if (a == "--mask") {
            o.mask = v;
        } else if (a == "--hotspot") {
            const auto comma = v.find(',');
            std::int64_t x = 0, y = 0;
            if (comma == std::string::npos || !parseNumber(v.substr(0, comma), x) ||
                !parseNumber(v.substr(comma + 1), y) || x < 0 || y < 0 || x > 65535 || y > 65535)
                error = "bad value for --hotspot (X,Y): " + v;
            else
                o.hotSpot.emplace(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
        } else if (a == "--sizes") {
            o.sizes.clear();
            o.standardSizes = v == "standard";
            if (o.standardSizes) {
                o.sizes.assign(std::begin(tools::kStandardIconSizes),
                               std::end(tools::kStandardIconSizes));
                continue;
            }
            for (std::size_t at = 0; at <= v.size() && error.empty();) {
                const std::size_t comma = std::min(v.find(',', at), v.size());
                if (!parseNumber(v.substr(at, comma - at), n) || n < 1 || n > tools::kMaxIconSide)
                    error = "bad value for --sizes (standard, or sides of 1 to 256): " + v;
                else
                    o.sizes.push_back(static_cast<std::int32_t>(n));
                at = comma + 1;
            }
        } else if (a == "--delay") {
            if (!parseNumber(v, n) || n < 0 || n > 1000000)
                error = "bad value for --delay (hundredths of a second): " + v;
            else
                o.delay = static_cast<std::uint32_t>(n);
        } else if (takeAnswerWord(a, o.answer, error)) {
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option: " + a;
        } else {
            o.inputs.push_back(a);
        }
    }
    if (!error.empty()) return o;
    if (o.inputs.empty())
        error = "no input file";
    else if (o.output.empty())
        error = "missing -o OUT";
    else if (!tools::iconOutputTypeFor(o.output))
        error = "OUT must end in .ico, .cur or .ani: " + o.output;
    else if (o.transparent && !o.mask.empty())
        error = "--transparent and --mask exclude each other";
    else if (!o.sizes.empty() && o.inputs.size() != 1)
        error = "--sizes makes the pages from exactly one FILE";
    else if (!o.sizes.empty() && !o.mask.empty())
        error = "--sizes and --mask exclude each other";
    return o;
}

int runIconCompile(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    const IconCompileOptions o = parseIconCompile(args, error);
    if (!error.empty()) return usageError(err, "icon-compile", error);
    const image::ColorRef colour =
        o.transparent ? image::makeColorRef(static_cast<std::uint8_t>(*o.transparent >> 16),
                                            static_cast<std::uint8_t>(*o.transparent >> 8),
                                            static_cast<std::uint8_t>(*o.transparent))
                      : 0;
    // Yes to every question unless --no: multi-page files become pages, an existing OUT is
    // replaced, as the other commands do.
    CliToolHost host(err, o.answer);
    // --transparent and --mask ask for the new mask.
    host.settled = [](const tools::ToolQuestion& q) -> std::optional<tools::ToolAnswer> {
        if (q.text == tools::kIconSetMaskQuestion) return tools::ToolAnswer::Yes;
        return std::nullopt;
    };
    CommandLineQuestions questions(colour);
    tools::IconCompiler compiler(host, questions);
    std::vector<std::filesystem::path> files(o.inputs.begin(), o.inputs.end());
    if (!o.mask.empty()) files.emplace_back(o.mask);
    const bool opened = o.sizes.empty()
                            ? compiler.open(files)
                            : compiler.openResized(files.front(), o.sizes, o.standardSizes);
    if (!opened) return 1;

    std::vector<std::int32_t> sources(o.sizes.empty() ? o.inputs.size()
                                                      : compiler.sources().size());
    std::iota(sources.begin(), sources.end(), 0);
    compiler.addPages(sources);
    std::vector<std::int32_t> rows(compiler.pages().size());
    std::iota(rows.begin(), rows.end(), 0);
    if (o.transparent && !compiler.setTransparentColour(rows)) return 1;
    if (!o.mask.empty() &&
        !compiler.setMaskImage(rows, {static_cast<std::int32_t>(o.inputs.size())}))
        return 1;
    // A page the mask did not fit was reported; the file would not be what was asked for.
    if (host.errors() > 0) return 1;
    if (o.hotSpot) compiler.setHotSpotAt(rows, o.hotSpot->first, o.hotSpot->second);
    // A hot spot outside a page was reported likewise.
    if (host.errors() > 0) return 1;
    if (o.delay) compiler.setDelayTo(rows, *o.delay);
    if (!compiler.compile(o.output, *tools::iconOutputTypeFor(o.output))) return 1;
    out << o.output << "\n";
    return 0;
}

const Verb& iconCompileVerb() {
    static const Verb verb = {
        "icon-compile",
        "FILE... -o OUT.ico|OUT.cur|OUT.ani [options]",
        "an icon, cursor or animated cursor of every page",
        "",
        "  -o, --output OUT   the .ico, .cur or .ani to write\n"
        "  --transparent RRGGBB  this colour becomes transparent\n"
        "  --mask FILE        the transparency mask\n"
        "  --hotspot X,Y      the cursor's hot spot\n"
        "  --delay N          frame delay of an .ani in 1/100 s\n"
        "  --sizes standard|N,N,...  make these square sizes from one picture (standard: 16,\n"
        "                     24, 32, 48, 64, 128 and 256, as far as the picture is large)\n"
        "  --yes, --no        make pages of multi-page files and replace an existing OUT,\n"
        "                     or not (default: yes)\n",
        "image",
        [](const std::vector<std::string>& args) {
            std::string error;
            (void)parseIconCompile(args, error);
            return error;
        },
        runIconCompile,
    };
    return verb;
}

}  // namespace kalder::cli
