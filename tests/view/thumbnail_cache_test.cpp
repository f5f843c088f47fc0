#include "view/thumbnail_cache.h"

#include <gtest/gtest.h>

namespace kalder::view {
namespace {

TEST(ThumbnailCacheNames, DigestAndUri) {
    // Known digests, including inputs that straddle the 56-byte padding boundary.
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(
        md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
        "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(fileUri("/home/a b/x%.png"), "file:///home/a%20b/x%25.png");
    EXPECT_EQ(cacheEntryPath("/c", "normal", "/a.png").filename().string(),
              md5Hex("file:///a.png") + ".png");
}

}  // namespace
}  // namespace kalder::view
