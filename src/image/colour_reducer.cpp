#include "image/colour_reducer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "base/strings.h"
#include "image/bitmap32.h"
#include "image/checked.h"
#include "image/colour_palettes_p.h"
#include "image/sinks.h"
#include "image/writers/image_writer.h"

namespace kalder::image {
namespace {

using palettes::PaletteTable;

template <typename Enum>
std::optional<Enum> lookUp(const std::array<std::string_view, 5>& names, std::string_view name) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (base::equalsIgnoringCase(name, names[i])) return static_cast<Enum>(i);
    return std::nullopt;
}

// Squared channel differences, indexed by difference + 255.
struct SquareTable {
    std::int32_t sq[511];
    constexpr SquareTable() : sq{} {
        for (int d = -255; d <= 255; ++d) sq[d + 255] = d * d;
    }
    std::int32_t operator()(int d) const { return sq[d + 255]; }
};
constexpr SquareTable kSquare;

// Nearest palette colour by summed squared differences, lowest index on a tie, one index
// (the reserved transparent one) left out. Entries are kept sorted by green so the search can
// stop once the green distance alone exceeds the best match; a small cache keeps repeated
// colours cheap.
class NearestColour {
public:
    NearestColour(const PaletteTable& palette, int count, int excluded) {
        for (int i = 0; i < count; ++i) {
            if (i == excluded) continue;
            m_entries.push_back({palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2], i});
        }
        std::stable_sort(m_entries.begin(), m_entries.end(),
                         [](const Entry& a, const Entry& b) { return a.g < b.g; });
        m_cacheKey.assign(kCacheSize, 0);
        m_cacheValue.assign(kCacheSize, 0);
    }

    int find(int r, int g, int b) {
        if (m_entries.empty()) return 0;
        const std::uint32_t key =
            (static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 |
             static_cast<std::uint32_t>(b)) +
            1;
        const std::size_t slot = (key * 2654435761u >> 20) & (kCacheSize - 1);
        if (m_cacheKey[slot] == key) return m_cacheValue[slot];
        const int found = search(r, g, b);
        m_cacheKey[slot] = key;
        m_cacheValue[slot] = static_cast<std::uint8_t>(found);
        return found;
    }

private:
    struct Entry {
        int r, g, b, index;
    };
    static constexpr std::size_t kCacheSize = 4096;

    int search(int r, int g, int b) const {
        const auto start = std::lower_bound(m_entries.begin(), m_entries.end(), g,
                                            [](const Entry& e, int v) { return e.g < v; }) -
                           m_entries.begin();
        std::int32_t best = INT32_MAX;
        int bestIndex = 0;
        const auto consider = [&](const Entry& e) {
            const std::int32_t d = kSquare(e.r - r) + kSquare(e.g - g) + kSquare(e.b - b);
            if (d < best || (d == best && e.index < bestIndex)) {
                best = d;
                bestIndex = e.index;
            }
        };
        const auto n = static_cast<std::ptrdiff_t>(m_entries.size());
        for (std::ptrdiff_t i = start; i < n && kSquare(m_entries[i].g - g) <= best; ++i)
            consider(m_entries[i]);
        for (std::ptrdiff_t i = start - 1; i >= 0 && kSquare(m_entries[i].g - g) <= best; --i)
            consider(m_entries[i]);
        return bestIndex;
    }

    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_cacheKey;
    std::vector<std::uint8_t> m_cacheValue;
};

// Wu's quantizer: colour moments over a 33 x 33 x 33 table of 5-bit cells (index 0 of each axis
// is a zero border so box sums need no special case), boxes split where the variance drops most.
class WuQuantizer {
public:
    static constexpr int kSide = 33;

    WuQuantizer()
        : m_w(kCells, 0), m_r(kCells, 0), m_g(kCells, 0), m_b(kCells, 0), m_m2(kCells, 0.0) {}

    void add(int r, int g, int b) {
        const std::size_t i = cell((r >> 3) + 1, (g >> 3) + 1, (b >> 3) + 1);
        m_w[i] += 1;
        m_r[i] += r;
        m_g[i] += g;
        m_b[i] += b;
        m_m2[i] += static_cast<double>(r * r + g * g + b * b);
    }

