#include "app/core/file_info_text.h"

#include <algorithm>
#include <charconv>
#include <ctime>

namespace kalder::app {
namespace {

constexpr std::uint64_t kKilobyte = 1024;
constexpr std::uint64_t kMegabyte = 1024 * 1024;

std::string groupedDigits(std::uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out;
}

// printf's "%.Nf" without its dependence on the locale's decimal point.
std::string fixed(double value, int decimals) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

std::string strftimeLocal(std::int64_t time, const char* format) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm local{};
    if (!localtime_r(&t, &local)) return {};
    char buffer[128];
    const std::size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, n);
}

}  // namespace

std::string SystemDateTimeFormatter::longDate(std::int64_t time) const {
    return strftimeLocal(time, "%A, %d %B %Y");
}

std::string SystemDateTimeFormatter::timeOfDay(std::int64_t time) const {
    return strftimeLocal(time, "%X");
}

std::string formatSizeText(std::uint64_t size) {
    std::string text = groupedDigits(size) + " bytes";
    if (size >= kMegabyte) {
        text += " (" + fixed(static_cast<double>(size) / kMegabyte, 2) + " MB)";
    } else if (size >= kKilobyte) {
        text += " (" + fixed(static_cast<double>(size) / kKilobyte, 1) + " KB)";
    }
    return text;
}

std::string formatDepthText(std::int32_t bitsPerPixel, bool gray) {
    if (bitsPerPixel <= 0) return {};
    if (bitsPerPixel == 16) return "high-color";
    if (bitsPerPixel >= 24) return "true-color";
    const std::uint64_t levels = std::uint64_t{1} << bitsPerPixel;
    return std::to_string(levels) + (gray ? " gray-levels" : " colors");
}

std::string formatDateText(std::int64_t time, const DateTimeFormatter& formatter) {
    return formatter.longDate(time) + ", " + formatter.timeOfDay(time);
}

std::string FormatFileInfo(const FileFacts& facts, bool oneLine,
                           const DateTimeFormatter& formatter) {
    const std::string size = formatSizeText(facts.size);
    const std::string date = formatDateText(facts.modified, formatter);
    if (facts.hideDimensions) {
        return oneLine ? size + " | " + date
                       : size + "\r\n" + date + "\r\n" + facts.typeDescription;
    }
    if (facts.width == 0 || facts.height == 0) {
        return oneLine ? size + " | " + date : size + "\r\n" + date;
    }
    const std::string dimensions =
        std::to_string(facts.width) + "x" + std::to_string(facts.height) + " pixels";
    const std::string depth = formatDepthText(facts.bitsPerPixel, facts.gray);
    if (oneLine) {
        std::string text = size + " | " + date + " | " + dimensions;
        if (!depth.empty()) text += " | " + depth;
        return text;
    }
    std::string text = size + "\r\n" + date + "\r\n" + facts.typeDescription + "\r\n" + dimensions;
    // The tooltip has always ended with a bare line feed before the depth.
    if (!depth.empty()) text += "\n" + depth;
    return text;
}

std::string_view statusModeText(bool fullScreenViewing) {
    return fullScreenViewing ? kStatusFullScreen : kStatusWindowed;
}

StatusBarEdges statusBarPartEdges(const StatusBarMetrics& m) {
    StatusBarEdges edges;
    edges.part1Right = m.clientWidth - m.helpTextWidth - m.horizontalBorder - 3 * m.gap - 8;
    edges.part0Right = m.clientWidth - 6 * m.gap - m.helpTextWidth -
                       std::max(m.fullScreenTextWidth, m.windowedTextWidth) - m.horizontalBorder -
                       16;
    return edges;
}

std::string nameBarText(std::string_view fileName, std::string_view description) {
    const std::size_t dot = fileName.rfind('.');
    if (dot != std::string_view::npos && dot != 0) fileName = fileName.substr(0, dot);
    std::string text(fileName);
    if (!description.empty()) {
        text += " - ";
        text += description;
    }
    return text;
}

std::uint32_t nameBarTextColor(std::uint32_t backgroundColor) {
    const std::uint32_t r = backgroundColor & 0xFF;
    const std::uint32_t g = (backgroundColor >> 8) & 0xFF;
    const std::uint32_t b = (backgroundColor >> 16) & 0xFF;
    // Luminance weights that add up to 32768.
    const std::uint32_t luminance = 6969 * r + 23434 * g + 2365 * b;
    return luminance < 129u * 32768u ? 0x00FFFFFFu : 0x00000000u;
}

}  // namespace kalder::app
