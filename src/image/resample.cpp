#include "image/resample.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "base/strings.h"
#include "base/thread_pool.h"
#include "image/bitmap32.h"
#include "image/checked.h"
#include "image/resample_kernels_p.h"
#include "image/sinks.h"

namespace kalder::image {
namespace {

using namespace resample_detail;

typedef float V4 __attribute__((vector_size(16)));
typedef std::int32_t I4 __attribute__((vector_size(16)));
typedef std::uint8_t U4 __attribute__((vector_size(4)));

// Weighted sums of equal values come out a few ulps below the value (200 * w0 + 200 * w1 with
// w0 + w1 = 1 may give 199.99998); truncation would then lose a whole level on flat areas.
constexpr float kTruncationGuard = 1.0f / 512.0f;

// Below this many source pixels a second thread costs more than it saves.
constexpr std::int64_t kMinPixelsForThreads = 1 << 18;
constexpr std::int32_t kMinBandRows = 16;

// Blue, green, red, unused: one four-float vector per pixel, of which three lanes are written.
struct Bgrx {
    using Px = V4;
    static constexpr std::size_t kBytes = 4;
    static Px load(const std::uint8_t* p) {
        U4 b;
        std::memcpy(&b, p, 4);
        return __builtin_convertvector(b, V4);
    }
    static Px clamp(Px v) {
        const V4 zero = {0, 0, 0, 0};
        const V4 top = {255, 255, 255, 255};
        v = v < zero ? zero : v;
        return v > top ? top : v;
    }
    static void store(std::uint8_t* p, Px v) {
        const I4 i = __builtin_convertvector(clamp(v + kTruncationGuard), I4);
        p[0] = static_cast<std::uint8_t>(i[0]);
        p[1] = static_cast<std::uint8_t>(i[1]);
        p[2] = static_cast<std::uint8_t>(i[2]);
    }
};

// One opacity byte per pixel.
struct Opacity {
    using Px = float;
    static constexpr std::size_t kBytes = 1;
    static Px load(const std::uint8_t* p) { return static_cast<float>(*p); }
    static Px clamp(Px v) { return std::min(255.0f, std::max(0.0f, v)); }
    static void store(std::uint8_t* p, Px v) {
        *p = static_cast<std::uint8_t>(clamp(v + kTruncationGuard));
    }
};

struct Job {
    const std::uint8_t* in = nullptr;
    std::int32_t inWidth = 0;
    std::int32_t inHeight = 0;
    std::uint8_t* out = nullptr;
    std::int32_t outWidth = 0;
    std::int32_t outHeight = 0;
    ResampleMethod method = ResampleMethod::Box;
    bool shrink = false;
    bool clampSamples = false;
    AxisPlan xPlan;
    AxisPlan yPlan;
};

// Shared between the bands. Only the calling thread talks to the caller's sinks; workers see a
// stop flag.
class Coordinator {
public:
    Coordinator(std::int32_t sourceHeight, ProgressSink* progress, const CancelSink* cancel)
        : m_sourceHeight(sourceHeight), m_progress(progress), m_cancel(cancel) {}

    bool stopped() const { return m_stop.load(std::memory_order_relaxed); }
    void fail() {
        m_failed.store(true);
        m_stop.store(true);
    }
    bool failed() const { return m_failed.load(); }

    void rowDone(std::int32_t sourceRow) {
        m_sourceRow.store(sourceRow, std::memory_order_relaxed);
        bump();
    }
    void workerExited() {
        m_exited.fetch_add(1);
        bump();
    }

    // Calling thread only: report, then poll for a stop.
    void poll() {
        if (m_progress)
            m_progress->Progress(m_sourceHeight, m_sourceRow.load(std::memory_order_relaxed));
        if (m_cancel && m_cancel->isCancelled()) m_stop.store(true);
    }

    // Calling thread only: keep reporting until `helpers` workers have left.
    void waitForHelpers(int helpers) {
        for (;;) {
            const std::int64_t seen = m_events.load();
            if (m_exited.load() >= helpers) return;
            poll();
            m_events.wait(seen);
        }
    }

private:
    void bump() {
        m_events.fetch_add(1);
        m_events.notify_all();
    }

