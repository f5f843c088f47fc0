#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::cli {

// One command of kalder-cli: its help, which is the one place its words are written down
// (`VERB --help`, the overview, the manual page and the shell completion are made from it), and
// its handler. Both functions get the words after the verb.
struct Verb {
    const char* name;
    const char* synopsis;  // lines after "kalder-cli NAME ", several separated by '\n'
    const char* summary;   // one line for the overview
    const char* details;   // paragraphs; may be empty
    std::string options;   // "  --word ARG   what it does" lines; may be empty
    const char* operands;  // what the file arguments are: "image", "dir", "any", "none"
    // The usage error the words make, or empty; reads no file.
    std::string (*check)(const std::vector<std::string>& args);
    // The exit status: 0 success, 1 a file could not be read or written, 2 a usage error.
    int (*run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};

// Every verb, in the order the overview lists them.
std::span<const Verb* const> verbs();
const Verb* findVerb(std::string_view name);

// Each verb's own entry, defined beside its handler.
const Verb& infoVerb();
const Verb& decodeVerb();
const Verb& thumbVerb();
const Verb& thumbsVerb();
const Verb& exifVerb();
const Verb& sendMailVerb();
const Verb& gifCompileVerb();
const Verb& iconCompileVerb();
const Verb& jpegTransformVerb();
const Verb& exifOrientationVerb();
const Verb& convertVerb();
const Verb& psdLayersVerb();
const Verb& scanVerb();
const Verb& associateVerb();
const Verb& companionVerb();

}  // namespace kalder::cli
