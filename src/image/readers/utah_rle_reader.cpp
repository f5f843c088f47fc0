#include "image/readers/utah_rle_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "image/checked.h"
#include "image/image_reader.h"

namespace kalder::image {
namespace {

constexpr std::uint16_t kMagic = 0xcc52;

// Header flags.
constexpr std::uint8_t kClearFirst = 0x01;
constexpr std::uint8_t kNoBackground = 0x02;
constexpr std::uint8_t kHasAlpha = 0x04;
constexpr std::uint8_t kHasComment = 0x08;

// Operation codes (low six bits); bit 6 announces a 16-bit operand.
enum Op : std::uint8_t {
    kSkipLines = 1,
    kSetColour = 2,
    kSkipPixels = 3,
    kByteData = 5,
    kRunData = 6,
    kEof = 7,
};
constexpr std::uint8_t kLongOperand = 0x40;
constexpr std::uint8_t kAlphaChannel = 255;

class UtahRleReader final : public ImageReader {
public:
    Status ReadHeader() override;
    std::int32_t Width() const override { return m_width; }
    std::int32_t Height() const override { return m_height; }
    std::uint32_t BitsPerPixel() const override { return m_colours >= 3 ? 24 : 8; }
    bool GetPalette(Palette& palette) const override;
    std::string Description() const override { return "Utah RLE"; }
    bool IsBottomUp() const override { return true; }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;

private:
    Status decodeLine();
    std::uint8_t* channelRow(std::uint32_t channel);

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    int m_colours = 0;      // colour channels in the file (at most three are used)
    int m_mapChannels = 0;  // 0, 1 or 3
    bool m_alpha = false;
    std::array<std::uint8_t, 3> m_background{};
    // The colour map, 256 entries per map channel (8-bit values: the high byte of each entry).
    std::array<std::array<std::uint8_t, 256>, 3> m_map{};

