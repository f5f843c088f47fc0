#include "tools/print_layout/print_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>

#include "base/limits.h"

namespace kalder::tools {

namespace {

struct Grid {
    std::int32_t columns;
    std::int32_t rows;
};

Grid gridOf(PrintLayout layout, bool landscape) {
    switch (layout) {
        case PrintLayout::One:
            return {1, 1};
        case PrintLayout::Two:
            return landscape ? Grid{2, 1} : Grid{1, 2};
        case PrintLayout::Four:
            return {2, 2};
        case PrintLayout::Nine:
            return {3, 3};
        case PrintLayout::Three:
            break;
    }
    return {1, 1};
}

double cellExtent(double total, std::int32_t count) {
    if (count <= 1) return total;
    return (total - (count - 1) * kPrintCellGapMm) / count;
}

// Rounds a non-negative product to pixels; anything past the limit counts as unusable.
std::int32_t toPixels(double value) {
    if (!std::isfinite(value) || value < 0.5 || value > base::kMaxUnsigned16Side) return 0;
    return static_cast<std::int32_t>(std::lround(value));
}

}  // namespace

std::int32_t cellsPerPage(PrintLayout layout) {
    switch (layout) {
        case PrintLayout::One:
            return 1;
        case PrintLayout::Two:
            return 2;
        case PrintLayout::Three:
            return 3;
        case PrintLayout::Four:
            return 4;
        case PrintLayout::Nine:
            return 9;
    }
    return 1;
}

std::vector<PrintCell> layoutCells(PrintLayout layout, const PrintPage& page, std::size_t items,
                                   std::int32_t repeat) {
    repeat = std::clamp(repeat, 1, kMaxPrintRepeat);
    const double W = page.widthMm;
    const double H = page.heightMm;
    const std::int32_t perPage = cellsPerPage(layout);

    // The slots of one page, in filling order.
    struct Slot {
        double x, y, w, h;
    };
    std::vector<Slot> slots;
    if (layout == PrintLayout::Three) {
        const double w = (W - kPrintCellGapMm) / 2;
        const double h = (H - kPrintCellGapMm) / 2;
        if (page.landscape)
            slots = {{0, 0, w, h}, {0, h + kPrintCellGapMm, w, h}, {w + kPrintCellGapMm, 0, w, H}};
        else
            slots = {{0, 0, w, h}, {w + kPrintCellGapMm, 0, w, h}, {0, h + kPrintCellGapMm, W, h}};
    } else {
        const Grid g = gridOf(layout, page.landscape);
        const double cw = cellExtent(W, g.columns);
        const double ch = cellExtent(H, g.rows);
        for (std::int32_t r = 0; r < g.rows; ++r)
            for (std::int32_t c = 0; c < g.columns; ++c)
                slots.push_back({(cw + kPrintCellGapMm) * c, (ch + kPrintCellGapMm) * r, cw, ch});
    }

    std::vector<PrintCell> cells;
    cells.reserve(items * static_cast<std::size_t>(repeat));
    std::size_t index = 0;
    for (std::size_t item = 0; item < items; ++item) {
        for (std::int32_t k = 0; k < repeat; ++k, ++index) {
            const Slot& s = slots[index % static_cast<std::size_t>(perPage)];
            PrintCell cell;
            cell.page = static_cast<std::int32_t>(index / static_cast<std::size_t>(perPage));
            cell.x = s.x;
            cell.y = s.y;
            cell.width = s.w;
            cell.height = s.h;
            cell.item = item;
            cells.push_back(std::move(cell));
        }
    }
    return cells;
}

std::int32_t pageCount(const std::vector<PrintCell>& cells) {
    return cells.empty() ? 0 : cells.back().page + 1;
}

std::int32_t clampRepeatText(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (text.empty()) return 1;
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) return text.front() == '-' ? 1 : kMaxPrintRepeat;
    if (ec != std::errc() || end == text.data()) return 1;
    return static_cast<std::int32_t>(std::clamp<long long>(value, 1, kMaxPrintRepeat));
}

std::string pageCaption(std::int32_t page, std::int32_t pages) {
    return "page " + std::to_string(page) + " of " + std::to_string(pages);
}

