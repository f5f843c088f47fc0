#pragma once

#include <atomic>
#include <cstdint>

namespace kalder::image {

// Asked after every delivered row: has the user (or the loader) asked to stop?
class CancelSink {
public:
    virtual ~CancelSink() = default;
    virtual bool isCancelled() const = 0;
};

// Told how far a decode has come: done out of total (rows, or frames while scanning).
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void Progress(std::int64_t total, std::int64_t done) = 0;
};

// A cancel sink driven by a flag another thread sets.
class CancelFlag final : public CancelSink {
public:
    bool isCancelled() const override { return m_flag.load(std::memory_order_relaxed); }
    void cancel() { m_flag.store(true, std::memory_order_relaxed); }
    void reset() { m_flag.store(false, std::memory_order_relaxed); }

private:
    std::atomic<bool> m_flag{false};
};

}  // namespace kalder::image
