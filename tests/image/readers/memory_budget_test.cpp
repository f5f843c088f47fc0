// Every seed and crasher file through the paths a browser and a viewer take (properties,
// thumbnail, page count, fitted view), each file in a child process whose memory is weighed:
// a small file may not make a reader reserve or touch much more than its own size.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "image/child_memory.h"
#include "image/image_document.h"
#include "image/load_options.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

namespace fs = std::filesystem;

// Larger files are left to the readers' own tests; the fuzzers take no more either.
constexpr std::uintmax_t kMaxFileSize = 256 * 1024;

// KALDER_SEED_DIR names a folder to weigh instead, file by file (a fuzzer's findings).
const char* seedDirectory() { return std::getenv("KALDER_SEED_DIR"); }

std::vector<fs::path> seedFiles() {
    std::vector<fs::path> roots = {test::sourceDir() / "tests" / "data",
                                   test::sourceDir() / "samples",
                                   test::sourceDir() / "fuzz" / "corpus"};
    if (auto external = test::externalTestData()) roots.push_back(*external);
    if (const char* dir = seedDirectory()) roots = {dir};
    std::vector<fs::path> files;
    for (const fs::path& root : roots) {
        std::error_code ec;
        if (!fs::is_directory(root, ec)) continue;
        for (auto it = fs::recursive_directory_iterator(root, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_regular_file(ec) && it->file_size(ec) <= kMaxFileSize)
                files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

void openEveryWay(const fs::path& file) {
    ImageInfo info;
    ReadImageInfo(file, info, true);
    (void)countImagePages(file);
    ImageDocument thumbnail;
    (void)thumbnail.MakeThumbnail(file, 120, 0xffffff, nullptr, true, true);
    LoadOptions fitted;
    fitted.path = file;
    fitted.fitWidth = 1024;
    fitted.fitHeight = 768;
    ImageDocument view;
    (void)view.loadAll(fitted, false);
}

TEST(MemoryBudget, SmallFilesStaySmallOnEveryPath) {
    const std::vector<fs::path> files = seedFiles();
    if (files.empty()) GTEST_SKIP() << "no seed files";
    for (const fs::path& file : files) {
        std::error_code ec;
        const std::int64_t sizeKb = static_cast<std::int64_t>(fs::file_size(file, ec) / 1024);
        const std::int64_t budgetKb = 256 * 1024 + 64 * sizeKb;
        const test::ChildOutcome outcome = test::runInChild(3072, [&file] {
            openEveryWay(file);
            return 0;
        });
        EXPECT_TRUE(outcome.exited && outcome.exitCode == 0) << file << " crashed";
        if (seedDirectory())
            std::printf("%8lld KB resident %8lld KB reserved  %s\n",
                        static_cast<long long>(outcome.peakKb),
                        static_cast<long long>(outcome.askedKb), file.c_str());
        if (test::kAddressSanitizer) continue;
        EXPECT_LE(outcome.peakKb, budgetKb) << file << " touched too much memory";
        EXPECT_LE(outcome.askedKb, budgetKb) << file << " reserved too much memory";
    }
    std::printf("%zu files decoded within their budgets\n", files.size());
}

}  // namespace
}  // namespace kalder::image
