#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kalder::cli {

// kalder-cli icon-compile FILE... -o OUT.ico|.cur|.ani [--transparent RRGGBB] [--mask FILE]
// [--hotspot X,Y] [--delay N] [--sizes standard|N,N,...]
struct IconCompileOptions {
    std::vector<std::string> inputs;
    std::string output;
    std::optional<std::uint32_t> transparent;  // 0xRRGGBB
    std::string mask;
    std::optional<std::pair<std::int32_t, std::int32_t>> hotSpot;
    std::optional<std::uint32_t> delay;  // hundredths of a second
    // --sizes: one picture made into pages of these sides; "standard" skips sides larger than
    // the picture.
    std::vector<std::int32_t> sizes;
    bool standardSizes = false;
    std::optional<bool> answer;  // --yes or --no
};

// `args` follow the command word; the error is empty on success.
IconCompileOptions parseIconCompile(const std::vector<std::string>& args, std::string& error);

// Every page of every FILE (multi-page files broken into pages) becomes one image of OUT, each
// with the same transparency, hot spot and delay; with --sizes the one FILE is made into a page
// of each size. The path written is printed. Returns the exit status: 0 written, 1 a file
// could not be read or OUT not written, 2 a usage error.
int runIconCompile(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kalder::cli
