#pragma once

#include "tools/convert/overlay.h"

namespace kalder::tools {

// The largest text layer rendered (each side also within the image limit): a size a page could
// hold.
inline constexpr std::int64_t kMaxOverlayPixels = std::int64_t{1} << 26;

// Renders the settings' text into `layer` (coverage from an anti-aliased rendering, background
// box or shadow). False when the font or the size is unusable.
bool renderTextLayer(const OverlaySettings& settings, OverlayLayer& layer);

}  // namespace kalder::tools
