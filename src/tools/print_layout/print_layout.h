#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/translatable.h"
#include "image/bitmap32.h"

namespace kalder::tools {

// The page layouts in the order the layout list shows them; the value is the list index.
enum class PrintLayout : std::uint8_t { One = 0, Two = 1, Three = 2, Four = 3, Nine = 4 };

inline constexpr std::array<std::string_view, 5> kPrintLayoutNames = {
    QT_TRANSLATE_NOOP("Choices", "1 image"), QT_TRANSLATE_NOOP("Choices", "2 images"),
    QT_TRANSLATE_NOOP("Choices", "3 images"), QT_TRANSLATE_NOOP("Choices", "4 images"),
    QT_TRANSLATE_NOOP("Choices", "9 images")};

inline constexpr double kPrintCellGapMm = 3.0;
inline constexpr int kMaxPrintRepeat = 100;
inline constexpr double kMinCustomSizeMm = 0.1;
inline constexpr double kMmToInches = 0.03937;
inline constexpr double kInchesToMm = 25.4;
// Longer side of a preview bitmap loaded for an item the browser had no thumbnail for.
inline constexpr std::int32_t kPrintPreviewSize = 120;

inline constexpr std::string_view kPrintCustomSizeTruncated = QT_TRANSLATE_NOOP(
    "Messages", "Custom size is larger than the page size. The image area is truncated.");
inline constexpr std::string_view kPrintResolutionMismatch =
    QT_TRANSLATE_NOOP("Messages",
                      "Please clear both horizontal and vertical resolution values to use the "
                      "default values or specifiy both of them explicitly.");
inline constexpr std::string_view kPrintersNotFound =
    QT_TRANSLATE_NOOP("Messages", "Printer(s) not found");

// One image to print.
struct PrintItem {
    std::filesystem::path path;
    // The browser's thumbnail or a small decode; empty until made.
    std::shared_ptr<image::Bitmap32> preview;
    // Pixel size and resolution; read only when "Original size" needs them.
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t dpiX = 0;
    std::int32_t dpiY = 0;
    bool sizeRead = false;
};

// One placement of an item on a page, in millimetres from the printable area's top-left corner.
struct PrintCell {
    std::int32_t page = 0;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    std::size_t item = 0;
    // The picture at device resolution; only the page being printed holds these.
    std::unique_ptr<image::Bitmap32> bitmap;
};

// The printable area of the chosen printer.
struct PrintPage {
    double widthMm = 0;
    double heightMm = 0;
    bool landscape = false;
};

std::int32_t cellsPerPage(PrintLayout layout);

// Every item `repeat` times in a row (repeat clamped to 1..100), pages filled in order.
std::vector<PrintCell> layoutCells(PrintLayout layout, const PrintPage& page, std::size_t items,
                                   std::int32_t repeat);
std::int32_t pageCount(const std::vector<PrintCell>& cells);

// What the repeat field holds after editing: "" -> 1, below 1 -> 1, above 100 -> 100.
std::int32_t clampRepeatText(std::string_view text);
// "page 3 of 5"; `page` counts from 1.
std::string pageCaption(std::int32_t page, std::int32_t pages);

// How a picture of sw x sh is put into a cell of cw x ch: the source rectangle taken and the size
// it is drawn at, from the cell's top-left corner.
struct CellPlacement {
    std::int32_t sourceX = 0;
    std::int32_t sourceY = 0;
    std::int32_t sourceWidth = 0;
    std::int32_t sourceHeight = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};
// Zoom: the central crop with the cell's aspect over the whole cell. Else the whole picture fitted.
// Empty (all zero) when any size is not positive.
CellPlacement placeInCell(std::int32_t sw, std::int32_t sh, std::int32_t cw, std::int32_t ch,
                          bool zoom);

// Custom size: true when a width or height in millimetres may be accepted.
bool customSizeAllowed(double mm);
struct LimitedSize {
    double width = 0;
    double height = 0;
    bool truncated = false;
};
// The size swapped on a landscape page and limited to the printable area.
LimitedSize limitCustomSize(double widthMm, double heightMm, const PrintPage& page);
void applyCellSize(std::vector<PrintCell>& cells, double widthMm, double heightMm);
// "Original size": the item's printed size in millimetres, or nullopt when it has no resolution or
// does not fit the printable area (the cell then keeps its layout size).
std::optional<LimitedSize> originalSizeMm(const PrintItem& item, const PrintPage& page);
void applyOriginalSizes(std::vector<PrintCell>& cells, const std::vector<PrintItem>& items,
                        const PrintPage& page);

// A resolution field: -1 shows "[default]".
inline constexpr std::int32_t kDefaultResolution = -1;
// "&Print" refuses exactly one default field.
bool resolutionFieldsConsistent(std::int32_t x, std::int32_t y);
struct PrintResolution {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
// Non-positive field values (including "[default]") take the default.
PrintResolution effectiveResolution(std::int32_t x, std::int32_t y, PrintResolution defaults);

struct PixelSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};
// The resampled picture's size for a cell: one side spans the cell at the print resolution, the
// other keeps the picture's aspect. Zero when anything is degenerate or the size is absurd.
PixelSize targetPixelSize(double cellWidthMm, double cellHeightMm, std::int32_t sw, std::int32_t sh,
                          PrintResolution dpi, bool zoom);

// Monochrome printers: every pixel to its grey, in place.
void toGreyPreview(image::Bitmap32& bitmap);

}  // namespace kalder::tools
