#include "image/readers/pcx_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/byte_reader.h"
#include "image/checked.h"
#include "image/readers/raster_common_p.h"
#include "image/readers/reader_factory.h"

namespace kalder::image {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kTrailingPaletteSize = 768;

struct PcxHeader {
    std::uint8_t manufacturer = 0;
    std::uint8_t version = 0;
    std::uint8_t encoding = 0;
    std::uint8_t bits = 0;
    std::uint16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::uint8_t palette16[48] = {};
    std::uint8_t planes = 0;
    std::uint16_t bytesPerLine = 0;
};

PcxHeader parseHeader(ByteReader& r) {
    PcxHeader h;
    h.manufacturer = r.u8();
    h.version = r.u8();
    h.encoding = r.u8();
    h.bits = r.u8();
    h.xMin = r.u16le();
    h.yMin = r.u16le();
    h.xMax = r.u16le();
    h.yMax = r.u16le();
    r.skip(4);  // resolution
    r.read(h.palette16, sizeof h.palette16);
    r.skip(1);
    h.planes = r.u8();
    h.bytesPerLine = r.u16le();
    return h;
}

bool layoutSupported(std::uint8_t bits, std::uint8_t planes) {
    if (bits == 1) return planes >= 1 && planes <= 4;  // 2 to 16 colours as bit planes
    if (bits == 4) return planes == 1;
    if (bits == 8) return planes == 1 || planes == 3 || planes == 4;
    return false;
}

}  // namespace

Status PcxReader::ReadHeader() {
    if (m_failed) return m_error;
    std::uint8_t bytes[kHeaderSize];
    if (!m_input.read(bytes, sizeof bytes)) return fail(DecodeError::Truncated);
    ByteReader r(bytes, sizeof bytes);
    const PcxHeader h = parseHeader(r);

    if (h.manufacturer != 0x0A || (h.version != 2 && h.version != 5))
        return fail(DecodeError::BadSignature);
    if (h.encoding != 1 || !layoutSupported(h.bits, h.planes))
        return fail(DecodeError::Unsupported);
    if (h.xMax < h.xMin || h.yMax < h.yMin || h.xMax - h.xMin > kMaxImageSide - 1 ||
        h.yMax - h.yMin > kMaxImageSide - 1)
        return fail(DecodeError::Corrupt);
    m_width = h.xMax - h.xMin + 1;
    m_height = h.yMax - h.yMin + 1;
    m_bits = h.bits;
    m_planes = h.planes;
    m_bytesPerLine = h.bytesPerLine;
    if (m_bytesPerLine < (static_cast<std::size_t>(m_width) * m_bits + 7) / 8)
        return fail(DecodeError::Corrupt);

    if (m_bits == 1 && m_planes == 1) {
        raster::fillBlackWhite(m_palette, true);
        m_hasPalette = true;
    } else if (m_planes * m_bits <= 4) {
        std::copy(std::begin(h.palette16), std::end(h.palette16), m_palette.begin());
        m_hasPalette = true;
    } else if (m_planes == 1) {
        // 256 colours: the palette is the last 768 bytes, after a marker byte. Without the
        // marker there is no palette and the bytes are gray levels.
        const std::uint64_t size = m_input.size();
        bool marked = false;
        if (size > kTrailingPaletteSize + kHeaderSize) {
            m_input.seek(size - kTrailingPaletteSize - 1);
            const std::uint8_t marker = m_input.u8();
            marked = marker == 0x0C || marker == 0x0A;
            if (marked) m_input.read(m_palette.data(), kTrailingPaletteSize);
            m_input.seek(kHeaderSize);
        }
        if (!marked) raster::fillGrayRamp(m_palette);
        m_hasPalette = true;
    }
    if (!m_input.ok()) return fail(m_input.error());
    return {};
}

bool PcxReader::GetPalette(Palette& palette) const {
    if (m_hasPalette) palette = m_palette;
    return true;
}