    std::int32_t m_sourceHeight;
    ProgressSink* m_progress;
    const CancelSink* m_cancel;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_failed{false};
    std::atomic<std::int32_t> m_sourceRow{0};
    std::atomic<int> m_exited{0};
    std::atomic<std::int64_t> m_events{0};
};

// One band of destination rows with its own scratch rows. Taps is 4 for the 4 x 4 kernels and 2
// for the blends. Source rows are converted to floats once, padded with one zero pixel on the
// left and two on the right so every tap of every sample can be read without a bounds test.
template <typename Traits, int Taps>
class BandWorker {
public:
    using Px = typename Traits::Px;
    static constexpr int kLead = Taps == 4 ? 1 : 0;

    BandWorker(const Job& job, Coordinator& coordinator, bool coordinating)
        : m_job(job), m_co(coordinator), m_coordinating(coordinating) {
        const std::size_t padded = static_cast<std::size_t>(job.inWidth) + 3;
        for (auto& row : m_ring) row.assign(padded, Px{});
        m_vertical.assign(padded, Px{});
        if (job.shrink) {
            const std::size_t cells = static_cast<std::size_t>(job.outWidth) + 1;
            m_splat.assign(cells, Px{});
            m_acc0.assign(cells, Px{});
            m_acc1.assign(cells, Px{});
        }
    }

    void run(std::int32_t firstRow, std::int32_t endRow) {
        if (m_job.shrink)
            runShrink(firstRow, endRow);
        else
            runDirect(firstRow, endRow);
    }

private:
    const Px* sourceRow(std::int32_t y) {
        const std::size_t slot = static_cast<std::size_t>(y) & 3;
        Px* row = m_ring[slot].data();
        if (m_ringRow[slot] != y) {
            const std::uint8_t* p =
                m_job.in + static_cast<std::size_t>(y) * m_job.inWidth * Traits::kBytes;
            for (std::int32_t x = 0; x < m_job.inWidth; ++x, p += Traits::kBytes)
                row[x + 1] = Traits::load(p);
            m_ringRow[slot] = y;
        }
        return row;
    }

    // Vertical pass: m_vertical = sum over the rows of the sample of weight * row. Rows outside
    // the source contribute nothing here; their share goes to the centre pixel in sampleAt.
    void combineRows(const AxisSample& ys) {
        const Px* rows[Taps];
        float w[Taps];
        const Px* centre = sourceRow(ys.centre);
        for (int j = 0; j < Taps; ++j) {
            const std::int32_t y = ys.centre - kLead + j;
            const bool inside = y >= 0 && y < m_job.inHeight;
            rows[j] = inside ? sourceRow(y) : centre;
            w[j] = inside ? ys.weights[j] : 0.0f;
        }
        m_centreRow = centre;
        Px* v = m_vertical.data();
        const std::size_t n = m_vertical.size();
        if constexpr (Taps == 4) {
            const Px *r0 = rows[0], *r1 = rows[1], *r2 = rows[2], *r3 = rows[3];
            for (std::size_t x = 0; x < n; ++x)
                v[x] = r0[x] * w[0] + r1[x] * w[1] + r2[x] * w[2] + r3[x] * w[3];
        } else {
            const Px *r0 = rows[0], *r1 = rows[1];
            for (std::size_t x = 0; x < n; ++x) v[x] = r0[x] * w[0] + r1[x] * w[1];
        }
    }

    // Horizontal pass for one sample of the row combined last.
    Px sampleAt(const AxisSample& xs, const AxisSample& ys, bool rowEdge) const {
        const Px* t = m_vertical.data() + (xs.centre + 1 - kLead);
        Px v;
        if constexpr (Taps == 4)
            v = t[0] * xs.weights[0] + t[1] * xs.weights[1] + t[2] * xs.weights[2] +
                t[3] * xs.weights[3];
        else
            v = t[0] * xs.weights[0] + t[1] * xs.weights[1];
        if (rowEdge || xs.edge())
            v += m_centreRow[xs.centre + 1] * (xs.total * ys.total - xs.inside * ys.inside);
        if (m_job.clampSamples) v = Traits::clamp(v);
        return v;
    }

