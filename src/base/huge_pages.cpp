#include "base/huge_pages.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define KALDER_OWN_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KALDER_OWN_ALLOCATOR 1
#endif

namespace kalder::base {
namespace {

constexpr char kTunables[] = "GLIBC_TUNABLES";
constexpr char kSetting[] = "glibc.malloc.hugetlb=1";
// Set for the second start only: the user's own tunables, or "-" when there were none.
constexpr char kSaved[] = "KALDER_SAVED_TUNABLES";

}  // namespace

void restartWithHugePageMalloc(char** argv) {
#if defined(KALDER_OWN_ALLOCATOR)
    // The sanitizer's allocator replaces malloc, so the tunable would change nothing.
    (void)argv;
    return;
#else
    if (const char* saved = std::getenv(kSaved)) {
        // The second start: put the environment back for whatever this process runs.
        const std::string original = saved;
        ::unsetenv(kSaved);
        if (original == "-")
            ::unsetenv(kTunables);
        else
            ::setenv(kTunables, original.c_str(), 1);
        return;
    }
    const char* current = std::getenv(kTunables);
    const std::string before = current ? current : "";
    // The user chose a malloc setting of their own: leave it alone.
    if (before.find("glibc.malloc.hugetlb") != std::string::npos) return;
    if (::access("/proc/self/exe", X_OK) != 0) return;
    ::setenv(kSaved, current ? before.c_str() : "-", 1);
    ::setenv(kTunables, (before.empty() ? std::string(kSetting) : before + ":" + kSetting).c_str(),
             1);
    ::execv("/proc/self/exe", argv);
    // Not started again: go on as before, with the environment as it was.
    ::unsetenv(kSaved);
    if (current)
        ::setenv(kTunables, before.c_str(), 1);
    else
        ::unsetenv(kTunables);
#endif
}

}  // namespace kalder::base
