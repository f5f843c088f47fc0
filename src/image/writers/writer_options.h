#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kalder::image {

struct WriterImage;

// What "Transparency Options" decides for a palette output.
enum class TransparencyMode : std::int32_t {
    Retain = 0,        // keep the source's own transparency
    Remove = 1,        // no transparency at all
    Color = 2,         // pixels of `color` become transparent
    PaletteIndex = 3,  // palette entry `paletteIndex` is transparent
};

struct TransparencyOptions {
    TransparencyMode mode = TransparencyMode::Retain;
    std::uint32_t color = 0;  // 0x00BBGGRR
    std::int32_t paletteIndex = 0;
    bool operator==(const TransparencyOptions&) const = default;
};

struct BmpOptions {
    bool rle = false;
    bool operator==(const BmpOptions&) const = default;
};

struct TgaOptions {
    bool rle = false;
    bool operator==(const TgaOptions&) const = default;
};

struct JpegOptions {
    std::int32_t quality = 75;   // percent
    std::int32_t smoothing = 0;  // percent
    std::int32_t sampling =
        0;  // 0 "High quality(4:4:4)", 1 "Middle quality (4:3:3)", 2 "Low quality (4:2:2)"
    bool progressive = false;
    bool gray = false;
    bool copyExif = true;
    bool operator==(const JpegOptions&) const = default;
};

struct PngTextPair {
    std::string keyword;
    std::string text;
    bool operator==(const PngTextPair&) const = default;
};

struct PngOptions {
    bool interlaced = false;
    double gamma = 0;  // 0: none ("[default]")
    std::vector<PngTextPair> texts;
    TransparencyOptions transparency;
    bool operator==(const PngOptions&) const = default;
};

struct TiffOptions {
    // Position in the compression list offered for the image (see tiffCompressionChoices).
    std::int32_t compressionIndex = 1;
    bool operator==(const TiffOptions&) const = default;
};

struct GifOptions {
    bool interlaced = false;
    TransparencyOptions transparency;
    bool operator==(const GifOptions&) const = default;
};

// One entry of the "Compression:" list of "TIFF Options".
struct TiffCompressionChoice {
    const char* name;
    std::int32_t value;  // the TIFF Compression tag value
};

// The compression list for an image of `bits` per pixel: the CCITT entries only for 1 bit,
// "Baseline JPEG" only above 8 bits.
std::vector<TiffCompressionChoice> tiffCompressionChoices(std::int32_t bits);
// The tag value chosen by `index` in that list; out of range -> 1 (no compression).
std::int32_t tiffCompressionFor(std::int32_t index, std::int32_t bits);
// The position of a tag value in that list, or nullopt when it is not offered.
std::optional<std::int32_t> tiffCompressionIndex(std::int32_t value, std::int32_t bits);

// The keywords the "Keywords:" box offers.
const std::vector<std::string>& pngKeywordChoices();

inline constexpr char kPaletteIndexRangeMessage[] = "Palette index must be in range of 0-255.";
inline constexpr char kInvalidGammaMessage[] = "Invalid gamma value.";
inline constexpr char kDefaultGammaText[] = "[default]";

// The "Palette index:" text: its value, or the range warning for anything outside 0...255
// (empty and non-numeric text included).
struct PaletteIndexCheck {
    std::optional<std::int32_t> value;
    std::string message;  // empty when value is set
};
PaletteIndexCheck checkPaletteIndex(std::string_view text);

// The "Gamma correction:" text: empty or "[default]" -> 0 (none); a positive number -> itself;
// anything else -> "Invalid gamma value.".
struct GammaCheck {
    std::optional<double> value;
    std::string message;
};
GammaCheck parseGammaText(std::string_view text);
// 0 -> "[default]", else the shortest text that reads back as the same value.
std::string gammaText(double gamma);

// Copies a format's options into the writer input.
void applyBmpOptions(const BmpOptions& options, WriterImage& image);
void applyTgaOptions(const TgaOptions& options, WriterImage& image);
void applyJpegOptions(const JpegOptions& options, WriterImage& image);
void applyPngOptions(const PngOptions& options, WriterImage& image);
void applyTiffOptions(const TiffOptions& options, WriterImage& image);
void applyGifOptions(const GifOptions& options, WriterImage& image);

}  // namespace kalder::image
