#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "view/color_manager.h"

namespace kalder::view {

// The colour fields of the settings file.
struct ColorOptions {
    bool useColorProfiles = false;  // "Color profiles"; false: "Custom calibration"
    bool useDefaultProfile = true;  // "Use default color profile"
    std::filesystem::path colorProfilePath;
    double gammaRed = 1.0, gammaGreen = 1.0, gammaBlue = 1.0;
    double gammaExtra = 1.0;  // the additional gamma
};

// Which monitor profile the loaders open.
enum class ProfileChoice : std::uint8_t { None, File, Monitor };

// The colour record handed to the loaders.
struct ColorSettings {
    double gammaRed = 1.0, gammaGreen = 1.0, gammaBlue = 1.0;
    ProfileChoice profile = ProfileChoice::None;
    std::filesystem::path profilePath;  // File only
    double gammaExtra = 1.0;

    bool operator==(const ColorSettings&) const = default;
};

// Disabled (the "disable colour management" switch): neutral gammas and no profile.
// Otherwise the gammas as set, and a profile only in "Color profiles" mode.
ColorSettings buildColorSettings(const ColorOptions& options, bool disabled);

// Opens the profile the record names in a loader's manager. An error means the manager has no
// profile and decoding goes on unadapted; the caller shows profileErrorMessage once.
std::optional<ProfileError> applyColorSettings(ColorManager& manager, const ColorSettings& settings,
                                               const MonitorProfileSource& monitor);

// 768 bytes: red table, green table, blue table, applied to each decoded row after the profile.
using ColorTable = std::array<std::uint8_t, 768>;

// With a profile only the additional gamma counts; without one each channel uses its gamma
// times the additional one. No table when every exponent that counts is exactly 1.0.
std::optional<ColorTable> BuildTable(const ColorSettings& settings);

// 255 * (v / 255) ^ e, rounded half up, clamped to 0..255.
std::uint8_t applyExponent(std::int32_t v, double e);

// --- the colour options page ---
inline constexpr std::int32_t kCalibrationSliderMax = 600;
// Slider position (taken as at most 599) to stored exponent: (685 - v) / 300.
double sliderToExponent(std::int32_t position);
// Stored exponent to slider position: 685 - round(e * 300), within 0..600.
std::int32_t exponentToSlider(double exponent);
// The value the label shows ("Current value: %.3f"): 1 / e.
double calibrationLabelValue(double exponent);
// The inner square's level for a single-channel check: round(255 * 0.5 ^ (e / 2.2)).
std::uint8_t channelPreviewLevel(double exponent);
// Band i (0..255) of the additional-gamma preview in a box h pixels high.
struct PreviewBand {
    std::int32_t y = 0;
    std::int32_t height = 0;
};
PreviewBand additionalGammaBand(std::int32_t index, std::int32_t boxHeight);

}  // namespace kalder::view
