#include "image/row_pipeline.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

#include "image/bitmap32.h"
#include "image/color_space.h"

namespace kalder::image {
namespace {

// Writes finished rows (in source orientation) into the target, rotated and flipped.
class Placer {
public:
    Placer(const PipelineSettings& s, Bitmap32& target, std::int32_t rowsInSource)
        : m_s(s), m_target(target), m_rows(rowsInSource) {}

    // True when a finished row can be written straight into a bitmap row, left to right.
    bool isPlainRow() const {
        return m_s.rotation == 0 && !m_s.flipHorizontal && !m_s.colorTransform && !m_s.gammaTable;
    }
    // The bitmap row a plain row r lands in.
    std::int32_t plainRowIndex(std::int32_t r) const {
        return m_s.flipVertical ? m_target.height() - 1 - r : r;
    }

    // Places row r (0 = top in source orientation, already corrected for bottom-up delivery).
    void place(std::uint8_t* bgrx, std::int32_t r, std::int32_t count) {
        if (m_s.colorTransform)
            m_s.colorTransform->translateRow(bgrx, static_cast<std::size_t>(count));
        if (const std::uint8_t* t = m_s.gammaTable) {
            for (std::int32_t i = 0; i < count; ++i) {
                std::uint8_t* p = bgrx + i * 4;
                p[0] = t[512 + p[0]];
                p[1] = t[256 + p[1]];
                p[2] = t[p[2]];
            }
        }
        const std::int32_t Wt = m_target.width();
        const std::int32_t Ht = m_target.height();
        std::int32_t x0, y0, dx, dy;
        switch (m_s.rotation & 3) {
            case 0:
                x0 = 0;
                y0 = r;
                dx = 1;
                dy = 0;
                break;
            case 1:
                x0 = Wt - 1 - r;
                y0 = 0;
                dx = 0;
                dy = 1;
                break;
            case 2:
                x0 = Wt - 1;
                y0 = Ht - 1 - r;
                dx = -1;
                dy = 0;
                break;
            default:
                x0 = r;
                y0 = Ht - 1;
                dx = 0;
                dy = -1;
                break;
        }
        if (m_s.flipHorizontal) {
            x0 = Wt - 1 - x0;
            dx = -dx;
        }
        if (m_s.flipVertical) {
            y0 = Ht - 1 - y0;
            dy = -dy;
        }
        const bool isRow = dy == 0;
        if (x0 < 0 || y0 < 0 || x0 >= Wt || y0 >= Ht) return;
        const std::int32_t limit = isRow ? Wt : Ht;
        count = std::min(count, limit);
        {
            std::lock_guard lock(m_target.pixelLock());
            std::uint8_t* base = m_target.pixels();
            const std::ptrdiff_t step = (static_cast<std::ptrdiff_t>(dy) * Wt + dx) * 4;
            std::uint8_t* dst = base + (static_cast<std::ptrdiff_t>(y0) * Wt + x0) * 4;
            if (step == 4) {
                std::memcpy(dst, bgrx, static_cast<std::size_t>(count) * 4);
            } else {
                for (std::int32_t i = 0; i < count; ++i, dst += step)
                    std::memcpy(dst, bgrx + i * 4, 4);
            }
        }
        if (isRow) {
            m_target.MarkRowDone(y0);
        } else {
            m_target.MarkColumnDone(x0);
        }
    }

