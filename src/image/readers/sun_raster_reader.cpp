#include "image/readers/sun_raster_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/byte_reader.h"
#include "image/checked.h"
#include "image/readers/raster_common_p.h"
#include "image/readers/reader_factory.h"

namespace kalder::image {
namespace {

constexpr std::uint32_t kMagic = 0x59A66A95;
constexpr std::size_t kHeaderSize = 32;

enum RasterType : std::uint32_t { kOld = 0, kStandard = 1, kByteEncoded = 2, kRgbOrder = 3 };

// The byte that introduces a run in byte-encoded files.
constexpr std::uint8_t kEscape = 0x80;

struct SunHeader {
    std::uint32_t magic = 0, width = 0, height = 0, depth = 0, length = 0, type = 0, mapType = 0,
                  mapLength = 0;
};

SunHeader parseHeader(ByteReader& r) {
    SunHeader h;
    h.magic = r.u32be();
    h.width = r.u32be();
    h.height = r.u32be();
    h.depth = r.u32be();
    h.length = r.u32be();
    h.type = r.u32be();
    h.mapType = r.u32be();
    h.mapLength = r.u32be();
    return h;
}

}  // namespace

Status SunRasterReader::ReadHeader() {
    if (m_failed) return m_error;
    std::uint8_t bytes[kHeaderSize];
    if (!m_input.read(bytes, sizeof bytes)) return fail(DecodeError::Truncated);
    ByteReader r(bytes, sizeof bytes);
    const SunHeader h = parseHeader(r);

    if (h.magic != kMagic) return fail(DecodeError::BadSignature);
    if (h.type > kRgbOrder) return fail(DecodeError::Unsupported);
    if (h.depth != 1 && h.depth != 8 && h.depth != 24) return fail(DecodeError::Unsupported);
    if (h.mapType > 1) return fail(DecodeError::Unsupported);
    if (!validImageSide(h.width) || !validImageSide(h.height)) return fail(DecodeError::Corrupt);
    m_width = static_cast<std::int32_t>(h.width);
    m_height = static_cast<std::int32_t>(h.height);
    m_depth = h.depth;
    m_type = h.type;

    if (h.mapType == 1 && h.mapLength > 0 && h.depth <= 8) {
        // All reds, then all greens, then all blues; shorter maps leave the rest black.
        if (h.mapLength % 3 != 0 || h.mapLength > 768) return fail(DecodeError::Corrupt);
        const std::size_t entries = h.mapLength / 3;
        std::uint8_t map[768];
        m_input.read(map, h.mapLength);
        for (std::size_t i = 0; i < entries; ++i) {
            m_palette[i * 3] = map[i];
            m_palette[i * 3 + 1] = map[entries + i];
            m_palette[i * 3 + 2] = map[2 * entries + i];
        }
        m_hasPalette = true;
    } else {
        m_input.skip(h.mapLength);
        if (h.depth == 1) {
            raster::fillBlackWhite(m_palette, false);  // a set bit is black
            m_hasPalette = true;
        } else if (h.depth == 8) {
            raster::fillGrayRamp(m_palette);
            m_hasPalette = true;
        }
    }
    if (!m_input.ok()) return fail(m_input.error());
    return {};
}

bool SunRasterReader::GetPalette(Palette& palette) const {
    if (m_hasPalette) palette = m_palette;
    return true;
}

Result<std::uint32_t> SunRasterReader::BeginDecode() {
    if (m_failed) return m_error;
    if (m_width <= 0) return fail(DecodeError::Corrupt);
    // Rows are padded to a multiple of 16 bits.
    const std::size_t rowBits = static_cast<std::size_t>(m_width) * m_depth;
    m_raw.assign((rowBits + 15) / 16 * 2, 0);
    m_row = 0;
    m_runLeft = 0;
    return 0u;
}

Status SunRasterReader::readEncodedRow() {
    std::uint8_t* raw = m_raw.data();
    const std::size_t n = m_raw.size();
    std::size_t i = 0;
    while (i < n) {
        if (m_runLeft > 0) {
            const std::size_t take = std::min<std::size_t>(m_runLeft, n - i);
            std::memset(raw + i, m_runValue, take);
            i += take;
            m_runLeft -= static_cast<std::uint32_t>(take);
            continue;
        }
        const std::uint8_t b = m_input.u8();
        if (b != kEscape) {
            raw[i++] = b;
        } else {
            // 80 00 is a single 80; 80 n v is n + 1 copies of v.
            const std::uint8_t count = m_input.u8();
            if (count == 0) {
                raw[i++] = kEscape;
            } else {
                m_runLeft = count + 1u;
                m_runValue = m_input.u8();
            }
        }
        if (!m_input.ok()) return fail(m_input.error());
    }
    if (!m_input.ok()) return fail(m_input.error());
    return {};
}

Status SunRasterReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (m_raw.empty() || m_row >= m_height) return fail(DecodeError::Corrupt);
    if (m_type == kByteEncoded) {
        KALDER_TRY(readEncodedRow());
    } else if (skip) {
        m_input.skip(m_raw.size());
        if (!m_input.ok()) return fail(m_input.error());
    } else if (!m_input.read(m_raw.data(), m_raw.size())) {
        return fail(m_input.error());
    }
    if (!skip) {
        const std::uint8_t* raw = m_raw.data();
        if (m_depth <= 8) {
            raster::expandIndexed(raw, static_cast<int>(m_depth), m_width, m_palette, out);
        } else if (m_type == kRgbOrder) {
            std::memcpy(out, raw, static_cast<std::size_t>(m_width) * 3);
        } else {
            for (std::int32_t x = 0; x < m_width; ++x) {
                out[x * 3] = raw[x * 3 + 2];
                out[x * 3 + 1] = raw[x * 3 + 1];
                out[x * 3 + 2] = raw[x * 3];
            }
        }
    }
    ++m_row;
    return rowDelivered(m_height, m_row);
}

std::unique_ptr<ImageReader> makeSunRasterReader() { return std::make_unique<SunRasterReader>(); }

}  // namespace kalder::image
