#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kalder::image {

class ExifBlock;
struct ExifEntry;
struct ImageInfo;
struct ImagePage;

// One line of the image properties list: a "Tag" text and a "Value" text.
struct PropertyRow {
    PropertyRow() = default;
    PropertyRow(std::string tag_, std::string value_, std::string meaning_ = {})
        : tag(std::move(tag_)), value(std::move(value_)), meaning(std::move(meaning_)) {}

    std::string tag;
    std::string value;
    // What the value means ("f/5.6" for 28/5); empty when the value says it plainly.
    std::string meaning;

    bool operator==(const PropertyRow&) const = default;
};

// What the properties panel lists and "&Copy Report" copies, and what `kalder-cli exif` prints.
struct PropertiesReport {
    std::string caption;  // the file name
    std::vector<PropertyRow> rows;
    // Rows the panel refills when the page shown changes; -1 when absent (vector images).
    int widthRow = -1;
    int heightRow = -1;
    int colorTypeRow = -1;
};

struct PropertiesOptions {
    // The file's own description (from the folder's description file); listed when not empty.
    std::string fileDescription;
    // How the folder is named; empty means the name of the file's parent folder.
    std::string folderDisplayName;
    // Comment strings of the document (JPEG COM segments and the like), listed last.
    std::vector<std::string> comments;
    // Formats a file time (seconds since 1970) as date, ", ", time; empty means fileTimeText.
    std::function<std::string(std::int64_t)> formatTime;
};

// File facts, image facts from `info` (as ReadImageInfo filled it, withImage = true; "Frames"
// or "Pages" when info.pageCount is above 1) and the Exif rows of info.exif, then the comment
// rows.
PropertiesReport buildPropertiesReport(const std::filesystem::path& path, const ImageInfo& info,
                                       const PropertiesOptions& options = {});

// Fills the "Width", "Height" and "Color Type" rows for the page being shown.
void setPageFacts(PropertiesReport& report, std::int32_t width, std::int32_t height,
                  std::uint32_t bitsPerPixel, bool isGray);
// The same from a decoded page: its own size as the file has it, not the size of the copy
// in memory, which is fitted to the window or the browser's cell.
void setPageFacts(PropertiesReport& report, const ImagePage& page);

// The blank row, "----- Exif -----" and one row per listable entry of IFD0, the Exif
// directory and the interoperability directory, then the GPS rows when the block holds a
// position; nothing when the first three directories are empty.
void appendExifRows(std::vector<PropertyRow>& rows, const ExifBlock& exif);

// The value text of an entry, from its first element; nullopt when the entry gets no row
// (no value, UNDEFINED or an unknown type).
std::optional<std::string> exifValueText(const ExifBlock& exif, const ExifEntry& entry);

// A comment cut into display lines: at CR or LF, or after 81 characters (then before the
// last space of the line, when it has one after its first character).
std::vector<std::string> commentLines(std::string_view comment);
// Appends a comment's lines, the first labelled "Comment".
void appendCommentRows(PropertiesReport& report, std::string_view comment);

// The plain-text report: each row's tag padded with spaces to the longest tag + 1, its value,
// then `lineEnd`. Empty for a report without rows.
std::string reportText(const PropertiesReport& report, std::string_view lineEnd = "\r\n");
// The same for reading in a terminal: a row with a meaning shows it, then the stored value in
// brackets ("FNumber  f/5.6 [28/5]"); lines end with "\n".
std::string readableReportText(const PropertiesReport& report);

// "1 572 864 bytes (1.50 MB)".
std::string fileSizeText(std::uint64_t bytes);
// "true-color", "high-color", "256 colors", "16 gray-levels".
std::string colorTypeText(std::uint32_t bitsPerPixel, bool isGray);
// Local date and time: "Monday, March 4, 2024, 14:05:09" (names in the C library's locale).
std::string fileTimeText(std::int64_t secondsSince1970);

}  // namespace kalder::image
