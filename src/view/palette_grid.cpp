#include "view/palette_grid.h"

#include <algorithm>

namespace kalder::view {

PaletteGrid::PaletteGrid(std::int32_t width, std::int32_t height) {
    const std::int32_t w = std::max(width - 3, 0);
    const std::int32_t h = std::max(height - 3, 0);
    m_cellWidth = w / kColumns;
    m_cellHeight = h / kColumns;
    m_x0 = (w % kColumns) / 2;
    m_y0 = (h % kColumns) / 2;
}

GridRect PaletteGrid::swatch(std::int32_t index) const {
    const std::int32_t row = index / kColumns, column = index % kColumns;
    return {m_x0 + 3 + column * m_cellWidth, m_y0 + 3 + row * m_cellHeight, m_cellWidth - 3,
            m_cellHeight - 3};
}

GridRect PaletteGrid::frame(std::int32_t index) const {
    const GridRect s = swatch(index);
    // From (left - 2, top - 2) up to and including the first pixel past the swatch.
    return {s.left - 2, s.top - 2, s.width + 3, s.height + 3};
}

std::optional<std::int32_t> PaletteGrid::hit(std::int32_t x, std::int32_t y,
                                             std::int32_t entryCount) const {
    // A control too small for cells would divide by zero; a click above or left of the first
    // cell would give a negative entry.
    if (!usable() || x < 0 || y < 0) return std::nullopt;
    const std::int32_t column = std::min((x - m_x0 - 2) / m_cellWidth, kColumns - 1);
    const std::int32_t row = (y - m_y0 - 2) / m_cellHeight;
    if (column < 0 || row < 0 || row >= kColumns) return std::nullopt;
    const std::int32_t index = column + kColumns * row;
    if (index >= entryCount) return std::nullopt;
    return index;
}

}  // namespace kalder::view
