#include "image/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "image/bitmap32.h"
#include "image/sinks.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

using Gray = std::vector<std::vector<int>>;  // [y][x]

// A bitmap whose blue, green and red bytes all hold the given value (green and red shifted so a
// swapped channel shows), and whose fourth byte is 0xAB.
void fillGray(Bitmap32& b, const Gray& rows) {
    ASSERT_TRUE(b.Create(static_cast<std::int32_t>(rows[0].size()),
                         static_cast<std::int32_t>(rows.size())));
    for (std::int32_t y = 0; y < b.height(); ++y)
        for (std::int32_t x = 0; x < b.width(); ++x) {
            std::uint8_t* p = b.row(y) + x * 4;
            p[0] = p[1] = p[2] = static_cast<std::uint8_t>(rows[y][x]);
            p[3] = 0xAB;
        }
}

Gray blueOf(const Bitmap32& b) {
    Gray g(b.height(), std::vector<int>(b.width()));
    for (std::int32_t y = 0; y < b.height(); ++y)
        for (std::int32_t x = 0; x < b.width(); ++x) {
            const std::uint8_t* p = b.row(y) + x * 4;
            EXPECT_EQ(p[0], p[1]) << x << "," << y;
            EXPECT_EQ(p[0], p[2]) << x << "," << y;
            g[y][x] = p[0];
        }
    return g;
}

Gray resampleGray(const Gray& source, std::int32_t w, std::int32_t h, ResampleMethod method,
                  bool averaging = true) {
    Bitmap32 src, dst;
    fillGray(src, source);
    EXPECT_TRUE(dst.Create(w, h));
    ResampleOptions options;
    options.method = method;
    options.shrinkAveraging = averaging;
    EXPECT_TRUE(Resample(src, dst, options).ok());
    return blueOf(dst);
}

