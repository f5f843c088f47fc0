// A run: names and prompts on the calling thread in file order, the conversions on a pool of
// workers, results put in place and reported in file order again.
#include "tools/convert/batch_convertor.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "base/thread_pool.h"
#include "image/sinks.h"
#include "tools/convert/batch_files_p.h"

namespace kalder::tools {
namespace fs = std::filesystem;

namespace {

struct Job {
    std::int32_t index = 0;
    fs::path source;
    fs::path temporary;
    fs::path output;
    struct stat status {};
    std::atomic<std::int32_t> stage{0};
    // Set by the worker before `done`; read by the calling thread after it.
    int result = kBatchFileFailed;
    std::string message;
    bool done = false;  // guarded by Pool::m_lock
};

// Worker threads taking jobs in order. The calling thread waits for the oldest job while it
// keeps polling the host.
class Pool {
public:
    Pool(const BatchSettings& settings, const OverlayLayer* overlay, unsigned threads)
        : m_settings(settings),
          m_overlay(overlay),
          m_threads(base::ThreadPool::shared(), base::ThreadPool::Priority::Normal, threads) {}
    void add(Job* job) {
        m_threads.post([this, job] { convert(*job); });
    }
    // Waits a short while for `job`; true when it is done.
    bool waitFor(Job& job) {
        std::unique_lock lock(m_lock);
        return m_finished.wait_for(lock, std::chrono::milliseconds(25), [&] { return job.done; });
    }
    void cancel() { m_cancel.cancel(); }
    bool cancelled() const { return m_cancel.isCancelled(); }

private:
    void convert(Job& job) {
        int result = kBatchFileStopped;
        if (!m_cancel.isCancelled()) {
            try {
                result = BatchConvertor::ConvertFile(
                    job.source, job.temporary, job.output, m_settings, m_overlay,
                    [&job](std::int32_t stage) { job.stage.store(stage); }, &m_cancel, job.message);
            } catch (...) {  // out of memory on a huge image: this file fails, not the run
                result = kBatchFileFailed;
                job.message = std::string(kCantReadImageMessage) + " " + job.source.string();
            }
        }
        {
            std::lock_guard lock(m_lock);
            job.result = result;
            job.done = true;
        }
        m_finished.notify_all();
    }

    const BatchSettings& m_settings;
    const OverlayLayer* m_overlay;
    image::CancelFlag m_cancel;
    std::mutex m_lock;  // guards every Job::done
    std::condition_variable m_finished;
    // Last, so that its tasks have run before anything they use goes away.
    base::TaskGroup m_threads;
};

enum class Decision { Write, Skip, Cancel };

class BatchRun {
public:
    BatchRun(const BatchSettings& settings, const BatchFileList& list, ToolHost& host,
             const OverlayLayer* overlay, unsigned jobs)
        : m_s(settings),
          m_list(list),
          m_host(host),
          m_jobs(jobs),
          m_count(static_cast<std::int32_t>(list.files.size())),
          m_pool(settings, overlay, jobs) {}

    BatchResult go();

private:
    bool stopNow() {
        if (!m_result.stopped && m_host.cancelled()) stop();
        return m_result.stopped;
    }
    // File `index` is at `stage` (0..3).
    void report(std::int32_t index, const fs::path& file, std::int32_t stage) {
        const std::int32_t s = std::clamp(stage, 0, 3);
        ToolProgress p{kBatchStages[s], s, 4, file, index, m_count, 0, 1};
        m_host.progress(p);
    }
    void stop() {
        m_result.stopped = true;
        m_pool.cancel();
    }
    Decision ask(const char* message, fs::path& output, RememberedAnswer& memory, bool& renamed);
    Decision decideExisting(fs::path& output);
    void finishOldest();
    void finish(Job& job);
    bool claimed(const fs::path& output) const {
        return std::any_of(m_inFlight.begin(), m_inFlight.end(),
                           [&](const auto& j) { return j->output == output; });
    }

