// kalder-cli: the viewer's engines without a window, for scripts, tests and benchmarks.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "base/huge_pages.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "kalder_config.h"

namespace {

using namespace kalder::cli;

int dispatch(std::vector<std::string> args) {
    // --quiet belongs to every verb, so it is taken here, before any verb reads its words.
    for (auto it = args.begin(); it != args.end() && *it != "--";) {
        if (*it == "--quiet") {
            setQuiet(true);
            it = args.erase(it);
        } else {
            ++it;
        }
    }
    if (args.empty()) return usageError(std::cerr, "", "no command");
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        const Verb* verb = args.size() > 1 ? findVerb(args[1]) : nullptr;
        std::cout << (verb ? verbHelpText(*verb) : overviewText());
        return 0;
    }
    if (first == "--version") {
        std::cout << "kalder-cli " << kalder::config::kVersion << "\n";
        return 0;
    }
    const Verb* verb = findVerb(first);
    if (!verb) return usageError(std::cerr, "", "unknown command: " + first);
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (asksForHelp(rest)) {
        std::cout << verbHelpText(*verb);
        return 0;
    }
    return verb->run(rest, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    // The lossless transforms hold every coefficient of the picture in the codec library's own
    // allocations: huge pages halve their time. Other verbs are not worth a second start.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (argv[i][0] == '-') continue;
        if (std::strcmp(argv[i], "jpeg-transform") == 0)
            kalder::base::restartWithHugePageMalloc(argv);
        break;
    }
    int status = dispatch({argv + 1, argv + argc});
    // What a command printed is its result: a full disk or a closed pipe must not pass for
    // success.
    errno = 0;
    std::cout.flush();
    const bool written = std::cout && std::fflush(stdout) == 0 && !std::ferror(stdout);
    // A command that failed already said why.
    if (!written && status == 0) {
        std::cerr << "kalder-cli: standard output: " << std::strerror(errno ? errno : EIO) << "\n";
        status = 1;
    }
    return status;
}
