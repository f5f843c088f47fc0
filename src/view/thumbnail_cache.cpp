#include "view/thumbnail_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/file_uri.h"
#include "image/bitmap32.h"
#include "image/sinks.h"
#include "image/thumbnail_placeholder.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"
#include "shell/places.h"

namespace kalder::view {
namespace {

constexpr std::array<std::uint32_t, 64> kSines = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr std::array<int, 16> kShifts = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

std::uint32_t rotl(std::uint32_t v, int s) { return (v << s) | (v >> (32 - s)); }

}  // namespace

std::string md5Hex(std::string_view data) {
    std::uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    // Padding: a one bit, zeros to 56 bytes mod 64, then the bit length little-endian.
    std::vector<std::uint8_t> m(data.begin(), data.end());
    const std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
    m.push_back(0x80);
    while (m.size() % 64 != 56) m.push_back(0);
    for (int i = 0; i < 8; ++i) m.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    for (std::size_t off = 0; off < m.size(); off += 64) {
        std::uint32_t w[16];
        for (int i = 0; i < 16; ++i) {
            const std::uint8_t* p = &m[off + static_cast<std::size_t>(i) * 4];
            w[i] = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
        }
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
        for (int i = 0; i < 64; ++i) {
            std::uint32_t f;
            int g;
            if (i < 16) {
                f = (b & c) | (~b & d);
                g = i;
            } else if (i < 32) {
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
            }
            const std::uint32_t t = d;
            d = c;
            c = b;
            b = b + rotl(a + f + kSines[static_cast<std::size_t>(i)] + w[g],
                         kShifts[static_cast<std::size_t>((i / 16) * 4 + i % 4)]);
            a = t;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (std::uint32_t v : h)
        for (int i = 0; i < 4; ++i) {
            const auto byte = static_cast<std::uint8_t>(v >> (8 * i));
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    return out;
}

std::filesystem::path cacheEntryPath(const std::filesystem::path& root, std::string_view flavour,
                                     const std::filesystem::path& file) {
    return root / std::string(flavour) / (md5Hex(base::fileUri(file)) + ".png");
}

}  // namespace kalder::view

namespace kalder::view {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxEntryBytes = 16u << 20;
constexpr const char* kFailFolder = "fail/kalder";

std::uint32_t be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::vector<std::uint8_t> readSmallFile(const fs::path& path) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kMaxEntryBytes) return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
        return {};
    return bytes;
}

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
        const std::uint32_t length = be32(png.data() + at);
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
        std::ifstream in("/proc/self/mounts");
        std::stringstream text;
        text << in.rdbuf();
        mounts = text.str();
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
    const std::map<std::string, std::string> texts = pngTextChunks(readSmallFile(entry));
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
    const std::string name = md5Hex(facts->uri) + ".png";
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
    return facts && valid(m_root / kFailFolder / (md5Hex(facts->uri) + ".png"), *facts);
}

bool SharedThumbnailCache::write(const fs::path& entry, const FileFacts& facts,
                                 const image::Bitmap32& picture) const {
    if (!makePrivateFolders(m_root, entry.parent_path().lexically_relative(m_root))) return false;
    auto writer = image::createWriterForExtension("png");
    if (!writer) return false;
    image::WriterImage out;
    out.pixels = picture.pixels();
    out.width = picture.width();
    out.height = picture.height();
    out.bits = 32;
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
    return write(m_root / std::string(flavour) / (md5Hex(facts->uri) + ".png"), *facts, thumbnail);
}

bool SharedThumbnailCache::storeFailure(const fs::path& file) const {
    const auto facts = factsOf(file);
    image::Bitmap32 dot;
    if (!facts || !dot.Create(1, 1)) return false;
    return write(m_root / kFailFolder / (md5Hex(facts->uri) + ".png"), *facts, dot);
}

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
    std::unique_ptr<image::Bitmap32> full = decode(file, flavour->second, false);
    if (cancel && cancel->isCancelled()) return nullptr;
    if (!full) {
        cache.storeFailure(file);
        return placeholder();
    }
    if (cache.store(file, flavour->first, *full))
        if (const auto entry = cache.find(file, box))
            if (auto picture = decode(*entry, box, true)) return picture;
    return decode(file, box, true);
}

}  // namespace kalder::view
