#include "base/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
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

}  // namespace
}  // namespace kalder::base
