#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "view/browser_sort.h"
#include "view/display_loader.h"
#include "view/file_filter.h"
#include "view/image_entry.h"
#include "view/thumbnail_loader.h"

namespace kalder::image {
struct ImageInfo;
}

namespace kalder::view {

enum class Navigation {
    PreviousFile,      // 540
    NextFile,          // 541
    FirstFile,         // 542
    LastFile,          // 543
    PreviousSelected,  // 544
    NextSelected,      // 545
};

// The current folder's image files and their two loaders. Every call comes from the UI thread;
// the loaders' results are read from the entries (page counts, thumbnail flags) on its timers.
class FolderImages {
public:
    explicit FolderImages(std::shared_ptr<DocumentSource> source = imageDocumentSource(),
                          unsigned thumbnailWorkers = defaultThumbnailWorkers());
    ~FolderImages();
    FolderImages(const FolderImages&) = delete;
    FolderImages& operator=(const FolderImages&) = delete;

    // --- folder ---
    // Stops both loaders, frees all entries, then lists the folder's files that pass the
    // filter, reads their descriptions and sorts them. False when the folder cannot be read.
    bool loadFolder(const std::filesystem::path& folder);
    // Lists the folder again, keeping `keep` (with its decoded image) when its file is still
    // there, even renamed; answers the entry for it. A file rewritten under the same name gets
    // a new entry, which is answered instead; nullptr when the file is gone.
    ImageEntry* reload(const ImageEntry* keep);
    // The same, but when the file of `keep` is gone (moved or deleted elsewhere) answers the
    // entry that followed it and is still there, else the nearest one before it.
    ImageEntry* reloadKeepingPlace(const ImageEntry* keep);
    const std::filesystem::path& folder() const { return m_folder; }

    const EntryList& entries() const { return m_list; }
    std::size_t size() const { return m_list.size(); }
    ImageEntry* at(std::size_t i) const { return m_list.at(i); }
    // The entry with this file name (exact), or nullptr.
    ImageEntry* find(std::string_view name) const;

    // --- filter and sort ---
    // Compiles the filter of a mode; the caller reloads the folder. False when the compiled
    // filter had to be cut to fit.
    bool setFilter(FilterMode mode, std::string_view custom);
    const FileFilter& filter() const { return m_filter; }
    SortKey sortKey() const { return m_sortKey; }
    // Sets the key without sorting (start-up).
    void setSortKey(SortKey key) { m_sortKey = key; }
    // False when the key is already active; otherwise sorts (the caller refreshes and
    // requests the current image again).
    bool sort(SortKey key);
    SortOrder sortOrder() const { return m_sortOrder; }
    // False when the order is already active; otherwise sorts, as sort() does.
    bool setSortOrder(SortOrder order);
    void resort();
    // Only files whose names contain the text (any case) are listed; the caller reloads.
    void setNameFilter(std::string filter) { m_nameFilter = std::move(filter); }
    const std::string& nameFilter() const { return m_nameFilter; }

    // --- navigation and selection ---
    // The entry a navigation command moves to, or nullptr when nothing happens.
    ImageEntry* navigate(Navigation command, const ImageEntry* current) const;
    void selectAll();
    void selectOnly(const ImageEntry* entry);
    std::vector<const ImageEntry*> selectedEntries() const;

    // --- list changes (each stops the loaders and restarts the thumbnails if they ran) ---
    // Unlinks and frees the entries; answers the new current entry: the one after the last
    // removed entry, else the one before the first removed entry, else the first remaining.
    ImageEntry* removeEntries(const std::vector<const ImageEntry*>& gone);
    // The file was renamed on disk: takes the new name, re-sorts.
    void renameEntry(ImageEntry* entry, std::string newName);

    // --- loaders ---
    void request(const DisplayRequest& request, bool single) { m_display.request(request, single); }
    bool isLoading(const ImageEntry* entry) const { return m_display.isLoading(entry); }
    std::int32_t progress() const { return m_display.progress(); }
    void setDisplayOptions(const DisplayOptions& options) { m_display.setOptions(options); }
    void setThumbnailOptions(const DocumentSource::ThumbnailOptions& options);
    void startThumbnails(std::int32_t box, bool clearAll);
    void suspendThumbnails() { m_thumbnails.suspend(); }
    void resumeThumbnails() { m_thumbnails.resume(); }
    void setThumbnailStart(const ImageEntry* entry) { m_thumbnails.setStartEntry(entry); }
    // Stops both loaders (remembering whether thumbnails were being made); the slots are
    // emptied, so the caller requests the current image again after restartLoaders().
    void stopLoaders();
    void restartLoaders();
    // Frees the entry's decoded pages (not while the display loader decodes it).
    void releaseImage(ImageEntry* entry);

    DisplayLoader& displayLoader() { return m_display; }
    ThumbnailLoader& thumbnailLoader() { return m_thumbnails; }

private:
    std::vector<std::unique_ptr<ImageEntry>> enumerate(const ImageEntry* keep,
                                                       std::unique_ptr<ImageEntry>& kept,
                                                       bool& readable);
    void finishList(std::vector<std::unique_ptr<ImageEntry>> entries);

    std::filesystem::path m_folder;
    FileFilter m_filter;
    SortKey m_sortKey = SortKey::Name;
    SortOrder m_sortOrder = SortOrder::Ascending;
    std::string m_nameFilter;
    EntryList m_list;
    DisplayLoader m_display;
    ThumbnailLoader m_thumbnails;
    bool m_thumbnailsActive = false;  // started and not stopped for good
    bool m_thumbnailsWereSuspended = false;
};

// "1 536 bytes (1.5 KB)": digit groups of three, then KB or MB in parentheses from 1 KB on.
std::string formatFileSize(std::uint64_t bytes);
// The file's last-modified time in the user's date and time format.
std::string formatFileTime(std::int64_t seconds);
// The browser's file information: one status-bar line ("a | b | c") or the tooltip's lines.
// info == nullptr means nothing is known ("No information").
std::string fileInformationText(const image::ImageInfo* info, bool tooltip);
// Reads the file's facts and builds the text.
std::string fileInformationText(const std::filesystem::path& path, bool tooltip);

}  // namespace kalder::view
