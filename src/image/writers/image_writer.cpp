#include "image/writers/image_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "image/sinks.h"

namespace kalder::image {

ImageWriter::ImageWriter() = default;

ImageWriter::~ImageWriter() { discard(); }

void ImageWriter::discard() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
    if (!m_tempPath.empty()) {
        std::error_code ec;
        std::filesystem::remove(m_tempPath, ec);
        m_tempPath.clear();
    }
}

Status ImageWriter::Open(const std::filesystem::path& target,
                         const std::vector<std::string>* comments, ProgressSink* progress) {
    discard();
    m_ok = true;
    m_target = target;
    m_comments = comments;
    m_progress = progress;
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    std::string pattern = (dir / ("." + target.filename().string() + ".kalder-XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return DecodeError::Io;
    m_tempPath = pattern;
    m_file = ::fdopen(fd, "w+b");
    if (!m_file) {
        ::close(fd);
        discard();
        return DecodeError::Io;
    }
    // mkstemp makes the file private: keep the target's permissions, or the usual ones for a new
    // file (reading umask would race with other threads).
    struct stat st {};
    ::fchmod(fd, ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    if (auto s = onOpen(); !s) {
        discard();
        return s;
    }
    return {};
}

Status ImageWriter::Close() {
    if (m_tempPath.empty()) return DecodeError::Io;
    Status s = onClose();
    if (s && m_file) {
        if (std::fflush(m_file) != 0 || (m_durable && ::fsync(::fileno(m_file)) != 0)) m_ok = false;
        if (std::fclose(m_file) != 0) m_ok = false;
        m_file = nullptr;
        if (!m_ok) s = DecodeError::Io;
    }
    if (s) {
        std::error_code ec;
        std::filesystem::rename(m_tempPath, m_target, ec);
        if (ec) {
            s = DecodeError::Io;
        } else {
            m_tempPath.clear();
        }
    }
    if (!s) discard();
    return s;
}

void ImageWriter::put(const void* data, std::size_t n) {
    if (!m_ok || !m_file) {
        m_ok = false;
        return;
    }
    if (std::fwrite(data, 1, n, m_file) != n) m_ok = false;
}

void ImageWriter::u8(std::uint32_t v) {
    const std::uint8_t b = static_cast<std::uint8_t>(v);
    put(&b, 1);
}
void ImageWriter::u16le(std::uint32_t v) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    put(b, 2);
}
void ImageWriter::u32le(std::uint32_t v) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 24)};
    put(b, 4);
}
void ImageWriter::u16be(std::uint32_t v) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    put(b, 2);
}
void ImageWriter::u32be(std::uint32_t v) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v >> 24),
                               static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    put(b, 4);
}

std::uint64_t ImageWriter::position() const {
    if (!m_file) return 0;
    const long p = std::ftell(m_file);
    return p < 0 ? 0 : static_cast<std::uint64_t>(p);
}

void ImageWriter::seek(std::uint64_t pos) {
    if (!m_file || std::fseek(m_file, static_cast<long>(pos), SEEK_SET) != 0) m_ok = false;
}

void ImageWriter::releaseStream() {
    if (m_file && std::fclose(m_file) != 0) m_ok = false;
    m_file = nullptr;
}

const std::vector<std::string>& ImageWriter::comments() const {
    static const std::vector<std::string> none;
    return m_comments ? *m_comments : none;
}

void ImageWriter::reportProgress(std::int64_t total, std::int64_t done) {
    if (m_progress) m_progress->Progress(total, done);
}

}  // namespace kalder::image
