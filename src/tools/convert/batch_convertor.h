#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/translatable.h"
#include "tools/convert/effects.h"
#include "tools/convert/overlay.h"
#include "tools/convert/writer_options_set.h"
#include "tools/tool_host.h"

namespace kalder::image {
class CancelSink;
}

namespace kalder::tools {

// The output formats, in the order of the "Format" page's list.
enum class BatchFormat : std::int32_t { Bmp = 0, Gif, Jpeg, Png, Tiff, Tga, Pcx, Count };
// ".bmp", ".gif", ".jpg", ".png", ".tif", ".tga", ".pcx".
const char* batchFormatExtension(BatchFormat format);

// Which files a run converts ("Apply to:"), numbered as the list shows them.
enum class ApplyTo : std::int32_t {
    Selection = 0,   // the browser's selection (the file on screen in the viewer)
    Folder = 1,      // every image file of the current folder
    FolderTree = 2,  // those of its sub-folders too
};

// Everything a run needs, gathered from the dialog's pages (or the command line).
struct BatchSettings {
    // General.
    bool placeInFolder = false;
    std::filesystem::path outputFolder;
    bool copySubfolders = false;
    std::string namePrefix;  // leading and trailing blanks removed by the caller
    std::string nameSuffix;
    bool preserveDate = false;
    ApplyTo applyTo = ApplyTo::Selection;
    bool setComments = false;
    std::string comments;
    bool keepOriginal = true;

    // Format.
    BatchFormat format = BatchFormat::Png;
    std::int32_t palette = 0;     // 0 "Original/Optimized" .. 4 "Windows System"
    std::int32_t colorDepth = 0;  // bits; 0 "[original]"
    std::int32_t dithering = 0;   // 0 "None" .. 4 "Stucki"
    WriterOptionsSet formatOptions;
    // Beyond the dialog: a fixed TIFF Compression tag value (0: formatOptions.tiff decides). Used
    // for every page whose depth the compression is offered for.
    std::int32_t tiffCompressionTag = 0;

    // Resample: 0 in width or height = "[original]" (not given).
    double width = 0;
    double height = 0;
    std::int32_t unit = 0;  // 0 "Pixels" .. 8 "Picas"
    bool percents = false;
    bool keepAspect = false;
    bool swapForVertical = false;
    std::int32_t method = 0;  // 0 "Lanczos" .. 4 "Box"
    bool originalResolution = true;
    std::int32_t dpiX = 0;
    std::int32_t dpiY = 0;
    std::int32_t defaultDpiX = 300;  // the Options dialog's default resolution
    std::int32_t defaultDpiY = 300;

    // Rotate/Flip. With autoOrient each picture is first put upright by its Exif Orientation,
    // as the viewer shows it (a copied Exif block then says 1).
    bool autoOrient = true;
    std::int32_t rotation = 0;  // quarter turns clockwise
    bool mirrorH = false;
    bool mirrorV = false;

    // Effects and overlay.
    EffectList effects;
    OverlaySettings overlay;

