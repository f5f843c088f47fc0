#pragma once

#include <iosfwd>

#include "cli/cli_options.h"

namespace kalder::cli {

// Each returns the process exit status: 0 success, 1 when a file could not be read.
int runInfo(const CliOptions& options, std::ostream& out, std::ostream& err);
int runDecode(const CliOptions& options, std::ostream& out, std::ostream& err);
int runThumb(const CliOptions& options, std::ostream& out, std::ostream& err);
int runThumbs(const CliOptions& options, std::ostream& out, std::ostream& err);
int runExif(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace kalder::cli
