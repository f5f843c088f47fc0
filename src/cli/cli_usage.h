#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::cli {

struct Verb;

// The overview `kalder-cli --help` prints.
std::string overviewText();
// What `kalder-cli VERB --help` prints.
std::string verbHelpText(const Verb& verb);
// The option words ("-o", "--size", ...) a verb's help names, in order of appearance.
std::vector<std::string> verbOptionWords(const Verb& verb);

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
