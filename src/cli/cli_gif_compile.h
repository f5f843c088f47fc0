#pragma once

#include <iosfwd>

#include "cli/cli_options.h"

namespace kalder::cli {

// gif-compile: one animated GIF from the input files, a frame per file in the order given. An
// existing output is replaced. Returns 0 on success, 1 when a file could not be read or
// written, 2 for options the compiler refuses.
int runGifCompile(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace kalder::cli
