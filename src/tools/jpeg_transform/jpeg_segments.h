#pragma once

// The outer structure of a JPEG file as the lossless tools need it: where the stream starts,
// which segments precede the first scan, and the frame's size and sampling.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kalder::tools::jpeg {

// Files may carry a header of their own before the stream; it is looked for at these offsets.
inline constexpr std::size_t kStreamSearchStep = 128;
inline constexpr std::size_t kStreamSearchLast = 896;

// Offset of FF D8 FF at 0, 128, ..., 896; nullopt when there is none.
std::optional<std::size_t> findStreamStart(std::span<const std::uint8_t> file);

struct Segment {
    std::uint8_t marker = 0;
    std::size_t offset = 0;  // of the 0xFF that starts the marker
    std::size_t size = 0;    // marker, length field and payload
    std::size_t payloadOffset = 0;
    std::size_t payloadSize = 0;
};

struct FrameInfo {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int components = 0;
    int maxHorizontalSampling = 1;
    int maxVerticalSampling = 1;
    bool progressive = false;
    // Pixels of one MCU; a single component is coded in 8x8 blocks whatever it declares.
    std::uint32_t mcuWidth() const { return components == 1 ? 8u : 8u * maxHorizontalSampling; }
    std::uint32_t mcuHeight() const { return components == 1 ? 8u : 8u * maxVerticalSampling; }
};

struct StreamLayout {
    std::vector<Segment> segments;  // from the first after SOI up to and including SOS
    FrameInfo frame;
};

// Walks the segments of a stream that starts with SOI. nullopt when a length runs past the end,
// a marker is malformed, or no frame header comes before the first scan.
std::optional<StreamLayout> walkSegments(std::span<const std::uint8_t> stream);

// The first APP1 segment whose payload starts with "Exif\0\0".
const Segment* findExifSegment(const StreamLayout& layout, std::span<const std::uint8_t> stream);

}  // namespace kalder::tools::jpeg
