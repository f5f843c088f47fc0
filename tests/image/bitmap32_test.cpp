#include "image/bitmap32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace kalder::image;

TEST(Bitmap32, LayoutAndLifetime) {
    Bitmap32 b;
    EXPECT_TRUE(b.isEmpty());
    ASSERT_TRUE(b.Create(1, 1));
    EXPECT_EQ(b.stride(), 4u);
    ASSERT_TRUE(b.Create(3, 2));
    EXPECT_EQ(b.row(1) - b.pixels(), 12);
    EXPECT_EQ(b.pixels()[0], 0) << "fresh pixels are zero";
    b.Release();
    EXPECT_TRUE(b.isEmpty());
    EXPECT_EQ(b.width(), 0);
    EXPECT_FALSE(b.Create(0, 5));
    EXPECT_FALSE(b.Create(-1, 5));
    EXPECT_TRUE(b.isEmpty());
}

TEST(Bitmap32, CopyToMakesAnIndependentCopy) {
    Bitmap32 a, b;
    ASSERT_TRUE(a.Create(2, 2));
    a.row(1)[4] = 42;
    ASSERT_TRUE(a.CopyTo(b));
    EXPECT_EQ(b.width(), 2);
    EXPECT_EQ(b.row(1)[4], 42);
    a.row(1)[4] = 1;
    EXPECT_EQ(b.row(1)[4], 42);
    Bitmap32 empty;
    EXPECT_FALSE(empty.CopyTo(b));
    EXPECT_TRUE(b.isEmpty());
}

TEST(Bitmap32, DirtyRectGrowsAndIsTaken) {
    Bitmap32 b;
    ASSERT_TRUE(b.Create(10, 8));
    EXPECT_TRUE(b.takeDirtyRect().isEmpty());
    b.MarkRowDone(2);
    b.MarkRowDone(4);
    EXPECT_EQ(b.takeDirtyRect(), (PixelRect{0, 2, 10, 5}));
    EXPECT_TRUE(b.takeDirtyRect().isEmpty());
    b.MarkColumnDone(7);
    EXPECT_EQ(b.takeDirtyRect(), (PixelRect{7, 0, 8, 8}));
}

TEST(Bitmap32, ConcurrentMarksAreNotLost) {
    Bitmap32 b;
    ASSERT_TRUE(b.Create(4, 1000));
    std::thread writer([&b] {
        for (int y = 0; y < 1000; ++y) b.MarkRowDone(y);
    });
    PixelRect seen;
    for (int i = 0; i < 1000; ++i) seen.unite(b.takeDirtyRect());
    writer.join();
    seen.unite(b.takeDirtyRect());
    EXPECT_EQ(seen, (PixelRect{0, 0, 4, 1000}));
}

// The warmer runs beside a writer on a large bitmap, from either end: what was written stays.
TEST(Bitmap32, WarmerLeavesWrittenPixelsAlone) {
    for (const bool lastRowFirst : {false, true}) {
        Bitmap32 b;
        ASSERT_TRUE(b.Create(2000, 1500));  // 12 MB: mapped on its own
        {
            PageWarmer warmer(b, lastRowFirst);
            for (int y = 0; y < b.height(); ++y) {
                const int row = lastRowFirst ? b.height() - 1 - y : y;
                std::fill_n(b.row(row), b.stride(), static_cast<std::uint8_t>(row | 1));
            }
        }
        for (int y = 0; y < b.height(); y += 7) {
            ASSERT_EQ(b.row(y)[0], static_cast<std::uint8_t>(y | 1)) << y;
            ASSERT_EQ(b.row(y)[b.stride() - 1], static_cast<std::uint8_t>(y | 1)) << y;
        }
        PageWarmer early(b, false);  // stopped before it went far: joins cleanly
    }
}
