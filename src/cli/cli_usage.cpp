#include "cli/cli_usage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <set>
#include <sstream>

#include "cli/cli_verb.h"
#include "image/cdx_loader.h"
#include "image/format_table.h"

namespace kalder::cli {
namespace {

constexpr char kCommonOptions[] =
    "  --quiet            no progress lines\n"
    "  -h, --help         this help\n";

bool g_quiet = false;

// Roff treats a leading "." or "'" as a request and "\" as an escape; "-" is a hyphen unless
// escaped, which breaks copying option names from the page.
std::string roff(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> out;
    for (std::size_t start = 0; start < text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        out.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// An option line's two columns: "  --size N           longer side" -> "--size N", "longer side".
// A continuation line has an empty first column.
std::pair<std::string, std::string> optionColumns(const std::string& line) {
    const auto begin = line.find_first_not_of(' ');
    if (begin == std::string::npos) return {};
    if (begin > 2) return {"", line.substr(begin)};
    const auto gap = line.find("  ", begin);
    if (gap == std::string::npos) return {line.substr(begin), ""};
    const auto text = line.find_first_not_of(' ', gap);
    return {line.substr(begin, gap - begin), text == std::string::npos ? "" : line.substr(text)};
}

}  // namespace

std::string overviewText() {
    std::string out = "usage: kalder-cli COMMAND [options] FILE...\n\ncommands:\n";
    for (const Verb* v : verbs()) {
        std::string name = "  " + std::string(v->name);
        name.resize(20, ' ');
        out += name + v->summary + "\n";
    }
    out += "\noptions of every command:\n";
    out += kCommonOptions;
    out += "  --version          the version\n";
    out += "\nA file name of - reads standard input; -- ends the options.\n";
    out += "Run 'kalder-cli COMMAND --help' for a command's own options.\n";
    out += "\nexit status: 0 success, 1 a file could not be read or written, 2 usage error\n";
    return out;
}

std::string verbHelpText(const Verb& v) {
    std::string out;
    bool first = true;
    for (const auto& line : splitLines(v.synopsis)) {
        out += (first ? "usage: kalder-cli " : "       kalder-cli ") + std::string(v.name) + " " +
               line + "\n";
        first = false;
    }
    out += "\n" + std::string(v.summary) + "\n";
    if (*v.details) out += "\n" + std::string(v.details);
    out += "\noptions:\n" + v.options + kCommonOptions;
    return out;
}

std::vector<std::string> verbOptionWords(const Verb& v) {
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const auto& line : splitLines(v.options + kCommonOptions)) {
        const std::string first = optionColumns(line).first;
        std::istringstream words(first);
        for (std::string w; words >> w;) {
            while (!w.empty() && (w.back() == ',' || w.back() == '|')) w.pop_back();
            if (w.size() > 1 && w[0] == '-' && w != "-" && seen.insert(w).second) out.push_back(w);
        }
    }
    return out;
}

std::string manPageText() {
    std::string out =
        ".\\\" Made by kalder-cli-docs from the program's own help; edit the verbs in src/cli/.\n"
        ".TH KALDER-CLI 1 \"\" \"Kalder\" \"User Commands\"\n"
        ".SH NAME\n"
        "kalder-cli \\- the Kalder image viewer's engines from the command line\n"
        ".SH SYNOPSIS\n"
        ".B kalder-cli\n"
        ".I COMMAND\n"
        "[\\fIoptions\\fR] [\\fB\\-\\-\\fR] \\fIFILE\\fR...\n"
        ".SH DESCRIPTION\n"
        "Decodes, converts, thumbnails and mails images as the viewer does, without a window.\n"
        "Errors go to standard error as \\fBkalder\\-cli: \\fIFILE\\fB: \\fIreason\\fR.\n"
        "A file name of \\fB\\-\\fR reads standard input; \\fB\\-\\-\\fR ends the options.\n"
        "Progress lines appear on standard error when it is a terminal.\n"
        ".SH OPTIONS\n";
    auto optionBlock = [&](std::string_view text) {
        for (const auto& line : splitLines(text)) {
            const auto [word, what] = optionColumns(line);
            if (word.empty()) {
                out += roff(what) + "\n";
            } else {
                out += ".TP\n.B " + roff(word) + "\n";
                if (!what.empty()) out += roff(what) + "\n";
            }
        }
    };
    optionBlock(std::string(kCommonOptions) + "  --version          the version\n");
    out += ".SH COMMANDS\n";
    for (const Verb* verb : verbs()) {
        const Verb& v = *verb;
        out += ".SS " + roff(v.name) + "\n";
        for (const auto& line : splitLines(v.synopsis))
            out += ".B kalder\\-cli " + roff(v.name) + "\n" + roff(line) + "\n.br\n";
        out += ".PP\n" + roff(v.summary) + ".\n";
        for (const auto& line : splitLines(v.details)) out += roff(line) + "\n";
        if (!v.options.empty()) {
            out += ".PP\n";
            optionBlock(v.options);
        }
    }
    out +=
        ".SH ENVIRONMENT\n"
        ".TP\n.B KALDER_SMTP_PASSWORD\n"
        "the password for \\fBsend\\-mail \\-\\-user\\fR\n"
        ".SH EXIT STATUS\n"
        "0 success, 1 a file could not be read or written, 2 usage error.\n"
        ".SH SEE ALSO\n"
        ".BR kalder (1)\n";
    return out;
}

std::string bashCompletionText() {
    std::set<std::string> extensions;
    for (const auto& e : image::extensionTable())
        if (e.extension.size() > 1) extensions.insert(std::string(e.extension.substr(1)));
    std::string pattern;
    for (const auto& e : extensions) {
        std::string both = e;
        for (char& c : both) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        pattern += (pattern.empty() ? "" : "|") + e + "|" + both;
    }
    std::string out =
        "# bash completion for kalder-cli; made by kalder-cli-docs from the program's own help.\n"
        "_kalder_cli()\n"
        "{\n"
        "    local cur prev verb i\n"
        "    COMPREPLY=()\n"
        "    cur=${COMP_WORDS[COMP_CWORD]}\n"
        "    prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    if [[ $COMP_CWORD -eq 1 ]]; then\n"
        "        COMPREPLY=($(compgen -W '";
    for (const Verb* v : verbs()) out += std::string(v->name) + " ";
    out +=
        "--help --version' -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    verb=${COMP_WORDS[1]}\n"
        "    for ((i = 2; i < COMP_CWORD; i++)); do\n"
        "        if [[ ${COMP_WORDS[i]} == -- ]]; then\n"
        "            _kalder_cli_files \"$verb\"\n"
        "            return\n"
        "        fi\n"
        "    done\n"
        "    case $prev in\n"
        "        -o|--output|--profile|--mask|--ca-file|--text-file|--overlay-image|--check)\n"
        "            compopt -o filenames 2>/dev/null\n"
        "            COMPREPLY=($(compgen -f -- \"$cur\"))\n"
        "            return\n"
        "            ;;\n"
        "        --copy-subfolders|--find)\n"
        "            compopt -o filenames 2>/dev/null\n"
        "            COMPREPLY=($(compgen -d -- \"$cur\"))\n"
        "            return\n"
        "            ;;\n"
        "    esac\n"
        "    if [[ $cur == -* ]]; then\n"
        "        local words\n"
        "        case $verb in\n";
    for (const Verb* v : verbs()) {
        out += "            " + std::string(v->name) + ") words='";
        bool first = true;
        for (const auto& w : verbOptionWords(*v)) {
            out += (first ? "" : " ") + w;
            first = false;
        }
        out += "' ;;\n";
    }
    out +=
        "            *) return ;;\n"
        "        esac\n"
        "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    _kalder_cli_files \"$verb\"\n"
        "}\n"
        "\n"
        "# The file arguments a verb reads: images by extension, folders, or any file.\n"
        "_kalder_cli_files()\n"
        "{\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]}\n"
        "    compopt -o filenames 2>/dev/null\n"
        "    case $1 in\n";
    for (const char* kind : {"image", "dir", "any"}) {
        std::string names;
        for (const Verb* v : verbs())
            if (std::string_view(v->operands) == kind)
                names += (names.empty() ? "" : "|") + std::string(v->name);
        if (names.empty()) continue;
        out += "        " + names + ")\n";
        if (std::string_view(kind) == "image")
            out += "            COMPREPLY=($(compgen -d -- \"$cur\") $(compgen -f -X '!*.@(" +
                   pattern + ")' -- \"$cur\"))\n";
        else if (std::string_view(kind) == "dir")
            out += "            COMPREPLY=($(compgen -d -- \"$cur\"))\n";
        else
            out += "            COMPREPLY=($(compgen -f -- \"$cur\"))\n";
        out += "            ;;\n";
    }
    out +=
        "    esac\n"
        "}\n"
        "\n"
        "complete -F _kalder_cli kalder-cli\n";
    return out;
}

int usageError(std::ostream& err, std::string_view verb, std::string_view message) {
    err << "kalder-cli: " << message << "\n";
    if (findVerb(verb))
        err << "Try 'kalder-cli " << verb << " --help' for more information.\n";
    else
        err << "Try 'kalder-cli --help' for more information.\n";
    return 2;
}

int fileError(std::ostream& err, std::string_view file, std::string_view reason) {
    err << "kalder-cli: " << file << ": " << reason << "\n";
    return 1;
}

std::string readFailureReason(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    if (::access(file.c_str(), R_OK) != 0) return std::strerror(errno);
    if (st.st_size == 0) return "empty file";
    // A codec module missing from the installation is something the user can fix: say which.
    if (std::string why = image::cdx::missingModuleMessage(file); !why.empty()) return why;
    if (image::DetectFormat(file, image::DetectMode::ByContent) < 0) return "not a supported image";
    return "damaged or truncated image";
}

void setQuiet(bool quiet) { g_quiet = quiet; }

bool progressWanted() { return !g_quiet && ::isatty(STDERR_FILENO) == 1; }

bool asksForHelp(const std::vector<std::string>& args) {
    for (const auto& a : args) {
        if (a == "--") return false;
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

}  // namespace kalder::cli
