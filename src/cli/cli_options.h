#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalder::cli {

enum class Command { None, Help, Version, Info, Decode, Thumb, Thumbs, Exif };

// Everything the command line asked for.
struct CliOptions {
    Command command = Command::None;
    std::vector<std::string> inputs;
    std::string output;
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
    std::optional<std::uint32_t> background;  // 0xRRGGBB as written
    std::string profile;                      // colour profile file
    std::optional<std::vector<double>> calibration;  // red, green, blue, extra gamma

    // thumbnails
    std::int32_t size = 0;
    bool useExif = true;
    std::int32_t jobs = 0;  // 0: one per core
};

struct ParseResult {
    CliOptions options;
    std::string error;  // empty on success
};

ParseResult parseCommandLine(const std::vector<std::string>& args);

const char* usageText();

}  // namespace kalder::cli
