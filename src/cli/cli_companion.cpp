#include "cli/cli_companion.h"

#include <ostream>

#include "cli/cli_usage.h"
#include "shell/companion.h"

namespace kalder::cli {

int runCompanion(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 2 && args[0] == "--check") {
        const bool yes = shell::IsCompanionExe(args[1]);
        out << (yes ? "yes" : "no") << "\n";
        return yes ? 0 : 1;
    }
    if (!args.empty() && args[0] == "--find") {
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
    return usageError(err, "companion", "give --check FILE or --find [FOLDER...]");
}

}  // namespace kalder::cli
