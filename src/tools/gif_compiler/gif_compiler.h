#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/translatable.h"
#include "image/bitmap32.h"
#include "image/colour_reducer.h"
#include "image/writers/writer_options.h"
#include "tools/tool_host.h"

namespace kalder::tools {

// The tool's own texts.
inline constexpr char kGifTooFewImages[] =
    QT_TRANSLATE_NOOP("Messages", "At least two images must be selected to use this tool.");
inline constexpr char kGifLoadingFiles[] = QT_TRANSLATE_NOOP("Messages", "Loading image files ...");
inline constexpr char kGifSizeMismatch[] =
    "The size of the image \"%1!s!\" is not the same as that of the first image.";
inline constexpr char kGifLoadFailed[] =
    QT_TRANSLATE_NOOP("Messages", "Failed to load the image files.");
inline constexpr char kGifReadingFrames[] = QT_TRANSLATE_NOOP("Messages", "Reading frames ...");
inline constexpr char kGifProcessing[] = QT_TRANSLATE_NOOP("Messages", "Processing ...");
inline constexpr char kGifWriting[] = QT_TRANSLATE_NOOP("Messages", "Writing ...");
inline constexpr char kGifOutputExists[] =
    QT_TRANSLATE_NOOP("Messages", "The output file already exists. Do you want to overwrite it?");
inline constexpr char kGifCannotReadFrame[] =
    QT_TRANSLATE_NOOP("Messages", "Cannot read file (frame):");
inline constexpr char kGifCannotWrite[] =
    QT_TRANSLATE_NOOP("Messages", "Cannot write the output file:");
inline constexpr char kGifSeeThroughLost[] =
    "The transparent pixels of frame(s) %1!s! show the frame before, which is left in place. Give "
    "that frame the disposal method \"Restore Background\" to make them transparent.";
inline constexpr char kGifSeparatePalettesQuestion[] = QT_TRANSLATE_NOOP(
    "Messages",
    "Some of the frames use transparency. Applying separate palettes to such frames may cause the "
    "file to be shown improperly. Do you really want to apply?");

// GIF disposal codes the tool offers.
inline constexpr std::int32_t kDisposalLeave = 1;
inline constexpr std::int32_t kDisposalBackground = 2;
inline constexpr std::int32_t kDisposalPrevious = 3;
// "Leave in Place", "Restore Background", "Restore Previous" for 1..3; empty otherwise.
const char* disposalName(std::int32_t disposal);

// One selected file, in selection order.
struct AnimationFrame {
    std::filesystem::path path;
    std::unique_ptr<image::Bitmap32> preview;  // the first page, made when the tool opens
    std::uint32_t delay = 50;                  // hundredths of a second
    std::int32_t disposal = kDisposalLeave;
};

struct AnimationOptions {
    std::filesystem::path output;
    std::string comments;  // written as one comment when not empty
    image::PaletteType palette = image::PaletteType::Optimized;
    std::int32_t colorDepth = 8;  // bits, 1..8 (web-safe is always 8, black-and-white 1)
    image::DitherType dither = image::DitherType::None;
    bool interlaced = false;
    // Store unchanged pixels as transparent where that makes the file smaller; the file is never
    // larger than without.
    bool minimize = false;
    bool separatePalettes = false;
    image::TransparencyOptions transparency;
    std::uint32_t plays = 0;  // how often the animation plays; 0: for ever
};

enum class CompileOutcome { Written, Failed, Stopped };

struct CompileResult {
    CompileOutcome outcome = CompileOutcome::Failed;
    std::int32_t frames = 0;  // frames written
};

class GifCompiler {
public:
    // The one rule for which frames go in: at least two files, all readable, all of the first
    // one's size (checked again at compile time, as the files may change meanwhile). Fills
    // `frames` (delay 50, disposal 1) with previews no larger than previewSize on either side
    // (0: full size). False after telling the host why.
    static bool Open(const std::vector<std::filesystem::path>& files, std::int32_t previewSize,
                     ToolHost& host, std::vector<AnimationFrame>& frames);

    // Reads every frame again at full size, reduces the colours and writes the animation through
    // a temporary file that replaces the output only when complete. Asks before replacing an
    // existing output (the file-exists question, without "all" answers) and before separate
    // palettes on frames with transparency; a No stops the run.
    static CompileResult Compile(const std::vector<AnimationFrame>& frames,
                                 const AnimationOptions& options, ToolHost& host);

    // The options as the pages leave them: web-safe 8 bits, black-and-white 1 bit, separate
    // palettes only with "Optimized" and never together with minimising.
    static AnimationOptions normalized(AnimationOptions options);
};

// "%1!s!" and "%1!i!" inserts of the tool's texts.
std::string fillInsert(const char* text, const std::string& value);

}  // namespace kalder::tools
