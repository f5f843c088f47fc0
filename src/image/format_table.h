#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>

namespace kalder::image {

class ImageReader;

// Format codes of the readable formats. Icons and cursors share one reader.
enum class FormatCode : std::int32_t {
    Bmp = 0,
    Gif = 1,
    Ico = 2,
    Cur = 3,
    Jpeg = 4,
    Pcx = 5,
    Png = 6,
    Tiff = 7,
    Tga = 8,
    Metafile = 9,
    Ani = 10,
    Pnm = 11,
    SunRaster = 12,
    Sgi = 13,
    Psd = 14,
    Jpeg2000 = 15,
    Iff = 16,
    UtahRle = 17,
    WebP = 18,
    Avif = 19,
    Heif = 20,
    JpegXl = 21,
};

struct FormatRecord {
    std::string_view shortName;
    std::string_view description;  // empty when the format has none of its own
    FormatCode code;
    std::string_view displayExtension;
    std::int32_t index;           // own position in the table
    std::int32_t firstExtension;  // contiguous range in the extension table
    std::int32_t lastExtension;
};

struct ExtensionRecord {
    std::string_view extension;  // with the leading dot, lower case
    FormatCode code;
};

// The readable formats: the 18 first ones in the order the user sees them, later ones added
// at the end so stored per-format settings keep their meaning.
std::span<const FormatRecord> formatTable();
// The extensions, grouped by format.
std::span<const ExtensionRecord> extensionTable();
// "All supported image files|*.ani;...|All files (*.*)|*.*||"
std::string_view fileDialogFilter();

// The first table record of a format code, or nullptr.
const FormatRecord* formatByCode(FormatCode code);

enum class DetectMode { ByExtension, ByContent };

// Index into formatTable(), or -1.
std::int32_t DetectFormat(const std::filesystem::path& path, DetectMode mode);
// Content detection over bytes already in memory (the first kilobyte or so is enough).
std::int32_t detectFormatInMemory(std::span<const std::uint8_t> head);

// A new reader for the format the file's content shows, or nullptr.
std::unique_ptr<ImageReader> CreateReader(const std::filesystem::path& path);
// A new reader for a format code, or nullptr when no reader exists for it.
std::unique_ptr<ImageReader> createReaderForCode(FormatCode code);

}  // namespace kalder::image
