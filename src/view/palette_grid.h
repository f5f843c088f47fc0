#pragma once

#include <cstdint>
#include <optional>

namespace kalder::view {

// A pixel rectangle: left and top inclusive, width and height in pixels.
struct GridRect {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    bool operator==(const GridRect&) const = default;
};

// The 16 x 16 swatch grid of the palette window, laid out in a control of width x height
// pixels: cells of ((w - 3) / 16) x ((h - 3) / 16) with a 3-pixel black gap, the spare pixels
// split evenly around the grid.
class PaletteGrid {
public:
    static constexpr std::int32_t kColumns = 16;

    PaletteGrid(std::int32_t width, std::int32_t height);

    std::int32_t cellWidth() const { return m_cellWidth; }
    std::int32_t cellHeight() const { return m_cellHeight; }
    std::int32_t offsetX() const { return m_x0; }
    std::int32_t offsetY() const { return m_y0; }
    // False when the control is too small to show a swatch of at least one pixel.
    bool usable() const { return m_cellWidth > 3 && m_cellHeight > 3; }

    // The area filled with entry `index`'s colour.
    GridRect swatch(std::int32_t index) const;
    // The outline of the selection frame (one pixel wide), two pixels left of and above the
    // swatch and touching it on the right and at the bottom.
    GridRect frame(std::int32_t index) const;
    // The entry a click at (x, y) selects: clicks right of the last column count as column 15;
    // none outside the entries or when the grid is unusable.
    std::optional<std::int32_t> hit(std::int32_t x, std::int32_t y, std::int32_t entryCount) const;

private:
    std::int32_t m_cellWidth = 0;
    std::int32_t m_cellHeight = 0;
    std::int32_t m_x0 = 0;
    std::int32_t m_y0 = 0;
};

}  // namespace kalder::view
