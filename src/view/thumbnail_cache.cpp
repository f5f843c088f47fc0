#include "view/thumbnail_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "base/byte_order.h"
#include "base/file_uri.h"
#include "base/md5.h"
#include "base/read_file.h"
#include "image/bitmap32.h"
#include "image/sinks.h"
#include "image/thumbnail_placeholder.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"
#include "shell/places.h"

namespace kalder::view {

namespace fs = std::filesystem;

std::filesystem::path cacheEntryPath(const std::filesystem::path& root, std::string_view flavour,
                                     const std::filesystem::path& file) {
    return root / std::string(flavour) / (base::md5Hex(base::fileUri(file)) + ".png");
}

namespace {

constexpr std::size_t kMaxEntryBytes = 16u << 20;
constexpr const char* kFailFolder = "fail/kalder";

// Each level private to the user, as the standard asks.
bool makePrivateFolders(const fs::path& root, const fs::path& relative) {
    fs::path folder = root;
    std::error_code ec;
    if (!fs::exists(root, ec)) {
        fs::create_directories(root, ec);
        ::chmod(root.c_str(), 0700);
    }
    for (const fs::path& part : relative) {
        folder /= part;
        if (fs::is_directory(folder, ec)) continue;
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return fs::is_directory(folder, ec);
}

bool isInside(const fs::path& file, const fs::path& folder) {
    auto f = file.begin();
    for (auto d = folder.begin(); d != folder.end(); ++d, ++f) {
        if (d->empty()) continue;  // a trailing separator
        if (f == file.end() || *f != *d) return false;
    }
    return true;
}

}  // namespace

std::map<std::string, std::string> pngTextChunks(std::span<const std::uint8_t> png) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::map<std::string, std::string> texts;
    if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return texts;
    std::size_t at = 8;
    while (png.size() - at >= 12) {
        const std::uint32_t length = base::loadU32be(png.data() + at);
        if (length > png.size() - at - 12) break;
        const std::uint8_t* type = png.data() + at + 4;
        const std::uint8_t* data = png.data() + at + 8;
        if (std::memcmp(type, "tEXt", 4) == 0) {
            const auto* end = data + length;
            const auto* nul = std::find(data, end, std::uint8_t{0});
            if (nul != end) texts.emplace(std::string(data, nul), std::string(nul + 1, end));
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
        at += 12 + std::size_t{length};
    }
    return texts;
}

SharedThumbnailCache::SharedThumbnailCache(Options options)
    : m_root(options.root.empty() ? defaultRoot() : options.root),
      m_removableMedia(options.removableMedia) {
    std::string mounts = std::move(options.mountsText);
    if (mounts.empty()) {
        mounts = shell::currentMountsText();
    }
    for (const shell::MountEntry& m : shell::parseMounts(mounts))
        m_mounts.emplace_back(m.mountPoint, shell::userMountKind(m) == shell::PlaceKind::Removable);
}

fs::path SharedThumbnailCache::defaultRoot() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return fs::path(cache) / "thumbnails";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return fs::path(home) / ".cache" / "thumbnails";
    return {};
}

std::optional<std::pair<std::string_view, std::int32_t>> SharedThumbnailCache::flavourFor(
    std::int32_t box) {
    if (box <= 0) return std::nullopt;
    if (box <= 128) return std::pair{std::string_view("normal"), 128};
    if (box <= 256) return std::pair{std::string_view("large"), 256};
    if (box <= 512) return std::pair{std::string_view("x-large"), 512};
    return std::nullopt;
}

bool SharedThumbnailCache::applies(const fs::path& file) const {
    if (m_root.empty()) return false;
    const fs::path absolute = fs::absolute(file).lexically_normal();
    if (isInside(absolute, m_root.lexically_normal())) return false;
    if (m_removableMedia) return true;
    // The innermost mount holding the file decides.
    std::size_t best = 0;
    bool removable = false;
    for (const auto& [point, isRemovable] : m_mounts) {
        const std::size_t depth = std::distance(point.begin(), point.end());
        if (depth >= best && isInside(absolute, point)) {
            best = depth;
            removable = isRemovable;
        }
    }
    return !removable;
}

std::optional<SharedThumbnailCache::FileFacts> SharedThumbnailCache::factsOf(
    const fs::path& file) const {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileFacts{base::fileUri(fs::absolute(file).lexically_normal()),
                     static_cast<std::int64_t>(st.st_mtime),
                     static_cast<std::uintmax_t>(st.st_size)};
}

bool SharedThumbnailCache::valid(const fs::path& entry, const FileFacts& facts) const {
    const std::map<std::string, std::string> texts =
        pngTextChunks(base::readFile(entry, kMaxEntryBytes).valueOr({}));
    const auto mtime = texts.find("Thumb::MTime");
    if (mtime == texts.end() || mtime->second != std::to_string(facts.mtime)) return false;
    // The URI is the key of the entry's name; another URI there is a collision or damage.
    if (const auto uri = texts.find("Thumb::URI"); uri != texts.end() && uri->second != facts.uri)
        return false;
    const auto size = texts.find("Thumb::Size");
    return size == texts.end() || size->second == std::to_string(facts.size);
}

std::optional<fs::path> SharedThumbnailCache::find(const fs::path& file, std::int32_t box) const {
    const auto facts = factsOf(file);
    const auto flavour = flavourFor(box);
    if (!facts || !flavour) return std::nullopt;
    const std::string name = base::md5Hex(facts->uri) + ".png";
    bool reached = false;
    for (std::string_view f : {"normal", "large", "x-large"}) {
        reached = reached || f == flavour->first;
        if (!reached) continue;
        const fs::path entry = m_root / std::string(f) / name;
        if (valid(entry, *facts)) return entry;
    }
    return std::nullopt;
}

bool SharedThumbnailCache::failed(const fs::path& file) const {
    const auto facts = factsOf(file);
    return facts && valid(m_root / kFailFolder / (base::md5Hex(facts->uri) + ".png"), *facts);
}

bool SharedThumbnailCache::write(const fs::path& entry, const FileFacts& facts,
                                 const image::Bitmap32& picture) const {
    if (!makePrivateFolders(m_root, entry.parent_path().lexically_relative(m_root))) return false;
    auto writer = image::createWriterForExtension("png");
    if (!writer) return false;
    // Waiting for the disk held each worker half a millisecond per entry, a twentieth of making
    // the thumbnail; an entry a crash leaves empty fails its check and is made again.
    writer->setDurable(false);
    image::WriterImage out;
    out.pixels = picture.pixels();
    out.width = picture.width();
    out.height = picture.height();
    out.bits = 32;
    // Made while the user waits for the browser; the best compression cost a fifth of the time.
    out.pngFast = true;
    out.pngKeywords = {"Thumb::URI", "Thumb::MTime", "Thumb::Size", "Software"};
    out.pngTexts = {facts.uri, std::to_string(facts.mtime), std::to_string(facts.size), "Kalder"};
    // The writer works in a temporary file beside the entry and renames it when complete, so a
    // reader never sees half an entry.
    if (!writer->Open(entry).ok() || !writer->Write(out).ok() || !writer->Close().ok())
        return false;
    ::chmod(entry.c_str(), 0600);
    return true;
}

bool SharedThumbnailCache::store(const fs::path& file, std::string_view flavour,
                                 const image::Bitmap32& thumbnail) const {
    const auto facts = factsOf(file);
    if (!facts || thumbnail.isEmpty()) return false;
    return write(m_root / std::string(flavour) / (base::md5Hex(facts->uri) + ".png"), *facts,
                 thumbnail);
}

bool SharedThumbnailCache::storeFailure(const fs::path& file) const {
    const auto facts = factsOf(file);
    image::Bitmap32 dot;
    if (!facts || !dot.Create(1, 1)) return false;
    return write(m_root / kFailFolder / (base::md5Hex(facts->uri) + ".png"), *facts, dot);
}

namespace {

enum class Made { Stored, NotStored, Undecodable, Cancelled };

// Decodes the file at the flavour's side and stores it, or records that it does not decode.
Made makeEntry(const SharedThumbnailCache& cache, const fs::path& file,
               const std::pair<std::string_view, std::int32_t>& flavour,
               const ThumbnailDecode& decode, const image::CancelSink* cancel) {
    const std::unique_ptr<image::Bitmap32> full = decode(file, flavour.second, false);
    if (cancel && cancel->isCancelled()) return Made::Cancelled;
    if (!full) {
        cache.storeFailure(file);
        return Made::Undecodable;
    }
    return cache.store(file, flavour.first, *full) ? Made::Stored : Made::NotStored;
}

}  // namespace

std::unique_ptr<image::Bitmap32> cachedThumbnail(const SharedThumbnailCache& cache,
                                                 const fs::path& file, std::int32_t box,
                                                 const ThumbnailDecode& decode,
                                                 const image::CancelSink* cancel) {
    const auto flavour = SharedThumbnailCache::flavourFor(box);
    if (!flavour || !cache.applies(file)) return decode(file, box, true);
    if (const auto entry = cache.find(file, box))
        if (auto picture = decode(*entry, box, true)) return picture;
    const auto placeholder = [box] {
        auto tile = std::make_unique<image::Bitmap32>();
        image::drawThumbnailPlaceholder(*tile, box);
        return tile;
    };
    if (cache.failed(file)) return placeholder();
    switch (makeEntry(cache, file, *flavour, decode, cancel)) {
        case Made::Cancelled:
            return nullptr;
        case Made::Undecodable:
            return placeholder();
        case Made::Stored:
            if (const auto entry = cache.find(file, box))
                if (auto picture = decode(*entry, box, true)) return picture;
            break;
        case Made::NotStored:
            break;
    }
    return decode(file, box, true);
}

bool fillThumbnailCache(const SharedThumbnailCache& cache, const fs::path& file, std::int32_t box,
                        const ThumbnailDecode& decode, const image::CancelSink* cancel) {
    const auto flavour = SharedThumbnailCache::flavourFor(box);
    if (!flavour || !cache.applies(file)) return false;
    if (cache.find(file, box) || cache.failed(file)) return true;
    const Made made = makeEntry(cache, file, *flavour, decode, cancel);
    return made == Made::Stored || made == Made::Undecodable;
}

}  // namespace kalder::view
