#include "shell/pe_version.h"

#include <algorithm>
#include <cstdio>

#include "base/byte_order.h"
#include "base/utf.h"

namespace kalder::shell {

namespace {

using Bytes = std::span<const std::uint8_t>;

// Reads at offsets that may be anything a hostile file says: zero past the end.
struct Reader {
    Bytes b;
    bool has(std::uint64_t offset, std::uint64_t n) const { return base::fits(b, offset, n); }
    std::uint16_t u16(std::uint64_t o) const { return base::u16leAt(b, o); }
    std::uint32_t u32(std::uint64_t o) const { return base::u32leAt(b, o); }
};

struct Section {
    std::uint32_t address, size, fileOffset, fileSize;
};

// A NUL-terminated UTF-16LE string in [begin, end); `next` takes the offset behind its NUL.
// Broken surrogates become U+FFFD, so the result is always valid UTF-8.
std::string utf16(const Reader& r, std::uint64_t begin, std::uint64_t end, std::uint64_t& next) {
    std::uint64_t p = begin;
    while (p + 2 <= end && r.u16(p) != 0) p += 2;
    const std::uint64_t stop = p;
    next = p + 2 <= end ? p + 2 : p;
    if (!r.has(begin, stop - begin)) return {};
    return base::utf16leToUtf8(r.b.subspan(begin, stop - begin));
}

std::uint64_t align4(std::uint64_t v) { return (v + 3) & ~std::uint64_t{3}; }

// One block of the version tree: its key, where its value lies and where its children do.
struct Block {
    std::string key;
    std::uint64_t value = 0, valueBytes = 0;  // the value as bytes (text: up to the block's end)
    std::uint64_t children = 0, end = 0;
    bool text = false;
};

std::optional<Block> readBlock(const Reader& r, std::uint64_t at, std::uint64_t limit) {
    if (!r.has(at, 6) || at + 6 > limit) return std::nullopt;
    const std::uint16_t length = r.u16(at);
    const std::uint16_t valueLength = r.u16(at + 2);
    Block block;
    block.text = r.u16(at + 4) == 1;
    block.end = at + length;
    if (length < 6 || block.end > limit) return std::nullopt;
    std::uint64_t afterKey = 0;
    block.key = utf16(r, at + 6, block.end, afterKey);
    block.value = std::min(align4(afterKey), block.end);
    // Text lengths count characters, and some linkers wrote bytes instead: trust the block end.
    const std::uint64_t declared = block.text ? std::uint64_t{valueLength} * 2 : valueLength;
    block.valueBytes = std::min(declared, block.end - block.value);
    block.children = std::min(align4(block.value + block.valueBytes), block.end);
    if (block.text) block.valueBytes = block.end - block.value;
    return block;
}

// Calls `visit` for each child block of `parent`; stops on a malformed child.
template <typename F>
void forEachChild(const Reader& r, const Block& parent, F visit) {
    std::uint64_t at = parent.children;
    for (int guard = 0; at + 6 <= parent.end && guard < 4096; ++guard) {
        const std::optional<Block> child = readBlock(r, at, parent.end);
        if (!child) return;
        visit(*child);
        at = align4(child->end);
    }
}

std::optional<PeVersionInfo> parseVersion(const Reader& r, std::uint64_t at, std::uint64_t size) {
    const std::optional<Block> root = readBlock(r, at, at + size);
    if (!root || root->key != "VS_VERSION_INFO") return std::nullopt;
    PeVersionInfo info;
    forEachChild(r, *root, [&](const Block& group) {
        if (group.key == "StringFileInfo") {
            forEachChild(r, group, [&](const Block& table) {
                PeVersionInfo::StringTable t{table.key, {}};
                forEachChild(r, table, [&](const Block& s) {
                    std::uint64_t next = 0;
                    t.values.emplace_back(s.key, utf16(r, s.value, s.value + s.valueBytes, next));
                });
                info.tables.push_back(std::move(t));
            });
        } else if (group.key == "VarFileInfo") {
            forEachChild(r, group, [&](const Block& var) {
                if (var.key != "Translation") return;
                for (std::uint64_t p = var.value; p + 4 <= var.value + var.valueBytes; p += 4)
                    info.translations.push_back({r.u16(p), r.u16(p + 2)});
            });
        }
    });
    return info;
}

}  // namespace

std::optional<std::string> PeVersionInfo::value(const Translation& t, std::string_view name) const {
    char key[9];
    std::snprintf(key, sizeof key, "%04x%04x", t.language, t.codePage);
    for (const StringTable& table : tables) {
        if (table.key.size() != 8) continue;
        bool same = true;
        for (int i = 0; i < 8; ++i)
            same = same && (table.key[i] | 0x20) == key[i];  // hex digits in either case
        if (!same) continue;
        for (const auto& [k, v] : table.values)
            if (k == name) return v;
    }
    return std::nullopt;
}

std::optional<PeVersionInfo> readPeVersionInfo(Bytes file) {
    const Reader r{file};
    if (!r.has(0, 64) || file[0] != 'M' || file[1] != 'Z') return std::nullopt;
    const std::uint64_t pe = r.u32(0x3C);
    if (!r.has(pe, 24) || r.u32(pe) != 0x00004550) return std::nullopt;  // "PE\0\0"
    const std::uint16_t sectionCount = r.u16(pe + 6);
    const std::uint16_t optionalSize = r.u16(pe + 20);
    const std::uint64_t optional = pe + 24;
    const std::uint16_t magic = r.u16(optional);
    const std::uint64_t countAt = magic == 0x10b ? 92 : magic == 0x20b ? 108 : 0;
    if (countAt == 0 || optionalSize < countAt + 4 || !r.has(optional, optionalSize))
        return std::nullopt;
    const std::uint32_t directories = r.u32(optional + countAt);
    if (directories < 3 || optionalSize < countAt + 4 + 3 * 8) return std::nullopt;
    const std::uint32_t resourceRva = r.u32(optional + countAt + 4 + 2 * 8);
    if (resourceRva == 0) return std::nullopt;

    std::vector<Section> sections;
    const std::uint64_t table = optional + optionalSize;
    for (std::uint32_t i = 0; i < sectionCount && r.has(table + i * 40ull, 40); ++i) {
        const std::uint64_t s = table + i * 40ull;
        sections.push_back({r.u32(s + 12), r.u32(s + 8), r.u32(s + 20), r.u32(s + 16)});
    }
    // The file offset of an address, and how many bytes of it the file holds from there.
    const auto locate = [&](std::uint32_t rva, std::uint64_t& offset, std::uint64_t& available) {
        for (const Section& s : sections) {
            const std::uint64_t span = std::max(s.size, s.fileSize);
            if (rva < s.address || rva - s.address >= span) continue;
            const std::uint64_t into = rva - s.address;
            if (into >= s.fileSize) return false;
            offset = std::uint64_t{s.fileOffset} + into;
            available = s.fileSize - into;
            return r.has(offset, 1);
        }
        return false;
    };
    std::uint64_t base = 0, baseAvailable = 0;
    if (!locate(resourceRva, base, baseAvailable)) return std::nullopt;

    // The resource tree: type, then name, then language. Subdirectory offsets are relative to the
    // tree's start; a loop in a hostile tree ends at the fixed depth.
    // Directories may point at one another; one budget over the whole walk keeps a hostile
    // tree from multiplying its entries level by level.
    std::uint32_t budget = 1u << 16;
    const auto entries = [&](std::uint64_t dir, auto visit) {
        if (!r.has(dir, 16)) return;
        const std::uint32_t count = std::uint32_t{r.u16(dir + 12)} + r.u16(dir + 14);
        for (std::uint32_t i = 0; i < count && budget > 0 && r.has(dir + 16 + i * 8ull, 8); ++i) {
            --budget;
            visit(r.u32(dir + 16 + i * 8ull), r.u32(dir + 20 + i * 8ull));
        }
    };
    std::optional<PeVersionInfo> found;
    entries(base, [&](std::uint32_t type, std::uint32_t typeAt) {
        if (found || type != 16 || !(typeAt & 0x80000000u)) return;  // RT_VERSION
        entries(base + (typeAt & 0x7FFFFFFFu), [&](std::uint32_t, std::uint32_t nameAt) {
            if (found || !(nameAt & 0x80000000u)) return;
            entries(base + (nameAt & 0x7FFFFFFFu), [&](std::uint32_t, std::uint32_t dataAt) {
                if (found || (dataAt & 0x80000000u)) return;
                const std::uint64_t entry = base + dataAt;
                if (!r.has(entry, 16)) return;
                std::uint64_t offset = 0, available = 0;
                if (!locate(r.u32(entry), offset, available)) return;
                const std::uint64_t size = std::min<std::uint64_t>(r.u32(entry + 4), available);
                found = parseVersion(r, offset, size);
            });
        });
    });
    return found;
}

}  // namespace kalder::shell
