#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "image/result.h"

namespace kalder::image {

// The byte source every hand-written reader uses: a file (read through a 64 KiB buffer, with a
// sequential-scan hint) or a block of memory. Reads past the end yield zeros and clear ok(); the
// failure is sticky, so a reader checks ok() once per row or phase and reports error().
class BufferedInput {
public:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    BufferedInput();
    ~BufferedInput();
    BufferedInput(const BufferedInput&) = delete;
    BufferedInput& operator=(const BufferedInput&) = delete;

    Status openFile(const std::filesystem::path& path);
    // Reads from a block the caller keeps alive for the input's lifetime.
    void openMemory(std::span<const std::uint8_t> bytes);
    // Reads from a block the input owns.
    void openMemory(std::vector<std::uint8_t> bytes);
    void close();
    bool isOpen() const;

    bool ok() const { return m_ok; }
    DecodeError error() const { return m_error; }
    // Marks the input failed with a reader's own reason (kept only if nothing failed before).
    void fail(DecodeError error);
    // Returns the sticky state as a Status.
    Status status() const { return m_ok ? Status{} : Status{m_error}; }

    // Total size of the source in bytes.
    std::uint64_t size() const { return m_size; }
    // Bytes consumed since the start.
    std::uint64_t position() const { return m_bufferStart + m_pos; }
    std::uint64_t remaining() const { return m_size - position(); }
    bool atEnd() const { return position() >= m_size; }

    void rewind() { seek(0); }
    // Moves to an absolute position; past the end fails.
    void seek(std::uint64_t pos);
    void skip(std::uint64_t n);

    // Exactly n bytes, or zeros for what is missing and !ok().
    bool read(void* out, std::size_t n);
    // Up to n bytes; returns how many were read (0 at the end). Never fails the input.
    std::size_t readUpTo(void* out, std::size_t n);

    std::uint8_t u8() {
        if (m_pos < m_fill) return m_buffer[m_pos++];
        return slowU8();
    }
    std::uint16_t u16le();
    std::uint16_t u16be();
    std::uint32_t u32le();
    std::uint32_t u32be();

    // The whole remaining source as bytes (small files: headers, chunks). Fails for more than max.
    std::vector<std::uint8_t> readAll(std::size_t max);

private:
    std::uint8_t slowU8();
    bool refill();

    int m_fd = -1;
    std::vector<std::uint8_t> m_owned;
    const std::uint8_t* m_buffer = nullptr;  // file buffer or the memory block
    std::unique_ptr<std::uint8_t[]> m_fileBuffer;
    std::size_t m_pos = 0;            // index into m_buffer
    std::size_t m_fill = 0;           // valid bytes in m_buffer
    std::uint64_t m_bufferStart = 0;  // file offset of m_buffer[0]
    std::uint64_t m_size = 0;
    bool m_memory = false;
    bool m_ok = true;
    DecodeError m_error = DecodeError::Truncated;
};

}  // namespace kalder::image
