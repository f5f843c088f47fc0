#include "shell/folder_watcher.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <fstream>

#include "support/test_support.h"

namespace kalder::shell {
namespace {

namespace fs = std::filesystem;
using Kind = FolderChange::Kind;

// Reads until the wanted number of changes has settled or the time is up.
std::vector<FolderChange> collect(FolderWatcher& w, std::size_t wanted) {
    std::vector<FolderChange> out;
    for (int round = 0; round < 50 && out.size() < wanted; ++round) {
        pollfd p{w.fd(), POLLIN, 0};
        ::poll(&p, 1, 100);
        w.readEvents();
        // Pretend the debounce time has passed, so the test does not wait for it.
        for (auto& c : w.takeChanges(FolderWatcher::Clock::now() + FolderWatcher::kDebounce))
            out.push_back(c);
    }
    return out;
}

TEST(FolderWatcher, SeesCreateRenameDelete) {
    test::TempDir dir;
    FolderWatcher w;
    ASSERT_TRUE(w.isValid());
    ASSERT_TRUE(w.watch(dir.path()));
    std::ofstream(dir / "a.jpg") << "x";
    fs::rename(dir / "a.jpg", dir / "b c.jpg");
    fs::remove(dir / "b c.jpg");
    fs::create_directory(dir / "sub");
    std::ofstream(dir / "sub" / "ignored.jpg") << "x";  // sub-folders are not watched
    const auto changes = collect(w, 5);
    const std::vector<FolderChange> expected{
        {Kind::Created, "a.jpg", ""},        {Kind::Modified, "a.jpg", ""},
        {Kind::Renamed, "a.jpg", "b c.jpg"}, {Kind::Deleted, "b c.jpg", ""},
        {Kind::Created, "sub", ""},
    };
    EXPECT_EQ(changes, expected);
    EXPECT_FALSE(w.hasChanges());
}

TEST(FolderWatcher, DebouncesAndPairsMovesInAndOut) {
    test::TempDir dir, other;
    std::ofstream(dir / "out.jpg") << "x";
    std::ofstream(other / "in.jpg") << "x";
    FolderWatcher w;
    ASSERT_TRUE(w.watch(dir.path()));
    fs::rename(dir / "out.jpg", other / "out.jpg");
    fs::rename(other / "in.jpg", dir / "in.jpg");
    pollfd p{w.fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    const auto t0 = FolderWatcher::Clock::now();
    w.readEvents(t0);
    EXPECT_TRUE(w.hasChanges());
    // Not settled yet: nothing is handed out.
    EXPECT_TRUE(w.takeChanges(t0 + std::chrono::milliseconds(10)).empty());
    const auto changes = collect(w, 2);
    const std::vector<FolderChange> expected{{Kind::Created, "in.jpg", ""},
                                             {Kind::Deleted, "out.jpg", ""}};
    EXPECT_EQ(changes, expected);
}

TEST(FolderWatcher, ReportsTheFolderGoingAway) {
    test::TempDir dir;
    const fs::path watched = dir / "w";
    fs::create_directory(watched);
    FolderWatcher w;
    ASSERT_TRUE(w.watch(watched));
    fs::remove(watched);
    const auto changes = collect(w, 1);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.front().kind, Kind::FolderGone);
    EXPECT_FALSE(w.watch(dir / "missing"));
}

}  // namespace
}  // namespace kalder::shell
