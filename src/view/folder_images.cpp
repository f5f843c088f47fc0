#include "view/folder_images.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iomanip>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "base/translatable.h"
#include "image/format_table.h"
#include "image/image_document.h"
#include "view/descriptions.h"

namespace kalder::view {
namespace {

bool statFile(const std::filesystem::path& path, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0;
}

FileId idOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<std::int64_t>(st.st_size)};
}

}  // namespace

// --- ImageEntry ---

ImageEntry::ImageEntry(std::filesystem::path folder, std::string name, FileId id)
    : m_folder(std::move(folder)),
      m_name(std::move(name)),
      m_id(id),
      m_document(std::make_unique<image::ImageDocument>()) {}

bool ImageEntry::refreshStatus() {
    struct stat st {};
    m_statusRead = statFile(path(), st);
    m_size = m_statusRead ? static_cast<std::uint64_t>(st.st_size) : 0;
    m_mtime = m_statusRead ? static_cast<std::int64_t>(st.st_mtime) : 0;
    return m_statusRead;
}

std::int32_t ImageEntry::pageCount() const {
    std::lock_guard lock(m_pageLock);
    return m_pageCount;
}

bool ImageEntry::allPagesLoaded() const {
    std::lock_guard lock(m_pageLock);
    return m_allLoaded;
}

void ImageEntry::addLoadedPage() {
    std::lock_guard lock(m_pageLock);
    ++m_pageCount;
}

void ImageEntry::setAllPagesLoaded() {
    std::lock_guard lock(m_pageLock);
    m_allLoaded = true;
}

void ImageEntry::releaseImage() {
    {
        std::lock_guard lock(m_pageLock);
        m_pageCount = 0;
        m_allLoaded = false;
    }
    m_document->ReleasePages();
    std::lock_guard lock(m_commentsLock);
    m_comments.clear();
}

bool ImageEntry::thumbnailReady() const {
    std::lock_guard lock(m_pageLock);
    return m_thumbReady;
}

bool ImageEntry::thumbnailDone() const {
    std::lock_guard lock(m_pageLock);
    return m_thumbDone;
}

void ImageEntry::setThumbnailDone() {
    std::lock_guard lock(m_pageLock);
    m_thumbDone = true;
}

void ImageEntry::setThumbnail(std::unique_ptr<image::Bitmap32> thumbnail) {
    if (thumbnail) {
        std::lock_guard lock(m_thumbnailLock);
        m_thumbnail = std::move(thumbnail);
    }
    std::lock_guard lock(m_pageLock);
    m_thumbReady = true;
}

bool ImageEntry::hasThumbnail() const {
    std::lock_guard lock(m_thumbnailLock);
    return m_thumbnail != nullptr;
}

void ImageEntry::clearThumbnail() {
    {
        std::lock_guard lock(m_thumbnailLock);
        m_thumbnail.reset();
    }
    std::lock_guard lock(m_pageLock);
    m_thumbReady = false;
    m_thumbDone = false;
}

// --- EntryList ---

void EntryList::renumber() {
    for (std::size_t i = 0; i < m_entries.size(); ++i) m_entries[i]->m_index = i;
}

void EntryList::assign(std::vector<std::unique_ptr<ImageEntry>> entries) {
    std::vector<std::unique_ptr<ImageEntry>> old;
    {
        std::lock_guard lock(m_lock);
        old.swap(m_entries);
        m_entries = std::move(entries);
        renumber();
    }
}

std::vector<std::unique_ptr<ImageEntry>> EntryList::takeAll() {
    std::lock_guard lock(m_lock);
    return std::exchange(m_entries, {});
}

void EntryList::reorder(const std::vector<ImageEntry*>& order) {
    std::lock_guard lock(m_lock);
    if (order.size() != m_entries.size()) return;
    std::vector<std::unique_ptr<ImageEntry>> sorted(order.size());
    std::vector<std::unique_ptr<ImageEntry>> pool = std::move(m_entries);
    for (std::size_t i = 0; i < order.size(); ++i) sorted[i] = std::move(pool[order[i]->m_index]);
    m_entries = std::move(sorted);
    renumber();
}

