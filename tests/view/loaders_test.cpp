#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <map>
#include <set>

#include "image/bitmap32.h"
#include "image/image_document.h"
#include "support/test_support.h"
#include "tools/jpeg_transform/jpeg_test_files.h"
#include "view/display_loader.h"
#include "view/folder_images.h"
#include "view/thumbnail_cache.h"

namespace kalder::view {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
constexpr auto kWait = 10s;

// Decodes nothing; records what was asked and can hold a file "mid-decode" until released.
class FakeSource final : public DocumentSource {
public:
    struct Open {
        std::string name;
        std::int32_t rotation;
        bool operator==(const Open&) const = default;
    };

    bool open(image::ImageDocument& doc, const image::LoadOptions& o,
              const image::CancelSink* cancel, image::ProgressSink* progress) override {
        const std::string name = o.path.filename().string();
        std::unique_lock lock(m_lock);
        m_opened.push_back({name, o.rotation});
        m_pagesLeft[&doc] = m_failing.count(name) ? 0 : m_pagesPerFile;
        if (m_blocking.count(name)) {
            if (progress) progress->Progress(10, 5);
            m_inside = name;
            m_cv.notify_all();
            // Stands in for rows: the decoder looks at the stop event between them.
            while (!m_released && !cancel->isCancelled()) m_cv.wait_for(lock, 1ms);
            m_inside.clear();
            if (cancel->isCancelled()) return false;
        }
        return !m_failing.count(name);
    }
    bool nextPage(image::ImageDocument& doc) override {
        std::lock_guard lock(m_lock);
        int& left = m_pagesLeft[&doc];
        if (left <= 0) return false;
        --left;
        return true;
    }
    std::unique_ptr<image::Bitmap32> makeThumbnail(const std::filesystem::path& path,
                                                   std::int32_t box, const ThumbnailOptions&,
                                                   const image::CancelSink* cancel) override {
        const std::string name = path.filename().string();
        {
            std::unique_lock lock(m_lock);
            m_thumbnails.push_back(name);
            if (m_blocking.count(name)) {
                m_inside = name;
                m_cv.notify_all();
                while (!m_released && !cancel->isCancelled()) m_cv.wait_for(lock, 1ms);
                m_inside.clear();
            }
        }
        auto b = std::make_unique<image::Bitmap32>();
        if (!b->Create(box, box / 2)) return nullptr;
        return b;
    }

    void block(const std::string& name) {
        std::lock_guard lock(m_lock);
        m_blocking.insert(name);
        m_released = false;
    }
    void fail(const std::string& name) {
        std::lock_guard lock(m_lock);
        m_failing.insert(name);
    }
    void release() {
        std::lock_guard lock(m_lock);
        m_released = true;
        m_cv.notify_all();
    }
    bool waitInside(const std::string& name) {
        std::unique_lock lock(m_lock);
        return m_cv.wait_for(lock, kWait, [&] { return m_inside == name; });
    }
    std::vector<Open> opened() {
        std::lock_guard lock(m_lock);
        return m_opened;
    }
    std::vector<std::string> openedNames() {
        std::vector<std::string> out;
        for (const Open& o : opened()) out.push_back(o.name);
        return out;
    }
    std::vector<std::string> thumbnails() {
        std::lock_guard lock(m_lock);
        return m_thumbnails;
    }
    void setPagesPerFile(int n) { m_pagesPerFile = n; }

private:
    std::mutex m_lock;  // guards everything below
    std::condition_variable m_cv;
    std::vector<Open> m_opened;
    std::vector<std::string> m_thumbnails;
    std::map<const image::ImageDocument*, int> m_pagesLeft;
    std::set<std::string> m_blocking, m_failing;
    std::string m_inside;
    bool m_released = false;
    int m_pagesPerFile = 1;
};

class LoaderTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::shared_ptr<FakeSource> source = std::make_shared<FakeSource>();
    std::unique_ptr<FolderImages> folder;

    void load(std::initializer_list<const char*> files) {
        for (const char* f : files) std::ofstream(dir / f) << "x";
        // One thumbnail worker: the order checks below follow a single walk.
        folder = std::make_unique<FolderImages>(source, 1);
        folder->setFilter(FilterMode::AllFiles, "");
        ASSERT_TRUE(folder->loadFolder(dir.path()));
        ASSERT_EQ(folder->size(), files.size());
    }
    ImageEntry* entry(const char* name) { return folder->find(name); }
    DisplayRequest req(const char* name, std::int32_t rotation = 0) {
        DisplayRequest r;
        r.entry = entry(name);
        r.fitWidth = 800;
        r.fitHeight = 600;
        r.rotation = rotation;
        return r;
    }
    void requestAndWait(const DisplayRequest& r, bool single = false) {
        folder->request(r, single);
        ASSERT_TRUE(folder->displayLoader().waitUntilIdle(kWait));
    }
    std::array<std::string, 3> slotNames() {
        std::array<std::string, 3> out;
        const auto s = folder->displayLoader().requestSlots();
        for (std::size_t i = 0; i < 3; ++i) out[i] = s[i].entry ? s[i].entry->name() : "";
        return out;
    }
    using Slots = std::array<std::string, 3>;  // current, next, previous
    using Names = std::vector<std::string>;
};

