#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace kalder::image {

class ColorTransform;

// A colour value as 0x00BBGGRR: red in the low byte.
using ColorRef = std::uint32_t;

inline constexpr ColorRef makeColorRef(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return r | (static_cast<ColorRef>(g) << 8) | (static_cast<ColorRef>(b) << 16);
}
inline constexpr std::uint8_t redOf(ColorRef c) { return c & 0xff; }
inline constexpr std::uint8_t greenOf(ColorRef c) { return (c >> 8) & 0xff; }
inline constexpr std::uint8_t blueOf(ColorRef c) { return (c >> 16) & 0xff; }

// What a caller asks of ImageDocument::Open.
struct LoadOptions {
    static constexpr std::int32_t kUnbounded = 32767;

    std::filesystem::path path;

    // Target size rules (see computeTargetSize).
    bool autoFit = false;
    std::int32_t fitWidth = 0;
    std::int32_t fitHeight = 0;
    std::int32_t zoomRule = 0;  // 0 every image, 1 only smaller than the limit box, 2 only larger
    std::int32_t limitWidth = kUnbounded;
    std::int32_t limitHeight = kUnbounded;

    std::int32_t rotation = 0;  // quarter turns clockwise
    bool flipHorizontal = false;
    bool flipVertical = false;

    bool smoothShrink = true;
    bool smoothEnlarge = true;
    std::int32_t smoothEnlargeMinSize = 0;

    bool blendAlpha = false;
    ColorRef backgroundColour = 0;

    std::vector<std::string>* comments = nullptr;
    std::mutex* commentsLock = nullptr;

    // 768 bytes: red table, green table, blue table.
    const std::uint8_t* gammaTable = nullptr;
    bool extractAlpha = false;
    ColorTransform* colorTransform = nullptr;
};

}  // namespace kalder::image
