#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "image/result.h"

namespace kalder::image {

class Bitmap32;
class CancelSink;
class ProgressSink;
struct WriterImage;

// Values are the list indices of the palette and dithering choices.
enum class PaletteType : std::uint8_t {
    Optimized = 0,
    WebSafe = 1,
    BlackWhite = 2,
    Vga = 3,
    System = 4
};
enum class DitherType : std::uint8_t {
    None = 0,
    Ordered = 1,
    FloydSteinberg = 2,
    Jarvis = 3,
    Stucki = 4
};

// Command-line words, index = enum value: optimized websafe bw vga system; none ordered floyd
// jarvis stucki.
inline constexpr std::array<std::string_view, 5> kPaletteTypeNames = {"optimized", "websafe", "bw",
                                                                      "vga", "system"};
inline constexpr std::array<std::string_view, 5> kDitherTypeNames = {"none", "ordered", "floyd",
                                                                     "jarvis", "stucki"};
std::optional<PaletteType> paletteTypeFromName(std::string_view name);  // any case
std::optional<DitherType> ditherTypeFromName(std::string_view name);    // any case

// The pages refuse ordered dithering with these palettes; the reducer itself falls back (see
// BuildPalette).
bool orderedDitherAllowed(PaletteType palette);

struct ColourReduceOptions {
    PaletteType palette = PaletteType::Optimized;
    DitherType dither = DitherType::None;
    // Bits per index, 1..8. The fixed palettes set their own: black-and-white 1, VGA 4,
    // web-safe and system 8.
    std::int32_t targetDepth = 8;
    // What the source was: 32 (or 24) for true colour, 1..8 with its palette for palette images.
    std::int32_t sourceDepth = 32;
    std::array<std::uint8_t, 768> sourcePalette{};  // red, green, blue
    // Keep the last index (2^bits - 1) free for transparency: no pixel maps to it.
    bool reserveTransparent = false;
    // Told (pixels, pixels done) after every row; polled after every row.
    ProgressSink* progress = nullptr;
    const CancelSink* cancel = nullptr;
};

// Turns one or more equally sized 32-bit images into indices over one shared palette: set up
// once per job, build the palette, then map each image.
class ColourReducer {
public:
    ColourReducer();
    ~ColourReducer();
    ColourReducer(const ColourReducer&) = delete;
    ColourReducer& operator=(const ColourReducer&) = delete;

    // The images are borrowed until the last MapImage. Fails with Corrupt for no images, empty or
    // unequal sizes, with Unsupported for a depth outside 1..8 or a transparent index reserved in
    // the two-entry black-and-white palette.
    Status Setup(std::span<const Bitmap32* const> images, const ColourReduceOptions& options);
    // Optimized: when the target depth is below the source's, Wu's quantizer over all images
    // (the exact colours when there are few enough; the web-safe palette with ordered
    // dithering); otherwise the source palette, with its two closest colours merged when an
    // index must be reserved at the same depth. Fails only when stopped or out of memory.
    Status BuildPalette();
    // One index per pixel, rows top-down, width bytes per row.
    Result<std::vector<std::uint8_t>> MapImage(std::size_t index);

    const std::array<std::uint8_t, 768>& palette() const { return m_palette; }
    // Entries in use (the reserved index counts).
    std::int32_t paletteSize() const { return m_paletteSize; }
    // Bits per index for the writer.
    std::int32_t bits() const { return m_bits; }
    std::int32_t transparentIndex() const { return m_transparentIndex; }  // -1: none
    // The dithering actually applied (ordered falls back to none where it has no rule).
    DitherType dither() const { return m_dither; }

    // Points image at indices (from MapImage) and sets its size, bits, palette and transparent
    // index, leaving the per-format options alone.
    void fillWriterImage(WriterImage& image, const std::vector<std::uint8_t>& indices) const;

private:
    // How a pixel finds its index when no dithering moves it.
    enum class Rule : std::uint8_t { Nearest, CellTable, WebSafeLevels, Luminance };

    void useFixed(const std::array<std::uint8_t, 768>& table, std::int32_t size,
                  std::int32_t colours, std::int32_t bits, Rule rule, PaletteType kind);
    Status buildOptimized();
    Status collectExactColours(std::int32_t capacity, bool& fits);
    Status runQuantizer(std::int32_t colours);
    Status mapRows(const Bitmap32& image, std::vector<std::uint8_t>& out) const;
    Status mapDiffused(const Bitmap32& image, std::vector<std::uint8_t>& out) const;
    Status rowDone(std::int32_t y) const;

    std::vector<const Bitmap32*> m_images;
    ColourReduceOptions m_options;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    bool m_built = false;

    std::array<std::uint8_t, 768> m_palette{};
    std::int32_t m_paletteSize = 0;
    std::int32_t m_colours = 0;  // entries that pixels may map to (before any free entries)
    std::int32_t m_bits = 8;
    std::int32_t m_transparentIndex = -1;
    DitherType m_dither = DitherType::None;
    PaletteType m_kind =
        PaletteType::Optimized;  // the palette in use (web-safe for ordered optimized)
    Rule m_rule = Rule::Nearest;
    std::vector<std::uint8_t> m_cellIndex;  // CellTable: entry per 5-bit colour cell, 32^3
};

}  // namespace kalder::image