    // Up to `colours` entries into palette; cellIndex gets the entry of every 5-bit cell.
    int build(int colours, PaletteTable& palette, std::vector<std::uint8_t>& cellIndex) {
        cumulate();
        std::vector<Box> boxes(static_cast<std::size_t>(colours));
        std::vector<double> spread(static_cast<std::size_t>(colours), 0.0);
        boxes[0] = Box{{0, 0, 0}, {32, 32, 32}};
        int count = colours;
        int next = 0;
        for (int i = 1; i < colours; ++i) {
            if (cut(boxes[static_cast<std::size_t>(next)], boxes[static_cast<std::size_t>(i)])) {
                spread[static_cast<std::size_t>(next)] =
                    cellsOf(boxes[static_cast<std::size_t>(next)]) > 1
                        ? variance(boxes[static_cast<std::size_t>(next)])
                        : 0.0;
                spread[static_cast<std::size_t>(i)] =
                    cellsOf(boxes[static_cast<std::size_t>(i)]) > 1
                        ? variance(boxes[static_cast<std::size_t>(i)])
                        : 0.0;
            } else {
                spread[static_cast<std::size_t>(next)] =
                    0.0;  // cannot be split: never pick it again
                --i;
            }
            next = 0;
            double widest = spread[0];
            for (int k = 1; k <= i; ++k) {
                if (spread[static_cast<std::size_t>(k)] > widest) {
                    widest = spread[static_cast<std::size_t>(k)];
                    next = k;
                }
            }
            if (widest <= 0.0) {
                count = i + 1;
                break;
            }
        }
        if (colours < 1) count = 0;
        cellIndex.assign(32 * 32 * 32, 0);
        for (int k = 0; k < count; ++k) {
            const Box& box = boxes[static_cast<std::size_t>(k)];
            const std::int64_t w = sum(box, m_w);
            if (w > 0) {
                palette[static_cast<std::size_t>(k) * 3] =
                    static_cast<std::uint8_t>((sum(box, m_r) + w / 2) / w);
                palette[static_cast<std::size_t>(k) * 3 + 1] =
                    static_cast<std::uint8_t>((sum(box, m_g) + w / 2) / w);
                palette[static_cast<std::size_t>(k) * 3 + 2] =
                    static_cast<std::uint8_t>((sum(box, m_b) + w / 2) / w);
            }
            for (int r = box.lo[0] + 1; r <= box.hi[0]; ++r)
                for (int g = box.lo[1] + 1; g <= box.hi[1]; ++g)
                    for (int b = box.lo[2] + 1; b <= box.hi[2]; ++b)
                        cellIndex[static_cast<std::size_t>(((r - 1) << 10) | ((g - 1) << 5) |
                                                           (b - 1))] = static_cast<std::uint8_t>(k);
        }
        return count;
    }

private:
    static constexpr std::size_t kCells = static_cast<std::size_t>(kSide) * kSide * kSide;
    // Lower bounds exclusive, upper inclusive, per axis red, green, blue.
    struct Box {
        int lo[3];
        int hi[3];
    };
    struct Moments {
        std::int64_t w, r, g, b;
    };

    static std::size_t cell(int r, int g, int b) {
        return (static_cast<std::size_t>(r) * kSide + g) * kSide + b;
    }
    static int cellsOf(const Box& box) {
        return (box.hi[0] - box.lo[0]) * (box.hi[1] - box.lo[1]) * (box.hi[2] - box.lo[2]);
    }

    // Turns every table into sums over the cells at or below each index on all three axes.
    void cumulate() {
        const auto prefix = [](auto& m) {
            for (int r = 1; r < kSide; ++r)
                for (int g = 1; g < kSide; ++g)
                    for (int b = 1; b < kSide; ++b) m[cell(r, g, b)] += m[cell(r, g, b - 1)];
            for (int r = 1; r < kSide; ++r)
                for (int g = 1; g < kSide; ++g)
                    for (int b = 1; b < kSide; ++b) m[cell(r, g, b)] += m[cell(r, g - 1, b)];
            for (int r = 1; r < kSide; ++r)
                for (int g = 1; g < kSide; ++g)
                    for (int b = 1; b < kSide; ++b) m[cell(r, g, b)] += m[cell(r - 1, g, b)];
        };
        prefix(m_w);
        prefix(m_r);
        prefix(m_g);
        prefix(m_b);
        prefix(m_m2);
    }

