#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "view/view_types.h"

namespace kalder::image {
class Bitmap32;
}

namespace kalder::view {

// The screen's pixel format.
enum class DisplayFormat : std::int32_t {
    Bgr24 = 0,     // 3 bytes blue, green, red; rows padded to 4 bytes
    Palette8 = 1,  // indices into the 233-colour display palette
    Rgb555 = 2,    // blue bits 0..4, green 5..9, red 10..14
    Rgb565 = 3,    // blue bits 0..4, green 6..10 (bit 5 stays 0), red 11..15
    Bgrx32 = 4,    // 4 bytes blue, green, red, 0xff
};

// The format a screen of the given depth and bit-field masks gets; 24-bit for anything odd.
DisplayFormat detectDisplayFormat(std::int32_t bitsPerPixel, bool bitFields, std::uint32_t redMask,
                                  std::uint32_t greenMask, std::uint32_t blueMask);

// Applied to blue, green and red alike when painting.
using DisplayLut = std::array<std::uint8_t, 256>;

// Invert: 255 - i (gamma then ignored). Else with gamma >= 0: 255 * (i / 255) ^ gamma,
// truncated. Otherwise (gamma < 0) no table.
std::optional<DisplayLut> BuildLut(bool invert, double gamma);

// The 8-bit display palette: index 36r + 6g + b holds (51r, 51g, 51b) for r, g, b in 0..5;
// 216..232 hold the greys 0, 16, ..., 240 and 255.
struct PaletteColour {
    std::uint8_t red, green, blue;
};
inline constexpr std::int32_t kDisplayPaletteSize = 233;
const std::array<PaletteColour, kDisplayPaletteSize>& displayPalette();

// One 256 x 256 conversion buffer in the screen's format, reused for every tile. A converted
// tile occupies its top-left width x height pixels; rows are `stride()` bytes apart.
class DisplayBuffer {
public:
    static constexpr std::int32_t kSide = 256;

    DisplayBuffer(DisplayFormat format, bool dither);

    DisplayFormat format() const { return m_format; }
    bool dither() const { return m_dither; }
    std::int32_t bytesPerPixel() const;
    std::size_t stride() const { return m_stride; }
    std::uint8_t* data() { return m_pixels.data(); }
    const std::uint8_t* data() const { return m_pixels.data(); }
    std::uint8_t* row(std::int32_t y) {
        return m_pixels.data() + m_stride * static_cast<std::size_t>(y);
    }
    const std::uint8_t* row(std::int32_t y) const {
        return m_pixels.data() + m_stride * static_cast<std::size_t>(y);
    }

private:
    DisplayFormat m_format;
    bool m_dither;
    std::size_t m_stride;
    std::vector<std::uint8_t> m_pixels;
};

// Converts tiles of a Bitmap32 into a DisplayBuffer at an integer zoom, through the display
// table, dithering 8- and 16-bit output. Tables are prepared once per converter (per paint).
class TileConverter {
public:
    TileConverter(DisplayFormat format, bool dither, const DisplayLut* lut);

    // Converts the source rectangle (at most 256 * factor or 256 / factor pixels per side) into
    // the buffer and returns the output size. ditherOrigin is the position in the dither
    // pattern of the tile's top-left output pixel (destination plus phase).
    PixelSize convert(const image::Bitmap32& source, const PixelRect& tileSource, Zoom zoom,
                      Point ditherOrigin, DisplayBuffer& buffer) const;

private:
    DisplayFormat m_format;
    bool m_dither;
    DisplayLut m_lut;
    std::array<std::uint32_t, 256> m_blue32{}, m_green32{}, m_red32{};
};

// One paint call: a source rectangle of a bitmap drawn at an integer zoom.
struct PaintJob {
    const image::Bitmap32* source = nullptr;  // the caller holds its pixelLock while painting
    Zoom zoom;
    PixelRect sourceRect;  // image pixels, before the panorama offset
    Point dest;            // client position of the rectangle's top-left
    Point ditherPhase;     // the scroll offsets, so the pattern follows the image
    const DisplayLut* lut = nullptr;
    std::int32_t panoramaOffset = 0;  // source columns shifted left, wrapping around
};

// Where painted pixels go. The widget implements it with its painter.
class PaintTarget {
public:
    virtual ~PaintTarget() = default;
    // Copies the buffer's top-left `size` pixels to `dest`, 1:1. False ends the paint.
    virtual bool blitTile(const DisplayBuffer& buffer, PixelSize size, Point dest) = 0;
    // 32-bit screen without a table: draws the bitmap's sourceRect scaled to destRect (an
    // integer factor, no smoothing) straight from the bitmap.
    virtual bool blitSource(const image::Bitmap32& source, const PixelRect& sourceRect,
                            const PixelRect& destRect) = 0;
};

// Paints a job: straight blits for a 32-bit screen without a table, otherwise tile by tile
// (rows top to bottom, tiles left to right) through the buffer. The panorama offset splits a
// run that passes the image's right edge into two. False when the target refused a blit.
bool Paint(const PaintJob& job, DisplayBuffer& buffer, PaintTarget& target);

// Output length of `sourceLength` source pixels at the zoom (reductions round up).
std::int32_t zoomedExtent(std::int32_t sourceLength, Zoom zoom);

// The wallpaper is a 256 x 256 tile repeated from the client origin. Calls `piece` with the
// part of the tile and its client position for every cell a fill rectangle touches.
inline constexpr std::int32_t kWallpaperSide = 256;
void forEachWallpaperPiece(
    const PixelRect& fill,
    const std::function<void(const PixelRect& tileSource, Point dest)>& piece);

}  // namespace kalder::view
