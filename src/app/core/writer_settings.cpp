#include "app/core/writer_settings.h"

#include <algorithm>
#include <array>

#include "app/core/settings.h"

namespace kalder::app {
namespace {

image::TransparencyOptions transparencyFrom(const std::array<std::int32_t, 4>& block) {
    image::TransparencyOptions t;
    const std::int32_t mode = block[1];
    t.mode = mode >= 0 && mode <= 3 ? static_cast<image::TransparencyMode>(mode)
                                    : image::TransparencyMode::Retain;
    t.color = static_cast<std::uint32_t>(block[2]) & 0x00FFFFFF;
    t.paletteIndex = std::clamp(block[3], 0, 255);
    return t;
}

void storeTransparency(const image::TransparencyOptions& t, std::array<std::int32_t, 4>& block) {
    block[1] = static_cast<std::int32_t>(t.mode);
    block[2] = static_cast<std::int32_t>(t.color & 0x00FFFFFF);
    block[3] = t.paletteIndex;
}

}  // namespace

WriterOptions writerOptionsFromSettings(const Settings& s) {
    WriterOptions o;
    o.bmp.rle = s.bmpOptions[0] != 0;
    o.tga.rle = s.tgaOptions[0] != 0;
    o.gif.interlaced = s.gifOptions[0] != 0;
    o.gif.transparency = transparencyFrom(s.gifOptions);
    o.png.interlaced = s.pngOptions[0] != 0;
    o.png.transparency = transparencyFrom(s.pngOptions);
    o.png.gamma = s.pngGamma > 0 ? s.pngGamma : 0.0;
    o.jpeg.quality = std::clamp(s.jpegOptions[0], 0, 100);
    o.jpeg.smoothing = std::clamp(s.jpegOptions[1], 0, 100);
    o.jpeg.sampling = std::clamp(s.jpegOptions[2], 0, 2);
    o.jpeg.progressive = s.jpegOptions[3] != 0;
    o.jpeg.copyExif = s.jpegOptions[4] != 0;
    o.jpeg.gray = s.jpegOptions[5] != 0;
    o.tiff.compressionIndex = std::max(0, s.tiffOptions[0]);
    return o;
}

void storeWriterOptions(const WriterOptions& o, Settings& s) {
    s.bmpOptions[0] = o.bmp.rle ? 1 : 0;
    s.tgaOptions[0] = o.tga.rle ? 1 : 0;
    s.gifOptions[0] = o.gif.interlaced ? 1 : 0;
    storeTransparency(o.gif.transparency, s.gifOptions);
    s.pngOptions[0] = o.png.interlaced ? 1 : 0;
    storeTransparency(o.png.transparency, s.pngOptions);
    s.pngGamma = o.png.gamma;
    s.jpegOptions[0] = o.jpeg.quality;
    s.jpegOptions[1] = o.jpeg.smoothing;
    s.jpegOptions[2] = o.jpeg.sampling;
    s.jpegOptions[3] = o.jpeg.progressive ? 1 : 0;
    s.jpegOptions[4] = o.jpeg.copyExif ? 1 : 0;
    s.jpegOptions[5] = o.jpeg.gray ? 1 : 0;
    s.tiffOptions[0] = o.tiff.compressionIndex;
}

}  // namespace kalder::app
