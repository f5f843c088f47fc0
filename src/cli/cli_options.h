#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalder::cli {

enum class Command {
    None,
    Help,
    Version,
    Info,
    Decode,
    Thumb,
    Thumbs,
    Exif,
    GifCompile,
    JpegTransform,
    ExifOrientation,
    Convert,
};

// Everything the command line asked for.
struct CliOptions {
    Command command = Command::None;
    std::vector<std::string> inputs;
    std::string output;        // "-": standard output
    std::string outputFormat;  // decode, thumb: --format, else OUT's extension decides
    bool json = false;

    // decode
    std::int32_t fitWidth = 0;
    std::int32_t fitHeight = 0;
    bool autoFit = false;
    std::int32_t zoomRule = 0;
    std::int32_t rotation = 0;
    bool flipHorizontal = false;
    bool flipVertical = false;
    bool smooth = true;
    std::int32_t page = 0;
    bool allPages = false;
    bool alpha = false;
    std::optional<std::uint32_t> background;         // 0xRRGGBB as written
    std::string profile;                             // colour profile file
    std::optional<std::vector<double>> calibration;  // red, green, blue, extra gamma

    // writing through the image writers (OUT's extension picks the format)
    std::optional<std::int32_t> quality;      // JPEG, percent
    bool progressive = false;                 // JPEG
    bool interlaced = false;                  // GIF, PNG
    std::optional<std::int32_t> compression;  // TIFF Compression tag value
    bool rle = false;                         // BMP (palette images), TGA
    std::int32_t colors = 0;                  // palette output with at most this many colours
    std::optional<std::int32_t> palette;      // index into image::kPaletteTypeNames
    std::optional<std::int32_t> dither;       // index into image::kDitherTypeNames
    // --resample: a size, or a percentage of the decoded size.
    std::int32_t resampleWidth = 0;
    std::int32_t resampleHeight = 0;
    std::int32_t resamplePercent = 0;
    std::optional<std::int32_t> method;  // index into image::kResampleMethodNames

    // gif-compile (also --palette, --dither, --colors, --interlaced)
    std::optional<std::int32_t> delay;     // hundredths of a second for every frame
    std::optional<std::int32_t> disposal;  // 1, 2 or 3 for every frame
    std::uint32_t plays = 0;               // how often the animation plays; 0: for ever
    bool minimize = false;
    bool separatePalettes = false;
    std::string comment;

    // thumbnails
    std::int32_t size = 0;
    bool useExif = true;
    std::int32_t jobs = 0;     // 0: one per core
    bool sharedCache = false;  // thumbs: through the desktop's shared thumbnail cache

    // jpeg-transform, exif-orientation
    std::int32_t jpegCode = 0;  // tools::JpegTransformCode; 0 with --auto
    bool jpegAuto = false;
    bool trim = false;
    bool preserveDate = false;
    bool force = false;                 // jpeg-transform: rewrite read-only files too
    std::int32_t orientationValue = 0;  // 0: --show
    // convert (--preserve-date, rotation, flips, --method, --jobs and the output options are
    // shared)
    std::int32_t format = 3;  // tools::BatchFormat: PNG
    double convertWidth = 0;  // 0: not given
    double convertHeight = 0;
    bool convertPercents = false;
    std::int32_t unit = 0;  // "pixels", "inches", ... in the order of kUnitNames
    std::int32_t dpiX = 0;  // both 0: the source's resolution
    std::int32_t dpiY = 0;
    bool keepAspect = false;
    bool swapVertical = false;
    std::string prefix;
    std::string suffix;
    std::string subfolderRoot;
    std::vector<std::string> effects;  // "gamma=R,G,B", "negative", "bw", in processing order
    std::string overlayImage;
    std::string overlayText;
    std::int32_t anchorX = 2;  // 0 left, 1 centre, 2 right
    std::int32_t anchorY = 2;  // 0 top, 1 middle, 2 bottom
    std::int32_t spacingX = 10;
    std::int32_t spacingY = 10;
    bool overwrite = false;
    bool skipExisting = false;
};

inline constexpr const char* kUnitNames[] = {"pixels", "inches", "mm",     "cm",   "m",
                                             "feet",   "yards",  "points", "picas"};

struct ParseResult {
    CliOptions options;
    std::string error;  // empty on success
};

// The TIFF compression of a --compression word (none, ccitt1d, g3, g4, lzw, jpeg, packbits,
// deflate), or nullopt.
std::optional<std::int32_t> tiffCompressionFromName(const std::string& name);

ParseResult parseCommandLine(const std::vector<std::string>& args);

// For the commands' own parsers: the word after option args[i] as its value, advancing i.
// Without one, false, with `error` naming the option.
bool takeValue(const std::vector<std::string>& args, std::size_t& i, std::string& out,
               std::string& error);

}  // namespace kalder::cli
