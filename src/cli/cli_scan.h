#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "shell/scanner.h"
#include "tools/scan/scan_save.h"

namespace kalder::cli {

struct ScanCliOptions {
    bool list = false;         // list the devices instead of scanning
    bool listOptions = false;  // list the device's options instead of scanning
    std::vector<std::pair<std::string, std::string>> backendOptions;  // --option NAME=VALUE
    std::string device;
    std::optional<shell::ScanColour> colour;
    std::optional<double> resolution;
    std::string source;
    std::int32_t pages = 0;  // 0: until the feeder is empty (a flatbed gives one)
    std::string output;
    tools::ScanSaveType type = tools::ScanSaveType::Png;
};

struct ScanCliParse {
    ScanCliOptions options;
    std::string error;  // empty on success
};

// The words after "scan".
ScanCliParse parseScanArgs(const std::vector<std::string>& args);

// The file a page goes to: OUT for a single page, OUT with -N before its extension when the
// scan may give several.
std::string scanPagePath(const std::string& output, std::int32_t page, bool numbered);

// Scans and saves. Exit status: 0 every page saved, 1 the scan or a save failed, 2 usage error.
int runScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kalder::cli
