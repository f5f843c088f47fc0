#include "cli/cli_convert.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <ostream>
#include <set>
#include <string>

#include "cli/cli_usage.h"
#include "image/colour_reducer.h"
#include "image/writers/writer_options.h"
#include "tools/convert/batch_convertor.h"
#include "tools/convert/page_preparation.h"

namespace kalder::cli {
namespace fs = std::filesystem;

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int) { g_interrupted = 1; }

// Ctrl+C asks the run to stop instead of killing it, so its temporary files go away. The
// handler stays until the process ends: a late Ctrl+C must not kill it while it finishes.
void catchInterrupts() {
    g_interrupted = 0;
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

class CliHost : public tools::BatchHost {
public:
    CliHost(const CliOptions& o, std::ostream& err)
        : m_options(o), m_err(err), m_terminal(progressWanted()) {}
    ~CliHost() override { clearLine(); }

    bool refused = false;

    void error(const std::string& message) override {
        clearLine();
        m_err << "kalder-cli: " << message << "\n";
    }
    tools::ExistingAnswer askExisting(const std::string& message, const fs::path& path,
                                      fs::path&) override {
        // Never a question: a script has no one to answer it.
        if (m_options.overwrite) return tools::ExistingAnswer::OverwriteAll;
        if (m_options.skipExisting) return tools::ExistingAnswer::SkipAll;
        clearLine();
        m_err << "kalder-cli: " << message << " " << path.string()
              << " (not converted; use --overwrite or --skip-existing)\n";
        refused = true;
        return tools::ExistingAnswer::Skip;
    }
    // One line per file as it starts, however many stages it goes through.
    void progress(std::int32_t index, std::int32_t count, const fs::path& file,
                  std::int32_t) override {
        if (!m_terminal || index < 0 || !m_started.insert(index).second) return;
        m_err << "[" << index + 1 << "/" << count << "] " << file.string() << "\n";
    }
    bool stopRequested() override { return g_interrupted != 0; }

private:
    void clearLine() {
        if (!m_shown) return;
        m_err << "\r\033[K" << std::flush;
        m_shown = false;
    }

    const CliOptions& m_options;
    std::ostream& m_err;
    bool m_terminal;
    bool m_shown = false;
    std::set<std::int32_t> m_started;
};

void addEffects(const CliOptions& o, tools::EffectList& list) {
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

}  // namespace

tools::BatchSettings batchSettingsFor(const CliOptions& o) {
    tools::BatchSettings s;
    s.format = static_cast<tools::BatchFormat>(o.format);
    s.placeInFolder = !o.output.empty();
    s.outputFolder = o.output;
    s.copySubfolders = !o.subfolderRoot.empty();
    s.namePrefix = o.prefix;
    s.nameSuffix = o.suffix;
    s.preserveDate = o.preserveDate;

    if (o.palette) s.palette = *o.palette;
    if (o.dither) s.dithering = *o.dither;
    if (o.colors > 0) {
        // The smallest depth of the format that holds that many colours.
        const std::int32_t bits = tools::bitsForColours(o.colors);
        for (std::int32_t d : tools::batchFormatDepths(s.format)) {
            s.colorDepth = d;
            if (d >= bits) break;
        }
    }
    auto& f = s.formatOptions;
    if (o.quality) f.jpeg.quality = *o.quality;
    f.jpeg.progressive = o.progressive;
    f.png.interlaced = f.gif.interlaced = o.interlaced;
    f.bmp.rle = f.tga.rle = o.rle;
    if (o.compression) s.tiffCompressionTag = *o.compression;

    s.width = o.convertWidth;
    s.height = o.convertHeight;
    s.percents = o.convertPercents;
    s.unit = o.unit;
    s.keepAspect = o.keepAspect;
    s.swapForVertical = o.swapVertical;
    if (o.method) s.method = *o.method;
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

int runConvert(const CliOptions& o, std::ostream&, std::ostream& err) {
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

    catchInterrupts();
    CliHost host(o, err);
    const tools::BatchResult r = tools::BatchConvertor::Run(s, list, host);
    // Quiet when every file went well; otherwise the count of each outcome, damage included.
    if (r.failed > 0 || r.damaged > 0)
        host.error(std::to_string(r.converted) + " converted (" + std::to_string(r.damaged) +
                   " with damage), " + std::to_string(r.failed) + " failed, " +
                   std::to_string(r.skipped) + " skipped");
    const bool all = !r.stopped && !host.refused && r.failed == 0 && r.damaged == 0 &&
                     r.converted + r.skipped == static_cast<std::int32_t>(list.files.size());
    return all ? 0 : 1;
}

}  // namespace kalder::cli
