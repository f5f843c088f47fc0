#include "view/thumbnail_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>

#include "base/md5.h"
#include "image/bitmap32.h"
#include "image/image_document.h"
#include "support/test_support.h"

namespace kalder::view {
namespace {

TEST(ThumbnailCacheNames, DigestAndUri) {
    // The key other programs compute: GLib leaves "(),+&@=!'" as they are.
    EXPECT_EQ(cacheEntryPath("/c", "normal", "/home/a b/IMG (1)+x%.png").filename().string(),
              base::md5Hex("file:///home/a%20b/IMG%20(1)+x%25.png") + ".png");
    EXPECT_EQ(cacheEntryPath("/c", "normal", "/a.png").filename().string(),
              base::md5Hex("file:///a.png") + ".png");
}

namespace fs = std::filesystem;

std::unique_ptr<image::Bitmap32> solid(int w, int h, std::uint8_t blue) {
    auto b = std::make_unique<image::Bitmap32>();
    EXPECT_TRUE(b->Create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b->row(y)[x * 4] = blue;
    return b;
}

// A cache in a private folder, a picture file, and a decode that counts its calls and reads
// the cache's PNGs for real.
struct CacheFixture {
    test::TempDir dir;
    fs::path file = dir / "photo one.bmp";
    SharedThumbnailCache cache{{dir / "cache", false, "/dev/sdb1 /media/stick vfat rw 0 0\n"}};
    int originalDecodes = 0;
    ThumbnailDecode decode = [this](const fs::path& source, std::int32_t side,
                                    bool) -> std::unique_ptr<image::Bitmap32> {
        if (source != file) {
            image::ImageDocument doc;
            if (!doc.MakeThumbnail(source, side, 0xffffff, nullptr, false, false)) return nullptr;
            auto out = std::make_unique<image::Bitmap32>();
            EXPECT_TRUE(doc.thumbnail().CopyTo(*out));
            return out;
        }
        ++originalDecodes;
        if (test::readFile(file).size() < 10) return nullptr;  // "broken"
        return solid(side, side / 2, 200);
    };
    CacheFixture() { test::writeText(file, "a picture of some size"); }
    void setMtime(long seconds) {
        const utimbuf times{seconds, seconds};
        ::utime(file.c_str(), &times);
    }
    std::uint8_t blueOf(const image::Bitmap32& b) const { return b.row(b.height() / 2)[0]; }
};

TEST(SharedThumbnailCache, WrittenEntriesFollowTheStandardForOtherReaders) {
    if (!test::havePillow()) GTEST_SKIP() << "Pillow is not installed";
    CacheFixture f;
    const auto thumb = cachedThumbnail(f.cache, f.file, 80, f.decode, nullptr);
    ASSERT_TRUE(thumb);
    EXPECT_EQ(thumb->width(), 80);
    const fs::path entry = cacheEntryPath(f.dir / "cache", "normal", fs::absolute(f.file));
    struct stat st {};
    ASSERT_EQ(::stat(entry.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((f.dir / "cache/normal").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ::stat(f.file.c_str(), &st);
    // Another implementation's view: the name is the MD5 of the URI the entry records.
    const fs::path script = f.dir / "check.py";
    test::writeText(script,
                    "import hashlib, os, sys\nfrom PIL import Image\n"
                    "im = Image.open(sys.argv[1]); t = im.text\n"
                    "assert hashlib.md5(t['Thumb::URI'].encode()).hexdigest() + '.png' == "
                    "os.path.basename(sys.argv[1])\n"
                    "assert t['Thumb::URI'] == 'file://' + sys.argv[2].replace(' ', '%20')\n"
                    "assert t['Thumb::MTime'] == sys.argv[3] and t['Thumb::Size'] == sys.argv[4]\n"
                    "assert max(im.size) == 128 and t['Software']\n");
    const std::string command = "/usr/bin/python3 '" + script.string() + "' '" + entry.string() +
                                "' '" + fs::absolute(f.file).string() + "' " +
                                std::to_string(st.st_mtime) + " " + std::to_string(st.st_size);
    EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(SharedThumbnailCache, EntriesAreUsedWhileTheFileIsUnchanged) {
    CacheFixture f;
    f.setMtime(1'000'000);
    // An entry another program made, in another colour than a decode would give.
    ASSERT_TRUE(f.cache.store(f.file, "large", *solid(256, 128, 50)));
    auto thumb = cachedThumbnail(f.cache, f.file, 100, f.decode, nullptr);
    ASSERT_TRUE(thumb);
    EXPECT_EQ(f.originalDecodes, 0);
    EXPECT_EQ(thumb->width(), 100);
    EXPECT_NEAR(f.blueOf(*thumb), 50, 2);

    f.setMtime(1'000'100);  // touched: decoded again and stored again
    thumb = cachedThumbnail(f.cache, f.file, 100, f.decode, nullptr);
    EXPECT_EQ(f.originalDecodes, 1);
    EXPECT_NEAR(f.blueOf(*thumb), 200, 2);
    (void)cachedThumbnail(f.cache, f.file, 100, f.decode, nullptr);
    EXPECT_EQ(f.originalDecodes, 1);

    fs::remove(f.file);  // a deleted file has no entry, whatever the cache holds
    EXPECT_FALSE(f.cache.find(f.file, 100));
}

TEST(SharedThumbnailCache, FailuresAreRememberedAndSomeFilesAreLeftOut) {
    CacheFixture f;
    test::writeText(f.file, "bad");
    EXPECT_TRUE(cachedThumbnail(f.cache, f.file, 64, f.decode, nullptr));  // the "no preview" tile
    EXPECT_TRUE(cachedThumbnail(f.cache, f.file, 64, f.decode, nullptr));
    EXPECT_EQ(f.originalDecodes, 1);
    EXPECT_TRUE(f.cache.failed(f.file));

    EXPECT_FALSE(f.cache.applies(f.dir / "cache/normal/x.png"));
    EXPECT_FALSE(f.cache.applies("/media/stick/DCIM/a.jpg"));
    EXPECT_TRUE(f.cache.applies("/media/stickier/a.jpg"));
    const SharedThumbnailCache everywhere(
        {f.dir / "cache", true, "/dev/sdb1 /media/stick vfat rw 0 0\n"});
    EXPECT_TRUE(everywhere.applies("/media/stick/DCIM/a.jpg"));
    // Too large a box for any flavour: decoded as without a cache.
    (void)cachedThumbnail(f.cache, f.file, 600, f.decode, nullptr);
    EXPECT_EQ(f.originalDecodes, 2);
}

// Filling ahead of the browser makes the entry (or records the failure) the browser then only
// reads.
TEST(SharedThumbnailCache, FillingAheadLeavesTheBrowserNothingToDecode) {
    CacheFixture f;
    EXPECT_TRUE(fillThumbnailCache(f.cache, f.file, 100, f.decode, nullptr));
    EXPECT_TRUE(fillThumbnailCache(f.cache, f.file, 100, f.decode, nullptr));
    EXPECT_EQ(f.originalDecodes, 1);
    const auto thumb = cachedThumbnail(f.cache, f.file, 100, f.decode, nullptr);
    ASSERT_TRUE(thumb);
    EXPECT_EQ(f.originalDecodes, 1);
    EXPECT_NEAR(f.blueOf(*thumb), 200, 2);

    test::writeText(f.file, "broken");
    EXPECT_TRUE(fillThumbnailCache(f.cache, f.file, 100, f.decode, nullptr));
    EXPECT_TRUE(f.cache.failed(f.file));
    EXPECT_TRUE(cachedThumbnail(f.cache, f.file, 100, f.decode, nullptr));  // the placeholder
    EXPECT_EQ(f.originalDecodes, 2);
    EXPECT_FALSE(fillThumbnailCache(f.cache, f.file, 1000, f.decode, nullptr));  // no flavour
}

}  // namespace
}  // namespace kalder::view
