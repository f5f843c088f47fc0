// kalder-cli-docs: prints the manual page or the bash completion, both made from the help texts
// kalder-cli itself prints, so the three cannot drift apart. scripts/gen-cli-docs.sh runs it.
#include <cstring>
#include <iostream>

#include "cli/cli_usage.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "man") == 0) {
        std::cout << kalder::cli::manPageText();
    } else if (argc == 2 && std::strcmp(argv[1], "completion") == 0) {
        std::cout << kalder::cli::bashCompletionText();
    } else {
        std::cerr << "usage: kalder-cli-docs man|completion\n";
        return 2;
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}
