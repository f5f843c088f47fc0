#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kalder::cli {

// kalder-cli psd-layers FILE... -o DIR [--bmp|--png] [--expand]
struct PsdLayersOptions {
    std::vector<std::string> inputs;
    std::string outputFolder;
    bool png = false;  // default: BMP files with "_mask.bmp" beside them
    bool expand = false;
    std::optional<bool> answer;  // --yes or --no
};

// `args` follow the command word; the error is empty on success.
PsdLayersOptions parsePsdLayers(const std::vector<std::string>& args, std::string& error);

// Every layer of every FILE becomes DIR/<name>_NNN.bmp (with _NNN_mask.bmp for layers with
// transparency) or DIR/<name>_NNN.png. Existing outputs are replaced. Returns the exit status:
// 0 all written, 1 a file could not be read or written (earlier outputs stay), 2 a usage error.
int runPsdLayers(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kalder::cli