std::vector<std::unique_ptr<ImageEntry>> EntryList::remove(
    const std::vector<const ImageEntry*>& gone) {
    std::unordered_set<const ImageEntry*> set(gone.begin(), gone.end());
    std::vector<std::unique_ptr<ImageEntry>> removed;
    std::lock_guard lock(m_lock);
    std::vector<std::unique_ptr<ImageEntry>> kept;
    for (auto& e : m_entries) (set.count(e.get()) ? removed : kept).push_back(std::move(e));
    m_entries = std::move(kept);
    renumber();
    return removed;
}

// --- FolderImages ---

FolderImages::FolderImages(std::shared_ptr<DocumentSource> source, unsigned thumbnailWorkers)
    : m_display(m_list, source), m_thumbnails(m_list, source, thumbnailWorkers) {
    m_filter.compile(filterString(FilterMode::Default, {}));
}

FolderImages::~FolderImages() {
    m_thumbnails.stop();
    m_display.stop(true);
}

ImageEntry* FolderImages::find(std::string_view name) const {
    for (std::size_t i = 0; i < m_list.size(); ++i)
        if (m_list.at(i)->name() == name) return m_list.at(i);
    return nullptr;
}

std::vector<std::unique_ptr<ImageEntry>> FolderImages::enumerate(const ImageEntry* keep,
                                                                 std::unique_ptr<ImageEntry>& kept,
                                                                 bool& readable) {
    std::vector<std::unique_ptr<ImageEntry>> out;
    std::error_code ec;
    std::filesystem::directory_iterator it(m_folder, ec), end;
    readable = !ec;
    for (; !ec && it != end; it.increment(ec)) {
        const std::filesystem::directory_entry& de = *it;
        std::error_code typeError;
        if (de.is_directory(typeError)) continue;
        const std::string name = de.path().filename().string();
        if (!m_filter.matches(name) || !nameMatchesFilter(name, m_nameFilter)) continue;
        struct stat st {};
        const FileId id = statFile(de.path(), st) ? idOf(st) : FileId{};
        if (kept && keep && id == kept->id() && id != FileId{}) {
            // The current file stays with its decoded image, under its name as it is now.
            if (kept->name() != name) kept->setName(name, id);
            out.push_back(std::move(kept));
            continue;
        }
        out.push_back(std::make_unique<ImageEntry>(m_folder, name, id));
    }
    return out;
}

void FolderImages::finishList(std::vector<std::unique_ptr<ImageEntry>> entries) {
    m_list.assign(std::move(entries));
    readDescriptions(m_folder, m_list);
    resort();
}

bool FolderImages::loadFolder(const std::filesystem::path& folder) {
    stopLoaders();
    m_list.assign({});
    m_folder = folder;
    std::unique_ptr<ImageEntry> none;
    bool readable = false;
    finishList(enumerate(nullptr, none, readable));
    restartLoaders();
    return readable;
}

ImageEntry* FolderImages::reload(const ImageEntry* keep) {
    stopLoaders();
    auto old = m_list.takeAll();
    std::unique_ptr<ImageEntry> kept;
    for (auto& e : old)
        if (e.get() == keep) kept = std::move(e);
    const bool hadKeep = kept != nullptr;
    const std::string keptName = hadKeep ? kept->name() : std::string();
    old.clear();
    bool readable = false;
    auto entries = enumerate(keep, kept, readable);
    // A kept entry still here was moved into the new list; otherwise its file is gone, or was
    // written anew under the same name (then that new entry answers, without a decoded image).
    const bool stillThere = hadKeep && !kept;
    kept.reset();
    finishList(std::move(entries));
    restartLoaders();
    if (stillThere) return const_cast<ImageEntry*>(keep);
    return hadKeep ? find(keptName) : nullptr;
}

ImageEntry* FolderImages::reloadKeepingPlace(const ImageEntry* keep) {
    std::vector<std::string> around;  // after `keep`, then before it, nearest first
    if (keep && m_list.contains(keep)) {
        const std::size_t at = keep->index();
        for (std::size_t i = at + 1; i < m_list.size(); ++i) around.push_back(m_list.at(i)->name());
        for (std::size_t i = at; i > 0; --i) around.push_back(m_list.at(i - 1)->name());
    }
    if (ImageEntry* same = reload(keep)) return same;
    if (around.empty()) return nullptr;
    std::unordered_map<std::string_view, ImageEntry*> byName;
    for (std::size_t i = 0; i < m_list.size(); ++i)
        byName.emplace(m_list.at(i)->name(), m_list.at(i));
    for (const std::string& name : around)
        if (const auto it = byName.find(name); it != byName.end()) return it->second;
    return nullptr;
}

