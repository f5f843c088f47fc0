#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kalder::cli {

// kalder-cli companion --check FILE | --find [FOLDER...]: whether a file is the companion
// editor, or where the first one below the folders (the fixed disks by default) is.
// Exit status: 0 yes or found, 1 no or not found, 2 usage.
int runCompanion(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kalder::cli
