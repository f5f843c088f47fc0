#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kalder::base {

class TaskGroup;

// Worker threads running posted tasks, the most urgent first and in the order they came within
// one urgency. The program shares one (shared()) so that thumbnails, display decodes, batch runs
// and resampling bands never ask for more threads than there are cores between them. The pool
// owns its threads: its destructor runs what is still queued and joins every worker. Tasks must
// not throw.
class ThreadPool {
public:
    // What waits for a free worker first: the picture the user asked for before the batch run he
    // started, and both before thumbnails.
    enum class Priority { Interactive, Normal, Background };

    // At least one worker. With `belowCaller` the workers run at a lower scheduling priority
    // than the thread that made the pool, so a busy pool never slows the window down.
    explicit ThreadPool(unsigned threads, bool belowCaller = false);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // The program's pool: one worker per core, at least two, made on first use.
    static ThreadPool& shared();
    // The cores of the machine, at least one.
    static unsigned cores();

    void post(std::function<void()> task, Priority priority = Priority::Normal);
    unsigned size() const { return static_cast<unsigned>(m_threads.size()); }

private:
    friend class TaskGroup;
    struct Task {
        TaskGroup* group = nullptr;
        std::function<void()> run;
    };
    static constexpr std::size_t kPriorities = 3;

    void enqueue(Task task, Priority priority);
    // Under m_lock: takes the first task a worker may run now, if any.
    bool take(Task& task);
    void finished(const Task& task);
    void work();

    std::mutex m_lock;  // guards the queues, m_closing and every group's counts
    std::condition_variable m_wake;
    std::condition_variable m_groupDone;
    std::deque<Task> m_queues[kPriorities];
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

// The tasks one owner posts to a pool. The owner can wait for them, running its own queued tasks
// on the waiting thread meanwhile, so waiting from inside another task of the same pool cannot
// deadlock; and it can drop what has not started. The destructor waits, so no task of the group
// outlives what it uses.
class TaskGroup {
public:
    // `limit` caps how many of the group's tasks run at once (0: as many as the pool has).
    explicit TaskGroup(ThreadPool& pool = ThreadPool::shared(),
                       ThreadPool::Priority priority = ThreadPool::Priority::Normal,
                       unsigned limit = 0);
    ~TaskGroup();
    TaskGroup(const TaskGroup&) = delete;
    TaskGroup& operator=(const TaskGroup&) = delete;

    void post(std::function<void()> task);
    // Until every task posted so far has run.
    void wait();
    // Removes the tasks no worker has started; returns how many.
    std::size_t discardQueued();
    ThreadPool& pool() const { return m_pool; }

private:
    friend class ThreadPool;
    ThreadPool& m_pool;
    ThreadPool::Priority m_priority;
    unsigned m_limit;
    std::size_t m_running = 0;  // guarded by the pool's lock
    std::size_t m_queued = 0;   // guarded by the pool's lock
};

}  // namespace kalder::base