    // Maps the index of a row in delivery order to source orientation.
    std::int32_t fromDelivery(std::int32_t r) const { return m_s.bottomUp ? m_rows - 1 - r : r; }

private:
    const PipelineSettings& m_s;
    Bitmap32& m_target;
    std::int32_t m_rows;
};

// Nearest-neighbour column map: target pixel j takes source pixel trunc(j * w / W), accumulated
// in a double; positions past the end are marked -1 (black).
std::vector<std::int32_t> nearestColumns(std::int32_t w, std::int32_t W) {
    std::vector<std::int32_t> map(static_cast<std::size_t>(W));
    const double step = static_cast<double>(w) / W;
    double x = 0;
    for (std::int32_t j = 0; j < W; ++j, x += step) {
        const auto k = static_cast<std::int64_t>(x);
        map[static_cast<std::size_t>(j)] = k < w ? static_cast<std::int32_t>(k) : -1;
    }
    return map;
}

void sampleNearest(const std::uint8_t* rgb, const std::vector<std::int32_t>& map,
                   std::uint8_t* out) {
    for (std::size_t j = 0; j < map.size(); ++j, out += 4) {
        const std::int32_t k = map[j];
        if (k < 0) {
            out[0] = out[1] = out[2] = out[3] = 0;
            continue;
        }
        const std::uint8_t* p = rgb + static_cast<std::size_t>(k) * 3;
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        out[3] = 0;
    }
}

struct Context {
    const PipelineSettings& s;
    Bitmap32& target;
    const RowSource& source;
    std::int32_t w, h;  // source, source orientation
    std::int32_t W, H;  // target, source orientation
    Placer placer;
};

// A source that already delivers the page's layout writes straight into the rows.
Status runCopyBgrx(Context& c) {
    for (std::int32_t k = 0; k < c.h; ++k) {
        const std::int32_t y = c.placer.plainRowIndex(c.placer.fromDelivery(k));
        {
            std::lock_guard lock(c.target.pixelLock());
            KALDER_TRY(c.source(c.target.row(y), false));
        }
        c.target.MarkRowDone(y);
    }
    return {};
}

Status runCopy(Context& c) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(c.w) * 3);
    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(c.w) * 4);
    const bool plain = c.placer.isPlainRow();
    for (std::int32_t k = 0; k < c.h; ++k) {
        KALDER_TRY(c.source(rgb.data(), false));
        const std::int32_t r = c.placer.fromDelivery(k);
        if (plain) {
            const std::int32_t y = c.placer.plainRowIndex(r);
            {
                std::lock_guard lock(c.target.pixelLock());
                rgbToBgrx(rgb.data(), c.target.row(y), c.w);
            }
            c.target.MarkRowDone(y);
        } else {
            rgbToBgrx(rgb.data(), bgrx.data(), c.w);
            c.placer.place(bgrx.data(), r, c.w);
        }
    }
    return {};
}

Status runNearestEnlarge(Context& c) {
    const auto map = nearestColumns(c.w, c.W);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(c.w) * 3);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(c.W) * 4);
    const double step = static_cast<double>(c.h) / c.H;
    double t = 0;
    std::int64_t have = -1;  // delivered rows so far minus one
    for (std::int32_t i = 0; i < c.H; ++i, t += step) {
        const auto need = static_cast<std::int64_t>(t);
        if (need >= c.h) break;
        while (have < need) {
            KALDER_TRY(c.source(rgb.data(), have + 1 < need));
            ++have;
        }
        sampleNearest(rgb.data(), map, out.data());
        c.placer.place(out.data(), c.placer.fromDelivery(i), c.W);
    }
    return {};
}