    void rowFinished(std::int32_t sourceRow) {
        m_co.rowDone(sourceRow);
        if (m_coordinating) m_co.poll();
    }

    void runDirect(std::int32_t firstRow, std::int32_t endRow) {
        const auto& xs = m_job.xPlan.samples;
        const auto& ys = m_job.yPlan.samples;
        endRow = std::min<std::int32_t>(endRow, static_cast<std::int32_t>(ys.size()));
        const std::size_t rowBytes = static_cast<std::size_t>(m_job.outWidth) * Traits::kBytes;
        for (std::int32_t q = firstRow; q < endRow; ++q) {
            if (m_co.stopped()) return;
            const AxisSample& y = ys[static_cast<std::size_t>(q)];
            combineRows(y);
            const bool rowEdge = y.edge();
            std::uint8_t* out = m_job.out + rowBytes * static_cast<std::size_t>(q);
            for (std::size_t k = 0; k < xs.size(); ++k, out += Traits::kBytes)
                Traits::store(out, sampleAt(xs[k], y, rowEdge));
            rowFinished(y.centre);
        }
    }

    // Each destination row gathers the samples whose landing row is it or the row above. A band
    // starts at the samples landing on the row above its first row and discards that row, so every
    // row it writes sees the same samples in the same order as in a single band.
    void runShrink(std::int32_t firstRow, std::int32_t endRow) {
        const auto& xs = m_job.xPlan.samples;
        const auto& xSplats = m_job.xPlan.splats;
        const auto& ys = m_job.yPlan.samples;
        const auto& ySplats = m_job.yPlan.splats;
        const auto byCell = [](const Splat& s, std::int32_t cell) { return s.cell < cell; };
        const auto begin = static_cast<std::size_t>(
            std::lower_bound(ySplats.begin(), ySplats.end(), firstRow - 1, byCell) -
            ySplats.begin());
        const auto end = static_cast<std::size_t>(
            std::lower_bound(ySplats.begin(), ySplats.end(), endRow, byCell) - ySplats.begin());
        if (begin >= end) return;

        Px* splat = m_splat.data();
        const std::size_t cells = m_splat.size();
        std::int32_t current = ySplats[begin].cell;
        float weight0 = 0;
        float weight1 = 0;
        for (std::size_t l = begin; l < end; ++l) {
            if (m_co.stopped()) return;
            const AxisSample& y = ys[l];
            while (ySplats[l].cell > current) {
                finishRow(current, m_acc0, weight0, firstRow, endRow, y.centre);
                std::swap(m_acc0, m_acc1);
                std::fill(m_acc1.begin(), m_acc1.end(), Px{});
                weight0 = weight1;
                weight1 = 0;
                ++current;
            }
            combineRows(y);
            const bool rowEdge = y.edge();
            for (std::size_t k = 0; k < xs.size(); ++k) {
                const Px v = sampleAt(xs[k], y, rowEdge);
                const Splat& s = xSplats[k];
                splat[s.cell] += v * (1.0f - s.frac);
                splat[s.cell + 1] += v * s.frac;
            }
            const float below = ySplats[l].frac;
            const float here = 1.0f - below;
            Px* acc0 = m_acc0.data();
            Px* acc1 = m_acc1.data();
            for (std::size_t x = 0; x < cells; ++x) {
                acc0[x] += splat[x] * here;
                acc1[x] += splat[x] * below;
                splat[x] = Px{};
            }
            weight0 += here;
            weight1 += below;
        }
        const std::int32_t lastSource = ys[end - 1].centre;
        finishRow(current, m_acc0, weight0, firstRow, endRow, lastSource);
        // Normally the last sample lands on the last row; should rounding leave it just above,
        // the row below still holds its share and is written too.
        if (weight1 > 0) finishRow(current + 1, m_acc1, weight1, firstRow, endRow, lastSource);
    }