    template <typename T>
    static T sum(const Box& x, const std::vector<T>& m) {
        return m[cell(x.hi[0], x.hi[1], x.hi[2])] - m[cell(x.hi[0], x.hi[1], x.lo[2])] -
               m[cell(x.hi[0], x.lo[1], x.hi[2])] + m[cell(x.hi[0], x.lo[1], x.lo[2])] -
               m[cell(x.lo[0], x.hi[1], x.hi[2])] + m[cell(x.lo[0], x.hi[1], x.lo[2])] +
               m[cell(x.lo[0], x.lo[1], x.hi[2])] - m[cell(x.lo[0], x.lo[1], x.lo[2])];
    }

    Moments moments(const Box& box) const {
        return {sum(box, m_w), sum(box, m_r), sum(box, m_g), sum(box, m_b)};
    }

    double variance(const Box& box) const {
        const Moments m = moments(box);
        const double r = static_cast<double>(m.r), g = static_cast<double>(m.g),
                     b = static_cast<double>(m.b);
        return sum(box, m_m2) - (r * r + g * g + b * b) / static_cast<double>(m.w);
    }

    static double spreadTerm(const Moments& m) {
        const double r = static_cast<double>(m.r), g = static_cast<double>(m.g),
                     b = static_cast<double>(m.b);
        return (r * r + g * g + b * b) / static_cast<double>(m.w);
    }

    // The best place to cut box along one axis: the position that maximises the summed squared
    // means of both halves (so minimises their combined variance). cutAt -1 when no cut leaves
    // pixels on both sides.
    double bestCut(const Box& box, int axis, const Moments& whole, int& cutAt) const {
        double best = 0.0;
        cutAt = -1;
        for (int i = box.lo[axis] + 1; i < box.hi[axis]; ++i) {
            Box half = box;
            half.hi[axis] = i;
            const Moments lower = moments(half);
            if (lower.w == 0) continue;
            const Moments upper{whole.w - lower.w, whole.r - lower.r, whole.g - lower.g,
                                whole.b - lower.b};
            if (upper.w == 0) continue;
            const double value = spreadTerm(lower) + spreadTerm(upper);
            if (value > best) {
                best = value;
                cutAt = i;
            }
        }
        return best;
    }

    bool cut(Box& a, Box& b) const {
        const Moments whole = moments(a);
        int at[3];
        double best[3];
        for (int axis = 0; axis < 3; ++axis) best[axis] = bestCut(a, axis, whole, at[axis]);
        int axis = 2;
        if (best[0] >= best[1] && best[0] >= best[2])
            axis = 0;
        else if (best[1] >= best[0] && best[1] >= best[2])
            axis = 1;
        if (at[axis] < 0) return false;
        b = a;
        a.hi[axis] = at[axis];
        b.lo[axis] = at[axis];
        return true;
    }

    std::vector<std::int64_t> m_w, m_r, m_g, m_b;
    std::vector<double> m_m2;
};

struct DiffusionKernel {
    int divisor;
    int sameRow[2];      // ahead 1, ahead 2
    int nextRows[2][5];  // behind 2, behind 1, below, ahead 1, ahead 2
    int rows;            // rows below the current one that receive error
};

constexpr DiffusionKernel kFloydSteinberg{16, {7, 0}, {{0, 3, 5, 1, 0}, {0, 0, 0, 0, 0}}, 1};
constexpr DiffusionKernel kJarvis{48, {7, 5}, {{3, 5, 7, 5, 3}, {1, 3, 5, 3, 1}}, 2};
constexpr DiffusionKernel kStucki{42, {8, 4}, {{2, 4, 8, 4, 2}, {1, 2, 4, 2, 1}}, 2};

const DiffusionKernel* diffusionKernel(DitherType dither) {
    switch (dither) {
        case DitherType::FloydSteinberg:
            return &kFloydSteinberg;
        case DitherType::Jarvis:
            return &kJarvis;
        case DitherType::Stucki:
            return &kStucki;
        default:
            return nullptr;
    }
}

int webSafeLevel(int c) { return c < 231 ? (c + 25) / 51 : 5; }
int luminance(int r, int g, int b) { return (6969 * r + 23434 * g + 2365 * b) >> 15; }

}  // namespace