    // Row state: four planes (red, green, blue, alpha) of one scan line.
    std::vector<std::uint8_t> m_line;
    std::uint8_t* m_current = nullptr;  // plane of the channel being written, or null to ignore
    std::size_t m_x = 0;
    std::int64_t m_pendingLines = 0;  // lines to deliver before the stream is read again
    bool m_ended = false;
    std::vector<std::uint8_t> m_scratch;
    std::int32_t m_row = 0;
};

Status UtahRleReader::ReadHeader() {
    if (m_failed) return m_error;
    m_input.rewind();
    const std::uint16_t magic = m_input.u16le();
    m_input.skip(4);  // position: only the size matters for a single image
    const std::uint16_t xlen = m_input.u16le();
    const std::uint16_t ylen = m_input.u16le();
    const std::uint8_t flags = m_input.u8();
    const std::uint8_t colours = m_input.u8();
    const std::uint8_t pixelBits = m_input.u8();
    const std::uint8_t mapChannels = m_input.u8();
    const std::uint8_t mapLengthLog2 = m_input.u8();
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    if (magic != kMagic) return fail(DecodeError::BadSignature);
    if (colours == 0 || pixelBits != 8) return fail(DecodeError::Unsupported);
    if (mapChannels != 0 && mapChannels != 1 && mapChannels != 3)
        return fail(DecodeError::Unsupported);
    if (mapLengthLog2 > 16) return fail(DecodeError::Corrupt);
    if (xlen == 0 || ylen == 0) return fail(DecodeError::Corrupt);
    if (!validImageSide(xlen) || !validImageSide(ylen)) return fail(DecodeError::TooLarge);
    m_width = xlen;
    m_height = ylen;
    m_colours = colours;
    m_mapChannels = mapChannels;
    m_alpha = flags & kHasAlpha;

    // Background values, padded so that the header stays an even length; without them a single
    // filler byte stands in.
    if (!(flags & kNoBackground)) {
        for (int c = 0; c < colours; ++c) {
            const std::uint8_t v = m_input.u8();
            if (c < 3) m_background[c] = v;
        }
        if (colours % 2 == 0) m_input.skip(1);
    } else {
        m_input.skip(1);
    }
    if (colours < 3) m_background[1] = m_background[2] = m_background[0];
    // The background is painted only when the file asks for lines to be cleared first.
    if (!(flags & kClearFirst)) m_background = {};

    const std::size_t mapLength = std::size_t{1} << mapLengthLog2;
    for (int c = 0; c < mapChannels; ++c) {
        for (std::size_t i = 0; i < mapLength; ++i) {
            const std::uint16_t entry = m_input.u16le();
            if (i < 256) m_map[c][i] = static_cast<std::uint8_t>(entry >> 8);
        }
        if (!m_input.ok()) return fail(DecodeError::Truncated);
    }
    if (mapChannels == 1) m_map[1] = m_map[2] = m_map[0];

    if (flags & kHasComment) {
        const std::uint16_t length = m_input.u16le();
        m_input.skip(length + (length & 1));
    }
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    return {};
}

bool UtahRleReader::GetPalette(Palette& palette) const {
    if (m_colours >= 3) return true;
    for (int i = 0; i < 256; ++i) {
        for (int c = 0; c < 3; ++c)
            palette[i * 3 + c] = m_mapChannels ? m_map[c][i] : static_cast<std::uint8_t>(i);
    }
    return true;
}

Result<std::uint32_t> UtahRleReader::BeginDecode() {
    if (m_failed) return m_error;
    if (m_width == 0) return fail(DecodeError::Corrupt);
    m_line.assign(static_cast<std::size_t>(m_width) * 4, 0);
    m_scratch.assign(static_cast<std::size_t>(m_width), 0);
    if (m_settings.extractAlpha && m_alpha)
        m_alphaPlane.assign(static_cast<std::size_t>(m_width) * m_height, 255);
    m_pendingLines = 0;
    m_ended = false;
    m_row = 0;
    return 0u;
}

std::uint8_t* UtahRleReader::channelRow(std::uint32_t channel) {
    const std::size_t w = static_cast<std::size_t>(m_width);
    if (channel == kAlphaChannel) return m_alpha ? m_line.data() + 3 * w : nullptr;
    if (channel < 3 && static_cast<int>(channel) < m_colours) return m_line.data() + channel * w;
    return nullptr;  // channels beyond what we show are read and dropped
}

// Runs the operation stream until the current scan line is finished.
Status UtahRleReader::decodeLine() {
    const std::size_t w = static_cast<std::size_t>(m_width);
    m_current = nullptr;
    m_x = 0;
    for (;;) {
        const std::uint8_t code = m_input.u8();
        std::uint32_t operand = m_input.u8();
        if (code & kLongOperand) operand = m_input.u16le();
        if (!m_input.ok()) return fail(DecodeError::Truncated);
        switch (code & 0x3f) {
            case kSkipLines:
                if (operand == 0) break;
                m_pendingLines = static_cast<std::int64_t>(operand) - 1;
                return {};
            case kSetColour:
                m_current = channelRow(operand);
                m_x = 0;
                break;
            case kSkipPixels:
                m_x += operand;
                break;
            case kByteData: {
                const std::size_t count = std::size_t{operand} + 1;
                const std::size_t inside = m_x < w ? std::min(count, w - m_x) : 0;
                std::uint8_t* dst = m_current && inside ? m_current + m_x : m_scratch.data();
                m_input.read(dst, inside);
                m_input.skip(count - inside + (count & 1));
                m_x += count;
                break;
            }
            case kRunData: {
                const std::size_t count = std::size_t{operand} + 1;
                const std::uint8_t value = static_cast<std::uint8_t>(m_input.u16le());
                if (m_current && m_x < w)
                    std::memset(m_current + m_x, value, std::min(count, w - m_x));
                m_x += count;
                break;
            }
            case kEof:
                m_ended = true;
                return {};
            default:
                return fail(DecodeError::Corrupt);
        }
        if (!m_input.ok()) return fail(DecodeError::Truncated);
    }
}

Status UtahRleReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (m_line.empty() || m_row >= m_height) return fail(DecodeError::Corrupt);
    const std::size_t w = static_cast<std::size_t>(m_width);
    const std::int32_t row = m_row++;
    // Every line starts from the background (black unless cleared to one) and, with alpha,
    // transparent: only what the stream draws is opaque.
    for (int c = 0; c < 3; ++c) std::memset(m_line.data() + c * w, m_background[c], w);
    std::memset(m_line.data() + 3 * w, 0, w);
    if (m_pendingLines > 0) {
        --m_pendingLines;
    } else if (!m_ended) {
        KALDER_TRY(decodeLine());
    }
    if (!skip) {
        const std::uint8_t* r = m_line.data();
        const std::uint8_t* g = m_colours >= 3 ? r + w : r;
        const std::uint8_t* b = m_colours >= 3 ? r + 2 * w : r;
        if (m_mapChannels) {
            for (std::size_t x = 0; x < w; ++x) {
                out[3 * x] = m_map[0][r[x]];
                out[3 * x + 1] = m_map[1][g[x]];
                out[3 * x + 2] = m_map[2][b[x]];
            }
        } else {
            for (std::size_t x = 0; x < w; ++x) {
                out[3 * x] = r[x];
                out[3 * x + 1] = g[x];
                out[3 * x + 2] = b[x];
            }
        }
        if (m_alpha) {
            const std::uint8_t* a = m_line.data() + 3 * w;
            if (m_settings.blendAlpha) {
                for (std::size_t x = 0; x < w; ++x) {
                    if (a[x] == 255) continue;
                    for (int c = 0; c < 3; ++c) out[3 * x + c] = blend(out[3 * x + c], a[x], c);
                }
            }
            if (!m_alphaPlane.empty())
                std::memcpy(m_alphaPlane.data() + static_cast<std::size_t>(m_height - 1 - row) * w,
                            a, w);
        }
    }
    return rowDelivered(m_height, m_row);
}

}  // namespace

std::unique_ptr<ImageReader> makeUtahRleReader() { return std::make_unique<UtahRleReader>(); }

}  // namespace kalder::image