Status runBilinearEnlarge(Context& c) {
    const std::size_t rowBytes = static_cast<std::size_t>(c.w) * 3;
    std::vector<std::uint8_t> upper(rowBytes), lower(rowBytes);
    std::vector<std::int32_t> blended(rowBytes);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(c.W) * 4);
    KALDER_TRY(c.source(upper.data(), false));
    KALDER_TRY(c.source(lower.data(), false));
    std::int64_t upperRow = 0;

    // The horizontal positions are the same for every row.
    std::vector<std::int32_t> ks(static_cast<std::size_t>(c.W));
    std::vector<double> fxs(static_cast<std::size_t>(c.W));
    const double sx = static_cast<double>(c.w - 1) / c.W;
    double x = 0;
    for (std::int32_t j = 0; j < c.W; ++j, x += sx) {
        const auto k = std::min<std::int64_t>(static_cast<std::int64_t>(x), c.w - 2);
        ks[static_cast<std::size_t>(j)] = static_cast<std::int32_t>(k);
        fxs[static_cast<std::size_t>(j)] = x - static_cast<double>(k);
    }

    const double sy = static_cast<double>(c.h - 1) / c.H;
    double y = 0;
    for (std::int32_t i = 0; i < c.H; ++i, y += sy) {
        const auto M = static_cast<std::int64_t>(y);
        const double fy = y - static_cast<double>(M);
        if (M > c.h - 2) break;
        while (upperRow < M) {
            std::swap(upper, lower);
            KALDER_TRY(c.source(lower.data(), false));
            ++upperRow;
        }
        for (std::size_t n = 0; n < rowBytes; ++n)
            blended[n] = static_cast<std::int32_t>((1 - fy) * upper[n] + fy * lower[n]);
        std::uint8_t* o = out.data();
        for (std::int32_t j = 0; j < c.W; ++j, o += 4) {
            const std::size_t k = static_cast<std::size_t>(ks[static_cast<std::size_t>(j)]) * 3;
            const double fx = fxs[static_cast<std::size_t>(j)];
            for (int ch = 0; ch < 3; ++ch) {
                const double a = blended[k + ch];
                const double b = blended[k + 3 + ch];
                o[2 - ch] = static_cast<std::uint8_t>((1 - fx) * a + fx * b);
            }
            o[3] = 0;
        }
        c.placer.place(out.data(), c.placer.fromDelivery(i), c.W);
    }
    return {};
}

Status runNearestReduce(Context& c) {
    const auto map = nearestColumns(c.w, c.W);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(c.w) * 3);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(c.W) * 4);
    const double step = static_cast<double>(c.H) / c.h;
    double pos = 0;
    for (std::int32_t r = 0; r < c.h; ++r) {
        const auto R = static_cast<std::int64_t>(pos);
        if (R >= c.H) break;
        const double next = pos + step;
        // Of several source rows on one target row the last wins, so the others need no decoding.
        const bool needed = r == c.h - 1 || static_cast<std::int64_t>(next) != R;
        KALDER_TRY(c.source(rgb.data(), !needed));
        if (needed) {
            sampleNearest(rgb.data(), map, out.data());
            const auto row = static_cast<std::int32_t>(R);
            c.placer.place(out.data(), c.placer.fromDelivery(row), c.W);
        }
        pos = next;
    }
    return {};
}

struct AreaSample {
    std::int32_t column;  // source pixel
    std::int32_t k;       // target pixel it shares with k + 1
    double fx;
};

// Blue, green, red and weight of one target pixel, summed as one.
using Cell = double __attribute__((vector_size(32)));

// One target pixel's four sums plus w times the source pixel. Inlined into its caller, so that it
// takes the caller's vector width.
[[gnu::always_inline]] inline void addWeighted(double* cell, double w, const Cell& value) {
    Cell sum;
    std::memcpy(&sum, cell, sizeof sum);
    sum += Cell{w, w, w, w} * value;
    std::memcpy(cell, &sum, sizeof sum);
}

// Splats one sampled source row into the current (weight 1 - fy) and next (fy) target rows. Each
// lane is multiplied and then added, as four scalar sums would be, so the sums are the same to the
// bit however wide the machine's vectors are.
[[gnu::always_inline]] inline void splatRow(const AreaSample* samples, std::size_t count,
                                            const std::uint8_t* rgb, double fy, double* current,
                                            double* next) {
    const double wTop = 1 - fy;
    for (std::size_t i = 0; i < count; ++i) {
        const AreaSample& s = samples[i];
        const std::uint8_t* p = rgb + static_cast<std::size_t>(s.column) * 3;
        const Cell value = {double(p[2]), double(p[1]), double(p[0]), 1.0};
        const double w00 = wTop * (1 - s.fx), w01 = wTop * s.fx;
        const double w10 = fy * (1 - s.fx), w11 = fy * s.fx;
        double* a = current + static_cast<std::size_t>(s.k) * 4;
        double* b = next + static_cast<std::size_t>(s.k) * 4;
        addWeighted(a, w00, value);
        addWeighted(a + 4, w01, value);
        addWeighted(b, w10, value);
        addWeighted(b + 4, w11, value);
    }
}

