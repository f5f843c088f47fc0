#include "image/readers/sgi_reader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "image/byte_reader.h"
#include "image/checked.h"
#include "image/image_reader.h"

namespace kalder::image {
namespace {

constexpr std::uint16_t kMagic = 474;
constexpr std::size_t kHeaderSize = 512;
// The whole file is held while decoding; beyond this it is not worth trying.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 31;

// 16-bit samples keep their high byte.
inline std::uint8_t reduce16(std::uint32_t v) { return static_cast<std::uint8_t>(v >> 8); }

class SgiReader final : public ImageReader {
public:
    Status ReadHeader() override;
    std::int32_t Width() const override { return m_width; }
    std::int32_t Height() const override { return m_height; }
    std::uint32_t BitsPerPixel() const override {
        return static_cast<std::uint32_t>(m_channels) * 8 * m_bytesPerChannel;
    }
    bool GetPalette(Palette& palette) const override;
    bool GetIsGray() const override { return m_channels <= 2; }
    std::string Description() const override;
    bool IsBottomUp() const override { return true; }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;

private:
    bool hasAlpha() const { return m_channels == 2 || m_channels == 4; }
    Status channelRow(int channel, std::int32_t row, std::uint8_t* dst);
    Status verbatimRow(std::size_t offset, std::uint8_t* dst);
    Status rleRow(std::size_t index, std::uint8_t* dst);

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    int m_channels = 0;  // channels used: 1 gray, 2 gray + alpha, 3 RGB, 4 RGBA
    int m_bytesPerChannel = 1;
    std::int32_t m_fileRows = 0;  // rows per channel in the offset tables (the file's y size)
    bool m_rle = false;
    std::vector<std::uint32_t> m_starts;  // run-length: file offset of row y of channel c
    std::vector<std::uint8_t> m_file;     // the whole file, read at BeginDecode
    std::vector<std::uint8_t> m_rows;     // one row per channel
    std::int32_t m_row = 0;
};

Status SgiReader::ReadHeader() {
    if (m_failed) return m_error;
    m_input.rewind();
    std::uint8_t h[kHeaderSize];
    if (!m_input.read(h, sizeof h)) return fail(DecodeError::Truncated);
    ByteReader r(h, sizeof h);
    const std::uint16_t magic = r.u16be();
    const std::uint8_t storage = r.u8();
    const std::uint8_t bpc = r.u8();
    const std::uint16_t dimension = r.u16be();
    std::uint32_t xsize = r.u16be();
    std::uint32_t ysize = r.u16be();
    std::uint32_t zsize = r.u16be();
    r.skip(4 + 4 + 4 + 80);
    const std::uint32_t colourMap = r.u32be();
    if (magic != kMagic) return fail(DecodeError::BadSignature);
    if (storage > 1 || (bpc != 1 && bpc != 2) || dimension < 1 || dimension > 3)
        return fail(DecodeError::Unsupported);
    // Dithered, screen and colour-map images are obsolete kinds we do not read.
    if (colourMap != 0) return fail(DecodeError::Unsupported);
    // A one-dimensional image is a single row; a two-dimensional one a single channel. The
    // tables still hold as many rows and channels as the header's sizes say.
    const std::uint32_t tableRows = std::max<std::uint32_t>(ysize, 1);
    const std::uint32_t tableChannels = std::max<std::uint32_t>(zsize, 1);
    if (dimension == 1) ysize = 1;
    if (dimension <= 2) zsize = 1;
    if (zsize < 1 || zsize > 4) return fail(DecodeError::Unsupported);
    if (xsize == 0 || ysize == 0) return fail(DecodeError::Corrupt);
    if (!validImageSide(xsize) || !validImageSide(ysize)) return fail(DecodeError::TooLarge);
    m_width = static_cast<std::int32_t>(xsize);
    m_height = static_cast<std::int32_t>(ysize);
    m_channels = static_cast<int>(zsize);
    m_bytesPerChannel = bpc;
    m_rle = storage == 1;
    m_fileRows = static_cast<std::int32_t>(tableRows);

    if (m_rle) {
        // Start table, then length table (unused: the runs end the row), row-major per channel.
        const std::size_t entries = std::size_t{tableRows} * tableChannels;
        if (m_input.remaining() < entries * 8) return fail(DecodeError::Truncated);
        m_starts.resize(entries);
        for (auto& s : m_starts) s = m_input.u32be();
        if (!m_input.ok()) return fail(DecodeError::Truncated);
    } else {
        const auto need = checkedMul(std::size_t{tableRows} * tableChannels, xsize, bpc);
        if (!need || m_input.size() - kHeaderSize < *need) return fail(DecodeError::Truncated);
    }
    return {};
}

bool SgiReader::GetPalette(Palette& palette) const {
    if (m_channels == 1 && m_bytesPerChannel == 1) {
        for (int i = 0; i < 256; ++i)
            palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<std::uint8_t>(i);
    }
    return true;
}

std::string SgiReader::Description() const {
    std::string text = "Silicon Graphics Image";
    if (hasAlpha()) text += " with alpha-channel";
    return text + ", " + (m_rle ? "compressed" : "uncompressed");
}

Result<std::uint32_t> SgiReader::BeginDecode() {
    if (m_failed) return m_error;
    if (m_width == 0) return fail(DecodeError::Corrupt);
    // The planes of one row lie far apart in the file, so the file is held in memory and each
    // row is decoded from it when asked for.
    m_input.rewind();
    m_file = m_input.readAll(kMaxFileBytes);
    if (!m_input.ok()) return fail(m_input.error());
    m_rows.assign(static_cast<std::size_t>(m_width) * m_channels, 0);
    if (m_settings.extractAlpha && hasAlpha())
        m_alphaPlane.assign(static_cast<std::size_t>(m_width) * m_height, 255);
    m_row = 0;
    return 0u;
}

Status SgiReader::verbatimRow(std::size_t offset, std::uint8_t* dst) {
    const std::size_t w = static_cast<std::size_t>(m_width);
    if (offset + w * m_bytesPerChannel > m_file.size()) return fail(DecodeError::Truncated);
    const std::uint8_t* src = m_file.data() + offset;
    if (m_bytesPerChannel == 1) {
        std::memcpy(dst, src, w);
    } else {
        for (std::size_t x = 0; x < w; ++x) dst[x] = reduce16((src[2 * x] << 8) | src[2 * x + 1]);
    }
    return {};
}

Status SgiReader::rleRow(std::size_t index, std::uint8_t* dst) {
    const std::size_t w = static_cast<std::size_t>(m_width);
    const std::size_t size = m_file.size();
    const std::uint8_t* d = m_file.data();
    std::size_t pos = m_starts[index];
    std::size_t x = 0;
    if (m_bytesPerChannel == 1) {
        for (;;) {
            if (pos >= size) return fail(DecodeError::Truncated);
            const std::uint8_t code = d[pos++];
            const std::size_t count = code & 0x7f;
            if (count == 0) break;
            if (count > w - x) return fail(DecodeError::Corrupt);
            if (code & 0x80) {
                if (count > size - pos) return fail(DecodeError::Truncated);
                std::memcpy(dst + x, d + pos, count);
                pos += count;
            } else {
                if (pos >= size) return fail(DecodeError::Truncated);
                std::memset(dst + x, d[pos++], count);
            }
            x += count;
        }
    } else {
        for (;;) {
            if (pos + 2 > size) return fail(DecodeError::Truncated);
            const std::uint8_t code = d[pos + 1];
            pos += 2;
            const std::size_t count = code & 0x7f;
            if (count == 0) break;
            if (count > w - x) return fail(DecodeError::Corrupt);
            if (code & 0x80) {
                if (count * 2 > size - pos) return fail(DecodeError::Truncated);
                for (std::size_t i = 0; i < count; ++i, pos += 2)
                    dst[x + i] = reduce16((d[pos] << 8) | d[pos + 1]);
            } else {
                if (pos + 2 > size) return fail(DecodeError::Truncated);
                std::memset(dst + x, reduce16((d[pos] << 8) | d[pos + 1]), count);
                pos += 2;
            }
            x += count;
        }
    }
    // A row whose runs stop short keeps zeros in the rest.
    if (x < w) std::memset(dst + x, 0, w - x);
    return {};
}

Status SgiReader::channelRow(int channel, std::int32_t row, std::uint8_t* dst) {
    const std::size_t index = static_cast<std::size_t>(channel) * m_fileRows + row;
    if (m_rle) return rleRow(index, dst);
    return verbatimRow(kHeaderSize + index * m_width * m_bytesPerChannel, dst);
}

Status SgiReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (m_file.empty() || m_row >= m_height) return fail(DecodeError::Corrupt);
    const std::int32_t row = m_row++;
    if (!skip) {
        const std::size_t w = static_cast<std::size_t>(m_width);
        for (int c = 0; c < m_channels; ++c) KALDER_TRY(channelRow(c, row, m_rows.data() + c * w));
        const std::uint8_t* c0 = m_rows.data();
        const std::uint8_t* c1 = c0 + w;
        const std::uint8_t* c2 = c1 + w;
        const std::uint8_t* alpha = m_channels == 2 ? c1 : m_channels == 4 ? c0 + 3 * w : nullptr;
        if (m_channels <= 2) {
            for (std::size_t x = 0; x < w; ++x)
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = c0[x];
        } else {
            for (std::size_t x = 0; x < w; ++x) {
                out[3 * x] = c0[x];
                out[3 * x + 1] = c1[x];
                out[3 * x + 2] = c2[x];
            }
        }
        if (alpha && m_settings.blendAlpha) {
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint8_t a = alpha[x];
                if (a == 255) continue;
                for (int k = 0; k < 3; ++k) out[3 * x + k] = blend(out[3 * x + k], a, k);
            }
        }
        if (alpha && !m_alphaPlane.empty())
            std::memcpy(m_alphaPlane.data() + static_cast<std::size_t>(m_height - 1 - row) * w,
                        alpha, w);
    }
    return rowDelivered(m_height, m_row);
}

}  // namespace

std::unique_ptr<ImageReader> makeSgiReader() { return std::make_unique<SgiReader>(); }

}  // namespace kalder::image
