#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kalder::image {

class BufferedInput;

// Variable-length LZW as GIF stores it: codes packed least-significant bit first into data
// sub-blocks, each preceded by its length byte, the last one followed by a zero length. The
// decoder hands out indexes in pieces of any size (one frame row at a time); a string that does
// not fit stays pending for the next call.
class GifLzwDecoder {
public:
    enum class State : std::uint8_t {
        Running,
        Ended,      // end code or terminator: no more indexes (not an error)
        Truncated,  // the file ended inside the data
        BadCode,    // a code beyond the next free code
    };

    // Starts a frame's data, right after the minimum code size byte (1 ... 11; literal codes above
    // 255 wrap to 8 bits).
    void start(BufferedInput& input, int minCodeSize);
    // Writes up to n indexes to out and returns how many were written; fewer than n only when
    // the state is no longer Running.
    std::size_t decode(std::uint8_t* out, std::size_t n);
    State state() const { return m_state; }
    // Skips what is left of the data through its terminator (stops early at the end of file).
    void finish();

private:
    static constexpr int kMaxCodes = 4096;

    // Next code from the bit stream, or -1 when the data ended (state updated).
    int nextCode();
    bool nextSubBlock();
    void resetTable();

    BufferedInput* m_input = nullptr;
    State m_state = State::Ended;
    int m_minCodeSize = 2;
    int m_codeSize = 3;
    int m_clearCode = 4;
    int m_endCode = 5;
    int m_nextFree = 6;
    int m_codeLimit = 8;
    int m_previous = -1;  // -1: the next code starts a new string

    std::uint32_t m_bits = 0;  // bit buffer, least significant bits first
    int m_bitCount = 0;
    std::array<std::uint8_t, 255> m_block{};
    std::size_t m_blockPos = 0;
    std::size_t m_blockLen = 0;
    bool m_terminatorSeen = false;  // the zero-length sub-block was consumed
    bool m_eofInBlock = false;      // the last sub-block was cut short by the end of file

    std::array<std::uint16_t, kMaxCodes> m_prefix{};
    std::array<std::uint8_t, kMaxCodes> m_suffix{};
    std::array<std::uint8_t, kMaxCodes> m_first{};
    std::array<std::uint16_t, kMaxCodes> m_length{};

    // Tail of a string that did not fit into the last request: m_pending[m_pendingPos, end).
    std::array<std::uint8_t, kMaxCodes + 1> m_pending{};
    std::size_t m_pendingPos = kMaxCodes + 1;
};

}  // namespace kalder::image