std::optional<PaletteType> paletteTypeFromName(std::string_view name) {
    return lookUp<PaletteType>(kPaletteTypeNames, name);
}

std::optional<DitherType> ditherTypeFromName(std::string_view name) {
    return lookUp<DitherType>(kDitherTypeNames, name);
}

bool orderedDitherAllowed(PaletteType palette) {
    return palette == PaletteType::WebSafe || palette == PaletteType::BlackWhite ||
           palette == PaletteType::Vga;
}

ColourReducer::ColourReducer() = default;
ColourReducer::~ColourReducer() = default;

Status ColourReducer::Setup(std::span<const Bitmap32* const> images,
                            const ColourReduceOptions& options) {
    m_images.clear();
    m_built = false;
    if (images.empty()) return DecodeError::Corrupt;
    for (const Bitmap32* image : images) {
        if (!image || image->isEmpty()) return DecodeError::Corrupt;
        if (image->width() != images[0]->width() || image->height() != images[0]->height())
            return DecodeError::Corrupt;
    }
    if (options.targetDepth < 1 || options.targetDepth > 8 || options.sourceDepth < 1 ||
        options.sourceDepth > 32)
        return DecodeError::Unsupported;
    // Two entries leave nothing to give away.
    if (options.reserveTransparent && options.palette == PaletteType::BlackWhite)
        return DecodeError::Unsupported;
    if (!checkedMul(static_cast<std::size_t>(images[0]->width()),
                    static_cast<std::size_t>(images[0]->height())))
        return DecodeError::TooLarge;
    m_images.assign(images.begin(), images.end());
    m_options = options;
    m_width = images[0]->width();
    m_height = images[0]->height();
    return {};
}

void ColourReducer::useFixed(const std::array<std::uint8_t, 768>& table, std::int32_t size,
                             std::int32_t colours, std::int32_t bits, Rule rule, PaletteType kind) {
    m_palette = table;
    m_paletteSize = size;
    m_colours = colours;
    m_bits = bits;
    m_rule = rule;
    m_kind = kind;
    if (m_options.reserveTransparent) m_transparentIndex = (1 << bits) - 1;
}

