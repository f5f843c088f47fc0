#include "app/core/batch_settings_binding.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/core/settings.h"
#include "app/core/writer_settings.h"
#include "base/byte_order.h"

namespace kalder::app {
namespace {

constexpr std::int32_t kMaxSpacing = 10000;
constexpr std::size_t kFamilyOffset = 10;

std::int32_t readLe(const std::array<std::uint8_t, kOverlayFontSize>& b, std::size_t at) {
    return static_cast<std::int32_t>(base::loadU32le(b.data() + at));
}

void writeLe(std::array<std::uint8_t, kOverlayFontSize>& b, std::size_t at, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
}

tools::OverlayFont fontFrom(const std::array<std::uint8_t, kOverlayFontSize>& b) {
    tools::OverlayFont f;
    const std::int32_t tenths = readLe(b, 0);
    if (tenths <= 0) return f;  // never stored: the default font
    f.pointSize = std::min(tenths, 10000) / 10.0;
    f.weight = std::clamp(readLe(b, 4), 100, 900);
    f.italic = b[8] != 0;
    const auto* family = reinterpret_cast<const char*>(b.data() + kFamilyOffset);
    const std::size_t length = strnlen(family, kOverlayFontSize - kFamilyOffset - 1);
    if (length > 0) f.family.assign(family, length);
    return f;
}

void storeFont(const tools::OverlayFont& f, std::array<std::uint8_t, kOverlayFontSize>& b) {
    b.fill(0);
    writeLe(b, 0,
            static_cast<std::int32_t>(std::lround(std::clamp(f.pointSize, 0.1, 1000.0) * 10)));
    writeLe(b, 4, std::clamp(f.weight, 100, 900));
    b[8] = f.italic ? 1 : 0;
    // Cut at a character boundary so the stored name stays valid UTF-8.
    std::size_t n = std::min(f.family.size(), kOverlayFontSize - kFamilyOffset - 1);
    while (n > 0 && n < f.family.size() && (static_cast<unsigned char>(f.family[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(b.data() + kFamilyOffset, f.family.data(), n);
}

std::int32_t toHundredths(double v) {
    return v > 0 ? static_cast<std::int32_t>(std::lround(std::min(v, 2.0e7) * 100)) : 0;
}

}  // namespace

tools::BatchSettings batchSettingsFromSettings(const Settings& s) {
    tools::BatchSettings b;
    const auto& f = s.batchFormatOptions;
    const auto& g = s.batchGroupB;
    const auto& c = s.batchGroupC;
    b.format = static_cast<tools::BatchFormat>(
        std::clamp(f[0], 0, static_cast<std::int32_t>(tools::BatchFormat::Count) - 1));
    b.dithering = std::clamp(f[1], 0, 4);
    b.palette = std::clamp(f[2], 0, 4);
    b.method = std::clamp(f[3], 0, 4);
    b.colorDepth = std::clamp(f[4], 0, 32);
    b.unit = std::clamp(f[5], 0, 8);
    b.originalResolution = f[6] <= 0 || f[7] <= 0;
    b.dpiX = b.originalResolution ? 0 : std::min(f[6], 100000);
    b.dpiY = b.originalResolution ? 0 : std::min(f[7], 100000);

    b.placeInFolder = g[0] != 0;
    b.copySubfolders = g[1] != 0;
    b.preserveDate = g[2] != 0;
    b.keepOriginal = g[3] != 0;
    b.setComments = g[4] != 0;
    b.applyTo = static_cast<tools::ApplyTo>(std::clamp(g[5], 0, 2));
    b.rotation = std::clamp(g[6], 0, 3);
    b.mirrorH = (g[7] & 1) != 0;
    b.mirrorV = (g[7] & 2) != 0;

    b.overlay.horizontalAnchor = std::clamp(c[0], 0, 2);
    b.overlay.verticalAnchor = std::clamp(c[1], 0, 2);
    b.overlay.horizontalSpacing = static_cast<std::uint32_t>(std::clamp(c[2], 0, kMaxSpacing));
    b.overlay.verticalSpacing = static_cast<std::uint32_t>(std::clamp(c[3], 0, kMaxSpacing));
    b.overlay.alignment = static_cast<tools::TextAlignment>(std::clamp(c[4], 0, 2));
    b.percents = (c[5] & 1) != 0;
    b.keepAspect = (c[5] & 2) != 0;
    b.swapForVertical = (c[5] & 4) != 0;
    b.width = std::max(0, c[6]) / 100.0;
    b.height = std::max(0, c[7]) / 100.0;

    const auto& e = s.overlayEffects;
    b.overlay.background = static_cast<tools::TextBackground>(std::clamp(e[0], 0, 2));
    b.overlay.boxOpacity = std::clamp(e[1], 0, 100);
    b.overlay.boxMargin = std::clamp(e[2], 0, kMaxSpacing);
    b.overlay.shadowOffset = std::clamp(e[3], 0, kMaxSpacing);
    b.overlay.textColor = s.overlayColorA & 0x00FFFFFF;
    b.overlay.boxColor = s.overlayColorB & 0x00FFFFFF;
    b.overlay.font = fontFrom(s.overlayFont);

    b.outputFolder = s.batchOutputFolder;
    b.comments = s.batchComments;
    b.defaultDpiX = std::clamp(s.defaultResolutionX, 1, 100000);
    b.defaultDpiY = std::clamp(s.defaultResolutionY, 1, 100000);
    b.formatOptions = writerOptionsFromSettings(s);
    return b;
}

void storeBatchSettings(const tools::BatchSettings& b, Settings& s) {
    auto& f = s.batchFormatOptions;
    auto& g = s.batchGroupB;
    auto& c = s.batchGroupC;
    f = {static_cast<std::int32_t>(b.format),
         b.dithering,
         b.palette,
         b.method,
         b.colorDepth,
         b.unit,
         b.originalResolution ? 0 : b.dpiX,
         b.originalResolution ? 0 : b.dpiY};
    g = {b.placeInFolder, b.copySubfolders,
         b.preserveDate,  b.keepOriginal,
         b.setComments,   static_cast<std::int32_t>(b.applyTo),
         b.rotation,      (b.mirrorH ? 1 : 0) | (b.mirrorV ? 2 : 0)};
    c = {b.overlay.horizontalAnchor,
         b.overlay.verticalAnchor,
         static_cast<std::int32_t>(
             std::min<std::uint32_t>(b.overlay.horizontalSpacing, kMaxSpacing)),
         static_cast<std::int32_t>(std::min<std::uint32_t>(b.overlay.verticalSpacing, kMaxSpacing)),
         static_cast<std::int32_t>(b.overlay.alignment),
         (b.percents ? 1 : 0) | (b.keepAspect ? 2 : 0) | (b.swapForVertical ? 4 : 0),
         toHundredths(b.width),
         toHundredths(b.height)};
    s.overlayEffects[0] = static_cast<std::int32_t>(b.overlay.background);
    s.overlayEffects[1] = b.overlay.boxOpacity;
    s.overlayEffects[2] = b.overlay.boxMargin;
    s.overlayEffects[3] = b.overlay.shadowOffset;
    s.overlayColorA = b.overlay.textColor;
    s.overlayColorB = b.overlay.boxColor;
    storeFont(b.overlay.font, s.overlayFont);
    s.batchOutputFolder = b.outputFolder.string();
    s.batchComments = b.comments;
    storeWriterOptions(b.formatOptions, s);
}

}  // namespace kalder::app
