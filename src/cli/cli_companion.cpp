#include "cli/cli_companion.h"

#include <ostream>

#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "shell/companion.h"

namespace kalder::cli {

namespace {

std::string checkCompanion(const std::vector<std::string>& args) {
    const bool check = args.size() == 2 && args[0] == "--check";
    const bool find = !args.empty() && args[0] == "--find";
    return check || find ? "" : "give --check FILE or --find [FOLDER...]";
}

}  // namespace

int runCompanion(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (std::string error = checkCompanion(args); !error.empty())
        return usageError(err, "companion", error);
    if (args[0] == "--check") {
        const bool yes = shell::IsCompanionExe(args[1]);
        out << (yes ? "yes" : "no") << "\n";
        return yes ? 0 : 1;
    }
    std::vector<std::filesystem::path> roots(args.begin() + 1, args.end());
    if (roots.empty()) roots = shell::fixedDiskRoots();
    const shell::CompanionSearch search = shell::findCompanion(roots, {});
    if (!search.found) {
        err << "kalder-cli: Can't find " << shell::kCompanionProduct << ".\n";
        return 1;
    }
    out << search.found->string() << "\n";
    return 0;
}

const Verb& companionVerb() {
    static const Verb verb = {
        "companion",
        "--check FILE\n--find [FOLDER...]",
        "whether FILE is the companion editor, or where one is",
        "--find searches the fixed disks by default.\n",
        "  --check FILE       whether FILE is the companion editor\n"
        "  --find             search these folders\n",
        "any",
        checkCompanion,
        runCompanion,
    };
    return verb;
}

}  // namespace kalder::cli