Result<std::uint32_t> PcxReader::BeginDecode() {
    if (m_failed) return m_error;
    if (m_width <= 0) return fail(DecodeError::Corrupt);
    m_line.assign(m_bytesPerLine * m_planes, 0);
    m_row = 0;
    m_runLeft = 0;
    if (m_settings.extractAlpha && m_planes == 4 && m_bits == 8) {
        // Even fully run-length coded, every 63 bytes of scan line take two bytes of file.
        const std::size_t pixels = static_cast<std::size_t>(m_width) * m_height;
        const std::size_t leastBytes = (m_line.size() * m_height + 62) / 63 * 2;
        if (m_input.remaining() < leastBytes) return fail(DecodeError::Truncated);
        m_alphaPlane.assign(pixels, 255);
    }
    return 0u;
}

Status PcxReader::readScanLine() {
    std::uint8_t* line = m_line.data();
    const std::size_t n = m_line.size();
    std::size_t i = 0;
    while (i < n) {
        if (m_runLeft > 0) {
            const std::size_t take = std::min<std::size_t>(m_runLeft, n - i);
            std::memset(line + i, m_runValue, take);
            i += take;
            m_runLeft -= static_cast<std::uint32_t>(take);
            continue;
        }
        const std::uint8_t b = m_input.u8();
        if ((b & 0xC0) == 0xC0) {
            m_runLeft = b & 0x3Fu;
            m_runValue = m_input.u8();
        } else {
            line[i++] = b;
        }
        if (!m_input.ok()) return fail(m_input.error());
    }
    if (!m_input.ok()) return fail(m_input.error());
    return {};
}

void PcxReader::convertRow(std::uint8_t* out) {
    const std::uint8_t* line = m_line.data();
    const std::int32_t w = m_width;
    if (m_planes == 1) {
        raster::expandIndexed(line, static_cast<int>(m_bits), w, m_palette, out);
        return;
    }
    if (m_bits == 1) {
        for (std::int32_t x = 0; x < w; ++x) {
            const int shift = 7 - (x & 7);
            unsigned index = 0;
            for (std::uint32_t p = 0; p < m_planes; ++p)
                index |= ((line[p * m_bytesPerLine + (x >> 3)] >> shift) & 1u) << p;
            std::memcpy(out + x * 3, m_palette.data() + index * 3, 3);
        }
        return;
    }
    const std::uint8_t* red = line;
    const std::uint8_t* green = line + m_bytesPerLine;
    const std::uint8_t* blue = line + 2 * m_bytesPerLine;
    if (m_planes == 3) {
        for (std::int32_t x = 0; x < w; ++x) {
            out[x * 3] = red[x];
            out[x * 3 + 1] = green[x];
            out[x * 3 + 2] = blue[x];
        }
        return;
    }
    const std::uint8_t* alphaLine = line + 3 * m_bytesPerLine;
    std::uint8_t* plane =
        m_alphaPlane.empty() ? nullptr : m_alphaPlane.data() + static_cast<std::size_t>(m_row) * w;
    for (std::int32_t x = 0; x < w; ++x) {
        const std::uint8_t a = alphaLine[x];
        if (m_settings.blendAlpha) {
            out[x * 3] = blend(red[x], a, 0);
            out[x * 3 + 1] = blend(green[x], a, 1);
            out[x * 3 + 2] = blend(blue[x], a, 2);
        } else {
            out[x * 3] = red[x];
            out[x * 3 + 1] = green[x];
            out[x * 3 + 2] = blue[x];
        }
        if (plane) plane[x] = a;
    }
}

Status PcxReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (m_line.empty() || m_row >= m_height) return fail(DecodeError::Corrupt);
    // Scan lines are always run-length coded, so a skipped row is still decoded.
    KALDER_TRY(readScanLine());
    if (!skip || !m_alphaPlane.empty()) convertRow(out);
    ++m_row;
    return rowDelivered(m_height, m_row);
}

std::unique_ptr<ImageReader> makePcxReader() { return std::make_unique<PcxReader>(); }

}  // namespace kalder::image