Gray checker4x4() {
    Gray g(4, std::vector<int>(4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) g[y][x] = (x + y) & 1 ? 255 : 0;
    return g;
}

struct HandCase {
    const char* name;
    Gray source;
    std::int32_t width, height;
    ResampleMethod method;
    bool averaging;
    Gray expected;
};

class HandComputed : public testing::TestWithParam<HandCase> {};

TEST_P(HandComputed, MatchesTheKernelArithmetic) {
    const HandCase& c = GetParam();
    EXPECT_EQ(resampleGray(c.source, c.width, c.height, c.method, c.averaging), c.expected);
}

// Checker 4 x 4 -> 2 x 2 with averaging: sx = (4-1)/(2-1) = 3, so samples land at destination
// x = 0, 1/3, 2/3, 1 and read source columns 0, 1, 2, 3 exactly (fx = 0). The tent weights of
// destination column 0 are (1, 2/3, 1/3, 0), of column 1 (0, 1/3, 2/3, 1); each sums to 2.
// Pixel (0,0) = 255 * [sum of tx*ty over odd (x+y)] / (2*2)
//             = 255 * (2/3 + 2/3 + 2/9 + 2/9) / 4 = 255 * 4/9 = 113.3 -> 113.
// Pixel (1,0) = 255 * (1/3 + 1 + 4/9 + 1/9 + 1/3) / 4 = 255 * 5/9 = 141.7 -> 141.
// Lanczos and Cosine at fx = 0 read the pixel itself, so all three agree.
const Gray kChecker = {{113, 141}, {141, 113}};

// Lanczos at f = 0.5: K(0.5) = 6/pi^2, K(1.5) = -4/(3 pi^2); normalised 9/14 and -1/7.
// [0 90 180] -> 5 wide, sx = 0.5:
//   x = 0.5: taps -1 (outside: centre 0), 0, 90, 180 -> 9/14*90 - 1/7*180 = 32.14 -> 32
//   x = 1.5: taps 0, 90, 180, 3 (outside: centre 90) -> 9/14*270 - 1/7*90 = 160.71 -> 160
//   (edge replication would give 147.9 there)
// Bicubic B-spline, one row: the rows above and below are outside and take the centre pixel,
// so value = 4/6 * H + P(x0) * (1 - 4/6 * inside x weight), H the horizontal sum of inside taps.
//   x = 0:   w (1/6, 4/6, 1/6, 0), H = 15, P = 0             -> 10
//   x = 0.5: w (1/48, 23/48, 23/48, 1/48), H = 46.875, P = 0 -> 31.25 -> 31
//   x = 1:   H = 90, inside = 1 -> 60 + 90/3                 -> 90
//   x = 1.5: H = 129.375, inside 47/48 -> 86.25 + 90*100/288 -> 117.5 -> 117
//   x = 2:   H = 135, inside 5/6 -> 90 + 180*16/36           -> 170
// Bilinear and Cosine over [0 100] -> 4 wide, sx = 1/3: bilinear 33.3, 66.7; cosine uses
// 0.5 - 0.5 cos(f pi) = 0.25 and 0.75 -> 25 and 75.
INSTANTIATE_TEST_SUITE_P(
    Resample, HandComputed,
    testing::Values(
        HandCase{"CheckerBilinear", checker4x4(), 2, 2, ResampleMethod::Bilinear, true, kChecker},
        HandCase{"CheckerCosine", checker4x4(), 2, 2, ResampleMethod::Cosine, true, kChecker},
        HandCase{"CheckerLanczos", checker4x4(), 2, 2, ResampleMethod::Lanczos, true, kChecker},
        // Box: sx = 4/2 = 2 picks columns and rows 0 and 2, all even (black).
        HandCase{"CheckerBox", checker4x4(), 2, 2, ResampleMethod::Box, true, {{0, 0}, {0, 0}}},
        // Without averaging the interpolating methods pin the corners: columns 0 and 3.
        HandCase{"CheckerBilinearDirect",
                 checker4x4(),
                 2,
                 2,
                 ResampleMethod::Bilinear,
                 false,
                 {{0, 255}, {255, 0}}},
        HandCase{"RampLanczos",
                 {{0, 90, 180}},
                 5,
                 1,
                 ResampleMethod::Lanczos,
                 true,
                 {{0, 32, 90, 160, 180}}},
        HandCase{"RampBicubic",
                 {{0, 90, 180}},
                 5,
                 1,
                 ResampleMethod::Bicubic,
                 true,
                 {{10, 31, 90, 117, 170}}},
        HandCase{"RampBilinear",
                 {{0, 90, 180}},
                 5,
                 1,
                 ResampleMethod::Bilinear,
                 true,
                 {{0, 45, 90, 135, 180}}},
        HandCase{
            "ThirdsBilinear", {{0, 100}}, 4, 1, ResampleMethod::Bilinear, true, {{0, 33, 66, 100}}},
        HandCase{
            "ThirdsCosine", {{0, 100}}, 4, 1, ResampleMethod::Cosine, true, {{0, 25, 75, 100}}},
        // Vertical ramp: the same numbers down a column (Lanczos is separable away from edges).
        HandCase{"ColumnLanczos",
                 {{0}, {90}, {180}},
                 1,
                 5,
                 ResampleMethod::Lanczos,
                 true,
                 {{0}, {32}, {90}, {160}, {180}}},
        // Box upscaling repeats pixels: sx = 2/4, x0 = 0, 0, 1, 1.
        HandCase{"BoxRepeat", {{7, 200}}, 4, 1, ResampleMethod::Box, true, {{7, 7, 200, 200}}}),
    [](const testing::TestParamInfo<HandCase>& info) { return std::string(info.param.name); });

// ---- An independent, deliberately naive version of every method, for random comparisons ----

float refKernel(ResampleMethod method, float d) {
    constexpr float pi = 3.1415927f;
    const auto sinc = [&](float t) { return t == 0.0f ? 1.0f : std::sin(pi * t) / (pi * t); };
    if (method == ResampleMethod::Lanczos) return sinc(d) * sinc(d * 0.33333334f);
    const float a = std::fabs(d);
    if (a < 1.0f) return (4.0f - 6.0f * a * a + 3.0f * a * a * a) / 6.0f;
    if (a < 2.0f) return (2.0f - a) * (2.0f - a) * (2.0f - a) / 6.0f;
    return 0.0f;
}

// The interpolated value of one channel at source position (x, y), per the definitions.
float refSample(const Bitmap32& s, ResampleMethod method, float x, float y, int ch) {
    const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
    float fx = x - static_cast<float>(x0), fy = y - static_cast<float>(y0);
    const auto px = [&](int xx, int yy) -> float {
        if (xx < 0 || yy < 0 || xx >= s.width() || yy >= s.height()) {
            xx = x0;
            yy = y0;
        }
        return s.row(yy)[xx * 4 + ch];
    };
    if (method == ResampleMethod::Box) return px(x0, y0);
    if (method == ResampleMethod::Bilinear || method == ResampleMethod::Cosine) {
        if (method == ResampleMethod::Cosine) {
            fx = 0.5f - 0.5f * std::cos(fx * 3.1415927f);
            fy = 0.5f - 0.5f * std::cos(fy * 3.1415927f);
        }
        const float top = px(x0, y0) + fx * (px(x0 + 1, y0) - px(x0, y0));
        const float bottom = px(x0, y0 + 1) + fx * (px(x0 + 1, y0 + 1) - px(x0, y0 + 1));
        return top + fy * (bottom - top);
    }
    float sum = 0, weights = 0;
    for (int j = -1; j <= 2; ++j)
        for (int i = -1; i <= 2; ++i) {
            const float w = refKernel(method, fx - i) * refKernel(method, fy - j);
            sum += w * px(x0 + i, y0 + j);
            weights += w;
        }
    if (method == ResampleMethod::Lanczos && weights != 0.0f && weights != 1.0f) sum /= weights;
    return std::min(255.0f, std::max(0.0f, sum));
}

// Whole-image reference: direct sampling, or averaging with full-size accumulators.
std::vector<float> refResample(const Bitmap32& s, int dw, int dh, ResampleMethod method,
                               bool averaging) {
    const int sw = s.width(), sh = s.height();
    const auto scale = [&](int from, int to) {
        if (method == ResampleMethod::Box) return static_cast<float>(from) / static_cast<float>(to);
        return to == 1 ? static_cast<float>(from - 1)
                       : static_cast<float>(from - 1) / static_cast<float>(to - 1);
    };
    const float sx = scale(sw, dw), sy = scale(sh, dh);
    std::vector<float> out(static_cast<std::size_t>(dw) * dh * 3, -1.0f);  // -1: not written
    const bool shrink = averaging && method != ResampleMethod::Box && (dw < sw || dh < sh);
    if (!shrink) {
        for (int q = 0; q < dh && sy * q < sh; ++q)
            for (int x = 0; x < dw && sx * x < sw; ++x)
                for (int c = 0; c < 3; ++c)
                    out[(q * dw + x) * 3 + c] = refSample(s, method, sx * x, sy * q, c);
        return out;
    }
    const float stepX = dw < sw ? 1.0f / sx : 1.0f, stepY = dh < sh ? 1.0f / sy : 1.0f;
    std::vector<double> acc(static_cast<std::size_t>(dw + 1) * (dh + 1) * 3, 0.0),
        weight((dw + 1) * (dh + 1), 0.0);
    for (int l = 0;; ++l) {
        const float Q = l * stepY;
        if (!(Q < dh) || !(sy * Q < sh)) break;
        for (int k = 0;; ++k) {
            const float X = k * stepX;
            if (!(X < dw) || !(sx * X < sw)) break;
            const int ix = static_cast<int>(X), iy = static_cast<int>(Q);
            const double dx = X - ix, dy = Q - iy;
            const double w[4] = {(1 - dx) * (1 - dy), dx * (1 - dy), (1 - dx) * dy, dx * dy};
            const int at[4] = {iy * (dw + 1) + ix, iy * (dw + 1) + ix + 1, (iy + 1) * (dw + 1) + ix,
                               (iy + 1) * (dw + 1) + ix + 1};
            for (int c = 0; c < 3; ++c) {
                const float v = refSample(s, method, sx * X, sy * Q, c);
                for (int t = 0; t < 4; ++t) acc[at[t] * 3 + c] += v * w[t];
            }
            for (int t = 0; t < 4; ++t) weight[at[t]] += w[t];
        }
    }
    for (int q = 0; q < dh; ++q)
        for (int x = 0; x < dw; ++x)
            if (weight[q * (dw + 1) + x] > 0)
                for (int c = 0; c < 3; ++c)
                    out[(q * dw + x) * 3 + c] = static_cast<float>(acc[(q * (dw + 1) + x) * 3 + c] /
                                                                   weight[q * (dw + 1) + x]);
    return out;
}

void fillRandom(Bitmap32& b, std::int32_t w, std::int32_t h, unsigned seed) {
    ASSERT_TRUE(b.Create(w, h));
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < b.byteSize(); ++i) b.pixels()[i] = static_cast<std::uint8_t>(rng());
}

