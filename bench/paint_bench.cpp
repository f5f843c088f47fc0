// A full 1920 x 1080 client painted through the viewing area's own paint routine onto an
// offscreen 32-bit image: without a table (straight blits) at well over 200 frames per second,
// with a gamma table (tiles through the display buffer) over 60.
#include <benchmark/benchmark.h>

#if __has_include(<QApplication>)

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/gui/viewing_area.h"
#include "image/bitmap32.h"
#include "view/view_state.h"

namespace {

using namespace kalder;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

QApplication& application() {
    static int argc = 1;
    static char name[] = "paint_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

std::unique_ptr<image::Bitmap32> picture(int w, int h) {
    auto b = std::make_unique<image::Bitmap32>();
    if (!b->Create(w, h)) std::abort();
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = b->row(y);
        for (int x = 0; x < w; ++x, p += 4) {
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = static_cast<std::uint8_t>(x ^ y);
        }
    }
    return b;
}

void paintClient(benchmark::State& state, double gamma, view::Zoom zoom, bool wallpaper) {
    application();
    const auto bitmap = picture(wallpaper ? 1200 : kWidth, wallpaper ? 700 : kHeight);
    gui::ViewingArea area;
    area.resize(kWidth, kHeight);
    area.setAttribute(Qt::WA_DontShowOnScreen);
    area.show();
    area.SetOsdSize(view::OsdSize::Off);
    area.SetWallpaper(wallpaper);
    area.SetImage(bitmap.get(), true);
    area.SetZoom(zoom, false);
    area.SetGamma(gamma, view::GammaScale::neutral());
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&target);
        area.paintArea(painter, QRect(0, 0, kWidth, kHeight));
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_PaintNoTable(benchmark::State& s) { paintClient(s, -1.0, {}, false); }
void BM_PaintTable(benchmark::State& s) { paintClient(s, 1.8, {}, false); }
void BM_PaintNoTableMagnify3(benchmark::State& s) { paintClient(s, -1.0, {false, 3}, false); }
void BM_PaintNoTableReduce2(benchmark::State& s) { paintClient(s, -1.0, {true, 2}, false); }
void BM_PaintOnWallpaper(benchmark::State& s) { paintClient(s, -1.0, {}, true); }

}  // namespace

BENCHMARK(BM_PaintNoTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintNoTableMagnify3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintNoTableReduce2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintOnWallpaper)->Unit(benchmark::kMillisecond);

#else

// Built without the Qt viewer on the include path: link kalder_gui to measure the widget.
static void BM_PaintNeedsTheGui(benchmark::State& state) {
    for (auto _ : state) {
    }
    state.SkipWithError("paint_bench needs kalder_gui");
}
BENCHMARK(BM_PaintNeedsTheGui);

#endif
