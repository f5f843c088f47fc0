#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace kalder::cli {

// jpeg-transform and exif-orientation: their own arguments, parsed here so the shared parser
// only dispatches.
ParseResult parseJpegToolCommandLine(const std::vector<std::string>& args);

int runJpegTransform(const CliOptions& options, std::ostream& out, std::ostream& err);
int runExifOrientation(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace kalder::cli
