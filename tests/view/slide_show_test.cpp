#include "view/slide_show.h"

#include <gtest/gtest.h>

namespace kalder::view {
namespace {

// Ticks until the player leaves the page it is on; at most `limit`.
int ticksOnPage(AnimationPlayer& p, std::uint32_t delay, int pages = 3) {
    const int start = p.page();
    for (int t = 1; t <= 100; ++t)
        if (p.tick(pages, true, [&](std::int32_t) { return delay; }) || p.page() != start) return t;
    return -1;
}

TEST(Animation, PageDelaysInTicksOfFiftyMs) {
    struct Case {
        std::uint32_t delay;
        int ticks;
    };
    // Shown for (smallest k with 5k >= d) + 1 ticks.
    for (const Case c : {Case{10, 3}, Case{1, 2}, Case{5, 2}, Case{6, 3}, Case{100, 21}}) {
        AnimationPlayer p;
        p.imageRequested();
        EXPECT_EQ(ticksOnPage(p, c.delay), c.ticks) << c.delay;
    }
    AnimationPlayer p;
    p.imageRequested();
    EXPECT_EQ(ticksOnPage(p, 0), -1);  // a zero delay stops on that frame
}

TEST(Animation, WrapsOnlyWhenAllPagesAreLoaded) {
    AnimationPlayer p;
    p.imageRequested();
    auto delay = [](std::int32_t) -> std::uint32_t { return 5; };
    for (int t = 0; t < 20; ++t) p.tick(2, false, delay);
    EXPECT_EQ(p.page(), 1);  // waits on the last decoded page
    p.tick(2, true, delay);
    p.tick(2, true, delay);
    EXPECT_EQ(p.page(), 0);
    // A single page never plays.
    p.imageRequested();
    EXPECT_FALSE(p.tick(1, true, delay));
}

TEST(Animation, FrameCommandsStopPlaying) {
    AnimationPlayer p;
    p.imageRequested();
    EXPECT_FALSE(p.nextFrame(1));  // only with more than one page
    EXPECT_TRUE(p.nextFrame(3));
    EXPECT_FALSE(p.playing());
    EXPECT_TRUE(p.nextFrame(3));
    EXPECT_FALSE(p.nextFrame(3));  // on the last decoded page of a file still loading
    EXPECT_TRUE(p.previousFrame(3));
    EXPECT_TRUE(p.firstFrame(3));
    EXPECT_FALSE(p.previousFrame(3));
    EXPECT_TRUE(p.lastFrame(3));
    EXPECT_EQ(p.page(), 2);
    p.togglePlaying();
    EXPECT_TRUE(p.playing());
    p.imageRequested();
    EXPECT_EQ(p.page(), 0);
}

TEST(Animation, StartsOnThePreferredPageOnceDecoded) {
    AnimationPlayer p;
    p.imageRequested();
    EXPECT_FALSE(p.startPageReady(1, false, 2));  // an icon's largest entry is still coming
    EXPECT_TRUE(p.startPageReady(3, false, 2));
    EXPECT_EQ(p.page(), 2);
    EXPECT_TRUE(p.previousFrame(3));
    EXPECT_TRUE(p.startPageReady(3, true, 2));  // settled: the user's step stays
    EXPECT_EQ(p.page(), 1);
    // A file that ends before the page it promised starts on its last page.
    p.imageRequested();
    EXPECT_TRUE(p.startPageReady(2, true, 5));
    EXPECT_EQ(p.page(), 1);
    // A frame command before the page arrives wins.
    p.imageRequested();
    EXPECT_TRUE(p.nextFrame(2));
    EXPECT_TRUE(p.startPageReady(2, false, 3));
    EXPECT_EQ(p.page(), 1);
}

TEST(SlideShow, DelayCountsFromTheCompleteImage) {
    SlideShow s;
    s.setSettings({3, false, false});
    s.start();
    SlideShow::Tick t{.hasCurrent = true, .windowVisible = true, .hasPage = true, .decoding = true};
    // Two seconds of decoding do not count.
    for (int i = 0; i < 10; ++i) EXPECT_EQ(s.tick(t), SlideShow::Step::None);
    t.decoding = false;
    int ticks = 0;
    SlideShow::Step step = SlideShow::Step::None;
    while (step == SlideShow::Step::None && ticks < 100) {
        step = s.tick(t);
        ++ticks;
    }
    EXPECT_EQ(step, SlideShow::Step::Next);
    EXPECT_EQ(ticks * SlideShow::kTickMs, 3000);
    s.imageRequested();
    EXPECT_EQ(s.tick(t), SlideShow::Step::None);
}

TEST(SlideShow, EndsOfTheListAndVisibility) {
    auto run = [](SlideShow::Settings settings, SlideShow::Tick t) {
        SlideShow s;
        s.setSettings(settings);
        s.start();
        SlideShow::Step last = SlideShow::Step::None;
        for (int i = 0; i < 60; ++i) last = s.tick(t);
        return last;
    };
    const SlideShow::Tick atFirst{.hasCurrent = true, .hasPage = true, .atFirst = true};
    const SlideShow::Tick atLast{.hasCurrent = true, .hasPage = true, .atLast = true};
    EXPECT_EQ(run({1, true, true}, atFirst), SlideShow::Step::Last);
    EXPECT_EQ(run({1, true, false}, atFirst), SlideShow::Step::None);
    EXPECT_EQ(run({1, false, true}, atLast), SlideShow::Step::First);
    EXPECT_EQ(run({1, false, false}, atLast), SlideShow::Step::None);
    EXPECT_EQ(run({1, true, false}, atLast), SlideShow::Step::Previous);
    SlideShow::Tick hidden = atLast;
    hidden.windowVisible = false;
    EXPECT_EQ(run({1, false, true}, hidden), SlideShow::Step::None);
    SlideShow stopped;
    EXPECT_EQ(stopped.tick(atLast), SlideShow::Step::None);
}

}  // namespace
}  // namespace kalder::view
