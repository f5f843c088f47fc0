// The tools' resampling case: a 6000 x 4000 photo to 1500 x 1000 with Lanczos and shrink
// averaging, on one thread and on all of them. The single-thread figure is the one to compare
// with other resizers run on one thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "image/bitmap32.h"
#include "image/resample.h"

namespace {

using namespace kalder;

const image::Bitmap32& photo() {
    static const image::Bitmap32* bitmap = [] {
        auto* b = new image::Bitmap32;
        if (!b->Create(6000, 4000)) std::abort();
        std::uint32_t noise = 12345;
        for (std::int32_t y = 0; y < b->height(); ++y) {
            std::uint8_t* p = b->row(y);
            for (std::int32_t x = 0; x < b->width(); ++x, p += 4) {
                noise = noise * 1664525u + 1013904223u;
                const int n = static_cast<int>(noise >> 28) - 8;
                p[0] = static_cast<std::uint8_t>(std::clamp(x / 24 + n, 0, 255));
                p[1] = static_cast<std::uint8_t>(std::clamp(y / 16 + n, 0, 255));
                p[2] = static_cast<std::uint8_t>(((x / 200 + y / 200) & 1) ? 220 : 30);
            }
        }
        return b;
    }();
    return *bitmap;
}

void resampleTo(benchmark::State& state, image::ResampleMethod method, int threads) {
    const image::Bitmap32& src = photo();
    image::Bitmap32 dst;
    if (!dst.Create(1500, 1000)) std::abort();
    image::ResampleOptions options;
    options.method = method;
    options.threads = threads;
    for (auto _ : state) {
        if (!image::Resample(src, dst, options)) state.SkipWithError("resample failed");
        benchmark::DoNotOptimize(dst.pixels()[0]);
    }
    state.SetItemsProcessed(state.iterations() * src.width() * src.height());
}

void BM_Lanczos6000x4000To1500x1000OneThread(benchmark::State& s) {
    resampleTo(s, image::ResampleMethod::Lanczos, 1);
}
void BM_Lanczos6000x4000To1500x1000AllThreads(benchmark::State& s) {
    resampleTo(s, image::ResampleMethod::Lanczos, 0);
}
void BM_Bilinear6000x4000To1500x1000OneThread(benchmark::State& s) {
    resampleTo(s, image::ResampleMethod::Bilinear, 1);
}
void BM_Box6000x4000To1500x1000OneThread(benchmark::State& s) {
    resampleTo(s, image::ResampleMethod::Box, 1);
}

BENCHMARK(BM_Lanczos6000x4000To1500x1000OneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Lanczos6000x4000To1500x1000AllThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Bilinear6000x4000To1500x1000OneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Box6000x4000To1500x1000OneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
