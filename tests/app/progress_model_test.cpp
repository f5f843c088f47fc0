// The progress bar arithmetic, its refresh throttle and the path compaction of the progress
// window.
#include "app/core/progress_model.h"

#include <gtest/gtest.h>

using namespace kalder::app;
using namespace std::chrono_literals;

namespace {

struct FakeClock {
    std::chrono::steady_clock::time_point now{};
    ProgressModel::Clock clock() {
        return [this] { return now; };
    }
};

// One "pixel" per byte, "..." three wide.
std::int32_t byteWidth(std::string_view text) { return static_cast<std::int32_t>(text.size()); }

}  // namespace

TEST(ProgressModel, BarSpansItemsStagesAndUnits) {
    FakeClock time;
    ProgressModel model(time.clock());
    model.setItem(0, 4);
    model.setStage(2, 0);
    EXPECT_EQ(model.position(100, 0), 0);
    // Half of the first stage of the first of four items: 1/16 of the bar, truncated.
    EXPECT_EQ(model.position(100, 50), 32766 / 16);
    model.setItem(3, 4);
    model.setStage(2, 1);
    // ((3*2+1)*100 + 99) / (4*2*100) * 32766 = 799/800 * 32766 = 32725.0425
    EXPECT_EQ(model.position(100, 99), 32725);
    EXPECT_EQ(model.position(100, 100), ProgressModel::kBarMax);
}

TEST(ProgressModel, CallerSlipsNeitherDivideByZeroNorOverrun) {
    ProgressModel model;
    model.setItem(0, 0);
    model.setStage(0, 0);
    EXPECT_EQ(model.position(0, 0), 0);
    model.setItem(7, 3);  // index past the count
    model.setStage(1, 5);
    EXPECT_LE(model.position(10, 9), ProgressModel::kBarMax);
    // Huge totals (bytes of a big file times many items) stay in range.
    model.setItem(999999, 1000000);
    model.setStage(3, 2);
    const auto nearEnd = model.position(std::int64_t(1) << 40, (std::int64_t(1) << 40) - 1);
    EXPECT_GE(nearEnd, ProgressModel::kBarMax - 1);
    EXPECT_LE(nearEnd, ProgressModel::kBarMax);
}

TEST(ProgressModel, RefreshesAtMostTenTimesASecond) {
    FakeClock time;
    ProgressModel model(time.clock());
    model.setItem(0, 1);
    model.setStage(1, 0);
    ASSERT_TRUE(model.step(10, 1).has_value());  // the first call refreshes
    time.now += 99ms;
    EXPECT_FALSE(model.step(10, 2).has_value());
    time.now += 1ms;
    const auto position = model.step(10, 3);
    ASSERT_TRUE(position.has_value());
    EXPECT_EQ(*position, 3 * 32766 / 10);
    // The interval counts from the last refresh, not from the last call.
    time.now += 60ms;
    EXPECT_FALSE(model.step(10, 4).has_value());
    time.now += 40ms;
    EXPECT_TRUE(model.step(10, 5).has_value());
}

TEST(ProgressModel, FinishedStageDoesNothing) {
    FakeClock time;
    ProgressModel model(time.clock());
    EXPECT_FALSE(model.step(10, 10).has_value());
    EXPECT_FALSE(model.step(10, 11).has_value());
    // ... and does not count as a refresh.
    EXPECT_TRUE(model.step(10, 1).has_value());
}

TEST(CompactPath, KeepsWhatFitsAndCutsTheFolderFirst) {
    EXPECT_EQ(compactPath("C:\\a\\b.jpg", 10, byteWidth), "C:\\a\\b.jpg");
    // head "/home/user/pictures" (19), tail "/cat.jpg" (8); 20 - 3 - 8 = 9 for the head.
    EXPECT_EQ(compactPath("/home/user/pictures/cat.jpg", 20, byteWidth), "/home/use.../cat.jpg");
    // Backslash wins over slash.
    EXPECT_EQ(compactPath("x/y\\long/name.png", 16, byteWidth), "...long/name.png");
}

TEST(CompactPath, WideFileNameShowsItsEnd) {
    // Tail "/averyveryverylongname.jpg" (26) is wider than 15 - 3.
    EXPECT_EQ(compactPath("/d/averyveryverylongname.jpg", 15, byteWidth), "...longname.jpg");
    // Without any separator the whole path is the tail.
    EXPECT_EQ(compactPath("abcdefghij", 6, byteWidth), "...hij");
    // Never less than one character.
    EXPECT_EQ(compactPath("/abcdef", 2, byteWidth), "...f");
}

TEST(CompactPath, NeverSplitsACharacter) {
    // "é" is two bytes; cutting byte-wise would leave half of it.
    const std::string path = "/éééééééé.jpg";
    const std::string shown = compactPath(path, 10, byteWidth);
    EXPECT_EQ(shown.substr(0, 3), "...");
    // No continuation byte right after the ellipsis.
    ASSERT_GT(shown.size(), 3u);
    EXPECT_NE(static_cast<unsigned char>(shown[3]) & 0xC0, 0x80);
    EXPECT_LE(static_cast<std::int32_t>(shown.size()), 10);
}
