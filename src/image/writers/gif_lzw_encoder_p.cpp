#include "image/writers/gif_lzw_encoder_p.h"

#include <algorithm>

namespace kalder::image {

void GifLzwEncoder::begin(int minCodeSize, std::vector<std::uint8_t>& out) {
    m_out = &out;
    m_minCodeSize = std::clamp(minCodeSize, 2, 8);
    m_clearCode = 1u << m_minCodeSize;
    m_indexMask = m_clearCode - 1;
    m_prefix = -1;
    m_bits = 0;
    m_bitCount = 0;
    resetTable();
    // Every stream starts with a clear code, as decoders expect.
    emit(m_clearCode);
}

void GifLzwEncoder::resetTable() {
    m_keys.fill(-1);
    m_codeSize = m_minCodeSize + 1;
    m_nextCode = m_clearCode + 2;
}

void GifLzwEncoder::emit(std::uint32_t code) {
    m_bits |= static_cast<std::uint64_t>(code) << m_bitCount;
    m_bitCount += m_codeSize;
    while (m_bitCount >= 8) {
        m_out->push_back(static_cast<std::uint8_t>(m_bits));
        m_bits >>= 8;
        m_bitCount -= 8;
    }
}

void GifLzwEncoder::add(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    std::int32_t prefix = m_prefix;
    if (prefix < 0) {
        if (n == 0) return;
        prefix = p[0] & m_indexMask;
        i = 1;
    }
    for (; i < n; ++i) {
        const std::uint32_t c = p[i] & m_indexMask;
        const std::int32_t key =
            static_cast<std::int32_t>((c << 12) | static_cast<std::uint32_t>(prefix));
        int h = static_cast<int>((c << 5) ^ static_cast<std::uint32_t>(prefix));
        const int step = h == 0 ? 1 : kHashSize - h;
        bool found = false;
        while (m_keys[h] >= 0) {
            if (m_keys[h] == key) {
                found = true;
                break;
            }
            h -= step;
            if (h < 0) h += kHashSize;
        }
        if (found) {
            prefix = m_codes[h];
            continue;
        }
        emit(static_cast<std::uint32_t>(prefix));
        // The decoder adds its entry one code later; growing the code size once the code just
        // added reaches the current limit keeps both sides in step.
        m_keys[h] = key;
        m_codes[h] = static_cast<std::uint16_t>(m_nextCode);
        ++m_nextCode;
        if (m_nextCode > (1u << m_codeSize) && m_codeSize < 12) ++m_codeSize;
        if (m_nextCode >= kMaxCodes) {
            emit(m_clearCode);
            resetTable();
        }
        prefix = static_cast<std::int32_t>(c);
    }
    m_prefix = prefix;
}

void GifLzwEncoder::finish() {
    if (m_prefix >= 0) {
        emit(static_cast<std::uint32_t>(m_prefix));
        // The decoder adds an entry for this code too; follow its code size.
        if (m_nextCode < kMaxCodes) {
            ++m_nextCode;
            if (m_nextCode > (1u << m_codeSize) && m_codeSize < 12) ++m_codeSize;
        }
    }
    emit(m_clearCode + 1);
    if (m_bitCount > 0) m_out->push_back(static_cast<std::uint8_t>(m_bits));
    m_bits = 0;
    m_bitCount = 0;
    m_prefix = -1;
}

}  // namespace kalder::image
