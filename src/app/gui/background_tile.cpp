#include "app/gui/background_tile.h"

#include <cstdint>

#include "image/bitmap32.h"
#include "view/render.h"

namespace kalder::gui {

std::unique_ptr<image::Bitmap32> makeBackgroundTile() {
    constexpr std::int32_t side = view::kWallpaperSide;
    auto tile = std::make_unique<image::Bitmap32>();
    if (!tile->Create(side, side)) return nullptr;
    for (std::int32_t y = 0; y < side; ++y) {
        std::uint8_t* p = tile->row(y);
        for (std::int32_t x = 0; x < side; ++x, p += 4) {
            // A triangle wave along the diagonal keeps the wrap at 256 continuous.
            const std::int32_t t = (x + y) & 255;
            const std::int32_t band = (t < 128 ? t : 255 - t) / 16;  // 0..7
            const std::int32_t check = ((x / 32 + y / 32) & 1) ? 3 : 0;
            const std::int32_t v = 30 + band + check;
            p[0] = static_cast<std::uint8_t>(v + 6);  // a touch of blue
            p[1] = static_cast<std::uint8_t>(v + 2);
            p[2] = static_cast<std::uint8_t>(v);
            p[3] = 0;
        }
    }
    tile->markAllDone();
    tile->takeDirtyRect();
    return tile;
}

}  // namespace kalder::gui