    // Beyond the dialog: worker threads for a run (0: one per core).
    std::int32_t jobs = 0;
};

// The files of a run and the folder they were listed from (for "Copy sub-folder structure").
struct BatchFileList {
    std::filesystem::path root;
    std::vector<std::filesystem::path> files;
};

// After the path and a colon; followed by the damage ("data ends at row 120").
inline constexpr char kConvertedWithDamageMessage[] = "converted with damage:";

// The stages of one file, as progress names them ("Reading ..." is stage 0 of 4).
inline constexpr const char* kBatchStages[] = {
    QT_TRANSLATE_NOOP("Messages", "Reading ..."), QT_TRANSLATE_NOOP("Messages", "Resampling ..."),
    QT_TRANSLATE_NOOP("Messages", "Converting ..."), QT_TRANSLATE_NOOP("Messages", "Writing ...")};

struct BatchResult {
    std::int32_t converted = 0;  // damaged ones included
    std::int32_t damaged = 0;    // written from a file that ended early
    std::int32_t failed = 0;
    std::int32_t skipped = 0;
    bool stopped = false;  // by the user (ESC or Cancel)
};

// The per-file result of the worker.
inline constexpr int kBatchFileDamaged = 3;  // written, but the source ended early
inline constexpr int kBatchFileWritten = 2;
inline constexpr int kBatchFileStopped = 1;
inline constexpr int kBatchFileFailed = 0;

// The messages of a run, each followed by a space and the path.
inline constexpr char kCantAccessFileMessage[] =
    QT_TRANSLATE_NOOP("Messages", "Can't access file:");
inline constexpr char kCantReadImageMessage[] = QT_TRANSLATE_NOOP("Messages", "Can't read image:");
inline constexpr char kFailedToWriteMessage[] =
    QT_TRANSLATE_NOOP("Messages", "Failed to write file:");
inline constexpr char kResampledTooLargeMessage[] =
    QT_TRANSLATE_NOOP("Messages", "The resampled image is too large:");
inline constexpr char kPaletteNotSupportedMessage[] = QT_TRANSLATE_NOOP(
    "Messages", "The current palette type is not supported by the output format.");
inline constexpr char kFileModifiedPrompt[] =
    QT_TRANSLATE_NOOP("Messages", "File is to be modified:");
inline constexpr char kFileReadOnlyPrompt[] = QT_TRANSLATE_NOOP("Messages", "File is read-only:");

// The bit depths a format can hold, ascending. Above 8 bits the page stays true colour; 32 (PNG
// only) keeps the alpha plane, which the other true-colour writers keep or drop as they can.
//   BMP 1 4 8 24 | GIF 1..8 | JPEG 24 | PNG 1 2 4 8 24 32 | TIFF 1 4 8 24 | TGA 8 24 |
//   PCX 1 4 8 24
std::span<const std::int32_t> batchFormatDepths(BatchFormat format);
// The depth a page is written with: forced by the fixed palettes (black-and-white 1, VGA 4,
// web-safe and system 8), else the chosen one, else ("[original]", 0) the smallest listed depth
// not below the page's, the largest when none is. 0 when the format cannot hold it.
std::int32_t batchOutputDepth(const BatchSettings& settings, std::int32_t pageDepth);

// The output name of a source before the existing-file check: folder, sub-folder, prefix,
// suffix and the format's extension. `root` is the list's root folder.
std::filesystem::path batchOutputPath(const BatchSettings& settings,
                                      const std::filesystem::path& root,
                                      const std::filesystem::path& source);
// Page k >= 1 of a multi-page output: "photo.png" -> "photo_0001.png".
std::filesystem::path batchPagePath(const std::filesystem::path& output, std::int32_t page);

// The size a page of srcWidth x srcHeight (after turning) is resampled to, and the centred crop
// taken from it first (the whole page unless "Maintain aspect ratio" with both sides given).
struct BatchResampleSize {
    bool resample = false;  // false: width and height not given, the page is copied
    bool tooLarge = false;  // a side above 32767
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t cropX = 0;
    std::int32_t cropY = 0;
    std::int32_t cropWidth = 0;
    std::int32_t cropHeight = 0;
};
BatchResampleSize batchResampleSize(const BatchSettings& settings, std::int32_t srcWidth,
                                    std::int32_t srcHeight, std::int32_t dpiX, std::int32_t dpiY);

class BatchConvertor {
public:
    // Converts every file of the list; per-file errors (and damage, as "FILE: converted with
    // damage: REASON") go to the host and the run goes on. The file-exists questions offer
    // Rename. The host is called only on the calling thread. Returns without doing anything for
    // an empty list; fails the whole run (with the message) when the overlay cannot be prepared.
    static BatchResult Run(const BatchSettings& settings, const BatchFileList& list,
                           ToolHost& host);

    // The page checks of the dialog, on the texts of its fields: the first message, or empty.
    // Width/height texts are "[original]", empty or a number.
    static std::string checkResampleTexts(const std::string& width, const std::string& height,
                                          std::int32_t unit, bool percents, bool keepAspect);
    static std::string checkResolutionTexts(const std::string& dpiX, const std::string& dpiY);

    // The worker for one file: writes the first page to `temporaryPath` and page k >= 1 to
    // batchPagePath(finalPath, k) (each through its own temporary file, put in place only when
    // the whole file succeeded). `overlay` is the prepared layer or null. `stage` is told 0..3
    // ("Reading", "Resampling", "Converting", "Writing"); `cancel` is polled. Returns
    // kBatchFileWritten, kBatchFileStopped or kBatchFileFailed with the message in `message`, or
    // kBatchFileDamaged (written) with the damage ("data ends at row 120") in `message`.
    // Safe to run on several threads at once for different files.
    static int ConvertFile(const std::filesystem::path& sourcePath,
                           const std::filesystem::path& temporaryPath,
                           const std::filesystem::path& finalPath, const BatchSettings& settings,
                           const OverlayLayer* overlay,
                           const std::function<void(std::int32_t stage)>& stage,
                           const image::CancelSink* cancel, std::string& message);
};

}  // namespace kalder::tools
