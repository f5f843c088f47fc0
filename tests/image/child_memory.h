#pragma once

// Runs a piece of work in a forked child under an address-space ceiling and reports how it
// ended and how much memory it touched, so tests can tell a decoder that fails cleanly from
// one that first asks for gigabytes.

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>

namespace kalder::test {

#if defined(__SANITIZE_ADDRESS__)
#define KALDER_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KALDER_TEST_ASAN 1
#endif
#endif
#ifdef KALDER_TEST_ASAN
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif

struct ChildOutcome {
    bool exited = false;       // false: killed by a signal (a crash or an abort)
    int exitCode = -1;         // what the work returned
    std::int64_t peakKb = 0;   // the child's peak resident size
    std::int64_t askedKb = 0;  // how far the child's address space grew at its peak
};

// A field of /proc/self/status in KiB ("VmSize", "VmPeak").
inline std::int64_t statusKb(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    long long kb = 0;
    const std::size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0 && line[n] == ':' &&
            std::sscanf(line + n + 1, "%lld", &kb) == 1)
            break;
    std::fclose(f);
    return kb;
}

// Runs work in a forked child and returns its exit code (the work's return value) with its
// peak resident size and how much address space it reserved at most. The address peak also
// counts buffers that were allocated but never touched, which the resident size misses. The
// child's address space is capped at ceilingMb beyond the parent's, so a runaway decoder cannot
// take the machine down (no cap under the address sanitizer, whose shadow needs terabytes).
inline ChildOutcome runInChild(std::int64_t ceilingMb, const std::function<int()>& work) {
    std::fflush(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid < 0) return {};
    if (pid == 0) {
        ::close(fds[0]);
        // Each thread a decoder starts would reserve a 64 MB malloc arena it mostly never uses;
        // one arena keeps the reserved figure about what the decode asks for.
        ::mallopt(M_ARENA_MAX, 1);
        const std::int64_t baseKb = statusKb("VmSize");
        if (!kAddressSanitizer && baseKb > 0) {
            const rlim_t bytes = static_cast<rlim_t>(baseKb + ceilingMb * 1024) * 1024;
            const rlimit limit{bytes, bytes};
            ::setrlimit(RLIMIT_AS, &limit);
        }
        const std::int64_t peakBefore = statusKb("VmPeak");
        const int code = work();
        const std::int64_t grown = statusKb("VmPeak") - std::max(peakBefore, baseKb);
        const std::int64_t asked = std::max<std::int64_t>(0, grown);
        (void)!::write(fds[1], &asked, sizeof asked);
        ::_exit(code);
    }
    ::close(fds[1]);
    ChildOutcome out;
    if (::read(fds[0], &out.askedKb, sizeof out.askedKb) != sizeof out.askedKb) out.askedKb = -1;
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return {};
    out.exited = WIFEXITED(status);
    out.exitCode = out.exited ? WEXITSTATUS(status) : -1;
    out.peakKb = usage.ru_maxrss;
    return out;
}

}  // namespace kalder::test
