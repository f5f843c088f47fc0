#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace kalder::image {

// Bounds-checked reads over a block already in memory. Reads past the end yield zeros and clear
// ok(); callers check ok() once per phase instead of after every field.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> data) : m_data(data) {}
    ByteReader(const std::uint8_t* data, std::size_t size) : m_data(data, size) {}

    bool ok() const { return m_ok; }
    std::size_t size() const { return m_data.size(); }
    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_pos < m_data.size() ? m_data.size() - m_pos : 0; }
    std::span<const std::uint8_t> data() const { return m_data; }

    void seek(std::size_t pos) {
        if (pos > m_data.size()) {
            m_ok = false;
            m_pos = m_data.size();
        } else {
            m_pos = pos;
        }
    }
    void skip(std::size_t n) {
        if (n > remaining()) {
            m_ok = false;
            m_pos = m_data.size();
        } else {
            m_pos += n;
        }
    }

    std::uint8_t u8() {
        if (m_pos >= m_data.size()) return fail<std::uint8_t>();
        return m_data[m_pos++];
    }
    std::uint16_t u16le() { return static_cast<std::uint16_t>(le(2)); }
    std::uint16_t u16be() { return static_cast<std::uint16_t>(be(2)); }
    std::uint32_t u32le() { return static_cast<std::uint32_t>(le(4)); }
    std::uint32_t u32be() { return static_cast<std::uint32_t>(be(4)); }
    std::uint64_t u64be() { return be(8); }
    std::int16_t s16le() { return static_cast<std::int16_t>(u16le()); }
    std::int32_t s32le() { return static_cast<std::int32_t>(u32le()); }

    // Copies n bytes, or zeros and !ok() when fewer remain.
    bool read(void* out, std::size_t n) {
        if (n > remaining()) {
            std::memset(out, 0, n);
            m_ok = false;
            m_pos = m_data.size();
            return false;
        }
        std::memcpy(out, m_data.data() + m_pos, n);
        m_pos += n;
        return true;
    }

    // A view of the next n bytes (empty and !ok() when fewer remain).
    std::span<const std::uint8_t> bytes(std::size_t n) {
        if (n > remaining()) {
            m_ok = false;
            m_pos = m_data.size();
            return {};
        }
        auto s = m_data.subspan(m_pos, n);
        m_pos += n;
        return s;
    }

private:
    template <typename T>
    T fail() {
        m_ok = false;
        return T{};
    }
    std::uint64_t le(int n) {
        if (static_cast<std::size_t>(n) > remaining()) {
            m_ok = false;
            m_pos = m_data.size();
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = (v << 8) | m_data[m_pos + i];
        m_pos += n;
        return v;
    }
    std::uint64_t be(int n) {
        if (static_cast<std::size_t>(n) > remaining()) {
            m_ok = false;
            m_pos = m_data.size();
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 8) | m_data[m_pos + i];
        m_pos += n;
        return v;
    }

    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

}  // namespace kalder::image
