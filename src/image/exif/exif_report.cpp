#include "image/exif/exif_report.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <system_error>

#include "image/exif/exif_block.h"
#include "image/exif/exif_readable.h"
#include "image/exif/exif_tags.h"
#include "image/format_table.h"
#include "image/image_document.h"

namespace kalder::image {

namespace {

constexpr std::size_t kCommentLineLength = 81;

// printf's "%.Nf" without the locale's decimal comma: reports must read the same everywhere.
std::string fixed(double value, int precision) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    if (r.ec != std::errc{}) return {};
    return std::string(buf, r.ptr);
}

std::string groupedDigits(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out;
}

std::string folderName(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) absolute = path;
    const std::filesystem::path parent = absolute.parent_path();
    std::string name = parent.filename().string();
    return name.empty() ? parent.string() : name;
}

std::string pixelsText(std::int32_t pixels) { return std::to_string(pixels) + " pixels"; }

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::string fileSizeText(std::uint64_t bytes) {
    std::string text = groupedDigits(bytes) + " bytes";
    if (bytes >= 1048576)
        text += " (" + fixed(static_cast<double>(bytes) / 1048576.0, 2) + " MB)";
    else if (bytes >= 1024)
        text += " (" + fixed(static_cast<double>(bytes) / 1024.0, 1) + " KB)";
    return text;
}

std::string colorTypeText(std::uint32_t bitsPerPixel, bool isGray) {
    if (bitsPerPixel == 16) return "high-color";
    if (bitsPerPixel < 24)
        return std::to_string(std::uint32_t{1} << bitsPerPixel) +
               (isGray ? " gray-levels" : " colors");
    return "true-color";
}

std::string fileTimeText(std::int64_t secondsSince1970) {
    const std::time_t t = static_cast<std::time_t>(secondsSince1970);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    auto format = [&tm](const char* pattern) {
        char buf[128];
        const std::size_t n = std::strftime(buf, sizeof buf, pattern, &tm);
        return std::string(buf, n);
    };
    return format("%A, %B ") + std::to_string(tm.tm_mday) + format(", %Y, %H:%M:%S");
}

std::optional<std::string> exifValueText(const ExifBlock& exif, const ExifEntry& entry) {
    if (!entry.hasValue) return std::nullopt;
    const ExifValue v = exif.value(entry);
    switch (static_cast<ExifType>(entry.type)) {
        case ExifType::Byte:
        case ExifType::Short:
        case ExifType::Long:
            return std::to_string(v.unsignedNumerator);
        case ExifType::Ascii:
            return std::string(exif.asciiText(entry));
        case ExifType::Rational:
            return std::to_string(v.unsignedNumerator) + "/" +
                   std::to_string(v.unsignedDenominator);
        case ExifType::SByte:
        case ExifType::SShort:
        case ExifType::SLong:
            return std::to_string(v.signedNumerator);
        case ExifType::SRational:
            return std::to_string(v.signedNumerator) + "/" + std::to_string(v.signedDenominator);
        case ExifType::Float:
        case ExifType::Double:
            return fixed(v.real, 6);
        case ExifType::Undefined:
            break;
    }
    return std::nullopt;
}

void appendExifRows(std::vector<PropertyRow>& rows, const ExifBlock& exif) {
    // The thumbnail and GPS directories are never listed.
    const ExifIfdKind listed[] = {ExifIfdKind::Ifd0, ExifIfdKind::Exif, ExifIfdKind::Interop};
    if (std::all_of(std::begin(listed), std::end(listed),
                    [&](ExifIfdKind kind) { return exif.ifd(kind).empty(); }))
        return;
    rows.push_back({"", ""});
    rows.push_back({"----- Exif -----", ""});
    for (ExifIfdKind kind : listed) {
        for (const ExifEntry& entry : exif.ifd(kind).entries) {
            const std::string_view name = exifTagName(entry.tag);
            if (name.empty()) continue;
            auto text = exifValueText(exif, entry);
            if (!text) continue;
            rows.push_back(
                {std::string(name), std::move(*text), exifReadableText(exif, kind, entry)});
        }
    }
    appendGpsRows(rows, exif);
}

std::vector<std::string> commentLines(std::string_view comment) {
    comment = comment.substr(0, comment.find('\0'));
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (true) {
        while (pos < comment.size() && isLineEnd(comment[pos])) ++pos;
        if (pos >= comment.size()) break;
        const std::size_t start = pos;
        while (pos < comment.size() && pos - start < kCommentLineLength && !isLineEnd(comment[pos]))
            ++pos;
        const bool cutByLength =
            pos - start == kCommentLineLength && pos < comment.size() && !isLineEnd(comment[pos]);
        if (cutByLength) {
            // Break before the last space that is not the line's first character; that space
            // begins the next line.
            const std::string_view line = comment.substr(start, kCommentLineLength);
            const std::size_t space = line.rfind(' ');
            if (space != std::string_view::npos && space > 0) pos = start + space;
        }
        lines.emplace_back(comment.substr(start, pos - start));
    }
    return lines;
}

