#include "image/thumbnail_placeholder.h"

#include <cstring>
#include <mutex>

#include "image/bitmap32.h"

namespace kalder::image {
namespace {

constexpr int kPictureWidth = 80;
constexpr int kPictureHeight = 9;

// Three grey dots in a thin frame: the picture for "no preview". '.' is not drawn.
constexpr const char* kPicture[kPictureHeight] = {
    "################################################################################",
    "#..............................................................................#",
    "#................................##.....##.....##..............................#",
    "#...............................####...####...####.............................#",
    "#...............................####...####...####.............................#",
    "#................................##.....##.....##..............................#",
    "#..............................................................................#",
    "#..............................................................................#",
    "################################################################################",
};

constexpr std::uint8_t kWindowColour = 0xff;  // the window background: white
constexpr std::uint8_t kInkColour = 0x80;

}  // namespace

void drawThumbnailPlaceholder(Bitmap32& bitmap, std::int32_t size) {
    if (!bitmap.Create(size, size)) return;
    std::lock_guard lock(bitmap.pixelLock());
    std::memset(bitmap.pixels(), kWindowColour, bitmap.byteSize());
    const int left = (size - kPictureWidth) / 2;
    const int top = (size - kPictureHeight) / 2;
    for (int y = 0; y < kPictureHeight; ++y) {
        const int ty = top + y;
        if (ty < 0 || ty >= size) continue;
        for (int x = 0; x < kPictureWidth; ++x) {
            const int tx = left + x;
            if (tx < 0 || tx >= size || kPicture[y][x] == '.') continue;
            std::uint8_t* p = bitmap.row(ty) + tx * 4;
            p[0] = p[1] = p[2] = kInkColour;
        }
    }
}

}  // namespace kalder::image
