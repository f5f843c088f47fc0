// The palette window's swatch grid: cell size, centring, the selection frame and hit testing.
#include "view/palette_grid.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kalder::view {
namespace {

TEST(PaletteGrid, CellsAreCentredInTheControl) {
    struct Case {
        std::int32_t w, h;
        std::int32_t cw, ch, x0, y0;
    };
    for (const Case c : {Case{259, 259, 16, 16, 0, 0}, Case{262, 270, 16, 16, 1, 5},
                         Case{300, 200, 18, 12, 4, 2}}) {
        const PaletteGrid g(c.w, c.h);
        EXPECT_EQ(g.cellWidth(), c.cw) << c.w;
        EXPECT_EQ(g.cellHeight(), c.ch) << c.h;
        EXPECT_EQ(g.offsetX(), c.x0) << c.w;
        EXPECT_EQ(g.offsetY(), c.y0) << c.h;
        // As much black before the first swatch as after the last one, give or take a pixel.
        const GridRect first = g.swatch(0), last = g.swatch(255);
        const std::int32_t right = c.w - (last.left + last.width);
        const std::int32_t bottom = c.h - (last.top + last.height);
        EXPECT_LE(std::abs(first.left - right), 1) << c.w;
        EXPECT_LE(std::abs(first.top - bottom), 1) << c.h;
    }
    const PaletteGrid g(262, 270);
    EXPECT_EQ(g.swatch(0), (GridRect{4, 8, 13, 13}));
    EXPECT_EQ(g.swatch(17), (GridRect{20, 24, 13, 13}));
    // Two pixels out on the left and top, one pixel past the swatch on the right and bottom.
    EXPECT_EQ(g.frame(17), (GridRect{18, 22, 16, 16}));
}

TEST(PaletteGrid, ClicksPickEntriesBelowTheCount) {
    const PaletteGrid g(300, 200);  // cells 18 x 12 from (4, 2)
    struct Case {
        std::int32_t x, y, count;
        std::optional<std::int32_t> index;
    };
    for (const Case c : {
             Case{10, 8, 2, 0},
             Case{30, 8, 2, 1},
             Case{50, 8, 2, std::nullopt},      // a 1-bit image: the third cell stays black
             Case{299, 8, 256, 15},             // right of the last column: column 15
             Case{299, 20, 256, 31},            // ... in that row
             Case{10, 199, 256, std::nullopt},  // below the last row
             Case{0, 0, 256, 0},                // in the margin before the first cell
             Case{-30, 5, 256, std::nullopt},
         }) {
        EXPECT_EQ(g.hit(c.x, c.y, c.count), c.index) << c.x << "," << c.y;
    }
    // Too small for cells: nothing to hit rather than a division by zero.
    EXPECT_FALSE(PaletteGrid(10, 40).usable());
    EXPECT_EQ(PaletteGrid(10, 40).hit(5, 5, 256), std::nullopt);
}

}  // namespace
}  // namespace kalder::view
