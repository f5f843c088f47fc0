#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::image {
class Bitmap32;
class CancelSink;
}  // namespace kalder::image

namespace kalder::view {

// The entry of a file in a shared cache under root for the given flavour folder ("normal",
// "large", "x-large"): root/flavour/MD5(URI).png, with the URI GLib gives the file.
std::filesystem::path cacheEntryPath(const std::filesystem::path& root, std::string_view flavour,
                                     const std::filesystem::path& file);

// The tEXt chunks of a PNG file, keyword to text; empty for anything that is not a PNG.
std::map<std::string, std::string> pngTextChunks(std::span<const std::uint8_t> png);

// The shared thumbnail cache of the desktop (the freedesktop layout): entries other programs
// wrote are used when they still describe the file, and ours are written for them. Const and
// safe to use from several threads.
class SharedThumbnailCache {
public:
    struct Options {
        std::filesystem::path root;   // empty: $XDG_CACHE_HOME/thumbnails
        bool removableMedia = false;  // also for files on removable media
        std::string mountsText;       // empty: /proc/self/mounts
    };
    explicit SharedThumbnailCache(Options options);

    static std::filesystem::path defaultRoot();
    // The flavour folder whose thumbnails fit `box`, and their side; nothing above 512.
    static std::optional<std::pair<std::string_view, std::int32_t>> flavourFor(std::int32_t box);

    const std::filesystem::path& root() const { return m_root; }
    // Not for files in the cache itself, nor on removable media unless the options say so.
    bool applies(const std::filesystem::path& file) const;

    // The cached picture of `file` in the flavour for `box` or a larger one, when the entry's
    // modification time (and size, when given) are the file's. The PNG as it is stored.
    std::optional<std::filesystem::path> find(const std::filesystem::path& file,
                                              std::int32_t box) const;
    // A failure recorded by us for the file as it is now.
    bool failed(const std::filesystem::path& file) const;

    // Writes `thumbnail` (at most the flavour's side) for `file`, atomically, private to the user.
    bool store(const std::filesystem::path& file, std::string_view flavour,
               const image::Bitmap32& thumbnail) const;
    bool storeFailure(const std::filesystem::path& file) const;

private:
    struct FileFacts {
        std::string uri;
        std::int64_t mtime = 0;
        std::uintmax_t size = 0;
    };
    std::optional<FileFacts> factsOf(const std::filesystem::path& file) const;
    bool valid(const std::filesystem::path& entry, const FileFacts& facts) const;
    bool write(const std::filesystem::path& entry, const FileFacts& facts,
               const image::Bitmap32& picture) const;

    std::filesystem::path m_root;
    bool m_removableMedia;
    std::vector<std::pair<std::filesystem::path, bool>> m_mounts;  // mount point, removable
};

// Makes a thumbnail of `source` fitting side x side; `display` adds the display's colour
// adaptation, which cached pictures are stored without. Without `display`, a file that gives no
// picture answers nullptr rather than the "no preview" tile.
using ThumbnailDecode = std::function<std::unique_ptr<image::Bitmap32>(
    const std::filesystem::path& source, std::int32_t side, bool display)>;

// A thumbnail of `box` through the cache: read from it when it has one for the file, otherwise
// decoded at the flavour's side and stored first, so that a first and a later visit look the
// same. A file that does not decode is recorded as a failure and not tried again until it
// changes (the "no preview" tile then). Files the cache does not apply to are decoded as without
// it.
std::unique_ptr<image::Bitmap32> cachedThumbnail(const SharedThumbnailCache& cache,
                                                 const std::filesystem::path& file,
                                                 std::int32_t box, const ThumbnailDecode& decode,
                                                 const image::CancelSink* cancel);

// The cache's entry for `file` at the flavour for `box`, made (or its failure recorded) as
// cachedThumbnail would when the cache has none, without the thumbnail itself. True when the
// entry or the failure is there afterwards.
bool fillThumbnailCache(const SharedThumbnailCache& cache, const std::filesystem::path& file,
                        std::int32_t box, const ThumbnailDecode& decode,
                        const image::CancelSink* cancel);

}  // namespace kalder::view
