#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "image/resample.h"
#include "tools/print_layout/print_layout.h"
#include "tools/tool_host.h"

namespace kalder::image {
class CancelSink;
}

namespace kalder::tools {

inline constexpr std::string_view kPrintStageReading = "Reading ...";
inline constexpr std::string_view kPrintStageProcessing = "Processing ...";
inline constexpr std::string_view kPrintCannotRead = "Cannot read the image";

struct PrintOptions {
    PrintResolution dpi{300, 300};
    // Put each picture upright by its Exif Orientation, as the viewer does by default.
    bool upright = true;
    bool zoom = false;
    image::ResampleMethod method = image::ResampleMethod::Lanczos;
};

// Decodes a file at full size into the bitmap; false when it cannot be read. With `upright` the
// picture is put upright by its Exif Orientation, as the viewer shows it.
using PrintImageLoader =
    std::function<bool(const std::filesystem::path&, image::Bitmap32&, const image::CancelSink*)>;
bool loadFullImage(const std::filesystem::path& path, image::Bitmap32& out,
                   const image::CancelSink* cancel, bool upright = true);
// A preview whose longer side is at most kPrintPreviewSize; false when the file cannot be read.
bool loadPrintPreview(const std::filesystem::path& path, image::Bitmap32& out, bool upright = true);
// Reads the item's pixel size and resolution once ("Original size"), in the orientation it is
// printed in.
void readOriginalSize(PrintItem& item, bool upright);

enum class PrepareOutcome { Done, Stopped, Failed };

// Gives every cell of `page` its bitmap at the print resolution. Consecutive cells of the same
// item share one decode, and only one full-size decode is held at a time. On Stopped or Failed
// the page's bitmaps are released again. Without a loader, loadFullImage as the options say.
PrepareOutcome preparePage(std::vector<PrintCell>& cells, std::int32_t page,
                           const std::vector<PrintItem>& items, const PrintOptions& options,
                           ToolHost& host, const PrintImageLoader& load = {});
void releasePage(std::vector<PrintCell>& cells, std::int32_t page);

}  // namespace kalder::tools
