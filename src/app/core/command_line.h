#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::app {

enum class CommandLineAction {
    None,       // no argument (or one that names nothing): open the last folder
    Open,       // view `file`
    Print,      // print `file`, then exit
    Uninstall,  // remove our associations and settings, show no window
};

struct CommandLine {
    CommandLineAction action = CommandLineAction::None;
    std::string file;  // for Open and Print
};

// Reads the one argument from the text after the program name:
// - leading blanks and tabs are skipped, then one double quote;
// - the argument runs to the next double quote or the end, so blanks belong to it;
// - "-uninstall" (any case, nothing after it) asks for the uninstall;
// - "-p"/"-P" starts a print request, the rest after blanks and tabs being the file ("-print"
//   prints the file "rint"); "-p" alone is ignored;
// - anything else names the file to open.
// "/p" works like "-p" only as a word of its own ("/p name"); glued to more text it is the start
// of an absolute path such as "/pictures/a.png".
CommandLine parseCommandLine(std::string_view text);

// The program's arguments (without the program name) as the text parseCommandLine() reads:
// joined with single blanks. When there are several and `exists` says the first names a file or
// folder (a file manager passing its selection), that first one alone.
std::string joinArguments(const std::vector<std::string>& arguments,
                          const std::function<bool(const std::string&)>& exists = {});

// What "--help" or "--version" as the first argument prints before any window exists; nothing
// for every other command line.
std::optional<std::string> informationRequest(const std::vector<std::string>& arguments);

// The help file beside the executable: everything up to and including the last "/" of the
// executable's path, then "guide.chm". A path without a folder leaves `current` unchanged.
std::string helpFilePath(std::string_view executablePath, std::string_view current);

}  // namespace kalder::app
