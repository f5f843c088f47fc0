#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kalder::base {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Appends one character as UTF-8; a surrogate or a value past U+10FFFF becomes U+FFFD, so the
// output is always valid UTF-8.
void appendUtf8(std::string& out, char32_t c);

// UTF-16 little-endian bytes (an odd last byte is ignored) as characters or as UTF-8. A surrogate
// without its partner becomes U+FFFD.
std::u32string decodeUtf16le(std::span<const std::uint8_t> bytes);
std::string utf16leToUtf8(std::span<const std::uint8_t> bytes);
// The same for big-endian units, as Photoshop and Mac formats store them.
std::u32string decodeUtf16be(std::span<const std::uint8_t> bytes);
std::string utf16beToUtf8(std::span<const std::uint8_t> bytes);

// `text` with every byte sequence that is not UTF-8 (stray continuation bytes, overlong forms,
// surrogates, values past U+10FFFF, a sequence cut short) replaced by U+FFFD, one per maximal
// bad subpart as Unicode recommends.
std::string toValidUtf8(std::string_view text);

}  // namespace kalder::base
