#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kalder::base {

// Unsigned values stored little- or big-endian at `p`; the caller has checked the bytes are there.
constexpr std::uint16_t loadU16le(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
constexpr std::uint16_t loadU16be(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}
constexpr std::uint32_t loadU32le(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
constexpr std::uint32_t loadU32be(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

// Whether `n` bytes from `offset` lie inside `bytes`, for any offset and length a hostile file
// may state (no overflow).
constexpr bool fits(std::span<const std::uint8_t> bytes, std::uint64_t offset, std::uint64_t n) {
    return offset <= bytes.size() && n <= bytes.size() - offset;
}

// The value at `offset` in `bytes`, or zero when it does not lie wholly inside.
constexpr std::uint16_t u16leAt(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    return fits(bytes, offset, 2) ? loadU16le(bytes.data() + offset) : 0;
}
constexpr std::uint16_t u16beAt(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    return fits(bytes, offset, 2) ? loadU16be(bytes.data() + offset) : 0;
}
constexpr std::uint32_t u32leAt(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    return fits(bytes, offset, 4) ? loadU32le(bytes.data() + offset) : 0;
}
constexpr std::uint32_t u32beAt(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    return fits(bytes, offset, 4) ? loadU32be(bytes.data() + offset) : 0;
}

// A four-character code as a file stores it, read big-endian ("FORM", "jp2h", "8BPS") or
// little-endian ("RIFF" chunks).
constexpr std::uint32_t fourCcBe(const char (&s)[5]) {
    return std::uint32_t{static_cast<std::uint8_t>(s[0])} << 24 |
           std::uint32_t{static_cast<std::uint8_t>(s[1])} << 16 |
           std::uint32_t{static_cast<std::uint8_t>(s[2])} << 8 |
           std::uint32_t{static_cast<std::uint8_t>(s[3])};
}
constexpr std::uint32_t fourCcLe(const char (&s)[5]) {
    return std::uint32_t{static_cast<std::uint8_t>(s[0])} |
           std::uint32_t{static_cast<std::uint8_t>(s[1])} << 8 |
           std::uint32_t{static_cast<std::uint8_t>(s[2])} << 16 |
           std::uint32_t{static_cast<std::uint8_t>(s[3])} << 24;
}

}  // namespace kalder::base
