#include "image/readers/pnm_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/checked.h"
#include "image/readers/raster_common_p.h"
#include "image/readers/reader_factory.h"

namespace kalder::image {
namespace {

// Text samples longer than this are clamped to the maximum value anyway.
constexpr std::uint32_t kNumberCap = 1000000;
constexpr std::uint32_t kLargestMaxValue = 65535;
constexpr std::size_t kLongestComment = 4096;
// A hostile file could hold millions of one-letter comments.
constexpr int kMostComments = 1024;

bool isBlank(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

void putGray(std::uint8_t* out, std::uint8_t g) { out[0] = out[1] = out[2] = g; }

}  // namespace

void PnmReader::skipComment() {
    std::string text;
    while (!m_input.atEnd()) {
        const char c = static_cast<char>(m_input.u8());
        if (c == '\n' || c == '\r') break;
        if (text.size() < kLongestComment) text.push_back(c);
    }
    if (m_comments < kMostComments) {
        ++m_comments;
        appendComment(std::move(text));
    }
}

bool PnmReader::readNumber(std::uint32_t& value) {
    std::uint8_t c = 0;
    for (;;) {
        if (m_input.atEnd()) return false;
        c = m_input.u8();
        if (isBlank(c)) continue;
        if (c == '#') {
            skipComment();
            continue;
        }
        break;
    }
    if (!isDigit(c)) return false;
    std::uint32_t v = c - '0';
    // The byte that ends the number is consumed: in a binary file it is the single blank that
    // separates the header from the data.
    while (!m_input.atEnd()) {
        c = m_input.u8();
        if (isDigit(c)) {
            v = std::min(v * 10 + (c - '0'), kNumberCap);
            continue;
        }
        if (c == '#')
            skipComment();
        else if (!isBlank(c))
            return false;
        break;
    }
    value = v;
    return true;
}

Status PnmReader::ReadHeader() {
    if (m_failed) return m_error;
    const std::uint8_t p = m_input.u8();
    const std::uint8_t digit = m_input.u8();
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    if (p != 'P' || digit < '1' || digit > '6') return fail(DecodeError::BadSignature);
    m_kind = digit - '0';

    std::uint32_t w = 0, h = 0;
    if (!readNumber(w) || !readNumber(h))
        return fail(m_input.atEnd() ? DecodeError::Truncated : DecodeError::Corrupt);
    if (w == 0 || h == 0) return fail(DecodeError::Corrupt);
    if (w > static_cast<std::uint32_t>(kMaxImageSide) ||
        h > static_cast<std::uint32_t>(kMaxImageSide))
        return fail(DecodeError::TooLarge);
    m_width = static_cast<std::int32_t>(w);
    m_height = static_cast<std::int32_t>(h);
    m_maxValue = 1;
    if (m_kind != 1 && m_kind != 4) {
        if (!readNumber(m_maxValue))
            return fail(m_input.atEnd() ? DecodeError::Truncated : DecodeError::Corrupt);
        if (m_maxValue == 0) return fail(DecodeError::Corrupt);
        if (m_maxValue > kLargestMaxValue) return fail(DecodeError::Unsupported);
    }
    if (!m_input.ok()) return fail(m_input.error());
    return {};
}

std::uint32_t PnmReader::BitsPerPixel() const {
    if (m_kind == 1 || m_kind == 4) return 1;
    const std::uint32_t sampleBits = m_maxValue > 255 ? 16 : 8;
    return (m_kind == 3 || m_kind == 6) ? 3 * sampleBits : sampleBits;
}

bool PnmReader::GetPalette(Palette& palette) const {
    // A bitmap's sample 1 is black.
    if (m_kind == 1 || m_kind == 4)
        raster::fillBlackWhite(palette, false);
    else if (m_kind == 2 || m_kind == 5)
        raster::fillGrayRamp(palette);
    return true;
}

Result<std::uint32_t> PnmReader::BeginDecode() {
    if (m_failed) return m_error;
    if (m_width <= 0) return fail(DecodeError::Corrupt);
    // Samples above the maximum are clamped to it.
    m_scale.resize(m_maxValue > 255 ? 65536 : 256);
    for (std::size_t i = 0; i < m_scale.size(); ++i)
        m_scale[i] =
            static_cast<std::uint8_t>(std::min<std::size_t>(i, m_maxValue) * 255 / m_maxValue);
    const std::size_t w = static_cast<std::size_t>(m_width);
    const std::size_t sampleBytes = m_maxValue > 255 ? 2 : 1;
    switch (m_kind) {
        case 4:
            m_raw.assign((w + 7) / 8, 0);
            break;
        case 5:
            m_raw.assign(w * sampleBytes, 0);
            break;
        case 6:
            m_raw.assign(w * 3 * sampleBytes, 0);
            break;
        default:
            m_raw.clear();
            break;
    }
    m_row = 0;
    return 0u;
}

Status PnmReader::readTextRow(std::uint8_t* out) {
    const std::int32_t w = m_width;
    if (m_kind == 1) {
        // One digit per sample; the blanks between them are optional.
        for (std::int32_t x = 0; x < w; ++x) {
            std::uint8_t c;
            for (;;) {
                if (m_input.atEnd()) return fail(DecodeError::Truncated);
                c = m_input.u8();
                if (c == '0' || c == '1') break;
                if (c == '#')
                    skipComment();
                else if (!isBlank(c))
                    return fail(DecodeError::Corrupt);
            }
            putGray(out + x * 3, c == '1' ? 0 : 255);
        }
        return {};
    }
    const std::size_t samples = static_cast<std::size_t>(w) * (m_kind == 3 ? 3 : 1);
    const std::uint8_t* scale = m_scale.data();
    const std::uint32_t maxValue = m_maxValue;
    for (std::size_t i = 0; i < samples; ++i) {
        std::uint32_t v;
        if (!readNumber(v))
            return fail(m_input.atEnd() ? DecodeError::Truncated : DecodeError::Corrupt);
        const std::uint8_t s = scale[std::min(v, maxValue)];
        if (m_kind == 3)
            out[i] = s;
        else
            putGray(out + i * 3, s);
    }
    return {};
}

Status PnmReader::readBinaryRow(std::uint8_t* out) {
    const std::int32_t w = m_width;
    std::uint8_t* raw = m_raw.data();
    const std::uint8_t* scale = m_scale.data();
    const bool wide = m_maxValue > 255;
    if (m_kind == 6 && m_maxValue == 255) {
        // Already red, green, blue bytes.
        if (!m_input.read(out, m_raw.size())) return fail(m_input.error());
        return {};
    }
    if (!m_input.read(raw, m_raw.size())) return fail(m_input.error());
    if (m_kind == 4) {
        for (std::int32_t x = 0; x < w; ++x)
            putGray(out + x * 3, ((raw[x >> 3] >> (7 - (x & 7))) & 1) ? 0 : 255);
    } else {
        const std::size_t samples = static_cast<std::size_t>(w) * (m_kind == 6 ? 3 : 1);
        for (std::size_t i = 0; i < samples; ++i) {
            const std::uint8_t s = wide ? scale[(raw[i * 2] << 8) | raw[i * 2 + 1]] : scale[raw[i]];
            if (m_kind == 6)
                out[i] = s;
            else
                putGray(out + i * 3, s);
        }
    }
    return {};
}

Status PnmReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (m_scale.empty() || m_row >= m_height) return fail(DecodeError::Corrupt);
    if (m_kind <= 3) {
        KALDER_TRY(readTextRow(out));
    } else if (skip) {
        m_input.skip(m_raw.size());
        if (!m_input.ok()) return fail(m_input.error());
    } else {
        KALDER_TRY(readBinaryRow(out));
    }
    ++m_row;
    return rowDelivered(m_height, m_row);
}

std::unique_ptr<ImageReader> makePnmReader() { return std::make_unique<PnmReader>(); }

}  // namespace kalder::image