Status ColourReducer::BuildPalette() {
    m_built = false;
    if (m_images.empty()) return DecodeError::Corrupt;
    m_palette = {};
    m_transparentIndex = -1;
    m_cellIndex.clear();
    m_dither = m_options.dither;
    // Ordered dithering has a rule for three palettes only; elsewhere pixels map undithered.
    if (m_dither == DitherType::Ordered && !orderedDitherAllowed(m_options.palette) &&
        m_options.palette != PaletteType::Optimized)
        m_dither = DitherType::None;
    try {
        switch (m_options.palette) {
            case PaletteType::WebSafe:
                useFixed(palettes::webSafe(), palettes::kWebSafeSize, palettes::kWebSafeColours, 8,
                         Rule::WebSafeLevels, PaletteType::WebSafe);
                break;
            case PaletteType::BlackWhite:
                useFixed(palettes::blackWhite(), palettes::kBlackWhiteSize,
                         palettes::kBlackWhiteSize, 1, Rule::Luminance, PaletteType::BlackWhite);
                break;
            case PaletteType::Vga:
                useFixed(palettes::vga(), palettes::kVgaSize, palettes::kVgaSize, 4, Rule::Nearest,
                         PaletteType::Vga);
                break;
            case PaletteType::System:
                useFixed(palettes::systemColours(), palettes::kSystemSize, palettes::kSystemSize, 8,
                         Rule::Nearest, PaletteType::System);
                break;
            case PaletteType::Optimized: {
                const Status status = buildOptimized();
                if (!status) return status;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        return DecodeError::OutOfMemory;
    }
    m_built = true;
    return {};
}

Status ColourReducer::buildOptimized() {
    const std::int32_t target = m_options.targetDepth;
    const std::int32_t source = m_options.sourceDepth;
    const bool reserve = m_options.reserveTransparent;
    m_kind = PaletteType::Optimized;
    if (source <= 8 && target >= source) {
        // The source palette stays. Pixels take the first entry of their exact colour; colours the
        // palette lacks (after resampling or effects) take the nearest entry rather than entry 0.
        const std::int32_t size = 1 << source;
        std::copy_n(m_options.sourcePalette.begin(), size * 3, m_palette.begin());
        m_colours = size;
        m_bits = target;
        m_rule = Rule::Nearest;
        if (m_dither == DitherType::Ordered) m_dither = DitherType::None;
        if (reserve && target == source) {
            // Free the last entry by merging the two closest colours into their average.
            std::int32_t best = INT32_MAX;
            int keep = 0, drop = 1;
            for (int i = 0; i < size; ++i)
                for (int j = i + 1; j < size; ++j) {
                    std::int32_t d = 0;
                    for (int c = 0; c < 3; ++c)
                        d += kSquare(m_palette[i * 3 + c] - m_palette[j * 3 + c]);
                    if (d < best) {
                        best = d;
                        keep = i;
                        drop = j;
                    }
                }
            for (int c = 0; c < 3; ++c)
                m_palette[keep * 3 + c] = static_cast<std::uint8_t>(
                    (m_palette[keep * 3 + c] + m_palette[drop * 3 + c]) / 2);
            std::copy(m_palette.begin() + (drop + 1) * 3, m_palette.begin() + size * 3,
                      m_palette.begin() + drop * 3);
            std::fill_n(m_palette.begin() + (size - 1) * 3, 3, std::uint8_t{0});
            m_colours = size - 1;
        }
        if (reserve) m_transparentIndex = (1 << target) - 1;
        m_paletteSize = reserve ? m_transparentIndex + 1 : size;
        return {};
    }
    if (m_dither == DitherType::Ordered) {
        // Ordered dithering needs a regular palette.
        useFixed(palettes::webSafe(), palettes::kWebSafeSize, palettes::kWebSafeColours, 8,
                 Rule::WebSafeLevels, PaletteType::WebSafe);
        return {};
    }
    m_bits = target;
    const std::int32_t capacity = (1 << target) - (reserve ? 1 : 0);
    bool fits = false;
    KALDER_TRY(collectExactColours(capacity, fits));
    if (fits) {
        m_rule = Rule::Nearest;
    } else {
        KALDER_TRY(runQuantizer(capacity));
        m_rule = m_dither == DitherType::None ? Rule::CellTable : Rule::Nearest;
    }
    if (reserve) m_transparentIndex = (1 << target) - 1;
    m_paletteSize = reserve ? m_transparentIndex + 1 : m_colours;
    return {};
}

Status ColourReducer::rowDone(std::int32_t y) const {
    if (m_options.progress)
        m_options.progress->Progress(static_cast<std::int64_t>(m_width) * m_height,
                                     static_cast<std::int64_t>(m_width) * (y + 1));
    if (m_options.cancel && m_options.cancel->isCancelled()) return DecodeError::Cancelled;
    return {};
}

// An image with no more colours than the palette holds keeps them all exactly, in the order they
// first appear; the quantizer's 5-bit cells could otherwise merge two of them.
Status ColourReducer::collectExactColours(std::int32_t capacity, bool& fits) {
    fits = false;
    std::vector<std::uint64_t> seen(std::size_t{1} << 18, 0);
    std::int32_t count = 0;
    for (const Bitmap32* image : m_images) {
        std::lock_guard lock(image->pixelLock());
        for (std::int32_t y = 0; y < m_height; ++y) {
            const std::uint8_t* p = image->row(y);
            for (std::int32_t x = 0; x < m_width; ++x, p += 4) {
                const std::uint32_t rgb = static_cast<std::uint32_t>(p[2]) << 16 |
                                          static_cast<std::uint32_t>(p[1]) << 8 | p[0];
                std::uint64_t& word = seen[rgb >> 6];
                const std::uint64_t bit = std::uint64_t{1} << (rgb & 63);
                if (word & bit) continue;
                word |= bit;
                if (++count > capacity) return {};
                m_palette[static_cast<std::size_t>(count - 1) * 3] = p[2];
                m_palette[static_cast<std::size_t>(count - 1) * 3 + 1] = p[1];
                m_palette[static_cast<std::size_t>(count - 1) * 3 + 2] = p[0];
            }
            if (m_options.cancel && m_options.cancel->isCancelled()) return DecodeError::Cancelled;
        }
    }
    fits = true;
    m_colours = count;
    return {};
}

Status ColourReducer::runQuantizer(std::int32_t colours) {
    m_palette = {};
    auto wu = std::make_unique<WuQuantizer>();
    for (const Bitmap32* image : m_images) {
        std::lock_guard lock(image->pixelLock());
        for (std::int32_t y = 0; y < m_height; ++y) {
            const std::uint8_t* p = image->row(y);
            for (std::int32_t x = 0; x < m_width; ++x, p += 4) wu->add(p[2], p[1], p[0]);
            if (m_options.cancel && m_options.cancel->isCancelled()) return DecodeError::Cancelled;
        }
    }
    m_colours = wu->build(colours, m_palette, m_cellIndex);
    return {};
}

Result<std::vector<std::uint8_t>> ColourReducer::MapImage(std::size_t index) {
    if (!m_built || index >= m_images.size()) return DecodeError::Corrupt;
    try {
        std::vector<std::uint8_t> out(static_cast<std::size_t>(m_width) *
                                      static_cast<std::size_t>(m_height));
        const Status status = diffusionKernel(m_dither) ? mapDiffused(*m_images[index], out)
                                                        : mapRows(*m_images[index], out);
        if (!status) return status.error();
        return out;
    } catch (const std::bad_alloc&) {
        return DecodeError::OutOfMemory;
    }
}

// No dithering, or ordered dithering: every pixel on its own.
Status ColourReducer::mapRows(const Bitmap32& image, std::vector<std::uint8_t>& out) const {
    NearestColour nearest(m_palette, m_colours, m_transparentIndex);
    const bool ordered = m_dither == DitherType::Ordered;
    std::lock_guard lock(image.pixelLock());
    for (std::int32_t y = 0; y < m_height; ++y) {
        const std::uint8_t* p = image.row(y);
        std::uint8_t* o = out.data() + static_cast<std::size_t>(y) * m_width;
        const std::uint8_t* thresholds = palettes::kOrderedMatrix[y & 7];
        for (std::int32_t x = 0; x < m_width; ++x, p += 4) {
            const int r = p[2], g = p[1], b = p[0];
            int index = 0;
            if (ordered) {
                // t = m / 63, compared in integers: t < f / 50, t <= Y / 255, t <= c / 255.
                const int m = thresholds[x & 7];
                switch (m_kind) {
                    case PaletteType::WebSafe: {
                        const auto level = [m](int c) {
                            return c / 51 + (50 * m < 63 * (c % 51) ? 1 : 0);
                        };
                        index = level(b) * 36 + level(g) * 6 + level(r);
                        break;
                    }
                    case PaletteType::BlackWhite: {
                        const int lum = luminance(r, g, b);
                        index = lum >= 1 && 255 * m <= 63 * lum ? 1 : 0;
                        break;
                    }
                    default: {
                        // The same test as black-and-white per channel, so that pure white lights
                        // every cell (c / 255 > t would leave the cell of threshold 1 black).
                        const auto on = [m](int c) { return c >= 1 && 255 * m <= 63 * c; };
                        const int bits = (on(r) ? 1 : 0) | (on(g) ? 2 : 0) | (on(b) ? 4 : 0);
                        index = bits ? 8 + bits : 0;
                        // A reserved white goes to the nearest colour that is left.
                        if (index == m_transparentIndex)
                            index = nearest.find(m_palette[index * 3], m_palette[index * 3 + 1],
                                                 m_palette[index * 3 + 2]);
                        break;
                    }
                }
            } else {
                switch (m_rule) {
                    case Rule::CellTable:
                        index = m_cellIndex[static_cast<std::size_t>((r >> 3) << 10 |
                                                                     (g >> 3) << 5 | (b >> 3))];
                        break;
                    case Rule::WebSafeLevels:
                        index = webSafeLevel(b) * 36 + webSafeLevel(g) * 6 + webSafeLevel(r);
                        break;
                    case Rule::Luminance:
                        index = luminance(r, g, b) >= 128 ? 1 : 0;
                        break;
                    case Rule::Nearest:
                        index = nearest.find(r, g, b);
                        break;
                }
            }
            o[x] = static_cast<std::uint8_t>(index);
        }
        KALDER_TRY(rowDone(y));
    }
    return {};
}

// Error diffusion on a three-row working copy, serpentine: even rows left to right, odd rows
// right to left, so the error does not pile up on one side. The copy keeps 8 fractional bits:
// cutting every share to whole levels would drop any error smaller than divisor / weight (a flat
// 100 against a palette step at 102 would never dither) and shift the mean of flat areas by
// several levels.
Status ColourReducer::mapDiffused(const Bitmap32& image, std::vector<std::uint8_t>& out) const {
    constexpr int kShift = 8;
    constexpr std::int32_t kTop = 255 << kShift;
    const DiffusionKernel& kernel = *diffusionKernel(m_dither);
    NearestColour nearest(m_palette, m_colours, m_transparentIndex);
    const std::int32_t w = m_width;
    const std::size_t rowInts = static_cast<std::size_t>(w) * 3;
    std::vector<std::int32_t> buffers[3];
    for (auto& b : buffers) b.assign(rowInts, 0);
    std::int32_t* rows[3] = {buffers[0].data(), buffers[1].data(), buffers[2].data()};

    std::lock_guard lock(image.pixelLock());
    const auto load = [&](std::int32_t* dst, std::int32_t y) {
        const std::uint8_t* p = image.row(y);
        for (std::int32_t x = 0; x < w; ++x, p += 4) {
            dst[x * 3] = p[2] << kShift;
            dst[x * 3 + 1] = p[1] << kShift;
            dst[x * 3 + 2] = p[0] << kShift;
        }
    };
    for (std::int32_t i = 0; i < 3 && i < m_height; ++i) load(rows[i], i);

    for (std::int32_t y = 0; y < m_height; ++y) {
        const int dir = (y & 1) ? -1 : 1;
        std::uint8_t* o = out.data() + static_cast<std::size_t>(y) * w;
        for (std::int32_t step = 0; step < w; ++step) {
            const std::int32_t x = dir > 0 ? step : w - 1 - step;
            const std::int32_t* px = rows[0] + x * 3;
            const int r = (px[0] + (1 << (kShift - 1))) >> kShift;
            const int g = (px[1] + (1 << (kShift - 1))) >> kShift;
            const int b = (px[2] + (1 << (kShift - 1))) >> kShift;
            int index = 0;
            switch (m_rule) {
                case Rule::WebSafeLevels:
                    index = webSafeLevel(b) * 36 + webSafeLevel(g) * 6 + webSafeLevel(r);
                    break;
                case Rule::Luminance:
                    index = luminance(r, g, b) >= 128 ? 1 : 0;
                    break;
                default:
                    index = nearest.find(r, g, b);
                    break;
            }
            o[x] = static_cast<std::uint8_t>(index);
            const std::int32_t error[3] = {px[0] - (m_palette[index * 3] << kShift),
                                           px[1] - (m_palette[index * 3 + 1] << kShift),
                                           px[2] - (m_palette[index * 3 + 2] << kShift)};
            if (error[0] == 0 && error[1] == 0 && error[2] == 0) continue;
            const auto spread = [&](std::int32_t* row, std::int32_t at, int weight) {
                if (weight == 0 || at < 0 || at >= w) return;
                std::int32_t* q = row + at * 3;
                for (int c = 0; c < 3; ++c)
                    q[c] = std::clamp(q[c] + error[c] * weight / kernel.divisor, 0, kTop);
            };
            spread(rows[0], x + dir, kernel.sameRow[0]);
            spread(rows[0], x + 2 * dir, kernel.sameRow[1]);
            for (int next = 0; next < kernel.rows && y + 1 + next < m_height; ++next)
                for (int t = 0; t < 5; ++t)
                    spread(rows[1 + next], x + (t - 2) * dir, kernel.nextRows[next][t]);
        }
        std::int32_t* done = rows[0];
        rows[0] = rows[1];
        rows[1] = rows[2];
        rows[2] = done;
        if (y + 3 < m_height) load(rows[2], y + 3);
        KALDER_TRY(rowDone(y));
    }
    return {};
}

void ColourReducer::fillWriterImage(WriterImage& image,
                                    const std::vector<std::uint8_t>& indices) const {
    image.pixels = indices.data();
    image.width = m_width;
    image.height = m_height;
    image.bits = m_bits;
    image.palette = m_palette;
    image.transparent = m_transparentIndex >= 0;
    image.transparentIndex = m_transparentIndex >= 0 ? m_transparentIndex : 0;
}

}  // namespace kalder::image