    void finishRow(std::int32_t q, const std::vector<Px>& acc, float weight, std::int32_t firstRow,
                   std::int32_t endRow, std::int32_t sourceRow) {
        if (q < firstRow || q >= endRow || q >= m_job.outHeight || !(weight > 0)) return;
        const float* coverage = m_job.xPlan.coverage.data();
        std::uint8_t* out =
            m_job.out + static_cast<std::size_t>(q) * m_job.outWidth * Traits::kBytes;
        for (std::int32_t x = 0; x < m_job.outWidth; ++x, out += Traits::kBytes) {
            const float total = weight * coverage[x];
            if (total > 0) Traits::store(out, acc[static_cast<std::size_t>(x)] / total);
        }
        rowFinished(sourceRow);
    }

    const Job& m_job;
    Coordinator& m_co;
    bool m_coordinating;
    std::vector<Px> m_ring[4];
    std::int32_t m_ringRow[4] = {-1, -1, -1, -1};
    std::vector<Px> m_vertical;
    const Px* m_centreRow = nullptr;
    std::vector<Px> m_splat;
    std::vector<Px> m_acc0;
    std::vector<Px> m_acc1;
};

// Box never averages: each destination pixel is the source pixel at its position, copied.
template <typename Traits>
void runBox(const Job& job, Coordinator& co, bool coordinating, std::int32_t firstRow,
            std::int32_t endRow) {
    const auto& xs = job.xPlan.samples;
    const auto& ys = job.yPlan.samples;
    endRow = std::min<std::int32_t>(endRow, static_cast<std::int32_t>(ys.size()));
    constexpr std::size_t kCopy = Traits::kBytes == 4 ? 3 : 1;
    for (std::int32_t q = firstRow; q < endRow; ++q) {
        if (co.stopped()) return;
        const std::int32_t y = ys[static_cast<std::size_t>(q)].centre;
        const std::uint8_t* in =
            job.in + static_cast<std::size_t>(y) * job.inWidth * Traits::kBytes;
        std::uint8_t* out = job.out + static_cast<std::size_t>(q) * job.outWidth * Traits::kBytes;
        for (std::size_t k = 0; k < xs.size(); ++k)
            std::memcpy(out + k * Traits::kBytes,
                        in + static_cast<std::size_t>(xs[k].centre) * Traits::kBytes, kCopy);
        co.rowDone(y);
        if (coordinating) co.poll();
    }
}

template <typename Traits>
void runBand(const Job& job, Coordinator& co, bool coordinating, std::int32_t firstRow,
             std::int32_t endRow) {
    try {
        switch (tapCount(job.method)) {
            case 4:
                BandWorker<Traits, 4>(job, co, coordinating).run(firstRow, endRow);
                break;
            case 2:
                BandWorker<Traits, 2>(job, co, coordinating).run(firstRow, endRow);
                break;
            default:
                runBox<Traits>(job, co, coordinating, firstRow, endRow);
                break;
        }
    } catch (const std::bad_alloc&) {
        co.fail();
    }
}

int bandCount(const Job& job, int requested) {
    if (requested <= 0) requested = static_cast<int>(base::ThreadPool::shared().size());
    const std::int64_t pixels = static_cast<std::int64_t>(job.inWidth) * job.inHeight +
                                static_cast<std::int64_t>(job.outWidth) * job.outHeight;
    if (pixels < kMinPixelsForThreads) return 1;
    return std::max(1, std::min(requested, job.outHeight / kMinBandRows));
}

template <typename Traits>
Status runJob(Job& job, const ResampleOptions& options) {
    try {
        job.method = options.method;
        job.shrink = options.shrinkAveraging && options.method != ResampleMethod::Box &&
                     (job.outWidth < job.inWidth || job.outHeight < job.inHeight);
        job.clampSamples =
            options.method == ResampleMethod::Lanczos || options.method == ResampleMethod::Bicubic;
        if (job.shrink) {
            job.xPlan = shrinkPlan(job.method, job.inWidth, job.outWidth);
            job.yPlan = shrinkPlan(job.method, job.inHeight, job.outHeight);
        } else {
            job.xPlan = directPlan(job.method, job.inWidth, job.outWidth);
            job.yPlan = directPlan(job.method, job.inHeight, job.outHeight);
        }
    } catch (const std::bad_alloc&) {
        return DecodeError::OutOfMemory;
    }

    Coordinator co(job.inHeight, options.progress, options.cancel);
    const int bands = bandCount(job, options.threads);
    const auto bandStart = [&](int b) {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(job.outHeight) * b / bands);
    };
    // Bands are claimed one at a time by whoever is free, the calling thread included, so the
    // call finishes even when every worker of the pool is busy (or is the caller itself).
    std::atomic<int> nextBand{1};
    const auto claimBands = [&](bool coordinating) {
        for (int b; (b = nextBand.fetch_add(1)) < bands;)
            runBand<Traits>(job, co, coordinating, bandStart(b), bandStart(b + 1));
    };
    base::TaskGroup helpers;
    int posted = 0;
    for (int b = 1; b < bands; ++b, ++posted)
        helpers.post([&] {
            claimBands(false);
            co.workerExited();
        });
    runBand<Traits>(job, co, true, bandStart(0), bandStart(1));
    claimBands(true);
    co.waitForHelpers(posted - static_cast<int>(helpers.discardQueued()));
    if (co.failed()) return DecodeError::OutOfMemory;
    if (co.stopped()) return DecodeError::Cancelled;
    return {};
}

}  // namespace

