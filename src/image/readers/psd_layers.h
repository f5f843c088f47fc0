#pragma once

// The layers of a Photoshop document as plain pixels, for tools that write layers out.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/result.h"

namespace kalder::image {

struct PsdLayerRecord {
    std::string name;                                       // UTF-8
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // in document coordinates
    std::string blendMode;                                  // the four-character key, e.g. "norm"
    std::uint8_t opacity = 255;
    std::uint8_t flags = 0;
    bool hidden = false;
    bool hasTransparency = false;  // false: every alpha byte is 255
    // (right - left) * (bottom - top) pixels of red, green, blue, alpha, rows top-down; the alpha
    // already includes the layer's opacity and mask.
    std::vector<std::uint8_t> rgba;
};

struct PsdLayerSet {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<PsdLayerRecord>
        layers;  // bottom layer first; group markers and empty layers left out
};

// Reads the layers of a file. With expandToImage every layer is placed on a canvas of the
// document's size (parts outside it dropped). A document without layers gives one layer.
Result<PsdLayerSet> readPsdLayers(const std::filesystem::path& path, bool expandToImage);

}  // namespace kalder::image
