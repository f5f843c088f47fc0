#include "image/buffered_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/byte_order.h"

namespace kalder::image {

BufferedInput::BufferedInput() = default;

BufferedInput::~BufferedInput() { close(); }

void BufferedInput::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_owned.clear();
    m_buffer = nullptr;
    m_pos = m_fill = 0;
    m_bufferStart = m_size = 0;
    m_memory = false;
    m_ok = true;
    m_error = DecodeError::Truncated;
}

bool BufferedInput::isOpen() const { return m_fd >= 0 || m_memory; }

Status BufferedInput::openFile(const std::filesystem::path& path) {
    close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return DecodeError::Io;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return DecodeError::Io;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    if (!m_fileBuffer) m_fileBuffer = std::make_unique<std::uint8_t[]>(kBufferSize);
    m_fd = fd;
    m_buffer = m_fileBuffer.get();
    m_size = static_cast<std::uint64_t>(st.st_size);
    return {};
}

void BufferedInput::openMemory(std::span<const std::uint8_t> bytes) {
    close();
    m_memory = true;
    m_buffer = bytes.data();
    m_fill = bytes.size();
    m_size = bytes.size();
}

void BufferedInput::openMemory(std::vector<std::uint8_t> bytes) {
    close();
    m_owned = std::move(bytes);
    m_memory = true;
    m_buffer = m_owned.data();
    m_fill = m_owned.size();
    m_size = m_owned.size();
}

void BufferedInput::fail(DecodeError error) {
    if (m_ok) m_error = error;
    m_ok = false;
}

bool BufferedInput::refill() {
    if (m_memory || m_fd < 0) return false;
    m_bufferStart += m_fill;
    m_pos = m_fill = 0;
    if (m_bufferStart >= m_size) return false;
    for (;;) {
        ssize_t n =
            ::pread(m_fd, m_fileBuffer.get(), kBufferSize, static_cast<off_t>(m_bufferStart));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            fail(DecodeError::Io);
            return false;
        }
        m_fill = static_cast<std::size_t>(n);
        return n > 0;
    }
}

void BufferedInput::seek(std::uint64_t pos) {
    if (pos > m_size) {
        fail(DecodeError::Truncated);
        pos = m_size;
    }
    if (m_memory) {
        m_pos = static_cast<std::size_t>(pos);
        return;
    }
    if (pos >= m_bufferStart && pos <= m_bufferStart + m_fill) {
        m_pos = static_cast<std::size_t>(pos - m_bufferStart);
        return;
    }
    // Outside the buffer: the next read fetches from the new place.
    m_bufferStart = pos;
    m_pos = m_fill = 0;
}

void BufferedInput::skip(std::uint64_t n) {
    std::uint64_t pos = position();
    if (n > m_size - pos) {
        seek(m_size);
        fail(DecodeError::Truncated);
        return;
    }
    seek(pos + n);
}

std::size_t BufferedInput::readUpTo(void* out, std::size_t n) {
    auto* dst = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < n) {
        if (m_pos >= m_fill) {
            // Large reads bypass the buffer.
            if (!m_memory && m_fd >= 0 && n - done >= kBufferSize) {
                m_bufferStart += m_fill;
                m_pos = m_fill = 0;
                ssize_t got =
                    ::pread(m_fd, dst + done, n - done, static_cast<off_t>(m_bufferStart));
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) {
                    if (got < 0) fail(DecodeError::Io);
                    break;
                }
                m_bufferStart += static_cast<std::uint64_t>(got);
                done += static_cast<std::size_t>(got);
                continue;
            }
            if (!refill()) break;
        }
        std::size_t take = std::min(n - done, m_fill - m_pos);
        std::memcpy(dst + done, m_buffer + m_pos, take);
        m_pos += take;
        done += take;
    }
    return done;
}

bool BufferedInput::read(void* out, std::size_t n) {
    if (!m_ok) {
        std::memset(out, 0, n);
        return false;
    }
    std::size_t got = readUpTo(out, n);
    if (got < n) {
        std::memset(static_cast<std::uint8_t*>(out) + got, 0, n - got);
        fail(DecodeError::Truncated);
        return false;
    }
    return true;
}

std::uint8_t BufferedInput::slowU8() {
    if (m_ok && refill()) return m_buffer[m_pos++];
    fail(DecodeError::Truncated);
    return 0;
}

std::uint16_t BufferedInput::u16le() {
    std::uint8_t b[2];
    read(b, 2);
    return base::loadU16le(b);
}

std::uint16_t BufferedInput::u16be() {
    std::uint8_t b[2];
    read(b, 2);
    return base::loadU16be(b);
}

std::uint32_t BufferedInput::u32le() {
    std::uint8_t b[4];
    read(b, 4);
    return base::loadU32le(b);
}

std::uint32_t BufferedInput::u32be() {
    std::uint8_t b[4];
    read(b, 4);
    return base::loadU32be(b);
}

std::vector<std::uint8_t> BufferedInput::readAll(std::size_t max) {
    std::uint64_t rest = remaining();
    if (rest > max) {
        fail(DecodeError::TooLarge);
        return {};
    }
    std::vector<std::uint8_t> out(static_cast<std::size_t>(rest));
    read(out.data(), out.size());
    return out;
}

}  // namespace kalder::image
