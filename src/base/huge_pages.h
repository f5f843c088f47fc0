#pragma once

namespace kalder::base {

// glibc's malloc hands out large blocks in 4 KiB pages unless its `glibc.malloc.hugetlb` tunable
// asks it to advise transparent huge pages, and tunables are read only when a process starts.
// Lossless JPEG transforms and full decodes touch 50-150 MB of fresh memory, where page faults
// cost more than the work itself, so such a command starts itself once more with the tunable
// added (about 15 ms).
// Returns only when no new start happened (already done, not possible, or `exec` failed); the
// second start finds its environment as the user left it.
void restartWithHugePageMalloc(char** argv);

}  // namespace kalder::base
