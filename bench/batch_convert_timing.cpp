// The batch convertor in the window against the same engine without one, on a folder of photos:
// rounds alternate between the two, so a machine shared with other work slows both alike. Each
// run converts every photo of the folder to JPEG in a fresh output folder and is timed by the
// wall clock and by the process's CPU time (all threads).
// Usage: batch_convert_timing FOLDER [ROUNDS]
// FOLDER gets 21 photo-sized JPEGs (4000x3000) made by our own writer when it has none.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/gui/folder_navigator.h"
#include "app/gui/main_window.h"
#include "app/gui/tools/batch_convertor/batch_convertor_dialog.h"
#include "app/gui/tools/batch_convertor/batch_run.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"
#include "tools/convert/batch_convertor.h"

namespace {

namespace fs = std::filesystem;
using namespace kalder;

constexpr int kPhotos = 21;

// Smooth shapes under fine noise, shifted per photo, so each file compresses like a photograph.
bool makePhotos(const fs::path& folder) {
    const int w = 4000, h = 3000;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 4);
    std::uint32_t seed = 7;
    for (int i = 0; i < kPhotos; ++i) {
        const fs::path path = folder / ("photo" + std::to_string(100 + i) + ".jpg");
        if (fs::exists(path)) continue;
        for (int y = 0; y < h; ++y) {
            std::uint8_t* p = pixels.data() + static_cast<std::size_t>(y) * w * 4;
            for (int x = 0; x < w; ++x, p += 4) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = static_cast<int>(seed >> 27) - 16;
                const int dx = x - 2000 - i * 50, dy = y - 1500;
                const int ring = ((dx * dx + dy * dy) >> 14) & 0xff;
                p[0] = static_cast<std::uint8_t>(std::clamp(ring + noise, 0, 255));
                p[1] = static_cast<std::uint8_t>(std::clamp(x * 255 / w + noise, 0, 255));
                p[2] = static_cast<std::uint8_t>(std::clamp(y * 255 / h + noise, 0, 255));
            }
        }
        image::WriterImage img;
        img.pixels = pixels.data();
        img.width = w;
        img.height = h;
        img.jpegQuality = 90;
        img.jpegSampling = 1;
        auto writer = image::createWriterForExtension(".jpg");
        if (!writer || !writer->Open(path) || !writer->Write(img) || !writer->Close()) return false;
    }
    return true;
}

// The engine as the command line drives it: nothing to show, no questions.
class QuietHost final : public tools::ToolHost {
public:
    int errors = 0;
    void error(const std::string&) override { ++errors; }
    void warning(const std::string&) override {}
    tools::ToolAnswer ask(const tools::ToolQuestion&) override { return tools::ToolAnswer::No; }
    void progress(const tools::ToolProgress&) override {}
    bool cancelled() override { return false; }
};

struct Times {
    double wall = 0;
    double cpu = 0;
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

template <class F>
Times timed(F run) {
    const auto w0 = std::chrono::steady_clock::now();
    const double c0 = cpuSeconds();
    run();
    Times t;
    t.cpu = cpuSeconds() - c0;
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    return t;
}

tools::BatchSettings settingsInto(const fs::path& out) {
    tools::BatchSettings s;
    s.format = tools::BatchFormat::Jpeg;
    s.applyTo = tools::ApplyTo::Folder;
    s.placeInFolder = true;
    s.outputFolder = out;
    return s;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: batch_convert_timing FOLDER [ROUNDS]\n");
        return 2;
    }
    const fs::path folder = fs::absolute(argv[1]);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    fs::create_directories(folder);
    if (!makePhotos(folder)) {
        std::fprintf(stderr, "cannot write the photos into %s\n", folder.c_str());
        return 1;
    }
    tools::BatchFileList list;
    list.root = folder;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".jpg") list.files.push_back(e.path());
    std::sort(list.files.begin(), list.files.end());

    gui::MainWindow window;
    if (!window.folder().openFolder(folder)) return 1;
    // As a user meets it: the window on screen with its thumbnails made, the panel open, and
    // the run started from the panel's own settings.
    window.resize(1280, 800);
    window.show();
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(8);
         std::chrono::steady_clock::now() < until;)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    gui::BatchConvertorDialog panel(window.toolContext());
    panel.show();
    QApplication::processEvents();
    const auto panelSettings = [&](const fs::path& into) {
        std::optional<tools::BatchSettings> s = panel.collectSettings();
        if (!s) std::exit(1);
        s->format = tools::BatchFormat::Jpeg;
        s->applyTo = tools::ApplyTo::Folder;
        s->placeInFolder = true;
        s->outputFolder = into;
        return *s;
    };
    const fs::path out = folder / "out";
    std::vector<double> engineWall, engineCpu, windowWall, windowCpu;
    for (int r = 0; r < rounds; ++r) {
        // Alternate which goes first, so neither always meets a warm or a cold page cache.
        for (int k = 0; k < 2; ++k) {
            const bool inWindow = (r + k) % 2 == 1;
            fs::remove_all(out);
            Times t;
            if (inWindow) {
                t = timed([&] { gui::runBatch(window.toolContext(), panelSettings(out), &panel); });
                windowWall.push_back(t.wall);
                windowCpu.push_back(t.cpu);
            } else {
                QuietHost host;
                t = timed([&] { tools::BatchConvertor::Run(settingsInto(out), list, host); });
                engineWall.push_back(t.wall);
                engineCpu.push_back(t.cpu);
            }
            std::printf("round %d %-7s wall %6.2f s  cpu %6.2f s\n", r + 1,
                        inWindow ? "window" : "engine", t.wall, t.cpu);
            std::fflush(stdout);
        }
    }
    fs::remove_all(out);
    std::printf("median  engine wall %.2f s cpu %.2f s | window wall %.2f s cpu %.2f s\n",
                median(engineWall), median(engineCpu), median(windowWall), median(windowCpu));
    std::printf("window / engine: wall %.2f, cpu %.2f\n",
                median(windowWall) / std::max(1e-9, median(engineWall)),
                median(windowCpu) / std::max(1e-9, median(engineCpu)));
    return 0;
}
