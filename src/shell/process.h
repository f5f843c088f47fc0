#pragma once

#include <string>
#include <vector>

namespace kalder::shell {

struct ProcessResult {
    bool started = false;   // false: the program was not found or could not be run
    int exitCode = -1;      // -1 when it did not exit normally
    std::string output;     // what it wrote to standard output
    bool timedOut = false;  // killed because it ran past the time it was given
    bool ok() const { return started && exitCode == 0; }
};

// Runs a program found on PATH with these arguments (argv[0] is the program), without a shell,
// waits for it and collects its standard output. Standard input is empty; standard error is
// passed through.
ProcessResult runProcess(const std::vector<std::string>& argv);
// The same, killing the program when it runs longer than `timeoutMs` milliseconds.
ProcessResult runProcessFor(const std::vector<std::string>& argv, int timeoutMs);

}  // namespace kalder::shell
