#pragma once

#include "tools/convert/batch_convertor.h"

namespace kalder::app {

struct Settings;

// The batch convertor's settings as the settings record keeps them. Fields without a place in
// the record (the effects, the overlay's mode, file and text, the resample method's threads)
// keep their defaults when read and are not stored. Layout of the blocks, each element an int32:
//   batchFormatOptions [0] format (list index, default 2 = JPEG), [1] dithering (3),
//                      [2] palette (0), [3] resample method (2), [4] colour depth in bits
//                      (0 "[original]"), [5] unit, [6] dpiX, [7] dpiY (both 0: "[original]")
//   batchGroupB        [0] place in folder, [1] copy sub-folders, [2] preserve date (1),
//                      [3] keep original comments (1), [4] set comments, [5] apply to,
//                      [6] rotation (quarter turns), [7] mirrors (1 horizontal, 2 vertical)
//   batchGroupC        [0] overlay horizontal anchor (2 right), [1] vertical anchor (2 bottom),
//                      [2] horizontal spacing (5), [3] vertical spacing (5), [4] text alignment,
//                      [5] resample flags (1 percents, 2 keep aspect, 4 swap for vertical),
//                      [6] width, [7] height, in hundredths (0 "[original]")
//   overlayEffects     [0] text background, [1] box opacity, [2] box margin, [3] shadow offset
//   overlayColorA      text colour; overlayColorB box colour
//   overlayFont        [0..3] point size in tenths, [4..7] weight (little-endian), [8] italic,
//                      [9..59] family in UTF-8, zero-terminated (all zero: the default font)
//   batchOutputFolder, batchComments, defaultResolutionX/Y and the writers' blocks as they are.
// Values out of range read back as the nearest valid one.
tools::BatchSettings batchSettingsFromSettings(const Settings& settings);
void storeBatchSettings(const tools::BatchSettings& batch, Settings& settings);

}  // namespace kalder::app
