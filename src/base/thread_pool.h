#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kalder::base {

// Worker threads running posted tasks in the order they came. The pool owns its threads: its
// destructor runs what is still queued and joins every worker, so no task outlives the pool and
// nothing runs on after the owner is gone (a caller that wants queued work skipped cancels it
// in the task itself). Tasks must not throw.
class ThreadPool {
public:
    // At least one worker.
    explicit ThreadPool(unsigned threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    void post(std::function<void()> task);
    unsigned size() const { return static_cast<unsigned>(m_threads.size()); }

private:
    void work();

    std::mutex m_lock;  // guards m_queue and m_closing
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

}  // namespace kalder::base