struct SizeCase {
    std::int32_t sw, sh, dw, dh;
};

class AgainstNaive : public testing::TestWithParam<std::tuple<ResampleMethod, bool, SizeCase>> {};

TEST_P(AgainstNaive, WithinOneLevelEverywhere) {
    const auto [method, averaging, size] = GetParam();
    Bitmap32 src, dst;
    fillRandom(src, size.sw, size.sh, 7u + static_cast<unsigned>(size.sw * 31 + size.dh));
    ASSERT_TRUE(dst.Create(size.dw, size.dh));
    for (std::size_t i = 0; i < dst.byteSize(); ++i) dst.pixels()[i] = 0x5A;
    ResampleOptions options;
    options.method = method;
    options.shrinkAveraging = averaging;
    ASSERT_TRUE(Resample(src, dst, options).ok());
    const std::vector<float> ref = refResample(src, size.dw, size.dh, method, averaging);
    for (std::int32_t y = 0; y < size.dh; ++y)
        for (std::int32_t x = 0; x < size.dw; ++x) {
            const std::uint8_t* p = dst.row(y) + x * 4;
            ASSERT_EQ(p[3], 0x5A) << "fourth byte written at " << x << "," << y;
            for (int c = 0; c < 3; ++c) {
                const float r = ref[(static_cast<std::size_t>(y) * size.dw + x) * 3 + c];
                if (r < 0) {
                    ASSERT_EQ(p[c], 0x5A) << x << "," << y;
                    continue;
                }
                ASSERT_NEAR(p[c], std::trunc(r), 1.0)
                    << x << "," << y << " channel " << c << " ref " << r;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(
    Resample, AgainstNaive,
    testing::Combine(
        testing::Values(ResampleMethod::Lanczos, ResampleMethod::Bicubic, ResampleMethod::Bilinear,
                        ResampleMethod::Cosine, ResampleMethod::Box),
        testing::Bool(),
        testing::Values(SizeCase{7, 5, 3, 2}, SizeCase{5, 7, 11, 13}, SizeCase{13, 9, 4, 9},
                        SizeCase{9, 13, 20, 5}, SizeCase{1, 1, 3, 3}, SizeCase{6, 1, 2, 1},
                        SizeCase{2, 2, 1, 1}, SizeCase{40, 30, 17, 11}, SizeCase{3, 4, 3, 4})));

// Equal sizes put every sample on a pixel; the interpolating kernels must give it back whole.
class SameSize : public testing::TestWithParam<ResampleMethod> {};

TEST_P(SameSize, ReproducesTheSource) {
    Bitmap32 src, dst;
    fillRandom(src, 23, 17, 3);
    ASSERT_TRUE(dst.Create(23, 17));
    ResampleOptions options;
    options.method = GetParam();
    ASSERT_TRUE(Resample(src, dst, options).ok());
    for (std::int32_t y = 0; y < 17; ++y)
        for (std::int32_t x = 0; x < 23; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(dst.row(y)[x * 4 + c], src.row(y)[x * 4 + c]) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Resample, SameSize,
                         testing::Values(ResampleMethod::Lanczos, ResampleMethod::Bilinear,
                                         ResampleMethod::Cosine, ResampleMethod::Box));

// Weights that sum to one must not lose a level to rounding on a flat area, up or down.
class FlatColour : public testing::TestWithParam<std::tuple<ResampleMethod, SizeCase>> {};

TEST_P(FlatColour, StaysFlat) {
    const auto [method, size] = GetParam();
    Bitmap32 src, dst;
    ASSERT_TRUE(src.Create(size.sw, size.sh));
    for (std::int32_t i = 0; i < size.sw * size.sh; ++i) {
        src.pixels()[i * 4] = 200;
        src.pixels()[i * 4 + 1] = 17;
        src.pixels()[i * 4 + 2] = 255;
    }
    ASSERT_TRUE(dst.Create(size.dw, size.dh));
    ResampleOptions options;
    options.method = method;
    ASSERT_TRUE(Resample(src, dst, options).ok());
    for (std::int32_t i = 0; i < size.dw * size.dh; ++i) {
        ASSERT_EQ(dst.pixels()[i * 4], 200) << i;
        ASSERT_EQ(dst.pixels()[i * 4 + 1], 17) << i;
        ASSERT_EQ(dst.pixels()[i * 4 + 2], 255) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Resample, FlatColour,
    testing::Combine(testing::Values(ResampleMethod::Lanczos, ResampleMethod::Bilinear,
                                     ResampleMethod::Cosine, ResampleMethod::Box),
                     testing::Values(SizeCase{97, 61, 31, 20}, SizeCase{13, 11, 50, 37},
                                     SizeCase{100, 7, 33, 9})));

TEST(Resample, LanczosOvershootIsClamped) {
    // A hard step: the lobes ring past 0 and 255 but the bytes cannot wrap.
    Gray step(1, std::vector<int>(8));
    for (int x = 4; x < 8; ++x) step[0][x] = 255;
    const Gray up = resampleGray(step, 29, 1, ResampleMethod::Lanczos);
    EXPECT_EQ(up[0].front(), 0);
    EXPECT_EQ(up[0].back(), 255);
    for (std::size_t x = 1; x < up[0].size(); ++x)
        EXPECT_LE(up[0][x - 1], up[0][x] + 40) << "wrapped at " << x;
}

// Bands of rows on several threads must give the bytes one thread gives.
class ThreadCounts : public testing::TestWithParam<std::tuple<ResampleMethod, SizeCase>> {};

TEST_P(ThreadCounts, GiveIdenticalBytes) {
    const auto [method, size] = GetParam();
    Bitmap32 src;
    fillRandom(src, size.sw, size.sh, 11);
    std::vector<std::uint8_t> first;
    for (int threads : {1, 2, 3, 7}) {
        Bitmap32 dst;
        ASSERT_TRUE(dst.Create(size.dw, size.dh));
        ResampleOptions options;
        options.method = method;
        options.threads = threads;
        ASSERT_TRUE(Resample(src, dst, options).ok());
        std::vector<std::uint8_t> bytes(dst.pixels(), dst.pixels() + dst.byteSize());
        if (first.empty())
            first = bytes;
        else
            ASSERT_TRUE(bytes == first) << threads << " threads";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Resample, ThreadCounts,
    testing::Combine(testing::Values(ResampleMethod::Lanczos, ResampleMethod::Bicubic,
                                     ResampleMethod::Cosine, ResampleMethod::Box),
                     testing::Values(SizeCase{701, 499, 233, 166}, SizeCase{320, 240, 700, 530},
                                     SizeCase{900, 300, 300, 400})));

TEST(ResampleAlpha, MatchesTheColourPathOnOneChannel) {
    Bitmap32 src, dst;
    fillRandom(src, 61, 43, 5);
    std::vector<std::uint8_t> plane(61 * 43);
    for (std::size_t i = 0; i < plane.size(); ++i) plane[i] = src.pixels()[i * 4 + 1];
    for (auto method : {ResampleMethod::Lanczos, ResampleMethod::Bicubic, ResampleMethod::Cosine,
                        ResampleMethod::Box}) {
        for (auto [w, h] : {std::pair{20, 15}, std::pair{130, 90}}) {
            ASSERT_TRUE(dst.Create(w, h));
            std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * h, 0);
            ResampleOptions options;
            options.method = method;
            ASSERT_TRUE(Resample(src, dst, options).ok());
            ASSERT_TRUE(ResampleAlpha(plane, 61, 43, out, w, h, options).ok());
            for (std::size_t i = 0; i < out.size(); ++i)
                ASSERT_EQ(out[i], dst.pixels()[i * 4 + 1])
                    << resampleMethodName(method) << " " << w << " at " << i;
        }
    }
}

TEST(ResampleAlpha, RefusesBadSizes) {
    std::vector<std::uint8_t> in(12), out(4);
    EXPECT_EQ(ResampleAlpha(in, 4, 4, out, 2, 2).error(), DecodeError::Corrupt);  // 16 > 12 bytes
    EXPECT_EQ(ResampleAlpha(in, 4, 3, out, 3, 2).error(), DecodeError::Corrupt);  // 6 > 4 bytes
    EXPECT_EQ(ResampleAlpha(in, 0, 3, out, 2, 2).error(), DecodeError::TooLarge);
    EXPECT_EQ(ResampleAlpha(in, 4, 3, out, 2, 40000).error(), DecodeError::TooLarge);
    EXPECT_TRUE(ResampleAlpha(in, 4, 3, out, 2, 2).ok());
}

TEST(Resample, RefusesEmptyOrSharedBitmaps) {
    Bitmap32 a, b;
    ASSERT_TRUE(a.Create(4, 4));
    EXPECT_EQ(Resample(a, b).error(), DecodeError::Corrupt);
    EXPECT_EQ(Resample(b, a).error(), DecodeError::Corrupt);
    EXPECT_EQ(Resample(a, a).error(), DecodeError::Corrupt);
}

struct RecordingProgress final : ProgressSink {
    std::vector<std::pair<std::int64_t, std::int64_t>> calls;
    void Progress(std::int64_t total, std::int64_t done) override {
        calls.emplace_back(total, done);
    }
};

// Stops once the progress sink has heard of `after` rows.
struct StopAfter final : CancelSink {
    const RecordingProgress* progress;
    std::size_t after;
    bool isCancelled() const override { return progress->calls.size() >= after; }
};

TEST(Resample, ReportsEveryRowAndStopsWhenAsked) {
    for (bool averaging : {false, true}) {
        Bitmap32 src, dst;
        fillRandom(src, 40, 60, 9);
        ASSERT_TRUE(dst.Create(20, 30));
        RecordingProgress progress;
        ResampleOptions options;
        options.shrinkAveraging = averaging;
        options.progress = &progress;
        options.threads = 1;
        ASSERT_TRUE(Resample(src, dst, options).ok());
        ASSERT_EQ(progress.calls.size(), 30u);
        for (auto [total, row] : progress.calls) {
            EXPECT_EQ(total, 60);
            EXPECT_LT(row, 60);
        }
        EXPECT_GE(progress.calls.back().second, 57);  // near the bottom when done

        const std::vector<std::uint8_t> full(dst.pixels(), dst.pixels() + dst.byteSize());
        RecordingProgress again;
        StopAfter stop;
        stop.progress = &again;
        stop.after = 5;
        for (std::size_t i = 0; i < dst.byteSize(); ++i) dst.pixels()[i] = 0x77;
        options.progress = &again;
        options.cancel = &stop;
        EXPECT_EQ(Resample(src, dst, options).error(), DecodeError::Cancelled);
        // The five reported rows are finished, nothing after them is touched.
        for (std::size_t i = 0; i < 5 * dst.stride(); ++i) {
            if (i % 4 == 3) continue;
            ASSERT_EQ(dst.pixels()[i], full[i]) << i;
        }
        for (std::int32_t y = 5; y < 30; ++y)
            for (std::size_t i = 0; i < dst.stride(); ++i) ASSERT_EQ(dst.row(y)[i], 0x77) << y;
        EXPECT_EQ(again.calls.size(), 5u);
    }
}

// A stop asked on the calling thread ends the worker bands too.
TEST(Resample, AStopReachesEveryBand) {
    Bitmap32 src, dst;
    fillRandom(src, 800, 600, 13);
    for (bool averaging : {false, true}) {
        ASSERT_TRUE(dst.Create(400, 640));
        RecordingProgress progress;
        StopAfter stop;
        stop.progress = &progress;
        stop.after = 1;
        ResampleOptions options;
        options.shrinkAveraging = averaging;
        options.progress = &progress;
        options.cancel = &stop;
        options.threads = 4;
        EXPECT_EQ(Resample(src, dst, options).error(), DecodeError::Cancelled);
        // How far the other bands got depends on scheduling; that they stopped and were joined
        // is what returning shows.
    }
}

TEST(Resample, MethodNamesInListOrder) {
    const char* expected[] = {"Lanczos", "Bicubic", "Bilinear", "Cosine", "Box"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(resampleMethodName(static_cast<ResampleMethod>(i)), expected[i]);
        EXPECT_EQ(resampleMethodFromIndex(i), static_cast<ResampleMethod>(i));
    }
    EXPECT_EQ(resampleMethodFromName("lanczos"), ResampleMethod::Lanczos);
    EXPECT_EQ(resampleMethodFromName("BOX"), ResampleMethod::Box);
    EXPECT_EQ(resampleMethodFromName("Bicubic"), ResampleMethod::Bicubic);
    EXPECT_FALSE(resampleMethodFromName("gauss"));
    EXPECT_FALSE(resampleMethodFromName("lanczos3"));
    EXPECT_FALSE(resampleMethodFromIndex(5));
    EXPECT_FALSE(resampleMethodFromIndex(-1));
}

// ---- A photo-like picture halved, against the other resizer when it is installed ----

// Gradients, a soft wave, a disc and a bar: the clean scene. The picture adds sensor-like noise.
float scene(int channel, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    if ((x - 300) * (x - 300) + (y - 150) * (y - 150) < 90 * 90 && channel < 2)
        return channel == 0 ? 240.0f : 30.0f;
    if (x > 80 && x < 140 && channel == 2) return 10.0f;
    switch (channel) {
        case 0:
            return static_cast<float>(x) * 255.0f / static_cast<float>(w);
        case 1:
            return static_cast<float>(y) * 255.0f / static_cast<float>(h);
        default:
            return 128.0f + 100.0f * std::sin(static_cast<float>(x) * 0.05f) *
                                std::cos(static_cast<float>(y) * 0.03f);
    }
}

void makePhoto(Bitmap32& b, std::int32_t w, std::int32_t h) {
    ASSERT_TRUE(b.Create(w, h));
    std::mt19937 rng(42);
    std::normal_distribution<float> noise(0.0f, 6.0f);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                b.row(y)[x * 4 + c] = static_cast<std::uint8_t>(
                    std::clamp(scene(c, x, y, w, h) + noise(rng), 0.0f, 255.0f));
}

void writePpm(const Bitmap32& b, const std::filesystem::path& path) {
    std::ofstream f(path, std::ios::binary);
    f << "P6\n" << b.width() << " " << b.height() << "\n255\n";
    for (std::int32_t y = 0; y < b.height(); ++y)
        for (std::int32_t x = 0; x < b.width(); ++x) {
            const std::uint8_t* p = b.row(y) + x * 4;
            const char rgb[3] = {static_cast<char>(p[2]), static_cast<char>(p[1]),
                                 static_cast<char>(p[0])};
            f.write(rgb, 3);
        }
}

std::vector<std::uint8_t> readPpmRgb(const std::filesystem::path& path, std::int32_t w,
                                     std::int32_t h) {
    std::ifstream f(path, std::ios::binary);
    std::string magic;
    int fw = 0, fh = 0, maxval = 0;
    f >> magic >> fw >> fh >> maxval;
    f.get();
    if (magic != "P6" || fw != w || fh != h || maxval != 255) return {};
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
    f.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return f ? rgb : std::vector<std::uint8_t>{};
}

double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    double se = 0;
    for (std::size_t i = 0; i < a.size(); ++i) se += (a[i] - b[i]) * (a[i] - b[i]);
    const double mse = se / static_cast<double>(a.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

TEST(ResampleOracle, HalvedPhotoIsAsGoodAsTheOtherLanczos) {
    if (!test::haveImageMagick()) GTEST_SKIP() << "ImageMagick not installed";
    constexpr std::int32_t w = 600, h = 400;
    Bitmap32 src, dst;
    makePhoto(src, w, h);
    ASSERT_TRUE(dst.Create(w / 2, h / 2));
    ASSERT_TRUE(Resample(src, dst).ok());

    test::TempDir dir;
    writePpm(src, dir / "in.ppm");
    const std::string cmd = "convert '" + (dir / "in.ppm").string() +
                            "' -filter Lanczos -resize 300x200! '" + (dir / "out.ppm").string() +
                            "' 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::vector<std::uint8_t> theirs = readPpmRgb(dir / "out.ppm", w / 2, h / 2);
    ASSERT_FALSE(theirs.empty());

    // Both against the 2 x 2 means of the clean scene: the ideal half-size picture, which a
    // resizer should approach without being paid for keeping the noise.
    std::vector<std::uint8_t> ours, truth;
    for (std::int32_t y = 0; y < h / 2; ++y)
        for (std::int32_t x = 0; x < w / 2; ++x)
            for (int c = 2; c >= 0; --c) {
                ours.push_back(dst.row(y)[x * 4 + c]);
                const float sum = scene(c, 2 * x, 2 * y, w, h) + scene(c, 2 * x + 1, 2 * y, w, h) +
                                  scene(c, 2 * x, 2 * y + 1, w, h) +
                                  scene(c, 2 * x + 1, 2 * y + 1, w, h);
                truth.push_back(static_cast<std::uint8_t>(sum / 4.0f + 0.5f));
            }
    const double oursDb = psnr(ours, truth), theirsDb = psnr(theirs, truth),
                 between = psnr(ours, theirs);
    std::printf("PSNR against the ideal: ours %.2f dB, other %.2f dB; ours against other %.2f dB\n",
                oursDb, theirsDb, between);
    EXPECT_GE(between, 35.0);
    EXPECT_GE(oursDb, theirsDb - 2.0);
}

}  // namespace
}  // namespace kalder::image
