#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalder::image {

// GIF's variable-length LZW, fed a frame's indexes in pieces. Strings are found through an
// open-addressing hash table of 9973 entries; codes grow to 12 bits and a clear code starts a
// fresh table once all 4096 codes are used.
class GifLzwEncoder {
public:
    // `minCodeSize` 2..8; the output is the plain code stream, not yet cut into sub-blocks.
    void begin(int minCodeSize, std::vector<std::uint8_t>& out);
    void add(const std::uint8_t* indexes, std::size_t n);
    // Flushes the pending string, the end code and the last partial byte.
    void finish();

private:
    static constexpr int kHashSize = 9973;
    static constexpr int kMaxCodes = 4096;

    void emit(std::uint32_t code);
    void resetTable();

    std::vector<std::uint8_t>* m_out = nullptr;
    std::array<std::int32_t, kHashSize> m_keys{};  // (suffix << 12 | prefix), -1 free
    std::array<std::uint16_t, kHashSize> m_codes{};
    int m_minCodeSize = 8;
    int m_codeSize = 9;
    std::uint32_t m_clearCode = 256;
    std::uint32_t m_nextCode = 258;
    std::uint32_t m_indexMask = 255;
    std::int32_t m_prefix = -1;  // -1: no string pending
    std::uint64_t m_bits = 0;
    int m_bitCount = 0;
};

}  // namespace kalder::image
