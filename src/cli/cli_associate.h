#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kalder::cli {

// kalder-cli associate --status | --all | FORMAT... | --restore [FORMAT...]: the file associations
// of the viewer on the XDG MIME defaults. FORMAT is a format's short name or one of its
// extensions (png, jpeg, .tif). Exit status: 0 done, 1 a file could not be written, 2 usage.
int runAssociate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kalder::cli
