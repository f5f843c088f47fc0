#pragma once

// Assembles Exif TIFF structures for the Exif tests: directories laid out one after the other,
// each followed by its out-of-line values, then free blobs (a thumbnail, say). Pointer entries
// name the directory or blob they lead to and get its offset when the block is built; any entry
// can instead force its raw 4-byte value field to test hostile offsets.

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace kalder::test {

struct TiffEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::vector<std::uint8_t> value;     // encoded value bytes, in the block's byte order
    std::optional<std::uint32_t> field;  // forces the 4-byte value/offset field
    int pointsToIfd = -1;                // field = offset of that directory
    int pointsToBlob = -1;               // field = offset of that blob
};

struct TiffIfd {
    std::vector<TiffEntry> entries;
    int next = -1;  // directory whose offset follows the entries (0 when -1)
};

class TiffBuilder {
public:
    explicit TiffBuilder(bool littleEndian) : m_le(littleEndian) {}

    bool littleEndian() const { return m_le; }

    TiffEntry entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                    std::vector<std::uint8_t> bytes) const {
        return TiffEntry{tag, type, count, std::move(bytes), std::nullopt, -1, -1};
    }
    TiffEntry bytes(std::uint16_t tag, std::uint16_t type, std::vector<std::uint8_t> raw) const {
        const auto n = static_cast<std::uint32_t>(raw.size());
        return entry(tag, type, n, std::move(raw));
    }
    TiffEntry shorts(std::uint16_t tag, std::initializer_list<std::uint16_t> values,
                     std::uint16_t type = 3) const {
        std::vector<std::uint8_t> out;
        for (auto v : values) put(out, v, 2);
        return entry(tag, type, static_cast<std::uint32_t>(values.size()), out);
    }
    TiffEntry longs(std::uint16_t tag, std::initializer_list<std::uint32_t> values,
                    std::uint16_t type = 4) const {
        std::vector<std::uint8_t> out;
        for (auto v : values) put(out, v, 4);
        return entry(tag, type, static_cast<std::uint32_t>(values.size()), out);
    }
    TiffEntry rational(std::uint16_t tag, std::uint32_t num, std::uint32_t den,
                       std::uint16_t type = 5) const {
        std::vector<std::uint8_t> out;
        put(out, num, 4);
        put(out, den, 4);
        return entry(tag, type, 1, out);
    }
    TiffEntry ascii(std::uint16_t tag, const std::string& text) const {
        std::vector<std::uint8_t> out(text.begin(), text.end());
        out.push_back(0);
        return bytes(tag, 2, out);
    }
    TiffEntry real32(std::uint16_t tag, float v) const {
        std::vector<std::uint8_t> out;
        put(out, std::bit_cast<std::uint32_t>(v), 4);
        return entry(tag, 11, 1, out);
    }
    TiffEntry real64(std::uint16_t tag, double v) const {
        std::vector<std::uint8_t> out;
        put(out, std::bit_cast<std::uint64_t>(v), 8);
        return entry(tag, 12, 1, out);
    }
    // A LONG entry leading to another directory.
    TiffEntry pointer(std::uint16_t tag, int ifd) const {
        TiffEntry e = entry(tag, 4, 1, {});
        e.pointsToIfd = ifd;
        return e;
    }
    // A LONG entry holding the offset of a blob.
    TiffEntry blobOffset(std::uint16_t tag, int blob) const {
        TiffEntry e = entry(tag, 4, 1, {});
        e.pointsToBlob = blob;
        return e;
    }
    // An entry with the given count whose 4-byte field is forced, whatever its type says.
    TiffEntry forced(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                     std::uint32_t field) const {
        TiffEntry e = entry(tag, type, count, {});
        e.field = field;
        return e;
    }

    // ifds[0] is IFD0; `firstIfd` forces the header's IFD0 offset.
    std::vector<std::uint8_t> build(const std::vector<TiffIfd>& ifds,
                                    const std::vector<std::vector<std::uint8_t>>& blobs = {},
                                    std::optional<std::uint32_t> firstIfd = {}) const {
        // Pass 1: where every directory and blob goes.
        std::vector<std::uint32_t> ifdAt, blobAt;
        std::uint32_t pos = 8;
        for (const TiffIfd& ifd : ifds) {
            ifdAt.push_back(pos);
            pos += 2 + 12 * static_cast<std::uint32_t>(ifd.entries.size()) + 4;
            for (const TiffEntry& e : ifd.entries)
                if (outOfLine(e)) pos += static_cast<std::uint32_t>(e.value.size());
        }
        for (const auto& blob : blobs) {
            blobAt.push_back(pos);
            pos += static_cast<std::uint32_t>(blob.size());
        }
        // Pass 2: write.
        std::vector<std::uint8_t> out;
        out.push_back(m_le ? 'I' : 'M');
        out.push_back(m_le ? 'I' : 'M');
        put(out, 42, 2);
        put(out, firstIfd.value_or(ifds.empty() ? 0 : ifdAt[0]), 4);
        for (std::size_t i = 0; i < ifds.size(); ++i) {
            const TiffIfd& ifd = ifds[i];
            std::uint32_t data =
                ifdAt[i] + 2 + 12 * static_cast<std::uint32_t>(ifd.entries.size()) + 4;
            std::vector<std::uint8_t> tail;
            put(out, static_cast<std::uint32_t>(ifd.entries.size()), 2);
            for (const TiffEntry& e : ifd.entries) {
                put(out, e.tag, 2);
                put(out, e.type, 2);
                put(out, e.count, 4);
                if (e.field) {
                    put(out, *e.field, 4);
                } else if (e.pointsToIfd >= 0) {
                    put(out, ifdAt[static_cast<std::size_t>(e.pointsToIfd)], 4);
                } else if (e.pointsToBlob >= 0) {
                    put(out, blobAt[static_cast<std::size_t>(e.pointsToBlob)], 4);
                } else if (outOfLine(e)) {
                    put(out, data, 4);
                    data += static_cast<std::uint32_t>(e.value.size());
                    tail.insert(tail.end(), e.value.begin(), e.value.end());
                } else {
                    std::vector<std::uint8_t> inl = e.value;
                    inl.resize(4, 0);
                    out.insert(out.end(), inl.begin(), inl.end());
                }
            }
            put(out, ifd.next >= 0 ? ifdAt[static_cast<std::size_t>(ifd.next)] : 0, 4);
            out.insert(out.end(), tail.begin(), tail.end());
        }
        for (const auto& blob : blobs) out.insert(out.end(), blob.begin(), blob.end());
        return out;
    }

    void put(std::vector<std::uint8_t>& out, std::uint64_t v, int n) const {
        for (int i = 0; i < n; ++i) {
            const int shift = m_le ? 8 * i : 8 * (n - 1 - i);
            out.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    }

private:
    static bool outOfLine(const TiffEntry& e) {
        return !e.field && e.pointsToIfd < 0 && e.pointsToBlob < 0 && e.value.size() > 4;
    }

    bool m_le;
};

// "Exif\0\0" followed by the TIFF structure: an APP1 payload.
inline std::vector<std::uint8_t> exifPayload(const std::vector<std::uint8_t>& tiff) {
    std::vector<std::uint8_t> out{'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), tiff.begin(), tiff.end());
    return out;
}

}  // namespace kalder::test
