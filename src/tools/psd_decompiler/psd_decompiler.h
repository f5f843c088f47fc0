#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/translatable.h"
#include "tools/tool_host.h"

namespace kalder::tools {

enum class PsdLayerFormat : std::int32_t {
    BmpWithMask = 0,   // a 24-bit bitmap per layer, its transparency in a gray "_mask.bmp"
    PngWithAlpha = 1,  // a PNG per layer, its transparency as the alpha channel
};

struct PsdDecompileOptions {
    PsdLayerFormat format = PsdLayerFormat::BmpWithMask;
    bool expandToImage = true;  // every output at the document's size
    std::filesystem::path outputFolder;
};

// The eight numbers the settings keep for the decompiler: [0] the format (0 BMP with mask,
// 1 PNG with alpha), [1] expand/crop to the document (0 or 1); the rest is reserved and stays
// as found. The stored defaults 0, 1, 0, ... mean BMP files expanded to the document.
using PsdSettingsFields = std::array<std::int32_t, 8>;
PsdDecompileOptions loadPsdOptions(const PsdSettingsFields& stored);
void storePsdOptions(const PsdDecompileOptions& options, PsdSettingsFields& stored);

// The line above the path of the file-exists question.
inline constexpr char kPsdFileExists[] = QT_TRANSLATE_NOOP("Messages", "File already exists:");

struct PsdDecompileResult {
    bool completed = false;  // every file done: no error, no stop, no cancel
    std::vector<std::filesystem::path> written;
};

// "<folder>/<file name without extension>": the start of every output name of `file`; an
// empty folder is the file's own.
std::filesystem::path psdOutputStem(const std::filesystem::path& folder,
                                    const std::filesystem::path& file);
// "<stem>_007.png", "<stem>_007.bmp", "<stem>_007_mask.bmp"; a layer name goes behind the
// number ("<stem>_007_Red Box.png", "<stem>_007_Red Box_mask.bmp"), made fit for a file name by
// psdNameForFile. The number keeps the names of one document apart.
std::filesystem::path psdLayerPath(const std::filesystem::path& stem, std::int32_t layer,
                                   PsdLayerFormat format, bool mask = false,
                                   const std::string& name = {});
// A layer name as part of a file name: no path separators, control or reserved characters
// (each becomes "_"), no blanks or dots at its ends, at most 100 bytes of whole characters.
std::string psdNameForFile(const std::string& name);
// "<stem>_layers.json": every layer's file, name, place, size, opacity, visibility and blend
// mode, written when the layers keep their own size.
std::filesystem::path psdListPath(const std::filesystem::path& stem);

// Writes every layer of every file. The first unreadable file or failed write ends the run
// with its message; what was written before stays.
PsdDecompileResult decompilePsdFiles(const std::vector<std::filesystem::path>& files,
                                     const PsdDecompileOptions& options, ToolHost& host);

}  // namespace kalder::tools
