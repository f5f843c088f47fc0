#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/translatable.h"
#include "image/bitmap32.h"

namespace kalder::tools {

enum class OverlayMode : std::int32_t { None = 0, ImageFile = 1, Text = 2 };
enum class TextBackground : std::int32_t { None = 0, Box = 1, Shadow = 2 };
enum class TextAlignment : std::int32_t { Left = 0, Center = 1, Right = 2 };

// The font the GUI's font dialog chose, in the terms the text renderer understands.
struct OverlayFont {
    std::string family = "DejaVu Sans";
    double pointSize = 24;      // rendered at 96 dpi: pixels = points * 96 / 72
    std::int32_t weight = 400;  // 100..900, CSS-like (400 normal, 700 bold)
    bool italic = false;
    bool operator==(const OverlayFont&) const = default;
};

struct OverlaySettings {
    OverlayMode mode = OverlayMode::None;
    std::filesystem::path imagePath;
    std::string text;  // UTF-8; may hold line breaks and tabs
    OverlayFont font;
    TextAlignment alignment = TextAlignment::Left;
    std::int32_t horizontalAnchor = 2;  // 0 left, 1 centre, 2 right
    std::int32_t verticalAnchor = 2;    // 0 top, 1 middle, 2 bottom
    std::uint32_t horizontalSpacing = 10;
    std::uint32_t verticalSpacing = 10;
    TextBackground background = TextBackground::None;
    std::uint32_t boxColor = 0x00000000;   // 0x00BBGGRR
    std::uint32_t textColor = 0x00FFFFFF;  // 0x00BBGGRR
    std::int32_t boxOpacity = 50;          // percent
    std::int32_t shadowOffset = 3;         // pixels
    std::int32_t boxMargin = 5;            // pixels
    bool operator==(const OverlaySettings&) const = default;
};

// What is stamped onto each page.
struct OverlayLayer {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t backgroundColor = 0;             // 0x00BBGGRR
    std::vector<std::uint8_t> backgroundCoverage;  // width * height, or empty: no background
    image::Bitmap32 pixels;                        // width x height
    std::vector<std::uint8_t> coverage;            // width * height, or empty: opaque
};

class Overlay {
public:
    // Builds the layer once per run: loads the image file (first page, with its alpha) or renders
    // the text. False when the image cannot be loaded or the text cannot be rendered
    // (the caller shows "Cannot load the overlay image.").
    static bool Prepare(const OverlaySettings& settings, OverlayLayer& layer);
    // Composes the layer onto the page at the settings' anchor and spacing. `pageAlpha` is the
    // page's width * height plane or null.
    static void Stamp(image::Bitmap32& page, std::uint8_t* pageAlpha, const OverlayLayer& layer,
                      const OverlaySettings& settings);
};

inline constexpr char kOverlayLoadFailedMessage[] =
    QT_TRANSLATE_NOOP("Messages", "Cannot load the overlay image.");

}  // namespace kalder::tools
