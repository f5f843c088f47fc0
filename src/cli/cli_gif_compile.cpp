#include "cli/cli_gif_compile.h"

#include <ostream>
#include <string_view>

#include "cli/cli_usage.h"
#include "tools/convert/page_preparation.h"
#include "tools/gif_compiler/gif_compiler.h"

namespace kalder::cli {
namespace {

// Nobody to ask on a command line: the user asked for what the options say.
class CliHost final : public tools::GifCompilerHost {
public:
    CliHost(std::ostream& err, const std::vector<std::filesystem::path>& files)
        : m_err(err), m_files(files), m_terminal(progressWanted()) {}
    void error(const std::string& message) override { m_err << "kalder-cli: " << message << "\n"; }
    void warning(const std::string& message) override {
        m_err << "kalder-cli: warning: " << message << "\n";
    }
    bool ask(const std::string&) override { return true; }
    // A line per file as it is loaded.
    void progress(const char* stage, std::int64_t total, std::int64_t done) override {
        if (!m_terminal || std::string_view(stage) != tools::kGifLoadingFiles || done < 0 ||
            done >= total || static_cast<std::size_t>(done) >= m_files.size())
            return;
        m_err << "[" << done + 1 << "/" << total << "] "
              << m_files[static_cast<std::size_t>(done)].string() << "\n";
    }
    bool stopRequested() override { return false; }

private:
    std::ostream& m_err;
    const std::vector<std::filesystem::path>& m_files;
    bool m_terminal;
};

}  // namespace

int runGifCompile(const CliOptions& c, std::ostream& out, std::ostream& err) {
    tools::AnimationOptions o;
    o.output = c.output;
    o.comments = c.comment;
    if (c.palette) o.palette = static_cast<image::PaletteType>(*c.palette);
    if (c.dither) o.dither = static_cast<image::DitherType>(*c.dither);
    if (c.colors > 0) o.colorDepth = tools::bitsForColours(c.colors);
    o.interlaced = c.interlaced;
    o.minimize = c.minimize;
    o.plays = c.plays;
    o.separatePalettes = c.separatePalettes;
    if (o.dither == image::DitherType::Ordered && !image::orderedDitherAllowed(o.palette)) {
        err << "kalder-cli: The ordered dithering cannot be used with this palette.\n";
        return 2;
    }

    std::vector<std::filesystem::path> files(c.inputs.begin(), c.inputs.end());
    CliHost host(err, files);
    std::vector<tools::AnimationFrame> frames;
    // No previews are shown here; the smallest keeps the opening check cheap.
    if (!tools::GifCompiler::Open(files, 1, host, frames)) return 1;
    for (auto& f : frames) {
        if (c.delay) f.delay = static_cast<std::uint32_t>(*c.delay);
        if (c.disposal) f.disposal = *c.disposal;
    }
    const auto result = tools::GifCompiler::Compile(frames, o, host);
    if (result.outcome != tools::CompileOutcome::Written) return 1;
    out << o.output.string() << "\n";
    return 0;
}

}  // namespace kalder::cli
