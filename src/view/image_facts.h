#pragma once

#include <cstdint>
#include <string>

#include "view/view_types.h"

namespace kalder::view {

// What the viewer tells about the image on screen: its scale, its own size, its place in the
// folder, the page or frame shown and the file's size. Zero means unknown (and is not shown).
struct ImageFacts {
    std::int32_t zoomPercent = 0;
    std::int32_t width = 0;  // the picture's own size, before any scaled decoding
    std::int32_t height = 0;
    std::size_t position = 0;  // 1-based place in the folder's list
    std::size_t count = 0;
    std::int32_t page = 0;  // 1-based; shown only when pages > 1
    std::int32_t pages = 0;
    bool animation = false;  // frames rather than pages
    std::uint64_t fileSize = 0;

    bool operator==(const ImageFacts&) const = default;
};

// The scale of the picture on screen in per cent of device pixels: what a reduced decode at an
// integer zoom comes to against the picture's own size (the longer sides compared, so a quarter
// turn does not matter). Without a known source size the zoom alone answers.
std::int32_t zoomPercent(PixelSize displayed, PixelSize source, Zoom zoom);

// "512 bytes", "1.5 KB", "2.8 MB", "1.2 GB": one decimal from a kilobyte on.
std::string shortFileSize(std::uint64_t bytes);

}  // namespace kalder::view
