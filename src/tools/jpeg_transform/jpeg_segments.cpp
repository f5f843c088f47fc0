#include "tools/jpeg_transform/jpeg_segments.h"

#include <algorithm>
#include <cstring>

#include "image/byte_reader.h"

namespace kalder::tools::jpeg {
namespace {

constexpr std::uint8_t kSoi = 0xD8;
constexpr std::uint8_t kEoi = 0xD9;
constexpr std::uint8_t kSos = 0xDA;
constexpr std::uint8_t kApp1 = 0xE1;

// SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
bool isFrameHeader(std::uint8_t m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool isProgressive(std::uint8_t m) { return m == 0xC2 || m == 0xC6 || m == 0xCA || m == 0xCE; }

// Markers without a length field.
bool isStandalone(std::uint8_t m) { return m == 0x01 || (m >= 0xD0 && m <= 0xD7); }

bool parseFrame(std::span<const std::uint8_t> payload, std::uint8_t marker, FrameInfo& out) {
    image::ByteReader r(payload);
    r.u8();  // sample precision
    out.height = r.u16be();
    out.width = r.u16be();
    out.components = r.u8();
    if (!r.ok() || out.width == 0 || out.height == 0 || out.components == 0) return false;
    for (int i = 0; i < out.components; ++i) {
        r.u8();
        const std::uint8_t factors = r.u8();
        r.u8();
        const int h = factors >> 4;
        const int v = factors & 0x0F;
        if (h < 1 || h > 4 || v < 1 || v > 4) return false;
        out.maxHorizontalSampling = std::max(out.maxHorizontalSampling, h);
        out.maxVerticalSampling = std::max(out.maxVerticalSampling, v);
    }
    out.progressive = isProgressive(marker);
    return r.ok();
}

}  // namespace

std::optional<std::size_t> findStreamStart(std::span<const std::uint8_t> file) {
    for (std::size_t at = 0; at <= kStreamSearchLast; at += kStreamSearchStep) {
        if (file.size() < 3 || at > file.size() - 3) break;
        if (file[at] == 0xFF && file[at + 1] == kSoi && file[at + 2] == 0xFF) return at;
    }
    return std::nullopt;
}

std::optional<StreamLayout> walkSegments(std::span<const std::uint8_t> stream) {
    if (stream.size() < 2 || stream[0] != 0xFF || stream[1] != kSoi) return std::nullopt;
    StreamLayout layout;
    bool haveFrame = false;
    std::size_t pos = 2;
    while (true) {
        if (pos >= stream.size() || stream[pos] != 0xFF) return std::nullopt;
        const std::size_t start = pos;
        // Any number of 0xFF fill bytes may precede the marker code.
        while (pos < stream.size() && stream[pos] == 0xFF) ++pos;
        if (pos >= stream.size()) return std::nullopt;
        const std::uint8_t marker = stream[pos++];
        if (marker == kEoi || marker == kSoi) return std::nullopt;
        if (isStandalone(marker)) continue;
        if (stream.size() - pos < 2) return std::nullopt;
        const std::size_t length = (std::size_t{stream[pos]} << 8) | stream[pos + 1];
        if (length < 2 || length > stream.size() - pos) return std::nullopt;
        Segment s;
        s.marker = marker;
        s.offset = start;
        s.payloadOffset = pos + 2;
        s.payloadSize = length - 2;
        s.size = pos + length - start;
        layout.segments.push_back(s);
        const auto payload = stream.subspan(s.payloadOffset, s.payloadSize);
        if (isFrameHeader(marker)) {
            if (haveFrame || !parseFrame(payload, marker, layout.frame)) return std::nullopt;
            haveFrame = true;
        }
        if (marker == kSos) break;
        pos += length;
    }
    if (!haveFrame) return std::nullopt;
    return layout;
}

const Segment* findExifSegment(const StreamLayout& layout, std::span<const std::uint8_t> stream) {
    for (const Segment& s : layout.segments) {
        if (s.marker != kApp1 || s.payloadSize < 6) continue;
        if (std::memcmp(stream.data() + s.payloadOffset, "Exif\0\0", 6) == 0) return &s;
    }
    return nullptr;
}

}  // namespace kalder::tools::jpeg