TEST_F(LoaderTest, NextFileShiftsTheWindowWithoutRestarting) {
    load({"a", "b", "c", "d", "e"});
    // The window hears of every finished decode at once rather than at its next poll.
    std::atomic<int> ended{0};
    folder->displayLoader().setDecodeEnded([&] { ++ended; });
    requestAndWait(req("a"));
    EXPECT_EQ(slotNames(), (Slots{"a", "b", "e"}));
    EXPECT_EQ(source->openedNames(), (Names{"a", "b", "e"}));
    EXPECT_EQ(ended.load(), 3);
    EXPECT_EQ(entry("a")->pageCount(), 1);
    EXPECT_TRUE(entry("a")->allPagesLoaded());

    requestAndWait(req("b"));
    requestAndWait(req("c"));
    EXPECT_EQ(slotNames(), (Slots{"c", "d", "b"}));
    // Only the file entering the window was decoded each time; one worker all along.
    EXPECT_EQ(source->openedNames(), (Names{"a", "b", "e", "c", "d"}));
    EXPECT_EQ(folder->displayLoader().starts(), 1);
    // Files leaving the window lose their decoded image.
    EXPECT_EQ(entry("e")->pageCount(), 0);
    EXPECT_EQ(entry("a")->pageCount(), 0);
    EXPECT_EQ(entry("b")->pageCount(), 1);

    // Back again: the mirror shift.
    requestAndWait(req("b"));
    EXPECT_EQ(slotNames(), (Slots{"b", "c", "a"}));
    EXPECT_EQ(folder->displayLoader().starts(), 1);
    EXPECT_EQ(source->openedNames().back(), "a");
}

TEST_F(LoaderTest, AJumpRestartsAndDecodesTheWindowAgain) {
    load({"a", "b", "c", "d", "e"});
    requestAndWait(req("a"));
    requestAndWait(req("d"));
    EXPECT_EQ(folder->displayLoader().starts(), 2);
    EXPECT_EQ(slotNames(), (Slots{"d", "e", "c"}));
    EXPECT_EQ(source->openedNames(), (Names{"a", "b", "e", "d", "e", "c"}));
    EXPECT_EQ(entry("a")->pageCount(), 0);

    // Asking for the shown file again is a jump too: it is decoded again.
    requestAndWait(req("d"));
    EXPECT_EQ(folder->displayLoader().starts(), 3);
}

TEST_F(LoaderTest, TwoFilesOnlySwap) {
    load({"a", "b"});
    requestAndWait(req("a"));
    EXPECT_EQ(slotNames(), (Slots{"a", "b", "b"}));
    requestAndWait(req("b"));
    EXPECT_EQ(slotNames(), (Slots{"b", "a", "b"}));
    requestAndWait(req("a"));
    EXPECT_EQ(slotNames(), (Slots{"a", "b", "b"}));
    EXPECT_EQ(folder->displayLoader().starts(), 1);
    EXPECT_EQ(source->openedNames(), (Names{"a", "b"}));
    EXPECT_EQ(entry("a")->pageCount(), 1);
    EXPECT_EQ(entry("b")->pageCount(), 1);
}

TEST_F(LoaderTest, OneFileLeavesNeighboursEmptyAndSingleAsksForCurrentOnly) {
    load({"a"});
    requestAndWait(req("a"));
    EXPECT_EQ(slotNames(), (Slots{"a", "", ""}));
    for (const char* f : {"b", "c"}) std::ofstream(dir / f) << "x";
    ASSERT_TRUE(folder->loadFolder(dir.path()));
    ASSERT_EQ(folder->size(), 3u);
    requestAndWait(req("b"), true);
    EXPECT_EQ(slotNames(), (Slots{"b", "", ""}));
    EXPECT_EQ(source->openedNames().back(), "b");
}

