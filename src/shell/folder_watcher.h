#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace kalder::shell {

// One change in the watched folder (names without the folder).
struct FolderChange {
    enum class Kind { Created, Deleted, Renamed, Modified, FolderGone, Rescan };
    Kind kind;
    std::string name;
    std::string newName;  // Renamed only
    bool operator==(const FolderChange&) const = default;
};

// Watches one folder (not its sub-folders) through inotify. The UI waits for fd() to become
// readable (a socket notifier), calls readEvents(), and takes the settled batch with
// takeChanges() once nothing has arrived for the debounce time.
class FolderWatcher {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kDebounce{100};

    FolderWatcher();
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    bool isValid() const { return m_fd >= 0; }
    // Watches this folder instead of the previous one; pending changes are dropped.
    bool watch(const std::filesystem::path& folder);
    void unwatch();
    const std::filesystem::path& folder() const { return m_folder; }

    // The descriptor to poll for readability.
    int fd() const { return m_fd; }
    // Reads what the kernel has queued without blocking; answers whether anything came.
    bool readEvents(Clock::time_point now = Clock::now());
    // Something changed since the last takeChanges() (the activation check).
    bool hasChanges() const { return !m_pending.empty() || !m_moveFrom.empty(); }
    // The pending changes once they have settled (now - last event >= debounce), else none.
    // A lost event queue gives one Rescan change instead of a partial list.
    std::vector<FolderChange> takeChanges(Clock::time_point now = Clock::now());
    // When the current batch settles, for a single-shot timer.
    Clock::time_point settlesAt() const { return m_lastEvent + kDebounce; }

private:
    void add(FolderChange change, Clock::time_point now);

    int m_fd = -1;
    int m_watch = -1;
    std::filesystem::path m_folder;
    std::vector<FolderChange> m_pending;
    std::unordered_map<std::uint32_t, std::string> m_moveFrom;  // cookie -> old name
    bool m_overflow = false;
    Clock::time_point m_lastEvent{};
};

}  // namespace kalder::shell
