#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::cli {

// One command's help: the one place its words are written down. `VERB --help`, the overview,
// the manual page and the shell completion are all made from these.
struct VerbUsage {
    const char* name;
    const char* synopsis;  // lines after "kalder-cli NAME ", several separated by '\n'
    const char* summary;   // one line for the overview
    const char* details;   // paragraphs; may be empty
    const char* options;   // "  --word ARG   what it does" lines; may be empty
    const char* operands;  // what the file arguments are: "image", "dir", "any", "none"
};

std::span<const VerbUsage> verbUsages();
const VerbUsage* findVerb(std::string_view name);

// The overview `kalder-cli --help` prints.
std::string overviewText();
// What `kalder-cli VERB --help` prints.
std::string verbHelpText(const VerbUsage& verb);
// The option words ("-o", "--size", ...) a verb's help names, in order of appearance.
std::vector<std::string> verbOptionWords(const VerbUsage& verb);

// The manual page in roff and the bash completion script, both made from the table.
std::string manPageText();
std::string bashCompletionText();

// "kalder-cli: MESSAGE" and a pointer to the help; returns the usage error status 2.
int usageError(std::ostream& err, std::string_view verb, std::string_view message);
// "kalder-cli: FILE: REASON"; returns the failure status 1.
int fileError(std::ostream& err, std::string_view file, std::string_view reason);
// Why a file could not be opened as an image: the system's words for a missing, unreadable or
// folder path, else "not a supported image".
std::string readFailureReason(const std::string& file);

// Options every verb takes, read before the verb sees its words. --quiet silences the progress
// lines, which otherwise go to standard error when it is a terminal.
void setQuiet(bool quiet);
bool progressWanted();

// Arguments from `--` on are file names; `--help` or `-h` before it asks for the verb's help.
bool asksForHelp(const std::vector<std::string>& args);

}  // namespace kalder::cli
