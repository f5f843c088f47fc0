#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "image/color_space.h"

namespace kalder::view {

// Why a monitor profile could not be used. Decoding then goes on without a profile.
enum class ProfileError : std::uint8_t {
    Unreadable,  // the file is missing or cannot be read
    Invalid,     // not an ICC profile, or not one for RGB colours
};
// The message the user sees for any ProfileError.
std::string_view profileErrorMessage(ProfileError error);

// The monitor's own profile, as the platform reports it (on X11 the root window's
// _ICC_PROFILE property). Nothing means none is known; the built-in sRGB profile is used then.
class MonitorProfileSource {
public:
    virtual ~MonitorProfileSource() = default;
    virtual std::optional<std::vector<std::uint8_t>> monitorProfile() const = 0;
};

// Knows no monitor profile: every display is taken to be sRGB.
class NoMonitorProfile final : public MonitorProfileSource {
public:
    std::optional<std::vector<std::uint8_t>> monitorProfile() const override {
        return std::nullopt;
    }
};

// Adapts decoded pixels to the monitor profile. One per loader thread; not shared.
//
// Without an open profile, or when a transform cannot be made, TranslateRow leaves the
// pixels alone. Transforms are made per source colour space and kept while the next image
// has an equal one.
class ColorManager final : public image::ColorTransform {
public:
    ColorManager();
    ~ColorManager() override;
    ColorManager(const ColorManager&) = delete;
    ColorManager& operator=(const ColorManager&) = delete;

    // Drops the current transform and profile. No path: no profile, success. Otherwise reads
    // and opens the file; on failure no profile is open.
    std::optional<ProfileError> SetProfile(const std::optional<std::filesystem::path>& path);
    // The same from profile bytes (a monitor property, a test).
    std::optional<ProfileError> SetProfileData(std::span<const std::uint8_t> data);
    // The built-in sRGB profile as the monitor profile.
    void SetSrgbProfile();
    // The monitor's profile, or built-in sRGB when the source knows none.
    std::optional<ProfileError> SetMonitorProfile(const MonitorProfileSource& source);
    bool hasProfile() const;

    // Makes (or keeps) the transform from a source colour space to the open profile. False
    // when no profile is open or the space cannot be used; translation is then off.
    bool SetSourceColorSpace(const image::ColorSpace& space);
    // A calibrated source with sRGB-like primaries and a plain gamma of 1 / g per channel
    // (g is the file's encoding gamma, so 1 / 2.2 means a decoding exponent of 2.2).
    bool SetSourceGamma(double g);
    bool hasTransform() const;

    // Translates `count` pixels of blue, green, red, unused in place; the unused byte is kept.
    void TranslateRow(std::uint8_t* bgrx, std::size_t count);

    // image::ColorTransform, for ImageDocument's row pipeline. Safe from several threads at
    // once: each thread translates with a transform of its own, made on its first setSource.
    bool setSource(const image::ColorSpace* space) override;
    void translateRow(std::uint8_t* bgrx, std::size_t count) override;

private:
    void replaceMonitor(void* profile);
    struct Impl;
    std::unique_ptr<Impl> m;
};

// The calibrated source colour space SetSourceGamma uses.
image::ColorSpace sourceSpaceForGamma(double g);

}  // namespace kalder::view
