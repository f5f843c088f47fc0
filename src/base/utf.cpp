#include "base/utf.h"

#include "base/byte_order.h"

namespace kalder::base {

void appendUtf8(std::string& out, char32_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacementCharacter;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

namespace {

std::u32string decodeUtf16(std::span<const std::uint8_t> bytes, bool bigEndian) {
    const auto load = [&](std::size_t at) -> char32_t {
        return bigEndian ? loadU16be(bytes.data() + at) : loadU16le(bytes.data() + at);
    };
    std::u32string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char32_t unit = load(i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = load(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                out += 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
                continue;
            }
        }
        out += (unit >= 0xD800 && unit < 0xE000) ? kReplacementCharacter : unit;
    }
    return out;
}

std::string toUtf8(const std::u32string& text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) appendUtf8(out, c);
    return out;
}

}  // namespace

std::u32string decodeUtf16le(std::span<const std::uint8_t> bytes) {
    return decodeUtf16(bytes, false);
}
std::string utf16leToUtf8(std::span<const std::uint8_t> bytes) {
    return toUtf8(decodeUtf16(bytes, false));
}
std::u32string decodeUtf16be(std::span<const std::uint8_t> bytes) {
    return decodeUtf16(bytes, true);
}
std::string utf16beToUtf8(std::span<const std::uint8_t> bytes) {
    return toUtf8(decodeUtf16(bytes, true));
}

std::string toValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        if (lead < 0x80) {
            out += text[i++];
            continue;
        }
        // The length the lead byte announces and the range its first continuation byte must
        // lie in (narrower after E0, ED, F0 and F4, which rules out overlong forms, surrogates
        // and values past U+10FFFF).
        std::size_t length = 0;
        std::uint8_t low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        }
        std::size_t good = length == 0 ? 0 : 1;
        while (good > 0 && good < length && i + good < text.size()) {
            const auto next = static_cast<std::uint8_t>(text[i + good]);
            if (next < (good == 1 ? low : 0x80) || next > (good == 1 ? high : 0xBF)) break;
            ++good;
        }
        if (length != 0 && good == length) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            appendUtf8(out, kReplacementCharacter);
            i += good == 0 ? 1 : good;
        }
    }
    return out;
}

}  // namespace kalder::base
