#include "base/thread_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kalder::base {
namespace {

// Every task runs once, on the pool's own threads, and the destructor runs what is still queued
// before it returns (a gate holds the workers until everything is posted).
TEST(ThreadPool, RunsEveryTaskOnceAndDrainsOnDestruction) {
    constexpr int kTasks = 200;
    std::vector<std::atomic<int>> runs(kTasks);
    std::mutex lock;
    std::condition_variable opened;
    bool open = false;
    std::set<std::thread::id> threads;
    {
        ThreadPool pool(3);
        EXPECT_EQ(pool.size(), 3u);
        for (int i = 0; i < kTasks; ++i)
            pool.post([&, i] {
                std::unique_lock l(lock);
                opened.wait(l, [&] { return open; });
                threads.insert(std::this_thread::get_id());
                ++runs[static_cast<std::size_t>(i)];
            });
        {
            std::lock_guard l(lock);
            open = true;
        }
        opened.notify_all();
    }
    for (const auto& r : runs) EXPECT_EQ(r.load(), 1);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
    EXPECT_LE(threads.size(), 3u);

    ThreadPool single(0);  // asked for none: one worker all the same
    EXPECT_EQ(single.size(), 1u);
}

// A gate that holds the pool's workers until the test has set the scene.
struct Gate {
    std::mutex lock;
    std::condition_variable changed;
    bool open = false;
    void pass() {
        std::unique_lock l(lock);
        changed.wait(l, [&] { return open; });
    }
    void release() {
        {
            std::lock_guard l(lock);
            open = true;
        }
        changed.notify_all();
    }
};

// The picture the user asked for goes before queued background work; a group never runs more
// tasks at once than its limit; waiting from inside a task of the same one-worker pool runs the
// group's own tasks instead of deadlocking; dropped tasks never run.
TEST(TaskGroup, PriorityLimitNestedWaitAndDiscard) {
    ThreadPool pool(1);
    Gate gate;
    std::mutex lock;
    std::vector<std::string> order;
    const auto note = [&](std::string what) {
        std::lock_guard l(lock);
        order.push_back(std::move(what));
    };
    {
        TaskGroup blocker(pool);
        blocker.post([&] { gate.pass(); });  // occupies the only worker
        TaskGroup background(pool, ThreadPool::Priority::Background);
        TaskGroup interactive(pool, ThreadPool::Priority::Interactive);
        background.post([&] { note("thumbnail"); });
        interactive.post([&] { note("picture"); });
        gate.release();
    }
    EXPECT_EQ(order, (std::vector<std::string>{"picture", "thumbnail"}));

    ThreadPool wide(4);
    std::atomic<int> running{0}, most{0};
    {
        TaskGroup serial(wide, ThreadPool::Priority::Normal, 1);
        for (int i = 0; i < 20; ++i)
            serial.post([&] {
                most = std::max(most.load(), ++running);
                std::this_thread::yield();
                --running;
            });
    }
    EXPECT_EQ(most.load(), 1);

    std::atomic<int> inner{0};
    {
        TaskGroup outer(pool);
        outer.post([&] {
            TaskGroup nested(pool);
            for (int i = 0; i < 3; ++i) nested.post([&] { ++inner; });
            nested.wait();  // the only worker is this one
        });
    }
    EXPECT_EQ(inner.load(), 3);

    Gate hold;
    std::atomic<int> ran{0};
    {
        TaskGroup blocker(pool);
        blocker.post([&] { hold.pass(); });
        TaskGroup dropped(pool);
        for (int i = 0; i < 5; ++i) dropped.post([&] { ++ran; });
        EXPECT_EQ(dropped.discardQueued(), 5u);
        hold.release();
    }
    EXPECT_EQ(ran.load(), 0);
}

}  // namespace
}  // namespace kalder::base