bool FolderImages::setFilter(FilterMode mode, std::string_view custom) {
    return m_filter.compile(filterString(mode, custom));
}

bool FolderImages::sort(SortKey key) {
    if (key == m_sortKey) return false;
    m_sortKey = key;
    resort();
    return true;
}

bool FolderImages::setSortOrder(SortOrder order) {
    if (order == m_sortOrder) return false;
    m_sortOrder = order;
    resort();
    return true;
}

void FolderImages::resort() {
    std::vector<ImageEntry*> order;
    order.reserve(m_list.size());
    for (std::size_t i = 0; i < m_list.size(); ++i) order.push_back(m_list.at(i));
    sortEntries(order, m_sortKey, m_sortOrder);
    m_list.reorder(order);
}

ImageEntry* FolderImages::navigate(Navigation command, const ImageEntry* current) const {
    const bool known = m_list.contains(current);
    switch (command) {
        case Navigation::PreviousFile:
            return known ? m_list.before(current) : nullptr;
        case Navigation::NextFile:
            return known ? m_list.after(current) : nullptr;
        case Navigation::FirstFile:
            return m_list.first() != current ? m_list.first() : nullptr;
        case Navigation::LastFile:
            return m_list.last() != current ? m_list.last() : nullptr;
        case Navigation::PreviousSelected:
        case Navigation::NextSelected: {
            if (!known) return nullptr;
            const std::size_t n = m_list.size();
            const bool forward = command == Navigation::NextSelected;
            for (std::size_t k = 1; k < n; ++k) {
                const std::size_t i =
                    forward ? (current->index() + k) % n : (current->index() + n - k) % n;
                if (m_list.at(i)->selected) return m_list.at(i);
            }
            return nullptr;
        }
    }
    return nullptr;
}

void FolderImages::selectAll() {
    for (std::size_t i = 0; i < m_list.size(); ++i) m_list.at(i)->selected = true;
}

void FolderImages::selectOnly(const ImageEntry* entry) {
    for (std::size_t i = 0; i < m_list.size(); ++i) m_list.at(i)->selected = m_list.at(i) == entry;
}

std::vector<const ImageEntry*> FolderImages::selectedEntries() const {
    std::vector<const ImageEntry*> out;
    for (std::size_t i = 0; i < m_list.size(); ++i)
        if (m_list.at(i)->selected) out.push_back(m_list.at(i));
    return out;
}

ImageEntry* FolderImages::removeEntries(const std::vector<const ImageEntry*>& gone) {
    std::unordered_set<const ImageEntry*> set(gone.begin(), gone.end());
    std::size_t firstGone = m_list.size(), lastGone = 0;
    for (std::size_t i = 0; i < m_list.size(); ++i) {
        if (!set.count(m_list.at(i))) continue;
        firstGone = std::min(firstGone, i);
        lastGone = i;
    }
    if (firstGone == m_list.size()) return nullptr;
    const ImageEntry* next = nullptr;
    for (std::size_t i = lastGone + 1; i < m_list.size() && !next; ++i)
        if (!set.count(m_list.at(i))) next = m_list.at(i);
    for (std::size_t i = firstGone; i > 0 && !next; --i)
        if (!set.count(m_list.at(i - 1))) next = m_list.at(i - 1);

    stopLoaders();
    m_list.remove(gone);
    restartLoaders();
    if (!next) next = m_list.first();
    return const_cast<ImageEntry*>(next);
}

void FolderImages::renameEntry(ImageEntry* entry, std::string newName) {
    if (!m_list.contains(entry)) return;
    stopLoaders();
    struct stat st {};
    const FileId id = statFile(m_folder / newName, st) ? idOf(st) : entry->id();
    entry->setName(std::move(newName), id);
    resort();
    restartLoaders();
}