CellPlacement placeInCell(std::int32_t sw, std::int32_t sh, std::int32_t cw, std::int32_t ch,
                          bool zoom) {
    CellPlacement p;
    if (sw <= 0 || sh <= 0 || cw <= 0 || ch <= 0) return p;
    // Compare sw/sh with cw/ch without division: sw*ch against cw*sh.
    const auto lhs = static_cast<std::int64_t>(sw) * ch;
    const auto rhs = static_cast<std::int64_t>(cw) * sh;
    if (zoom) {
        if (lhs < rhs) {
            p.sourceWidth = sw;
            p.sourceHeight = static_cast<std::int32_t>(
                std::clamp<long>(std::lround(static_cast<double>(sw) * ch / cw), 1, sh));
        } else {
            p.sourceWidth = static_cast<std::int32_t>(
                std::clamp<long>(std::lround(static_cast<double>(sh) * cw / ch), 1, sw));
            p.sourceHeight = sh;
        }
        p.sourceX = (sw - p.sourceWidth) / 2;
        p.sourceY = (sh - p.sourceHeight) / 2;
        p.width = cw;
        p.height = ch;
        return p;
    }
    p.sourceWidth = sw;
    p.sourceHeight = sh;
    if (lhs > rhs) {
        p.width = cw;
        p.height = static_cast<std::int32_t>(
            std::max<long>(1, std::lround(static_cast<double>(cw) * sh / sw)));
    } else {
        p.width = static_cast<std::int32_t>(
            std::max<long>(1, std::lround(static_cast<double>(ch) * sw / sh)));
        p.height = ch;
    }
    return p;
}

bool customSizeAllowed(double mm) { return std::isfinite(mm) && mm >= kMinCustomSizeMm; }

LimitedSize limitCustomSize(double widthMm, double heightMm, const PrintPage& page) {
    if (page.landscape) std::swap(widthMm, heightMm);
    LimitedSize s{widthMm, heightMm, false};
    if (s.width > page.widthMm) {
        s.width = page.widthMm;
        s.truncated = true;
    }
    if (s.height > page.heightMm) {
        s.height = page.heightMm;
        s.truncated = true;
    }
    return s;
}

void applyCellSize(std::vector<PrintCell>& cells, double widthMm, double heightMm) {
    for (PrintCell& c : cells) {
        c.width = widthMm;
        c.height = heightMm;
    }
}

std::optional<LimitedSize> originalSizeMm(const PrintItem& item, const PrintPage& page) {
    if (item.width <= 0 || item.height <= 0 || item.dpiX <= 0 || item.dpiY <= 0)
        return std::nullopt;
    double w = item.width / static_cast<double>(item.dpiX) * kInchesToMm;
    double h = item.height / static_cast<double>(item.dpiY) * kInchesToMm;
    if (page.landscape) std::swap(w, h);
    if (!(w < page.widthMm && h < page.heightMm)) return std::nullopt;
    return LimitedSize{w, h, false};
}

void applyOriginalSizes(std::vector<PrintCell>& cells, const std::vector<PrintItem>& items,
                        const PrintPage& page) {
    for (PrintCell& c : cells) {
        if (c.item >= items.size()) continue;
        if (const auto s = originalSizeMm(items[c.item], page)) {
            c.width = s->width;
            c.height = s->height;
        }
    }
}

bool resolutionFieldsConsistent(std::int32_t x, std::int32_t y) {
    return (x == kDefaultResolution) == (y == kDefaultResolution);
}

PrintResolution effectiveResolution(std::int32_t x, std::int32_t y, PrintResolution defaults) {
    return {x > 0 ? x : defaults.x, y > 0 ? y : defaults.y};
}

PixelSize targetPixelSize(double cellWidthMm, double cellHeightMm, std::int32_t sw, std::int32_t sh,
                          PrintResolution dpi, bool zoom) {
    if (sw <= 0 || sh <= 0 || dpi.x <= 0 || dpi.y <= 0 || !(cellWidthMm > 0) || !(cellHeightMm > 0))
        return {};
    const double cw = cellWidthMm * kMmToInches;
    const double ch = cellHeightMm * kMmToInches;
    const double a = static_cast<double>(sw) / sh;
    const double c = cw / ch;
    PixelSize t;
    if ((zoom && a < c) || (!zoom && a > c)) {
        t = {toPixels(cw * dpi.x), toPixels(cw * dpi.y / a)};
    } else {
        t = {toPixels(ch * a * dpi.x), toPixels(ch * dpi.y)};
    }
    if (t.width == 0 || t.height == 0) return {};
    return t;
}

void toGreyPreview(image::Bitmap32& bitmap) {
    const std::lock_guard lock(bitmap.pixelLock());
    if (bitmap.isEmpty()) return;
    std::uint8_t* p = bitmap.pixels();
    const std::size_t n = static_cast<std::size_t>(bitmap.width()) * bitmap.height();
    for (std::size_t i = 0; i < n; ++i, p += 4) {
        const auto y =
            static_cast<std::uint8_t>((6969u * p[2] + 23434u * p[1] + 2365u * p[0]) >> 15);
        p[0] = p[1] = p[2] = y;
    }
}

}  // namespace kalder::tools
