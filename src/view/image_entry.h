#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "image/bitmap32.h"
#include "image/image_document.h"

namespace kalder::view {

// What identifies a file across renames and reloads: device and inode.
// Which file an entry stands for, across renames. The modification time and size belong to
// it because inode numbers are reused: a file deleted and another one written may share one,
// and a file rewritten in place must not keep its old decoded image.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t size = 0;
    bool operator==(const FileId&) const = default;
};

// One image file of the current folder. The UI thread owns the name, description, selection
// and file status; the loader threads touch only the decoded pages, the thumbnail and the
// flags, each under its own lock.
class ImageEntry {
public:
    ImageEntry(std::filesystem::path folder, std::string name, FileId id = {});
    ImageEntry(const ImageEntry&) = delete;
    ImageEntry& operator=(const ImageEntry&) = delete;

    const std::string& name() const { return m_name; }
    std::filesystem::path path() const { return m_folder / m_name; }
    const std::filesystem::path& folder() const { return m_folder; }
    FileId id() const { return m_id; }
    void setName(std::string name, FileId id) {
        m_name = std::move(name);
        m_id = id;
    }

    // UI thread only.
    std::string description;
    bool selected = false;

    // File status, read once per sort or information query (refreshStatus).
    bool refreshStatus();
    bool hasStatus() const { return m_statusRead; }
    std::uint64_t fileSize() const { return m_size; }
    std::int64_t modificationTime() const { return m_mtime; }

    // --- decoded pages (display loader writes, UI reads) ---
    image::ImageDocument& document() { return *m_document; }
    const image::ImageDocument& document() const { return *m_document; }
    std::int32_t pageCount() const;
    bool allPagesLoaded() const;
    // Loader side.
    void addLoadedPage();
    void setAllPagesLoaded();
    // Page count 0, flags cleared, pages and metadata strings freed. Never while decoding.
    void releaseImage();

    // Comments the reader collects while decoding (LoadOptions::comments).
    std::vector<std::string>& comments() { return m_comments; }
    std::mutex& commentsLock() { return m_commentsLock; }

    // --- thumbnail (thumbnail loader writes, UI reads) ---
    bool thumbnailReady() const;
    bool thumbnailDone() const;
    void setThumbnailDone();
    // Hands over a finished thumbnail and sets the ready flag.
    void setThumbnail(std::unique_ptr<image::Bitmap32> thumbnail);
    bool hasThumbnail() const;
    void clearThumbnail();
    // Runs f(const Bitmap32*) under the thumbnail lock; nullptr when there is none.
    template <typename F>
    void withThumbnail(F&& f) const {
        std::lock_guard lock(m_thumbnailLock);
        f(static_cast<const image::Bitmap32*>(m_thumbnail.get()));
    }

    // Position in the list, kept by EntryList; read under the list lock on worker threads.
    std::size_t index() const { return m_index; }

private:
    friend class EntryList;

    std::filesystem::path m_folder;
    std::string m_name;
    FileId m_id;
    std::size_t m_index = 0;

    bool m_statusRead = false;
    std::uint64_t m_size = 0;
    std::int64_t m_mtime = 0;

    std::unique_ptr<image::ImageDocument> m_document;

    mutable std::mutex m_pageLock;  // guards m_pageCount, m_allLoaded, m_thumbReady, m_thumbDone
    std::int32_t m_pageCount = 0;
    bool m_allLoaded = false;
    bool m_thumbReady = false;
    bool m_thumbDone = false;

    mutable std::mutex m_thumbnailLock;  // guards m_thumbnail
    std::unique_ptr<image::Bitmap32> m_thumbnail;

    std::mutex m_commentsLock;  // guards m_comments while a reader fills it
    std::vector<std::string> m_comments;
};

// The folder's entries in display order. The list lock guards the order (and the display
// loader's slots, which live beside it). The UI thread is the only writer and takes the lock
// to change the order; worker threads take it to read.
class EntryList {
public:
    std::mutex& lock() const { return m_lock; }

    // Readers on worker threads hold lock(); the UI thread may read without it.
    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    ImageEntry* at(std::size_t i) const {
        return i < m_entries.size() ? m_entries[i].get() : nullptr;
    }
    ImageEntry* first() const { return at(0); }
    ImageEntry* last() const { return empty() ? nullptr : m_entries.back().get(); }
    ImageEntry* after(const ImageEntry* e) const { return e ? at(e->index() + 1) : nullptr; }
    ImageEntry* before(const ImageEntry* e) const {
        return e && e->index() > 0 ? at(e->index() - 1) : nullptr;
    }
    // Compares addresses only, so a pointer kept across a reload (its entry freed) is safe to
    // ask about.
    bool contains(const ImageEntry* e) const {
        return e && std::any_of(m_entries.begin(), m_entries.end(),
                                [e](const auto& p) { return p.get() == e; });
    }

    // UI thread; each takes the list lock.
    void assign(std::vector<std::unique_ptr<ImageEntry>> entries);
    std::vector<std::unique_ptr<ImageEntry>> takeAll();
    // Puts the entries in the order given (a permutation of the current entries).
    void reorder(const std::vector<ImageEntry*>& order);
    // Removes and returns the entries named.
    std::vector<std::unique_ptr<ImageEntry>> remove(const std::vector<const ImageEntry*>& gone);

private:
    void renumber();

    mutable std::mutex m_lock;  // guards m_entries' order and every entry's m_index
    std::vector<std::unique_ptr<ImageEntry>> m_entries;
};

}  // namespace kalder::view
