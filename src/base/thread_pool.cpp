#include "base/thread_pool.h"

namespace kalder::base {

ThreadPool::ThreadPool(unsigned threads) {
    if (threads == 0) threads = 1;
    m_threads.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) m_threads.emplace_back([this] { work(); });
}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard lock(m_lock);
        m_closing = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads) t.join();
}

void ThreadPool::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_lock);
        m_queue.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void ThreadPool::work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_lock);
            m_wake.wait(lock, [&] { return m_closing || !m_queue.empty(); });
            if (m_queue.empty()) return;  // closing, and nothing left to run
            task = std::move(m_queue.front());
            m_queue.pop_front();
        }
        task();
    }
}

}  // namespace kalder::base