// The same sums one double at a time, in the same order, for processors without the wide lanes
// (where the compiler would split the four lanes through memory).
void splatRowNarrow(const AreaSample* samples, std::size_t count, const std::uint8_t* rgb,
                    double fy, double* current, double* next) {
    const double wTop = 1 - fy;
    for (std::size_t i = 0; i < count; ++i) {
        const AreaSample& s = samples[i];
        const std::uint8_t* p = rgb + static_cast<std::size_t>(s.column) * 3;
        const double w00 = wTop * (1 - s.fx), w01 = wTop * s.fx;
        const double w10 = fy * (1 - s.fx), w11 = fy * s.fx;
        double* a = current + static_cast<std::size_t>(s.k) * 4;
        double* b = next + static_cast<std::size_t>(s.k) * 4;
        const double blue = p[2], green = p[1], red = p[0];
        a[0] += w00 * blue;
        a[1] += w00 * green;
        a[2] += w00 * red;
        a[3] += w00;
        a[4] += w01 * blue;
        a[5] += w01 * green;
        a[6] += w01 * red;
        a[7] += w01;
        b[0] += w10 * blue;
        b[1] += w10 * green;
        b[2] += w10 * red;
        b[3] += w10;
        b[4] += w11 * blue;
        b[5] += w11 * green;
        b[6] += w11 * red;
        b[7] += w11;
    }
}

#if defined(__x86_64__) || defined(__i386__)
// Four lanes at once where the processor has them; not fused multiply-add, which rounds once
// where the narrow path rounds twice.
__attribute__((target("avx"))) void splatRowWide(const AreaSample* samples, std::size_t count,
                                                 const std::uint8_t* rgb, double fy,
                                                 double* current, double* next) {
    splatRow(samples, count, rgb, fy, current, next);
}

bool processorHasWideSplat() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
}
#else
constexpr auto splatRowWide = splatRowNarrow;
bool processorHasWideSplat() { return false; }
#endif

std::atomic<bool>& wideSplat() {
    static std::atomic<bool> on{processorHasWideSplat()};
    return on;
}

// Area-weighted reduce: each sampled source pixel is splatted with bilinear weights into the
// current and next target rows; a target row is final once the samples move past it.
Status runAreaReduce(Context& c) {
    std::vector<AreaSample> samples;
    {
        const double cx = static_cast<double>(c.W - 1) / c.w;
        const bool sparse = cx < 0.25;
        const double sourceStep = sparse ? 0.25 / cx : 1.0;
        const double targetStep = sparse ? 0.25 : cx;
        double xs = 0, xt = 0;
        while (xs < c.w) {
            const auto k = static_cast<std::int64_t>(xt);
            if (k >= c.W) break;
            samples.push_back({static_cast<std::int32_t>(xs), static_cast<std::int32_t>(k),
                               xt - static_cast<double>(k)});
            xs += sourceStep;
            xt += targetStep;
        }
    }

    const std::size_t cells = static_cast<std::size_t>(c.W + 1) * 4;  // B, G, R, weight
    std::vector<double> current(cells, 0.0), next(cells, 0.0);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(c.w) * 3);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(c.W) * 4);

    auto writeRow = [&](std::int64_t R) {
        std::uint8_t* o = out.data();
        for (std::int32_t j = 0; j < c.W; ++j, o += 4) {
            const double* a = &current[static_cast<std::size_t>(j) * 4];
            if (a[3] > 0) {
                o[0] = static_cast<std::uint8_t>(a[0] / a[3]);
                o[1] = static_cast<std::uint8_t>(a[1] / a[3]);
                o[2] = static_cast<std::uint8_t>(a[2] / a[3]);
            } else {
                o[0] = o[1] = o[2] = 0;
            }
            o[3] = 0;
        }
        const auto row = static_cast<std::int32_t>(R);
        c.placer.place(out.data(), c.placer.fromDelivery(row), c.W);
    };

    const double cy = static_cast<double>(c.H) / c.h;
    const bool sparse = cy < 0.25;
    const double sourceStep = sparse ? 0.25 / cy : 1.0;
    const double targetStep = sparse ? 0.25 : cy;
    double ys = 0, yt = 0;
    std::int64_t delivered = 0;  // rows pulled from the source
    std::int64_t previous = -1;  // target row of the last sample
    for (;;) {
        if (ys >= c.h) break;
        const auto sourceRow = static_cast<std::int64_t>(ys);
        const auto R = static_cast<std::int64_t>(yt);
        if (R != previous) {
            if (previous >= 0) {
                writeRow(previous);
                std::swap(current, next);
                std::fill(next.begin(), next.end(), 0.0);
            }
            previous = R;
        }
        if (R >= c.H) {
            previous = -1;  // already written
            break;
        }
        while (delivered <= sourceRow) {
            KALDER_TRY(c.source(rgb.data(), delivered < sourceRow));
            ++delivered;
        }
        const double fy = yt - static_cast<double>(R);
        (wideSplat().load(std::memory_order_relaxed) ? splatRowWide : splatRowNarrow)(
            samples.data(), samples.size(), rgb.data(), fy, current.data(), next.data());
        ys += sourceStep;
        yt += targetStep;
    }
    if (previous >= 0 && previous < c.H) writeRow(previous);
    return {};
}

}  // namespace

