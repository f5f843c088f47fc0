// Placeholder bodies until the overlays land; the real ones replace this file.
#include "tools/convert/overlay.h"

namespace kalder::tools {

bool Overlay::Prepare(const OverlaySettings&, OverlayLayer&) { return false; }
void Overlay::Stamp(image::Bitmap32&, std::uint8_t*, const OverlayLayer&, const OverlaySettings&) {}

}  // namespace kalder::tools