TEST_F(LoaderTest, AfterAResizeTheNeighboursArePrefetchedAgainAndNextFileOnlyShifts) {
    load({"a", "b", "c", "d", "e"});
    requestAndWait(req("a"));
    // The window changed size: the current image alone, at the new size.
    DisplayRequest larger = req("a");
    larger.fitWidth = 1024;
    requestAndWait(larger, true);
    EXPECT_EQ(slotNames(), (Slots{"a", "", ""}));
    EXPECT_EQ(entry("b")->pageCount(), 0);
    ASSERT_TRUE(folder->displayLoader().prefetchNeighbours());
    ASSERT_TRUE(folder->displayLoader().waitUntilIdle(kWait));
    EXPECT_EQ(slotNames(), (Slots{"a", "b", "e"}));
    EXPECT_EQ(entry("b")->pageCount(), 1);
    EXPECT_EQ(source->openedNames(), (Names{"a", "b", "e", "a", "b", "e"}));
    EXPECT_FALSE(folder->displayLoader().prefetchNeighbours()) << "nothing left to fill";
    // Next File at the new size is now a shift, not a restart.
    const int starts = folder->displayLoader().starts();
    DisplayRequest next = larger;
    next.entry = entry("b");
    requestAndWait(next);
    EXPECT_EQ(folder->displayLoader().starts(), starts);
    EXPECT_EQ(slotNames(), (Slots{"b", "c", "a"}));
}

TEST_F(LoaderTest, RotationChangeDecodesAgain) {
    load({"a", "b", "c"});
    requestAndWait(req("b"));
    requestAndWait(req("b", 1));
    EXPECT_EQ(folder->displayLoader().starts(), 2);
    const auto opened = source->opened();
    ASSERT_EQ(opened.size(), 6u);
    EXPECT_EQ(opened[3], (FakeSource::Open{"b", 1}));
    // The neighbours prefetched at the old rotation are dropped and made again.
    EXPECT_EQ(opened[4], (FakeSource::Open{"c", 1}));
    EXPECT_EQ(opened[5], (FakeSource::Open{"a", 1}));
}

TEST_F(LoaderTest, StoppingMidDecodeDropsThePartialImage) {
    load({"a", "b", "c", "d", "e"});
    source->block("a");
    folder->request(req("a"), false);
    ASSERT_TRUE(source->waitInside("a"));
    EXPECT_TRUE(folder->isLoading(entry("a")));
    EXPECT_EQ(folder->progress(), 50);
    requestAndWait(req("c"));  // a jump: the worker is stopped inside "a"
    EXPECT_FALSE(folder->isLoading(entry("a")));
    EXPECT_EQ(entry("a")->pageCount(), 0);
    EXPECT_FALSE(entry("a")->allPagesLoaded());
    EXPECT_EQ(entry("c")->pageCount(), 1);
    EXPECT_EQ(folder->displayLoader().starts(), 2);
}

TEST_F(LoaderTest, ProgressIsZeroWhenTheIndicatorIsOff) {
    load({"a", "b", "c"});
    DisplayOptions options;
    options.showProgress = false;
    folder->setDisplayOptions(options);
    source->block("a");
    folder->request(req("a"), false);
    ASSERT_TRUE(source->waitInside("a"));
    EXPECT_EQ(folder->progress(), 0);
    source->release();
    ASSERT_TRUE(folder->displayLoader().waitUntilIdle(kWait));
}

TEST_F(LoaderTest, FailedFileIsNotRetriedAndMultiPageFilesLoadAllPages) {
    source->setPagesPerFile(3);
    source->fail("b");
    load({"a", "b", "c", "d"});
    requestAndWait(req("a"));
    EXPECT_EQ(entry("a")->pageCount(), 3);
    EXPECT_EQ(entry("b")->pageCount(), 0);
    EXPECT_TRUE(entry("b")->allPagesLoaded());  // tried and finished, with nothing
    // A failed next file is not shifted to (it has no page): the request is a jump.
    requestAndWait(req("b"));
    EXPECT_EQ(folder->displayLoader().starts(), 2);
}

// The user is told why: the system's word when the file cannot be opened, else the decoder's.
TEST(LoadFailureReason, NamesWhatWentWrong) {
    test::TempDir dir;
    EXPECT_EQ(loadFailureReason(dir / "gone.jpg", image::DecodeError::Corrupt),
              "No such file or directory");
    test::writeText(dir / "short.png", "x");
    EXPECT_EQ(loadFailureReason(dir / "short.png", image::DecodeError::Truncated),
              "the file ends too early");
    if (::geteuid() != 0) {
        std::filesystem::permissions(dir / "short.png", std::filesystem::perms::none);
        EXPECT_EQ(loadFailureReason(dir / "short.png", image::DecodeError::BadSignature),
                  "Permission denied");
    }
}