void FolderImages::setThumbnailOptions(const DocumentSource::ThumbnailOptions& options) {
    const bool restart = m_thumbnails.started();
    m_thumbnails.setOptions(options);
    if (restart && m_thumbnailsActive) m_thumbnails.start(m_thumbnails.box(), false);
}

void FolderImages::startThumbnails(std::int32_t box, bool clearAll) {
    m_thumbnails.start(box, clearAll);
    m_thumbnailsActive = true;
}

void FolderImages::stopLoaders() {
    m_thumbnailsWereSuspended = m_thumbnails.suspended();
    m_thumbnails.stop();
    m_display.stop(true);
}

void FolderImages::restartLoaders() {
    // The display loader starts again with the next request; thumbnails only if they ran.
    if (!m_thumbnailsActive) return;
    m_thumbnails.start(m_thumbnails.box(), false);
    if (m_thumbnailsWereSuspended) m_thumbnails.suspend();
}

void FolderImages::releaseImage(ImageEntry* entry) {
    if (entry && !m_display.isLoading(entry)) entry->releaseImage();
}

// --- file information ---

std::string formatFileSize(std::uint64_t bytes) {
    std::string digits = std::to_string(bytes);
    std::string grouped;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) grouped += ' ';
        grouped += digits[i];
    }
    grouped += ' ' + base::translatedText("FileInfo", QT_TRANSLATE_NOOP("FileInfo", "bytes"));
    char buffer[64];
    if (bytes >= 1048576) {
        std::snprintf(buffer, sizeof buffer, " (%.2f %s)", static_cast<double>(bytes) / 1048576.0,
                      "MB");
        grouped += buffer;
    } else if (bytes >= 1024) {
        std::snprintf(buffer, sizeof buffer, " (%.1f %s)", static_cast<double>(bytes) / 1024.0,
                      "KB");
        grouped += buffer;
    }
    return grouped;
}

std::string formatFileTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!::localtime_r(&t, &local)) return {};
    std::ostringstream out;
    out.imbue(userLocale());
    out << std::put_time(&local, "%x %X");
    return out.str();
}

std::string fileInformationText(const image::ImageInfo* info, bool tooltip) {
    if (!info)
        return base::translatedText("FileInfo", QT_TRANSLATE_NOOP("FileInfo", "No information"));
    const char* sep = tooltip ? "\r\n" : " | ";
    std::string text =
        formatFileSize(info->fileSize) + sep + formatFileTime(info->modificationTime);
    std::string description;
    if (info->formatIndex >= 0) {
        const auto& record = image::formatTable()[static_cast<std::size_t>(info->formatIndex)];
        description = !info->description.empty()    ? info->description
                      : !record.description.empty() ? std::string(record.description)
                                                    : std::string(record.shortName);
    }
    const bool dimensions = info->width > 0 && info->height > 0;
    if (tooltip && (dimensions || info->isVector) && !description.empty())
        text += sep + description;
    if (!dimensions || info->isVector) return text;
    char buffer[96];
    std::snprintf(
        buffer, sizeof buffer, "%ix%i %s", info->width, info->height,
        base::translatedText("FileInfo", QT_TRANSLATE_NOOP("FileInfo", "pixels")).c_str());
    text += sep;
    text += buffer;
    const std::uint32_t bits = info->bitsPerPixel;
    if (bits == 0) return text;
    text += sep;
    if (bits == 16) {
        text += base::translatedText("FileInfo", QT_TRANSLATE_NOOP("FileInfo", "high-color"));
    } else if (bits < 24) {
        const std::string levels = base::translatedText(
            "FileInfo", info->isGray ? QT_TRANSLATE_NOOP("FileInfo", "gray-levels")
                                     : QT_TRANSLATE_NOOP("FileInfo", "colors"));
        std::snprintf(buffer, sizeof buffer, "%i %s", 1 << bits, levels.c_str());
        text += buffer;
    } else {
        text += base::translatedText("FileInfo", QT_TRANSLATE_NOOP("FileInfo", "true-color"));
    }
    return text;
}

std::string fileInformationText(const std::filesystem::path& path, bool tooltip) {
    image::ImageInfo info;
    if (!image::ReadImageInfo(path, info, true)) return fileInformationText(nullptr, tooltip);
    return fileInformationText(&info, tooltip);
}

}  // namespace kalder::view
