#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalder::image {

// What a file says about its colours, for colour management.
struct ColorSpace {
    enum class Kind : std::uint8_t {
        Srgb,        // declared sRGB
        Calibrated,  // end points (chromaticities) and gammas
        Icc,         // an embedded ICC profile
    };
    Kind kind = Kind::Srgb;
    // Chromaticities x, y of white, red, green, blue (Calibrated only; all zero when the file gave
    // only a gamma, which means the sRGB primaries).
    double whiteX = 0, whiteY = 0;
    double redX = 0, redY = 0, greenX = 0, greenY = 0, blueX = 0, blueY = 0;
    bool hasChromaticities = false;
    // Decoding gamma per channel (1 / file gamma), Calibrated only.
    double gammaRed = 2.2, gammaGreen = 2.2, gammaBlue = 2.2;
    std::vector<std::uint8_t> iccProfile;  // Icc only

    bool operator==(const ColorSpace&) const = default;
};

// Translates decoded pixels into the monitor's colours; built by the view layer.
class ColorTransform {
public:
    virtual ~ColorTransform() = default;
    // Prepares for an image in the given colour space, or for a plain source gamma of 1 / 2.2
    // when the file says nothing (space == nullptr). False leaves the transform inactive.
    virtual bool setSource(const ColorSpace* space) = 0;
    // Translates count pixels of blue, green, red, unused in place.
    virtual void translateRow(std::uint8_t* bgrx, std::size_t count) = 0;
};

}  // namespace kalder::image
