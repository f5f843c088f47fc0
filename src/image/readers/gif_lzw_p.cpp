#include "image/readers/gif_lzw_p.h"

#include <algorithm>
#include <cstring>

#include "image/buffered_input.h"

namespace kalder::image {

void GifLzwDecoder::start(BufferedInput& input, int minCodeSize) {
    m_input = &input;
    m_state = State::Running;
    m_minCodeSize = minCodeSize;
    m_clearCode = 1 << minCodeSize;
    m_endCode = m_clearCode + 1;
    m_bits = 0;
    m_bitCount = 0;
    m_blockPos = m_blockLen = 0;
    m_terminatorSeen = false;
    m_eofInBlock = false;
    m_pendingPos = m_pending.size();
    for (int c = 0; c < m_clearCode && c < kMaxCodes; ++c) {
        m_first[c] = static_cast<std::uint8_t>(c);
        m_suffix[c] = static_cast<std::uint8_t>(c);
        m_length[c] = 1;
    }
    resetTable();
}

void GifLzwDecoder::resetTable() {
    m_codeSize = m_minCodeSize + 1;
    m_codeLimit = 1 << m_codeSize;
    m_nextFree = m_clearCode + 2;
    m_previous = -1;
}

bool GifLzwDecoder::nextSubBlock() {
    if (m_terminatorSeen || m_eofInBlock) {
        if (m_eofInBlock)
            m_state = State::Truncated;
        else
            m_state = State::Ended;
        return false;
    }
    std::uint8_t length = 0;
    if (m_input->readUpTo(&length, 1) != 1) {
        m_state = State::Truncated;
        return false;
    }
    if (length == 0) {
        m_terminatorSeen = true;
        m_state = State::Ended;
        return false;
    }
    m_blockLen = m_input->readUpTo(m_block.data(), length);
    m_blockPos = 0;
    if (m_blockLen < length) m_eofInBlock = true;
    if (m_blockLen == 0) {
        m_state = State::Truncated;
        return false;
    }
    return true;
}

int GifLzwDecoder::nextCode() {
    while (m_bitCount < m_codeSize) {
        if (m_blockPos >= m_blockLen && !nextSubBlock()) return -1;
        m_bits |= static_cast<std::uint32_t>(m_block[m_blockPos++]) << m_bitCount;
        m_bitCount += 8;
    }
    const int code = static_cast<int>(m_bits & ((1u << m_codeSize) - 1));
    m_bits >>= m_codeSize;
    m_bitCount -= m_codeSize;
    return code;
}

std::size_t GifLzwDecoder::decode(std::uint8_t* out, std::size_t n) {
    std::size_t done = 0;
    // What is left of the last string comes first.
    if (m_pendingPos < m_pending.size()) {
        const std::size_t take = std::min(n, m_pending.size() - m_pendingPos);
        std::memcpy(out, m_pending.data() + m_pendingPos, take);
        m_pendingPos += take;
        done = take;
    }
    while (done < n && m_state == State::Running) {
        int code = nextCode();
        if (code < 0) break;
        if (code == m_clearCode) {
            resetTable();
            continue;
        }
        if (code == m_endCode) {
            m_state = State::Ended;
            break;
        }
        if (m_previous < 0) {
            // The first string after a clear (or of the data) must be a literal.
            if (code >= m_nextFree) code = 0;
        } else {
            if (code > m_nextFree) {
                m_state = State::BadCode;
                break;
            }
            if (m_nextFree < kMaxCodes) {
                // code == m_nextFree: the previous string followed by its own first character.
                const std::uint8_t first = code == m_nextFree ? m_first[m_previous] : m_first[code];
                m_prefix[m_nextFree] = static_cast<std::uint16_t>(m_previous);
                m_suffix[m_nextFree] = first;
                m_first[m_nextFree] = m_first[m_previous];
                m_length[m_nextFree] = static_cast<std::uint16_t>(m_length[m_previous] + 1);
                ++m_nextFree;
            }
        }
        m_previous = code;
        // Also reached by the first code when the minimum code size is 1.
        if (m_nextFree >= m_codeLimit && m_codeSize < 12) {
            ++m_codeSize;
            m_codeLimit <<= 1;
        }

        const std::size_t length = m_length[code];
        std::uint8_t* end;
        const bool fits = length <= n - done;
        if (fits) {
            end = out + done + length;
        } else {
            end = m_pending.data() + m_pending.size();
        }
        std::uint8_t* p = end;
        int k = code;
        while (k > m_endCode) {
            *--p = m_suffix[k];
            k = m_prefix[k];
        }
        *--p = static_cast<std::uint8_t>(k);
        if (fits) {
            done += length;
        } else {
            const std::size_t take = n - done;
            std::memcpy(out + done, p, take);
            m_pendingPos = static_cast<std::size_t>(p - m_pending.data()) + take;
            done = n;
        }
    }
    return done;
}

void GifLzwDecoder::finish() {
    if (!m_input) return;
    m_pendingPos = m_pending.size();
    if (!m_terminatorSeen && !m_eofInBlock) {
        // Skip the rest of the current sub-block (already buffered) and the ones after it.
        for (;;) {
            std::uint8_t length = 0;
            if (m_input->readUpTo(&length, 1) != 1 || length == 0) break;
            if (m_input->remaining() < length) {
                m_input->seek(m_input->size());
                break;
            }
            m_input->skip(length);
        }
    }
    m_terminatorSeen = true;
    if (m_state == State::Running) m_state = State::Ended;
}

}  // namespace kalder::image
