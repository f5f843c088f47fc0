#pragma once

// PackBits (also called ByteRun1): a signed count byte n; n >= 0 copies the next n + 1 bytes,
// n in -127 ... -1 repeats the next byte 1 - n times, -128 does nothing.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "image/buffered_input.h"

namespace kalder::image {

// Decodes one packed row held in memory into dst (capacity `width` bytes). Output beyond the
// width is dropped; a code that announces more bytes than the source holds stops the row.
// Returns the number of bytes written (the rest of dst is left as it was).
inline std::size_t unpackBitsRow(std::span<const std::uint8_t> src, std::uint8_t* dst,
                                 std::size_t width) {
    std::size_t in = 0;
    std::size_t out = 0;
    const std::size_t size = src.size();
    while (in < size && out < width) {
        const auto n = static_cast<std::int8_t>(src[in++]);
        if (n >= 0) {
            const std::size_t count = static_cast<std::size_t>(n) + 1;
            const std::size_t avail = std::min(count, size - in);
            const std::size_t take = std::min(avail, width - out);
            std::memcpy(dst + out, src.data() + in, take);
            out += take;
            in += avail;
            if (avail < count) break;
        } else if (n != -128) {
            if (in >= size) break;
            const std::size_t count = static_cast<std::size_t>(1 - n);
            const std::size_t take = std::min(count, width - out);
            std::memset(dst + out, src[in++], take);
            out += take;
        }
    }
    return out;
}

// A PackBits stream read straight from the input whose runs may cross the end of a row (many
// writers pack a whole body as one stream). fill() produces exactly n bytes; a run that goes
// past them is carried over to the next call. A stream that ends early leaves the input failed.
class PackBitsStream {
public:
    explicit PackBitsStream(BufferedInput& input) : m_input(input) {}

    void reset() { m_literal = m_repeat = 0; }

    bool fill(std::uint8_t* dst, std::size_t n) {
        std::size_t out = 0;
        while (out < n) {
            if (m_literal > 0) {
                const std::size_t take = std::min(m_literal, n - out);
                if (!m_input.read(dst + out, take)) return false;
                out += take;
                m_literal -= take;
                continue;
            }
            if (m_repeat > 0) {
                const std::size_t take = std::min(m_repeat, n - out);
                std::memset(dst + out, m_value, take);
                out += take;
                m_repeat -= take;
                continue;
            }
            const auto code = static_cast<std::int8_t>(m_input.u8());
            if (!m_input.ok()) return false;
            if (code >= 0) {
                m_literal = static_cast<std::size_t>(code) + 1;
            } else if (code != -128) {
                m_repeat = static_cast<std::size_t>(1 - code);
                m_value = m_input.u8();
                if (!m_input.ok()) return false;
            }
        }
        return true;
    }

private:
    BufferedInput& m_input;
    std::size_t m_literal = 0;
    std::size_t m_repeat = 0;
    std::uint8_t m_value = 0;
};

}  // namespace kalder::image
