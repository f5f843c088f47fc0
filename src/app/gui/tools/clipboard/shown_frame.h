#pragma once

#include <memory>

namespace kalder::image {
class Bitmap32;
}

namespace kalder::gui {

class ToolContext;

// Decodes the current file again, with the viewer's orientation and all its frames, and returns
// the frame now on screen: at the viewing area's size when fitted, else at the file's own size.
// Null without a current image or when the file no longer decodes.
std::unique_ptr<image::Bitmap32> decodeShownFrame(ToolContext& context, bool atViewingAreaSize);

}  // namespace kalder::gui
