#include "shell/folder_watcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kalder::shell {
namespace {

constexpr std::uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                IN_ONLYDIR;

}  // namespace

FolderWatcher::FolderWatcher() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FolderWatcher::~FolderWatcher() {
    if (m_fd >= 0) ::close(m_fd);
}

bool FolderWatcher::watch(const std::filesystem::path& folder) {
    unwatch();
    if (m_fd < 0) return false;
    m_watch = ::inotify_add_watch(m_fd, folder.c_str(), kMask);
    if (m_watch < 0) return false;
    m_folder = folder;
    return true;
}

void FolderWatcher::unwatch() {
    if (m_fd >= 0 && m_watch >= 0) ::inotify_rm_watch(m_fd, m_watch);
    m_watch = -1;
    m_folder.clear();
    m_pending.clear();
    m_moveFrom.clear();
    m_overflow = false;
    // Events of the old watch that are still queued are read and ignored by wd below.
}

void FolderWatcher::add(FolderChange change, Clock::time_point now) {
    m_lastEvent = now;
    // Repeated writes to one file count once.
    if (change.kind == FolderChange::Kind::Modified && !m_pending.empty() &&
        m_pending.back() == change)
        return;
    m_pending.push_back(std::move(change));
}

bool FolderWatcher::readEvents(Clock::time_point now) {
    if (m_fd < 0) return false;
    bool any = false;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            if (ev->mask & IN_Q_OVERFLOW) {
                m_overflow = true;
                m_lastEvent = now;
                any = true;
                continue;
            }
            if (ev->wd != m_watch || m_watch < 0) continue;
            any = true;
            const std::string name =
                ev->len ? std::string(ev->name, ::strnlen(ev->name, ev->len)) : std::string();
            using K = FolderChange::Kind;
            if (ev->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                add({K::FolderGone, {}, {}}, now);
            } else if (ev->mask & IN_MOVED_FROM) {
                m_moveFrom[ev->cookie] = name;
                m_lastEvent = now;
            } else if (ev->mask & IN_MOVED_TO) {
                const auto from = m_moveFrom.find(ev->cookie);
                if (from != m_moveFrom.end()) {
                    add({K::Renamed, from->second, name}, now);
                    m_moveFrom.erase(from);
                } else {
                    add({K::Created, name, {}}, now);
                }
            } else if (ev->mask & IN_CREATE) {
                add({K::Created, name, {}}, now);
            } else if (ev->mask & IN_DELETE) {
                add({K::Deleted, name, {}}, now);
            } else if (ev->mask & (IN_CLOSE_WRITE | IN_ATTRIB)) {
                add({K::Modified, name, {}}, now);
            }
        }
    }
    return any;
}

std::vector<FolderChange> FolderWatcher::takeChanges(Clock::time_point now) {
    if (!hasChanges() && !m_overflow) return {};
    if (now - m_lastEvent < kDebounce) return {};
    std::vector<FolderChange> out;
    if (m_overflow) {
        out.push_back({FolderChange::Kind::Rescan, {}, {}});
    } else {
        out = std::move(m_pending);
        // A move out of the folder has no partner: the file is gone from here.
        for (auto& [cookie, name] : m_moveFrom)
            out.push_back({FolderChange::Kind::Deleted, name, {}});
    }
    m_pending.clear();
    m_moveFrom.clear();
    m_overflow = false;
    return out;
}

}  // namespace kalder::shell
