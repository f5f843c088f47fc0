#include "app/gui/tools/clipboard/shown_frame.h"

#include <algorithm>

#include "app/core/settings.h"
#include "app/gui/tools/tool_context.h"
#include "image/bitmap32.h"
#include "image/image_document.h"
#include "image/image_page.h"
#include "image/load_options.h"
#include "view/image_entry.h"
#include "view/view_state.h"

namespace kalder::gui {

std::unique_ptr<image::Bitmap32> decodeShownFrame(ToolContext& context, bool atViewingAreaSize) {
    const view::ImageEntry* entry = context.currentEntry();
    if (!entry) return nullptr;
    view::DisplayRequest request = context.displayRequest();
    if (!atViewingAreaSize) {
        request.autoFit = false;
        request.fitWidth = request.fitHeight = 0;
    }
    image::LoadOptions options;
    options.path = entry->path();
    view::applyToLoadOptions(request, options);
    const app::Settings& settings = context.settings();
    options.smoothShrink = settings.squeezeInterpolated;
    options.smoothEnlarge = settings.stretchInterpolated;
    options.smoothEnlargeMinSize = settings.minStretchSize;
    options.blendAlpha = settings.showTransparency;
    options.backgroundColour = settings.transparencyColor;

    image::ImageDocument document;
    if (!document.loadAll(options, true) || document.PageCount() < 1) return nullptr;
    const std::int32_t page = std::clamp(context.shownPage(), 0, document.PageCount() - 1);
    auto frame = std::make_unique<image::Bitmap32>();
    if (!document.PageAt(page).bitmap.CopyTo(*frame)) return nullptr;
    return frame;
}

}  // namespace kalder::gui