TEST_F(LoaderTest, ReloadAndRemovalStopTheLoadersSafely) {
    load({"a", "b", "c", "d"});
    source->block("b");
    folder->request(req("a"), false);
    ASSERT_TRUE(source->waitInside("b"));
    // Removing the entry being decoded must stop the worker first.
    ImageEntry* next = folder->removeEntries({entry("b")});
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->name(), "c");
    EXPECT_EQ(slotNames(), (Slots{"", "", ""}));
    source->release();
    requestAndWait(req("c"));
    EXPECT_EQ(slotNames(), (Slots{"c", "d", "a"}));
}

TEST_F(LoaderTest, ThumbnailsFollowTheStartEntryAndSuspend) {
    load({"a", "b", "c", "d", "e"});
    source->block("a");
    folder->startThumbnails(80, true);
    ASSERT_TRUE(source->waitInside("a"));
    folder->setThumbnailStart(entry("d"));
    folder->suspendThumbnails();
    source->release();
    // Suspended after the thumbnail in hand: nothing more is made until resumed.
    EXPECT_FALSE(folder->thumbnailLoader().waitUntilFinished(100ms));
    EXPECT_EQ(source->thumbnails(), (Names{"a"}));
    folder->resumeThumbnails();
    ASSERT_TRUE(folder->thumbnailLoader().waitUntilFinished(kWait));
    EXPECT_EQ(source->thumbnails(), (Names{"a", "d", "e", "b", "c"}));
    for (const char* n : {"a", "b", "c", "d", "e"}) {
        EXPECT_TRUE(entry(n)->thumbnailReady());
        entry(n)->withThumbnail([](const image::Bitmap32* t) {
            ASSERT_NE(t, nullptr);
            EXPECT_EQ(t->width(), 80);
        });
    }

    // A new box clears every thumbnail and makes them again.
    folder->startThumbnails(120, true);
    ASSERT_TRUE(folder->thumbnailLoader().waitUntilFinished(kWait));
    EXPECT_EQ(source->thumbnails().size(), 10u);
    entry("c")->withThumbnail([](const image::Bitmap32* t) {
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->width(), 120);
    });
    // Without clearing, finished thumbnails are kept.
    folder->startThumbnails(120, false);
    ASSERT_TRUE(folder->thumbnailLoader().waitUntilFinished(kWait));
    EXPECT_EQ(source->thumbnails().size(), 10u);
}

TEST_F(LoaderTest, StoppingAThumbnailMidWayLeavesItUndone) {
    load({"a", "b"});
    source->block("b");
    folder->startThumbnails(80, true);
    ASSERT_TRUE(source->waitInside("b"));
    folder->thumbnailLoader().stop();
    EXPECT_TRUE(entry("a")->thumbnailDone());
    EXPECT_FALSE(entry("b")->thumbnailDone());
    EXPECT_FALSE(entry("b")->thumbnailReady());
}

// A thumbnail is upright as the viewer shows the picture, from the Exif thumbnail or decoded,
// and the shared cache holds it upright as the desktop's other programs do.
TEST(ThumbnailOrientation, UprightLikeTheViewerAndInTheSharedCache) {
    const auto sideways = test::jpeg::sidewaysPhoto(test::jpeg::makeJpeg(16, 8));
    if (sideways.empty()) GTEST_SKIP() << "codec module missing";
    test::TempDir dir;
    const fs::path photo = dir / "p.jpg";
    test::writeFile(photo, sideways);
    const auto source = imageDocumentSource();
    for (bool useExif : {true, false}) {
        SCOPED_TRACE(useExif);
        DocumentSource::ThumbnailOptions o;
        o.useExif = useExif;
        auto up = source->makeThumbnail(photo, 32, o, nullptr);
        ASSERT_TRUE(up);
        EXPECT_EQ(up->width(), 16);
        EXPECT_EQ(up->height(), 32);
        o.upright = false;  // the viewer's automatic orientation is off
        auto stored = source->makeThumbnail(photo, 32, o, nullptr);
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->width(), 32);
    }

    DocumentSource::ThumbnailOptions o;
    o.useExif = false;
    o.cache = std::make_shared<const SharedThumbnailCache>(SharedThumbnailCache::Options{
        dir / "cache", false, "/dev/sdb1 /media/stick vfat rw 0 0\n"});
    auto first = source->makeThumbnail(photo, 64, o, nullptr);
    ASSERT_TRUE(first);
    EXPECT_LT(first->width(), first->height());
    const auto entry = o.cache->find(photo, 64);
    ASSERT_TRUE(entry);
    const auto cached = test::decodeWithKalder(*entry);
    ASSERT_TRUE(cached);
    EXPECT_LT(cached->width, cached->height);
    // Without the automatic orientation the upright entry is not what is wanted.
    o.upright = false;
    auto plain = source->makeThumbnail(photo, 64, o, nullptr);
    ASSERT_TRUE(plain);
    EXPECT_GT(plain->width(), plain->height());
}

}  // namespace
}  // namespace kalder::view