    const BatchSettings& m_s;
    const BatchFileList& m_list;
    ToolHost& m_host;
    unsigned m_jobs;
    std::int32_t m_count;
    RememberedAnswer m_modified;
    RememberedAnswer m_readOnly;
    BatchResult m_result;
    std::deque<std::unique_ptr<Job>> m_inFlight;  // in file order
    Pool m_pool;                                  // last: its threads end before the jobs go
};

Decision BatchRun::ask(const char* message, fs::path& output, RememberedAnswer& memory,
                       bool& renamed) {
    fs::path newPath;
    ToolQuestion question{message, output,
                          ToolAnswers{ToolAnswer::Yes, ToolAnswer::YesToAll, ToolAnswer::No,
                                      ToolAnswer::NoToAll, ToolAnswer::Rename, ToolAnswer::Cancel},
                          &newPath};
    switch (memory.ask(m_host, question)) {
        case ToolAnswer::Yes:
        case ToolAnswer::YesToAll:
            return Decision::Write;
        case ToolAnswer::No:
        case ToolAnswer::NoToAll:
            return Decision::Skip;
        case ToolAnswer::Rename:
            if (newPath.empty()) return Decision::Skip;
            output = newPath;
            renamed = true;
            return Decision::Write;
        case ToolAnswer::Cancel:
            break;
    }
    return Decision::Cancel;
}

Decision BatchRun::decideExisting(fs::path& output) {
    // Another file of this run may still be writing the same name: its result decides.
    while (claimed(output)) finishOldest();
    std::error_code ec;
    if (!fs::exists(output, ec)) return Decision::Write;
    bool renamed = false;
    const Decision d = ask(kFileModifiedPrompt, output, m_modified, renamed);
    if (d != Decision::Write || renamed) {
        while (claimed(output)) finishOldest();
        return d;
    }
    struct stat st {};
    if (::stat(output.c_str(), &st) == 0 && detail::isReadOnly(st)) {
        const Decision r = ask(kFileReadOnlyPrompt, output, m_readOnly, renamed);
        while (claimed(output)) finishOldest();
        return r;
    }
    return Decision::Write;
}

void BatchRun::finishOldest() {
    Job& job = *m_inFlight.front();
    std::int32_t shown = -1;
    while (!m_pool.waitFor(job)) {
        stopNow();
        if (const std::int32_t stage = job.stage.load(); stage != shown) {
            report(job.index, job.source, stage);
            shown = stage;
        }
    }
    finish(job);
    m_inFlight.pop_front();
}

void BatchRun::finish(Job& job) {
    std::error_code ec;
    if (job.result == kBatchFileWritten || job.result == kBatchFileDamaged) {
        // rename() replaces an existing (even read-only) output in one step.
        fs::rename(job.temporary, job.output, ec);
        if (ec) {
            fs::remove(job.temporary, ec);
            m_host.error(std::string(kCantAccessFileMessage) + " " + job.output.string());
            ++m_result.failed;
            return;
        }
        detail::applySourceStatus(job.output, job.status, m_s.preserveDate);
        ++m_result.converted;
        if (job.result == kBatchFileDamaged) {
            ++m_result.damaged;
            m_host.error(job.source.string() + ": " + kConvertedWithDamageMessage + " " +
                         job.message);
        }
        return;
    }
    fs::remove(job.temporary, ec);
    if (job.result == kBatchFileStopped) {
        if (!m_result.stopped) stop();
        return;
    }
    if (!job.message.empty()) m_host.error(job.message);
    ++m_result.failed;
}

BatchResult BatchRun::go() {
    for (std::int32_t i = 0; i < m_count && !stopNow(); ++i) {
        const fs::path& source = m_list.files[static_cast<std::size_t>(i)];
        report(i, source, 0);
        auto job = std::make_unique<Job>();
        job->index = i;
        job->source = source;
        if (::stat(source.c_str(), &job->status) != 0) {
            m_host.error(std::string(kCantAccessFileMessage) + " " + source.string());
            ++m_result.failed;
            continue;
        }
        job->output = batchOutputPath(m_s, m_list.root, source);
        std::error_code ec;
        if (m_s.placeInFolder) fs::create_directories(job->output.parent_path(), ec);

        const Decision d = decideExisting(job->output);
        // Waiting for an earlier file may have seen a stop request.
        if (d == Decision::Cancel || m_result.stopped) {
            stop();
            break;
        }
        if (d == Decision::Skip) {
            ++m_result.skipped;
            continue;
        }
        // The temporary file lives beside the output, so putting it in place is a rename.
        struct stat folder {};
        const fs::path folderPath =
            job->output.has_parent_path() ? job->output.parent_path() : fs::path(".");
        if (::stat(folderPath.c_str(), &folder) != 0 || detail::isReadOnly(folder) ||
            !detail::makeTemporary(folderPath, job->temporary)) {
            m_host.error(std::string(kFailedToWriteMessage) + " " + job->output.string());
            ++m_result.failed;
            continue;
        }
        m_pool.add(job.get());
        m_inFlight.push_back(std::move(job));
        while (m_inFlight.size() >= m_jobs) finishOldest();
    }
    while (!m_inFlight.empty()) finishOldest();
    return m_result;
}

}  // namespace

BatchResult BatchConvertor::Run(const BatchSettings& settings, const BatchFileList& list,
                                ToolHost& host) {
    if (list.files.empty()) return {};
    OverlayLayer layer;
    const OverlayLayer* overlay = nullptr;
    if (settings.overlay.mode != OverlayMode::None) {
        if (!Overlay::Prepare(settings.overlay, layer)) {
            host.error(kOverlayLoadFailedMessage);
            return {};
        }
        overlay = &layer;
    }
    BatchSettings s = settings;
    const unsigned cores = base::ThreadPool::shared().size();
    unsigned jobs = settings.jobs > 0 ? static_cast<unsigned>(settings.jobs) : cores;
    jobs = std::min<unsigned>({jobs, 64u, static_cast<unsigned>(list.files.size())});
    s.jobs = static_cast<std::int32_t>(jobs);
    BatchRun run(s, list, host, overlay, jobs);
    return run.go();
}

}  // namespace kalder::tools
