#include "view/render.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/bitmap32.h"

namespace kalder::view {
namespace {

// Ordered-dither thresholds. 16-bit: 2 rows x 4 columns, values 0..7.
constexpr std::uint8_t kDither2x4[2][4] = {{0, 4, 1, 5}, {6, 2, 7, 3}};
constexpr std::uint8_t kBayer4[4][4] = {
    {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
constexpr std::uint8_t kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

constexpr std::int32_t kGreyBase = 216;
constexpr std::int32_t kWhiteIndex = 232;

// How far a channel value lies between two palette levels (multiples of 51), as 0..64.
struct RemainderTable {
    std::array<std::uint8_t, 256> rem{};
    constexpr RemainderTable() {
        for (std::int32_t v = 0; v < 256; ++v)
            rem[v] = static_cast<std::uint8_t>(((v % 51) * 64 * 2 + 51) / (2 * 51));
    }
};
constexpr RemainderTable kRemainder;

struct Bgr {
    std::uint8_t b, g, r;
};
static_assert(sizeof(Bgr) == 3);

// Per-pixel conversions. Each takes blue, green, red after the table and the dither position.
struct To32 {
    const std::uint32_t* tb;
    const std::uint32_t* tg;
    const std::uint32_t* tr;
    using Out = std::uint32_t;
    static constexpr bool kDithers = false;
    Out operator()(std::uint8_t b, std::uint8_t g, std::uint8_t r, std::int32_t,
                   std::int32_t) const {
        return tb[b] | tg[g] | tr[r];
    }
};

struct To24 {
    const std::uint8_t* lut;
    using Out = Bgr;
    static constexpr bool kDithers = false;
    Out operator()(std::uint8_t b, std::uint8_t g, std::uint8_t r, std::int32_t,
                   std::int32_t) const {
        return {lut[b], lut[g], lut[r]};
    }
};

template <bool k565, bool kDither>
struct To16 {
    const std::uint8_t* lut;
    using Out = std::uint16_t;
    static constexpr bool kDithers = kDither;
    static std::uint32_t level(std::uint32_t v, std::uint32_t d) {
        std::uint32_t q = v >> 3;
        if (kDither && v > 7 && (v & 7) < d) --q;
        return q;
    }
    Out operator()(std::uint8_t b, std::uint8_t g, std::uint8_t r, std::int32_t x,
                   std::int32_t y) const {
        const std::uint32_t d = kDither ? kDither2x4[y & 1][x & 3] : 0;
        const std::uint32_t B = level(lut[b], d), G = level(lut[g], d), R = level(lut[r], d);
        if (k565) return static_cast<Out>(B | (G << 6) | (R << 11));
        return static_cast<Out>(B | (G << 5) | (R << 10));
    }
};

template <bool kDither>
struct To8 {
    const std::uint8_t* lut;
    using Out = std::uint8_t;
    static constexpr bool kDithers = kDither;
    Out operator()(std::uint8_t b0, std::uint8_t g0, std::uint8_t r0, std::int32_t x,
                   std::int32_t y) const {
        const std::uint32_t b = lut[b0], g = lut[g0], r = lut[r0];
        if (b == g && g == r) {
            // Pure white is always the white entry: the dither must not speckle it grey.
            if (r == 255) return kWhiteIndex;
            std::uint32_t i = kGreyBase + r / 16;
            if (kDither && kBayer4[y & 3][x & 3] < r % 16) ++i;
            return static_cast<Out>(i);
        }
        std::uint32_t R = r / 51, G = g / 51, B = b / 51;
        if (kDither) {
            const std::uint32_t t = kBayer8[y & 7][x & 7];
            if (t < kRemainder.rem[r]) ++R;
            if (t < kRemainder.rem[g]) ++G;
            if (t < kRemainder.rem[b]) ++B;
        }
        return static_cast<Out>(36 * R + 6 * G + B);
    }
};

// Converts one tile with a pixel conversion: reduce samples every f-th pixel and row; magnify
// repeats each pixel f times and each row f times (copying rows when nothing dithers).
template <typename Fn>
PixelSize convertWith(const Fn& fn, const image::Bitmap32& src, const PixelRect& rect, Zoom zoom,
                      Point origin, DisplayBuffer& buffer) {
    using Out = typename Fn::Out;
    const std::int32_t f = zoom.factor;
    const std::int32_t outW =
        std::min(zoomedExtent(rect.right - rect.left, zoom), DisplayBuffer::kSide);
    const std::int32_t outH =
        std::min(zoomedExtent(rect.bottom - rect.top, zoom), DisplayBuffer::kSide);
    const std::size_t bytesOut = static_cast<std::size_t>(outW) * sizeof(Out);

    for (std::int32_t y = 0; y < outH; ++y) {
        const std::int32_t sy = zoom.reduce ? rect.top + f * y : rect.top + y / f;
        auto* out = reinterpret_cast<Out*>(buffer.row(y));
        if (!zoom.reduce && f > 1 && y % f != 0 && !Fn::kDithers) {
            std::memcpy(out, buffer.row(y - 1), bytesOut);
            continue;
        }
        const std::uint8_t* s = src.row(sy) + static_cast<std::size_t>(rect.left) * 4;
        const std::int32_t dy = origin.y + y;
        if (zoom.reduce) {
            const std::size_t step = static_cast<std::size_t>(f) * 4;
            for (std::int32_t x = 0; x < outW; ++x, s += step)
                out[x] = fn(s[0], s[1], s[2], origin.x + x, dy);
        } else if (f == 1) {
            for (std::int32_t x = 0; x < outW; ++x, s += 4)
                out[x] = fn(s[0], s[1], s[2], origin.x + x, dy);
        } else if (!Fn::kDithers) {
            for (std::int32_t x = 0; x < outW; s += 4) {
                const Out v = fn(s[0], s[1], s[2], 0, dy);
                const std::int32_t n = std::min(f, outW - x);
                for (std::int32_t k = 0; k < n; ++k) out[x + k] = v;
                x += n;
            }
        } else {
            for (std::int32_t x = 0; x < outW; ++x) {
                const std::uint8_t* p = s + static_cast<std::size_t>(x / f) * 4;
                out[x] = fn(p[0], p[1], p[2], origin.x + x, dy);
            }
        }
    }
    return {outW, outH};
}

// Draws one run that lies inside the image: a direct blit or tiles through the buffer.
bool paintRun(const PaintJob& job, const PixelRect& rect, Point dest, const TileConverter& conv,
              DisplayBuffer& buffer, PaintTarget& target) {
    const Zoom z = job.zoom;
    if (rect.isEmpty()) return true;
    if (buffer.format() == DisplayFormat::Bgrx32 && !job.lut) {
        const PixelRect to{dest.x, dest.y, dest.x + zoomedExtent(rect.right - rect.left, z),
                           dest.y + zoomedExtent(rect.bottom - rect.top, z)};
        return target.blitSource(*job.source, rect, to);
    }
    const std::int32_t f = z.factor;
    const std::int32_t tileSource = z.reduce ? DisplayBuffer::kSide * f : DisplayBuffer::kSide / f;
    for (std::int32_t ty = rect.top; ty < rect.bottom; ty += tileSource) {
        const std::int32_t th = std::min(tileSource, rect.bottom - ty);
        const std::int32_t oy = dest.y + zoomedExtent(ty - rect.top, z);
        for (std::int32_t tx = rect.left; tx < rect.right; tx += tileSource) {
            const std::int32_t tw = std::min(tileSource, rect.right - tx);
            const Point at{dest.x + zoomedExtent(tx - rect.left, z), oy};
            const PixelSize size =
                conv.convert(*job.source, {tx, ty, tx + tw, ty + th}, z,
                             {at.x + job.ditherPhase.x, at.y + job.ditherPhase.y}, buffer);
            if (size.width > 0 && size.height > 0 && !target.blitTile(buffer, size, at))
                return false;
        }
    }
    return true;
}

}  // namespace

DisplayFormat detectDisplayFormat(std::int32_t bpp, bool bitFields, std::uint32_t red,
                                  std::uint32_t green, std::uint32_t blue) {
    switch (bpp) {
        case 8:
            return DisplayFormat::Palette8;
        case 16:
            if (!bitFields || (red == 0x7c00 && green == 0x03e0 && blue == 0x001f))
                return DisplayFormat::Rgb555;
            if (red == 0xf800 && green == 0x07e0 && blue == 0x001f) return DisplayFormat::Rgb565;
            return DisplayFormat::Bgr24;
        case 32:
            if (!bitFields || (red == 0xff0000 && green == 0x00ff00 && blue == 0x0000ff))
                return DisplayFormat::Bgrx32;
            return DisplayFormat::Bgr24;
        default:
            return DisplayFormat::Bgr24;
    }
}

std::optional<DisplayLut> BuildLut(bool invert, double gamma) {
    DisplayLut lut{};
    if (invert) {
        for (std::int32_t i = 0; i < 256; ++i) lut[i] = static_cast<std::uint8_t>(255 - i);
        return lut;
    }
    if (!(gamma >= 0)) return std::nullopt;
    for (std::int32_t i = 0; i < 256; ++i) {
        const double v = std::clamp(std::pow(i / 255.0, gamma), 0.0, 1.0);
        lut[i] = static_cast<std::uint8_t>(255.0 * v);
    }
    return lut;
}

const std::array<PaletteColour, kDisplayPaletteSize>& displayPalette() {
    static const auto palette = [] {
        std::array<PaletteColour, kDisplayPaletteSize> p{};
        for (std::int32_t r = 0; r < 6; ++r)
            for (std::int32_t g = 0; g < 6; ++g)
                for (std::int32_t b = 0; b < 6; ++b)
                    p[36 * r + 6 * g + b] = {static_cast<std::uint8_t>(51 * r),
                                             static_cast<std::uint8_t>(51 * g),
                                             static_cast<std::uint8_t>(51 * b)};
        for (std::int32_t i = 0; i < 16; ++i) {
            const auto v = static_cast<std::uint8_t>(16 * i);
            p[kGreyBase + i] = {v, v, v};
        }
        p[kWhiteIndex] = {255, 255, 255};
        return p;
    }();
    return palette;
}

DisplayBuffer::DisplayBuffer(DisplayFormat format, bool dither)
    : m_format(format), m_dither(dither) {
    const std::size_t row = static_cast<std::size_t>(kSide) * bytesPerPixel();
    m_stride = (row + 3) & ~std::size_t{3};
    m_pixels.assign(m_stride * kSide, 0);
}

std::int32_t DisplayBuffer::bytesPerPixel() const {
    switch (m_format) {
        case DisplayFormat::Bgr24:
            return 3;
        case DisplayFormat::Palette8:
            return 1;
        case DisplayFormat::Rgb555:
        case DisplayFormat::Rgb565:
            return 2;
        case DisplayFormat::Bgrx32:
            return 4;
    }
    return 4;
}

TileConverter::TileConverter(DisplayFormat format, bool dither, const DisplayLut* lut)
    : m_format(format), m_dither(dither) {
    for (std::int32_t i = 0; i < 256; ++i)
        m_lut[i] = lut ? (*lut)[i] : static_cast<std::uint8_t>(i);
    for (std::int32_t i = 0; i < 256; ++i) {
        m_blue32[i] = 0xff000000u | m_lut[i];
        m_green32[i] = static_cast<std::uint32_t>(m_lut[i]) << 8;
        m_red32[i] = static_cast<std::uint32_t>(m_lut[i]) << 16;
    }
}

PixelSize TileConverter::convert(const image::Bitmap32& source, const PixelRect& tileSource,
                                 Zoom zoom, Point origin, DisplayBuffer& buffer) const {
    zoom = clampZoom(zoom);
    const PixelRect rect = intersect(tileSource, PixelRect{0, 0, source.width(), source.height()});
    if (rect.isEmpty() || source.isEmpty()) return {};
    const std::uint8_t* lut = m_lut.data();
    switch (m_format) {
        case DisplayFormat::Bgrx32:
            return convertWith(To32{m_blue32.data(), m_green32.data(), m_red32.data()}, source,
                               rect, zoom, origin, buffer);
        case DisplayFormat::Bgr24:
            return convertWith(To24{lut}, source, rect, zoom, origin, buffer);
        case DisplayFormat::Rgb555:
            return m_dither
                       ? convertWith(To16<false, true>{lut}, source, rect, zoom, origin, buffer)
                       : convertWith(To16<false, false>{lut}, source, rect, zoom, origin, buffer);
        case DisplayFormat::Rgb565:
            return m_dither
                       ? convertWith(To16<true, true>{lut}, source, rect, zoom, origin, buffer)
                       : convertWith(To16<true, false>{lut}, source, rect, zoom, origin, buffer);
        case DisplayFormat::Palette8:
            return m_dither ? convertWith(To8<true>{lut}, source, rect, zoom, origin, buffer)
                            : convertWith(To8<false>{lut}, source, rect, zoom, origin, buffer);
    }
    return {};
}

std::int32_t zoomedExtent(std::int32_t length, Zoom zoom) {
    if (length <= 0) return 0;
    if (zoom.reduce) return (length + zoom.factor - 1) / zoom.factor;
    return length * zoom.factor;
}

bool Paint(const PaintJob& job, DisplayBuffer& buffer, PaintTarget& target) {
    if (!job.source || job.source->isEmpty()) return true;
    PaintJob j = job;
    j.zoom = clampZoom(job.zoom);
    const std::int32_t width = j.source->width();
    const PixelRect rect = intersect(j.sourceRect, PixelRect{0, 0, width, j.source->height()});
    if (rect.isEmpty()) return true;
    const TileConverter conv(buffer.format(), buffer.dither(), j.lut);

    const std::int32_t p = positiveMod(j.panoramaOffset, width);
    if (p == 0) return paintRun(j, rect, j.dest, conv, buffer, target);

    // The image repeats horizontally: the run starts at column (left + p) mod width and goes on
    // from column 0 once it passes the right edge.
    const std::int32_t n = rect.right - rect.left;
    const std::int32_t start = (rect.left + p) % width;
    const std::int32_t f = j.zoom.factor;
    std::int32_t firstCols = std::min(n, width - start);  // source columns before the edge
    if (j.zoom.reduce) {
        // Whole output pixels before the edge; the next sample lands past column 0.
        const std::int32_t outs = zoomedExtent(firstCols, j.zoom);
        firstCols = std::min(n, outs * f);
    }
    const PixelRect first{start, rect.top, std::min(width, start + firstCols), rect.bottom};
    if (!paintRun(j, first, j.dest, conv, buffer, target)) return false;
    const std::int32_t rest = n - firstCols;
    if (rest <= 0) return true;
    const std::int32_t restStart = start + firstCols - width;  // 0, or within one reduce step
    const PixelRect second{restStart, rect.top, std::min(width, restStart + rest), rect.bottom};
    const Point dest2{j.dest.x + zoomedExtent(firstCols, j.zoom), j.dest.y};
    return paintRun(j, second, dest2, conv, buffer, target);
}

void forEachWallpaperPiece(const PixelRect& fill,
                           const std::function<void(const PixelRect&, Point)>& piece) {
    if (fill.isEmpty()) return;
    for (std::int32_t y = fill.top; y < fill.bottom;) {
        const std::int32_t ty = positiveMod(y, kWallpaperSide);
        const std::int32_t h = std::min(kWallpaperSide - ty, fill.bottom - y);
        for (std::int32_t x = fill.left; x < fill.right;) {
            const std::int32_t tx = positiveMod(x, kWallpaperSide);
            const std::int32_t w = std::min(kWallpaperSide - tx, fill.right - x);
            piece({tx, ty, tx + w, ty + h}, {x, y});
            x += w;
        }
        y += h;
    }
}

}  // namespace kalder::view
