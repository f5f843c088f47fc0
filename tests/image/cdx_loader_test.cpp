#include "image/cdx_loader.h"

#include <gtest/gtest.h>

#include "kalder_config.h"

namespace kalder::image::cdx {
namespace {

namespace fs = std::filesystem;

// An installation finds its modules relative to itself wherever it was moved, then where it was
// configured to live; KALDER_CDX_PATH replaces the whole search.
TEST(ModuleFolders, FollowTheExecutableThenTheConfiguredInstallation) {
    const std::vector<fs::path> folders = moduleFolders("/opt/moved/bin/kalder-cli", "");
    ASSERT_GE(folders.size(), 3u);
    EXPECT_EQ(folders[0], "/opt/moved/bin");
    EXPECT_EQ(folders[1], fs::path("/opt/moved") / config::kLibDir / "kalder");
    EXPECT_EQ(folders[2], fs::path(config::kFullLibDir) / "kalder");

    const fs::path here = fs::temp_directory_path();
    EXPECT_EQ(moduleFolders("/opt/moved/bin/kalder-cli", here.string()),
              std::vector<fs::path>{here});
    EXPECT_EQ(moduleFolders("/x/kalder", "/nowhere/libkalder-cdx.so"),
              std::vector<fs::path>{"/nowhere"});
    EXPECT_STREQ(moduleFileName(Module::Webp), "libkalder-cdx-webp.so");
}

}  // namespace
}  // namespace kalder::image::cdx
