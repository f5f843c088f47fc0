#include "base/thread_pool.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kalder::base {

namespace {

void lowerThreadPriority() {
    // One step below the caller: the window's thread gets a core first when both want one. More
    // would hand the picture and thumbnails the user is waiting for to every other program on the
    // desktop: at five steps a single busy program held the workers to a quarter of a core.
    // On Linux a thread id names one thread for setpriority.
    const auto tid = static_cast<id_t>(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, tid);
    if (errno != 0) return;
    (void)::setpriority(PRIO_PROCESS, tid, std::min(current + 1, 19));
}

}  // namespace

ThreadPool::ThreadPool(unsigned threads, bool belowCaller) {
    if (threads == 0) threads = 1;
    m_threads.reserve(threads);
    for (unsigned i = 0; i < threads; ++i)
        m_threads.emplace_back([this, belowCaller] {
            if (belowCaller) lowerThreadPriority();
            work();
        });
}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard lock(m_lock);
        m_closing = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads) t.join();
}

unsigned ThreadPool::cores() { return std::max(1u, std::thread::hardware_concurrency()); }

ThreadPool& ThreadPool::shared() {
    // Destroyed at exit, after every owner has waited for its own tasks; the workers are joined
    // then, so none is still running while the program's libraries are torn down.
    static ThreadPool pool(std::max(2u, cores()), true);
    return pool;
}

void ThreadPool::post(std::function<void()> task, Priority priority) {
    enqueue(Task{nullptr, std::move(task)}, priority);
}

void ThreadPool::enqueue(Task task, Priority priority) {
    {
        std::lock_guard lock(m_lock);
        if (task.group) ++task.group->m_queued;
        m_queues[static_cast<std::size_t>(priority)].push_back(std::move(task));
    }
    m_wake.notify_one();
}

bool ThreadPool::take(Task& task) {
    for (auto& queue : m_queues) {
        for (auto it = queue.begin(); it != queue.end(); ++it) {
            TaskGroup* group = it->group;
            if (group && group->m_limit && group->m_running >= group->m_limit) continue;
            task = std::move(*it);
            queue.erase(it);
            if (group) {
                --group->m_queued;
                ++group->m_running;
            }
            return true;
        }
    }
    return false;
}

void ThreadPool::finished(const Task& task) {
    if (!task.group) return;
    bool heldBack = false;
    {
        std::lock_guard lock(m_lock);
        --task.group->m_running;
        heldBack = task.group->m_queued > 0;
    }
    // Work the group's limit held back can run now; this worker may take other work, so one
    // sleeper is woken for it (not all of them, for every task that ends).
    if (heldBack) m_wake.notify_one();
    m_groupDone.notify_all();
}

void ThreadPool::work() {
    for (;;) {
        Task task;
        {
            std::unique_lock lock(m_lock);
            bool found = false;
            m_wake.wait(lock, [&] {
                found = take(task);
                return found || (m_closing && std::all_of(std::begin(m_queues), std::end(m_queues),
                                                          [](const auto& q) { return q.empty(); }));
            });
            if (!found) return;  // closing, and nothing left to run
        }
        task.run();
        finished(task);
    }
}

TaskGroup::TaskGroup(ThreadPool& pool, ThreadPool::Priority priority, unsigned limit)
    : m_pool(pool), m_priority(priority), m_limit(limit) {}

TaskGroup::~TaskGroup() { wait(); }

void TaskGroup::post(std::function<void()> task) {
    m_pool.enqueue(ThreadPool::Task{this, std::move(task)}, m_priority);
}

void TaskGroup::wait() {
    std::unique_lock lock(m_pool.m_lock);
    for (;;) {
        if (m_queued > 0 && (m_limit == 0 || m_running < m_limit)) {
            // Run our own next task here rather than wait for a worker that may be waiting on us.
            auto& queue = m_pool.m_queues[static_cast<std::size_t>(m_priority)];
            const auto it = std::find_if(queue.begin(), queue.end(),
                                         [&](const auto& t) { return t.group == this; });
            if (it != queue.end()) {
                std::function<void()> run = std::move(it->run);
                queue.erase(it);
                --m_queued;
                ++m_running;
                lock.unlock();
                run();
                lock.lock();
                --m_running;
                m_pool.m_groupDone.notify_all();
                continue;
            }
        }
        if (m_queued == 0 && m_running == 0) return;
        m_pool.m_groupDone.wait(lock);
    }
}

std::size_t TaskGroup::discardQueued() {
    std::size_t dropped = 0;
    {
        std::lock_guard lock(m_pool.m_lock);
        auto& queue = m_pool.m_queues[static_cast<std::size_t>(m_priority)];
        const auto end = std::remove_if(queue.begin(), queue.end(),
                                        [&](const auto& t) { return t.group == this; });
        dropped = static_cast<std::size_t>(queue.end() - end);
        queue.erase(end, queue.end());
        m_queued -= dropped;
    }
    m_pool.m_groupDone.notify_all();
    return dropped;
}

}  // namespace kalder::base
