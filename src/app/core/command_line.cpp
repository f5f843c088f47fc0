#include "app/core/command_line.h"

#include "base/strings.h"
#include "kalder_config.h"

namespace kalder::app {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

CommandLine parseCommandLine(std::string_view text) {
    text = base::trimLeft(text);
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    const std::string_view argument = text.substr(0, text.find('"'));

    CommandLine result;
    if (argument.empty()) return result;
    if (base::equalsIgnoringCase(argument, "-uninstall")) {
        result.action = CommandLineAction::Uninstall;
        return result;
    }
    const bool printSwitch =
        argument.size() >= 2 && (argument[1] == 'p' || argument[1] == 'P') &&
        (argument[0] == '-' ||
         (argument[0] == '/' && (argument.size() == 2 || isBlank(argument[2]))));
    if (printSwitch) {
        const std::string_view file = base::trimLeft(argument.substr(2));
        if (!file.empty()) {
            result.action = CommandLineAction::Print;
            result.file = file;
        }
        return result;
    }
    result.action = CommandLineAction::Open;
    result.file = argument;
    return result;
}

std::string joinArguments(const std::vector<std::string>& arguments,
                          const std::function<bool(const std::string&)>& exists) {
    // Unquoted blanks belong to the one file name, unless the first word is a whole path.
    if (arguments.size() > 1 && exists && exists(arguments.front())) return arguments.front();
    std::string text;
    for (const std::string& argument : arguments) {
        if (!text.empty()) text += ' ';
        text += argument;
    }
    return text;
}

std::string helpFilePath(std::string_view executablePath, std::string_view current) {
    const std::size_t slash = executablePath.rfind('/');
    if (slash == std::string_view::npos) return std::string(current);
    std::string path(executablePath.substr(0, slash + 1));
    path += "guide.chm";
    return path;
}

std::optional<std::string> informationRequest(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return std::nullopt;
    if (arguments.front() == "--version") return "kalder " + std::string(config::kVersion) + "\n";
    if (arguments.front() != "--help" && arguments.front() != "-h") return std::nullopt;
    return "usage: kalder [FILE | FOLDER]\n"
           "       kalder -p FILE\n"
           "       kalder -uninstall\n"
           "\n"
           "Shows FILE (and lists its folder), or FOLDER; with no argument, the folder of the\n"
           "last session. -p prints FILE and exits. -uninstall removes Kalder's file\n"
           "associations and settings. Several files open the first one.\n"
           "\n"
           "  --help     this text\n"
           "  --version  the version\n"
           "\n"
           "Settings: $XDG_CONFIG_HOME/kalder/Kalder.cfg (beside the program for a portable copy,\n"
           "marked by a file named \"portable\" there).\n";
}

}  // namespace kalder::app