void appendCommentRows(PropertiesReport& report, std::string_view comment) {
    bool first = true;
    for (std::string& line : commentLines(comment)) {
        report.rows.push_back({first ? "Comment" : "", std::move(line)});
        first = false;
    }
}

void setPageFacts(PropertiesReport& report, std::int32_t width, std::int32_t height,
                  std::uint32_t bitsPerPixel, bool isGray) {
    auto set = [&report](int row, std::string text) {
        if (row >= 0 && static_cast<std::size_t>(row) < report.rows.size())
            report.rows[static_cast<std::size_t>(row)].value = std::move(text);
    };
    set(report.widthRow, pixelsText(width));
    set(report.heightRow, pixelsText(height));
    set(report.colorTypeRow, colorTypeText(bitsPerPixel, isGray));
}

void setPageFacts(PropertiesReport& report, const ImagePage& page) {
    setPageFacts(report, static_cast<std::int32_t>(page.width),
                 static_cast<std::int32_t>(page.height), page.bitsPerPixel, page.isGray);
}

PropertiesReport buildPropertiesReport(const std::filesystem::path& path, const ImageInfo& info,
                                       const PropertiesOptions& options) {
    PropertiesReport report;
    auto& rows = report.rows;
    const auto timeText = [&options](std::int64_t t) {
        return options.formatTime ? options.formatTime(t) : fileTimeText(t);
    };

    report.caption = path.filename().string();
    rows.push_back({"Name", report.caption});
    if (!options.fileDescription.empty()) rows.push_back({"Description", options.fileDescription});
    rows.push_back({"Folder", options.folderDisplayName.empty() ? folderName(path)
                                                                : options.folderDisplayName});
    rows.push_back({"File Size", fileSizeText(info.fileSize)});
    rows.push_back({"File Created", timeText(info.creationTime)});
    rows.push_back({"File Modified", timeText(info.modificationTime)});
    rows.push_back({"Read-only file", (info.attributes & ImageInfo::kAttrReadOnly) ? "yes" : "no"});

    std::string imageType = info.description;
    const auto formats = formatTable();
    if (imageType.empty() && info.formatIndex >= 0 &&
        static_cast<std::size_t>(info.formatIndex) < formats.size())
        imageType = std::string(formats[static_cast<std::size_t>(info.formatIndex)].description);
    rows.push_back({"Image Type", std::move(imageType)});

    if (!info.isVector) {
        report.widthRow = static_cast<int>(rows.size());
        rows.push_back({"Width", ""});
        report.heightRow = static_cast<int>(rows.size());
        rows.push_back({"Height", ""});
        report.colorTypeRow = static_cast<int>(rows.size());
        rows.push_back({"Color Type", ""});
        // Left empty when the reader could not read the header.
        if (info.width > 0 && info.height > 0)
            setPageFacts(report, info.width, info.height, info.bitsPerPixel, info.isGray);
        if (info.dpiX > 0 && info.dpiY > 0) {
            rows.push_back({"Horizontal Resolution", std::to_string(info.dpiX) + " dpi"});
            rows.push_back({"Vertical Resolution", std::to_string(info.dpiY) + " dpi"});
        }
    }
    if (info.pageCount > 1) {
        const bool animation =
            info.formatIndex >= 0 && static_cast<std::size_t>(info.formatIndex) < formats.size() &&
            (formats[static_cast<std::size_t>(info.formatIndex)].code == FormatCode::Gif ||
             formats[static_cast<std::size_t>(info.formatIndex)].code == FormatCode::Ani);
        rows.push_back({animation ? "Frames" : "Pages", std::to_string(info.pageCount)});
    }

    appendExifRows(rows, info.exif);
    for (const std::string& comment : options.comments) appendCommentRows(report, comment);
    return report;
}

std::string reportText(const PropertiesReport& report, std::string_view lineEnd) {
    std::size_t width = 0;
    for (const PropertyRow& row : report.rows) width = std::max(width, row.tag.size());
    std::string text;
    for (const PropertyRow& row : report.rows) {
        text += row.tag;
        text.append(width + 1 - row.tag.size(), ' ');
        text += row.value;
        text += lineEnd;
    }
    return text;
}

std::string readableReportText(const PropertiesReport& report) {
    PropertiesReport readable = report;
    for (PropertyRow& row : readable.rows)
        if (!row.meaning.empty() && row.meaning != row.value)
            row.value = row.meaning + " [" + row.value + "]";
    return reportText(readable, "\n");
}

}  // namespace kalder::image
