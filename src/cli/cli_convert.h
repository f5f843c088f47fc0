#pragma once

#include <iosfwd>

#include "cli/cli_options.h"

namespace kalder::tools {
struct BatchSettings;
}

namespace kalder::cli {

// The batch convertor's settings for a convert command line.
tools::BatchSettings batchSettingsFor(const CliOptions& options);

// kalder-cli convert: 0 every file converted, 1 some failed, were refused or the run was
// stopped (Ctrl+C), 2 a usage error.
int runConvert(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace kalder::cli
