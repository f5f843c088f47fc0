#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/core/translatable.h"

namespace kalder::app {

// The facts about one file that the status bar and the file list's tooltips show.
struct FileFacts {
    std::uint64_t size = 0;     // bytes
    std::int64_t modified = 0;  // last write, seconds since 1970-01-01 UTC
    std::int32_t width = 0;     // 0 when unknown
    std::int32_t height = 0;
    std::int32_t bitsPerPixel = 0;  // 0: no depth piece
    bool gray = false;
    bool hideDimensions = false;  // vector images: no dimensions or depth
    std::string typeDescription;  // "JPEG image", shown in the tooltip
};

// The user's date and time formats; the GUI answers from its locale, tests with fixed texts.
class DateTimeFormatter {
public:
    virtual ~DateTimeFormatter() = default;
    virtual std::string longDate(std::int64_t time) const = 0;
    virtual std::string timeOfDay(std::int64_t time) const = 0;
};

// Local time through strftime(), for front ends without a locale of their own.
class SystemDateTimeFormatter final : public DateTimeFormatter {
public:
    std::string longDate(std::int64_t time) const override;
    std::string timeOfDay(std::int64_t time) const override;
};

inline constexpr char kNoInformation[] = QT_TRANSLATE_NOOP("StatusBar", "No information");

// "1 048 576 bytes (1.00 MB)", "1 024 bytes (1.0 KB)", "1 023 bytes". The decimal point is
// always ".", whatever the process locale.
std::string formatSizeText(std::uint64_t size);
// "high-color", "256 gray-levels", "16 colors", "true-color"; empty for 0 bits.
std::string formatDepthText(std::int32_t bitsPerPixel, bool gray);
// Long date, ", ", time.
std::string formatDateText(std::int64_t time, const DateTimeFormatter& formatter);

// The one-line text of the status bar or the multi-line text of a tooltip.
std::string FormatFileInfo(const FileFacts& facts, bool oneLine,
                           const DateTimeFormatter& formatter);

// The texts of the status bar's second and third parts.
inline constexpr char kStatusFullScreen[] = QT_TRANSLATE_NOOP("StatusBar", "Full-Screen");
inline constexpr char kStatusWindowed[] = QT_TRANSLATE_NOOP("StatusBar", "Windowed");
inline constexpr char kStatusHelp[] = QT_TRANSLATE_NOOP("StatusBar", "Press F1 for help");
std::string_view statusModeText(bool fullScreenViewing);

// The right edges of the status bar's first two parts, from the widths of the fixed texts in
// the bar's font; the third part runs to the end.
struct StatusBarMetrics {
    int clientWidth = 0;
    int helpTextWidth = 0;        // "Press F1 for help"
    int fullScreenTextWidth = 0;  // "Full-Screen"
    int windowedTextWidth = 0;    // "Windowed"
    int horizontalBorder = 0;
    int gap = 0;  // between two parts
};
struct StatusBarEdges {
    int part0Right = 0;
    int part1Right = 0;
};
StatusBarEdges statusBarPartEdges(const StatusBarMetrics& metrics);

// The name bar under the image: the file name without its extension (a leading "." is not an
// extension), then " - " and the description when there is one.
std::string nameBarText(std::string_view fileName, std::string_view description);
// White on dark backgrounds, black on light ones; colours are 0x00BBGGRR.
std::uint32_t nameBarTextColor(std::uint32_t backgroundColor);

}  // namespace kalder::app