std::string_view resampleMethodName(ResampleMethod method) {
    const auto i = static_cast<std::size_t>(method);
    return i < kResampleMethodNames.size() ? kResampleMethodNames[i] : std::string_view{};
}

std::optional<ResampleMethod> resampleMethodFromName(std::string_view name) {
    for (std::size_t i = 0; i < kResampleMethodNames.size(); ++i)
        if (base::equalsIgnoringCase(name, kResampleMethodNames[i]))
            return static_cast<ResampleMethod>(i);
    return std::nullopt;
}

std::optional<ResampleMethod> resampleMethodFromIndex(int index) {
    if (index < 0 || index >= static_cast<int>(kResampleMethodNames.size())) return std::nullopt;
    return static_cast<ResampleMethod>(index);
}

Status Resample(const Bitmap32& source, Bitmap32& destination, const ResampleOptions& options) {
    if (&source == &destination || source.isEmpty() || destination.isEmpty())
        return DecodeError::Corrupt;
    if (!resampleMethodFromIndex(static_cast<int>(options.method))) return DecodeError::Unsupported;
    std::scoped_lock lock(source.pixelLock(), destination.pixelLock());
    Job job;
    job.in = source.pixels();
    job.inWidth = source.width();
    job.inHeight = source.height();
    job.out = destination.pixels();
    job.outWidth = destination.width();
    job.outHeight = destination.height();
    return runJob<Bgrx>(job, options);
}

Status ResampleAlpha(std::span<const std::uint8_t> source, std::int32_t sourceWidth,
                     std::int32_t sourceHeight, std::span<std::uint8_t> destination,
                     std::int32_t width, std::int32_t height, const ResampleOptions& options) {
    if (!validImageSide(sourceWidth) || !validImageSide(sourceHeight) || !validImageSide(width) ||
        !validImageSide(height))
        return DecodeError::TooLarge;
    const auto inBytes =
        checkedMul(static_cast<std::size_t>(sourceWidth), static_cast<std::size_t>(sourceHeight));
    const auto outBytes =
        checkedMul(static_cast<std::size_t>(width), static_cast<std::size_t>(height));
    if (!inBytes || !outBytes || source.size() < *inBytes || destination.size() < *outBytes)
        return DecodeError::Corrupt;
    if (!resampleMethodFromIndex(static_cast<int>(options.method))) return DecodeError::Unsupported;
    Job job;
    job.in = source.data();
    job.inWidth = sourceWidth;
    job.inHeight = sourceHeight;
    job.out = destination.data();
    job.outWidth = width;
    job.outHeight = height;
    return runJob<Opacity>(job, options);
}

}  // namespace kalder::image
