#include "shell/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

extern char** environ;

namespace kalder::shell {

ProcessResult runProcessFor(const std::vector<std::string>& argv, int timeoutMs) {
    ProcessResult result;
    if (argv.empty() || argv[0].empty()) return result;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        return result;
    }
    char buffer[4096];
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{out[0], POLLIN, 0};
            const int ready = left.count() > 0 ? poll(&p, 1, static_cast<int>(left.count())) : 0;
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) {
                kill(pid, SIGKILL);
                result.timedOut = true;
                break;
            }
        }
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n > 0) {
            // Enough for any setting's value; a runaway program cannot exhaust memory.
            if (result.output.size() < (1u << 20)) result.output.append(buffer, n);
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(out[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // posix_spawnp reports a missing program as exit status 127 from the child.
    result.started = result.timedOut || !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ProcessResult runProcess(const std::vector<std::string>& argv) { return runProcessFor(argv, -1); }

}  // namespace kalder::shell
