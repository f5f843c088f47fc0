// Decode speed of the document pipeline against the memory floor: a 6000 x 4000 24-bit BMP read
// in full, and the same fitted to 1920 x 1080 through the area-weighted reduce.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "image/bitmap32.h"
#include "image/image_document.h"
#include "image/row_pipeline.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

const std::filesystem::path& bigBmp() {
    static const std::filesystem::path path = [] {
        auto p = std::filesystem::temp_directory_path() / "kalder-bench-6000x4000.bmp";
        const std::uint32_t stride = (kWidth * 3 + 3) & ~3u;
        const std::uint32_t dataSize = stride * kHeight;
        std::vector<std::uint8_t> header(54, 0);
        auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&header[at], &v, 4); };
        header[0] = 'B';
        header[1] = 'M';
        put32(2, 54 + dataSize);
        put32(10, 54);
        put32(14, 40);
        put32(18, kWidth);
        put32(22, kHeight);
        header[26] = 1;
        header[28] = 24;
        put32(34, dataSize);
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(header.data()), 54);
        std::vector<std::uint8_t> row(stride);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                row[x * 3] = static_cast<std::uint8_t>(x ^ y);
                row[x * 3 + 1] = static_cast<std::uint8_t>(x + y);
                row[x * 3 + 2] = static_cast<std::uint8_t>(x * 7);
            }
            out.write(reinterpret_cast<const char*>(row.data()), stride);
        }
        return p;
    }();
    return path;
}

// The floor: read the file and copy its pixels into a 32-bit buffer of the same size.
void BM_ReadFilePlusCopy(benchmark::State& state) {
    const auto& path = bigBmp();
    const auto size = std::filesystem::file_size(path);
    for (auto _ : state) {
        std::vector<std::uint8_t> file(size);
        FILE* f = std::fopen(path.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(file.data(), 1, size, f));
        std::fclose(f);
        kalder::image::Bitmap32 bitmap;
        if (!bitmap.Create(kWidth, kHeight)) state.SkipWithError("no memory");
        const std::uint8_t* s = file.data() + 54;
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* d = bitmap.row(y);
            std::memcpy(d, s + static_cast<std::size_t>(y) * ((kWidth * 3 + 3) & ~3), kWidth * 3);
        }
        benchmark::DoNotOptimize(bitmap.pixels());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ReadFilePlusCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

void decode(benchmark::State& state, int fitW, int fitH) {
    for (auto _ : state) {
        kalder::image::ImageDocument doc;
        kalder::image::LoadOptions o;
        o.path = bigBmp();
        o.fitWidth = fitW;
        o.fitHeight = fitH;
        if (!doc.Open(o) || !doc.AddPage() || !doc.DecodePage()) {
            state.SkipWithError("decode failed (no BMP reader?)");
            return;
        }
        benchmark::DoNotOptimize(doc.PageAt(0).bitmap.pixels());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_BmpFullDecode(benchmark::State& state) { decode(state, 0, 0); }
BENCHMARK(BM_BmpFullDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BmpFitTo1920x1080(benchmark::State& state) { decode(state, 1920, 1080); }
BENCHMARK(BM_BmpFitTo1920x1080)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the reduce two lanes wide, as on a processor without AVX.
void BM_BmpFitTo1920x1080Narrow(benchmark::State& state) {
    kalder::image::useWideSplat(false);
    decode(state, 1920, 1080);
    kalder::image::useWideSplat(true);
}
BENCHMARK(BM_BmpFitTo1920x1080Narrow)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
