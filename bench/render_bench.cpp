// Paint conversion of a full 1920 x 1080 client: the direct 32-bit path (no table) must stay
// far above 200 frames per second, the 32-bit table path above 60.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "image/bitmap32.h"
#include "view/render.h"

namespace {

using namespace kalder;

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 1080;

const image::Bitmap32& picture() {
    static const image::Bitmap32* bitmap = [] {
        auto* b = new image::Bitmap32;
        if (!b->Create(kWidth, kHeight)) std::abort();
        for (std::int32_t y = 0; y < kHeight; ++y) {
            std::uint8_t* p = b->row(y);
            for (std::int32_t x = 0; x < kWidth; ++x, p += 4) {
                p[0] = static_cast<std::uint8_t>(x);
                p[1] = static_cast<std::uint8_t>(y);
                p[2] = static_cast<std::uint8_t>(x ^ y);
            }
        }
        return b;
    }();
    return *bitmap;
}

// Stands in for the widget: touches one byte per blit so nothing is optimised away.
struct NullTarget final : view::PaintTarget {
    std::uint64_t sum = 0;
    bool blitTile(const view::DisplayBuffer& buffer, view::PixelSize size, view::Point) override {
        sum += buffer.data()[0] + static_cast<std::uint64_t>(size.width);
        return true;
    }
    bool blitSource(const image::Bitmap32&, const view::PixelRect& source,
                    const view::PixelRect&) override {
        sum += static_cast<std::uint64_t>(source.right);
        return true;
    }
};

void paintFullClient(benchmark::State& state, view::DisplayFormat format, bool dither,
                     const view::DisplayLut* lut, view::Zoom zoom) {
    const image::Bitmap32& src = picture();
    view::DisplayBuffer buffer(format, dither);
    NullTarget target;
    view::PixelRect rect{0, 0, kWidth, kHeight};
    if (!zoom.reduce) rect = {0, 0, kWidth / zoom.factor, kHeight / zoom.factor};
    const view::PaintJob job{&src, zoom, rect, {0, 0}, {0, 0}, lut, 0};
    for (auto _ : state) {
        if (!view::Paint(job, buffer, target)) state.SkipWithError("blit refused");
        benchmark::DoNotOptimize(target.sum);
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

const view::DisplayLut gammaLut = *view::BuildLut(false, 0.8);

void BM_Paint32NoTable(benchmark::State& s) {
    paintFullClient(s, view::DisplayFormat::Bgrx32, false, nullptr, {});
}
void BM_Paint32Table(benchmark::State& s) {
    paintFullClient(s, view::DisplayFormat::Bgrx32, false, &gammaLut, {});
}
void BM_Paint32TableMagnify3(benchmark::State& s) {
    paintFullClient(s, view::DisplayFormat::Bgrx32, false, &gammaLut, {false, 3});
}
void BM_Paint24(benchmark::State& s) {
    paintFullClient(s, view::DisplayFormat::Bgr24, false, nullptr, {});
}
void BM_Paint565Dither(benchmark::State& s) {
    paintFullClient(s, view::DisplayFormat::Rgb565, true, nullptr, {});
}
void BM_Paint8Dither(benchmark::State& s) {
    paintFullClient(s, view::DisplayFormat::Palette8, true, nullptr, {});
}

BENCHMARK(BM_Paint32NoTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Paint32Table)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint32TableMagnify3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint565Dither)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint8Dither)->Unit(benchmark::kMillisecond);

}  // namespace
