#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_args.h"

namespace kalder::cli {

// kalder-cli decode FILE -o OUT [options]: what `decode` was asked for.
struct DecodeOptions {
    std::vector<std::string> inputs;
    std::string output;  // "-": standard output
    std::string format;  // --format, else OUT's extension decides
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
    WriterChoices writer;
    // --resample: a size, or a percentage of the decoded size.
    std::int32_t resampleWidth = 0;
    std::int32_t resampleHeight = 0;
    std::int32_t resamplePercent = 0;
};

struct DecodeParse {
    DecodeOptions options;
    std::string error;  // empty on success
};

// The words after "decode".
DecodeParse parseDecodeArgs(const std::vector<std::string>& args);

}  // namespace kalder::cli