bool useWideSplat(bool wide) {
    const bool on = wide && processorHasWideSplat();
    wideSplat().store(on);
    return on;
}

ScalingPath chooseScalingPath(const PipelineSettings& s, std::int32_t W, std::int32_t H) {
    const std::int32_t w = s.sourceWidth, h = s.sourceHeight;
    if (W == w && H == h) return ScalingPath::Copy;
    if (W >= w) {
        const bool smooth = s.smoothEnlarge && w >= s.smoothEnlargeMinSize &&
                            h >= s.smoothEnlargeMinSize && w >= 2 && h >= 2;
        return smooth ? ScalingPath::BilinearEnlarge : ScalingPath::NearestEnlarge;
    }
    return s.smoothShrink && w >= 2 && h >= 2 ? ScalingPath::AreaReduce
                                              : ScalingPath::NearestReduce;
}

Status runRowPipeline(const PipelineSettings& s, Bitmap32& target, const RowSource& source) {
    if (target.isEmpty() || s.sourceWidth <= 0 || s.sourceHeight <= 0) return DecodeError::Corrupt;
    const bool quarter = (s.rotation & 1) != 0;
    const std::int32_t W = quarter ? target.height() : target.width();
    const std::int32_t H = quarter ? target.width() : target.height();
    const ScalingPath path = chooseScalingPath(s, W, H);
    if (s.sourceBgrx) {
        Placer placer(s, target, H);
        if (path == ScalingPath::Copy && placer.isPlainRow()) {
            Context c{s, target, source, s.sourceWidth, s.sourceHeight, W, H, placer};
            return runCopyBgrx(c);
        }
        // Every other path works on red, green, blue rows.
        std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(s.sourceWidth) * 4);
        const RowSource rgbSource = [&](std::uint8_t* rgb, bool skip) -> Status {
            KALDER_TRY(source(bgrx.data(), skip));
            bgrxToRgb(bgrx.data(), rgb, s.sourceWidth);
            return {};
        };
        PipelineSettings rgbSettings = s;
        rgbSettings.sourceBgrx = false;
        return runRowPipeline(rgbSettings, target, rgbSource);
    }
    Context c{s, target, source, s.sourceWidth, s.sourceHeight, W, H, Placer(s, target, H)};
    switch (path) {
        case ScalingPath::Copy:
            return runCopy(c);
        case ScalingPath::NearestEnlarge:
            return runNearestEnlarge(c);
        case ScalingPath::BilinearEnlarge:
            return runBilinearEnlarge(c);
        case ScalingPath::NearestReduce:
            return runNearestReduce(c);
        case ScalingPath::AreaReduce:
            return runAreaReduce(c);
    }
    return {};
}

}  // namespace kalder::image
