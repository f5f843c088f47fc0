#include "view/thumbnail_head_start.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "image/bitmap32.h"
#include "support/test_support.h"
#include "view/thumbnail_cache.h"

namespace kalder::view {
namespace {

namespace fs = std::filesystem;

// Records the files whose cache entries are asked for; can hold the first one until released.
class RecordingSource final : public DocumentSource {
public:
    bool open(image::ImageDocument&, const image::LoadOptions&, const image::CancelSink*,
              image::ProgressSink*) override {
        return false;
    }
    bool nextPage(image::ImageDocument&) override { return false; }
    std::unique_ptr<image::Bitmap32> makeThumbnail(const fs::path&, std::int32_t,
                                                   const ThumbnailOptions&,
                                                   const image::CancelSink*) override {
        return nullptr;
    }
    bool fillCache(const fs::path& path, std::int32_t box, const ThumbnailOptions&,
                   const image::CancelSink*) override {
        std::unique_lock lock(m_lock);
        filled.push_back(path.filename().string());
        boxes.push_back(box);
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !hold; });
        return true;
    }
    void waitForFirst() {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [this] { return !filled.empty(); });
    }
    void release() {
        std::lock_guard lock(m_lock);
        hold = false;
        m_changed.notify_all();
    }

    bool hold = false;
    std::vector<std::string> filled;
    std::vector<std::int32_t> boxes;

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
};

struct Folder {
    test::TempDir dir;
    Folder() {
        for (const char* name : {"c.jpg", "a.jpg", "b.png", "notes.txt", "d.gif", "e.jpg"})
            test::writeText(dir / name, "x");
    }
    ThumbnailHeadStart::Plan plan(std::size_t files) const {
        ThumbnailHeadStart::Plan p;
        p.folder = dir.path();
        p.box = 160;
        p.options.cache = std::make_shared<const SharedThumbnailCache>(
            SharedThumbnailCache::Options{dir / "cache", false, ""});
        p.files = files;
        return p;
    }
};

TEST(ThumbnailHeadStart, FillsTheFirstFilesInTheBrowsersOrder) {
    Folder folder;
    auto source = std::make_shared<RecordingSource>();
    ThumbnailHeadStart::Plan plan = folder.plan(4);
    plan.sortOrder = SortOrder::Descending;
    ThumbnailHeadStart start(plan, source);
    start.wait();
    EXPECT_EQ(source->filled, (std::vector<std::string>{"e.jpg", "d.gif", "c.jpg", "b.png"}));
    EXPECT_EQ(source->boxes, std::vector<std::int32_t>(4, 160));
    EXPECT_EQ(start.made(), 4u);
}

TEST(ThumbnailHeadStart, BeginsNothingAfterItIsStopped) {
    Folder folder;
    auto source = std::make_shared<RecordingSource>();
    source->hold = true;
    ThumbnailHeadStart start(folder.plan(64), source);
    source->waitForFirst();
    start.stop();  // returns while the first file is still being made
    source->release();
    start.wait();
    EXPECT_EQ(source->filled, std::vector<std::string>{"a.jpg"});
}

}  // namespace
}  // namespace kalder::view
