#include "view/color_calibration.h"

#include <algorithm>
#include <cmath>

namespace kalder::view {

ColorSettings buildColorSettings(const ColorOptions& o, bool disabled) {
    ColorSettings s;
    if (disabled) return s;
    s.gammaRed = o.gammaRed;
    s.gammaGreen = o.gammaGreen;
    s.gammaBlue = o.gammaBlue;
    s.gammaExtra = o.gammaExtra;
    if (o.useColorProfiles) {
        if (o.useDefaultProfile) {
            s.profile = ProfileChoice::Monitor;
        } else {
            s.profile = ProfileChoice::File;
            s.profilePath = o.colorProfilePath;
        }
    }
    return s;
}

std::optional<ProfileError> applyColorSettings(ColorManager& manager, const ColorSettings& s,
                                               const MonitorProfileSource& monitor) {
    switch (s.profile) {
        case ProfileChoice::None:
            return manager.SetProfile(std::nullopt);
        case ProfileChoice::File:
            if (s.profilePath.empty()) {
                (void)manager.SetProfile(std::nullopt);
                return ProfileError::Unreadable;
            }
            return manager.SetProfile(s.profilePath);
        case ProfileChoice::Monitor:
            return manager.SetMonitorProfile(monitor);
    }
    return std::nullopt;
}

std::uint8_t applyExponent(std::int32_t v, double e) {
    const double x = 255.0 * std::pow(std::clamp(v, 0, 255) / 255.0, e) + 0.5;
    if (!(x > 0)) return 0;  // also NaN
    return static_cast<std::uint8_t>(std::min(x, 255.0));
}

std::optional<ColorTable> BuildTable(const ColorSettings& s) {
    double e[3];
    if (s.profile != ProfileChoice::None) {
        if (s.gammaExtra == 1.0) return std::nullopt;
        e[0] = e[1] = e[2] = s.gammaExtra;
    } else {
        if (s.gammaRed == 1.0 && s.gammaGreen == 1.0 && s.gammaBlue == 1.0 && s.gammaExtra == 1.0)
            return std::nullopt;
        e[0] = s.gammaRed * s.gammaExtra;
        e[1] = s.gammaGreen * s.gammaExtra;
        e[2] = s.gammaBlue * s.gammaExtra;
    }
    ColorTable t{};
    for (std::int32_t c = 0; c < 3; ++c)
        for (std::int32_t i = 0; i < 256; ++i) t[c * 256 + i] = applyExponent(i, e[c]);
    return t;
}

double sliderToExponent(std::int32_t position) {
    const std::int32_t v = std::clamp(position, 0, kCalibrationSliderMax - 1);
    return (685 - v) / 300.0;
}

std::int32_t exponentToSlider(double e) {
    const double v = 685 - std::trunc(e * 300 + 0.5);
    if (!(v > 0)) return 0;
    return static_cast<std::int32_t>(std::min<double>(v, kCalibrationSliderMax));
}

double calibrationLabelValue(double e) { return 1.0 / e; }

std::uint8_t channelPreviewLevel(double e) {
    const double v = 255.0 * std::pow(0.5, e / 2.2) + 0.5;
    if (!(v > 0)) return 0;
    return static_cast<std::uint8_t>(std::min(v, 255.0));
}

PreviewBand additionalGammaBand(std::int32_t index, std::int32_t h) {
    PreviewBand b;
    b.y = static_cast<std::int32_t>(static_cast<double>(index) * h / 256 + 0.5);
    b.height = h / 256 + 1;
    return b;
}

}  // namespace kalder::view
