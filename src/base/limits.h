#pragma once

#include <cstddef>
#include <cstdint>

// Ceilings shared across layers, so that a picture one part accepts the next does not refuse.
// Limits that belong to a single format or protocol stay beside their code.
namespace kalder::base {

// The widest or tallest picture we decode, create or write: signed 16-bit coordinates everywhere
// downstream (GDI-style rectangles, the settings file, the formats we write) hold it.
inline constexpr std::int32_t kMaxImageSide = 32767;
// Sides stored as unsigned 16-bit fields by scanners and page layouts.
inline constexpr std::int32_t kMaxUnsigned16Side = 65535;

// Pixels a full decode through a library may allocate, and a thumbnail-sized one.
inline constexpr std::uint64_t kMaxDecodePixels = std::uint64_t{1} << 28;
inline constexpr std::uint64_t kMaxThumbnailDecodePixels = std::uint64_t{1} << 26;

// One buffer sized from what a file or device says (a strip, a frame, a whole compressed file).
inline constexpr std::size_t kMaxBufferBytes = std::size_t{1} << 30;
// Files read whole that hold settings or a colour profile: real ones are far smaller.
inline constexpr std::size_t kMaxDataFileBytes = std::size_t{64} << 20;
// Text a file carries beside its pixels (comments, descriptions).
inline constexpr std::size_t kMaxTextBytes = std::size_t{64} << 10;

}  // namespace kalder::base
