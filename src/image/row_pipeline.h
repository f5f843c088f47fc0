#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "image/result.h"

namespace kalder::image {

class Bitmap32;
class ColorTransform;

// How decoded rows become the pixels of a page: scaled to the target size, colour-managed,
// gamma-corrected, then placed rotated and flipped, one finished row or column at a time.
struct PipelineSettings {
    std::int32_t sourceWidth = 0;  // in source orientation
    std::int32_t sourceHeight = 0;
    bool bottomUp = false;        // the reader delivers the last row first
    std::int32_t rotation = 0;    // quarter turns clockwise
    bool flipHorizontal = false;  // in target coordinates, after rotation
    bool flipVertical = false;
    bool smoothShrink = true;
    bool smoothEnlarge = true;
    std::int32_t smoothEnlargeMinSize = 0;
    ColorTransform* colorTransform = nullptr;
    const std::uint8_t* gammaTable = nullptr;  // 768 bytes: red, green, blue tables
    // The source delivers blue, green, red, unused (sourceWidth * 4 bytes) instead.
    bool sourceBgrx = false;
};

enum class ScalingPath { Copy, NearestEnlarge, BilinearEnlarge, NearestReduce, AreaReduce };

// Which path a page takes for a source of w x h and a target of W x H in source orientation.
ScalingPath chooseScalingPath(const PipelineSettings& s, std::int32_t targetW,
                              std::int32_t targetH);

// Pulls the next delivered source row (sourceWidth * 3 bytes red, green, blue, or the layout
// sourceBgrx names). With skip set
// the row's content is not needed.
using RowSource = std::function<Status(std::uint8_t* rgb, bool skip)>;

// The area-weighted reduce adds four lanes at once where the processor has them (the default);
// off, one at a time. The pixels are the same either way. Returns whether the wide one is in use.
bool useWideSplat(bool wide);

// Decodes one page into target (already created at its size after rotation).
Status runRowPipeline(const PipelineSettings& settings, Bitmap32& target, const RowSource& source);

}  // namespace kalder::image
