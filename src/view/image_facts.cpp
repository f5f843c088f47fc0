#include "view/image_facts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kalder::view {

std::int32_t zoomPercent(PixelSize displayed, PixelSize source, Zoom zoom) {
    const std::int64_t shown = std::max(displayed.width, displayed.height);
    const std::int64_t own = std::max(source.width, source.height);
    if (shown > 0 && own > 0)
        return static_cast<std::int32_t>(std::max<std::int64_t>(1, (shown * 100 + own / 2) / own));
    const std::int32_t factor = std::max(1, zoom.factor);
    return zoom.reduce ? std::max(1, (100 + factor / 2) / factor) : 100 * factor;
}

std::string shortFileSize(std::uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " bytes";
    static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    // Rounded to one decimal first, so 1023.96 KB reads "1.0 MB", not "1024.0 KB".
    while (std::round(value * 10.0) >= 10240.0 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

}  // namespace kalder::view
