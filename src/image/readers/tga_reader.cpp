#include "image/readers/tga_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/byte_reader.h"
#include "image/checked.h"
#include "image/readers/raster_common_p.h"
#include "image/readers/reader_factory.h"

namespace kalder::image {
namespace {

constexpr std::size_t kHeaderSize = 18;

enum ImageType : std::uint8_t {
    kMapped = 1,
    kTrueColour = 2,
    kGray = 3,
    kRleMapped = 9,
    kRleTrueColour = 10,
    kRleGray = 11,
};

struct TgaHeader {
    std::uint8_t idLength = 0;
    std::uint8_t mapType = 0;
    std::uint8_t imageType = 0;
    std::uint16_t mapFirst = 0;
    std::uint16_t mapLength = 0;
    std::uint8_t mapEntryBits = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t depth = 0;
    std::uint8_t descriptor = 0;
};

TgaHeader parseHeader(ByteReader& r) {
    TgaHeader h;
    h.idLength = r.u8();
    h.mapType = r.u8();
    h.imageType = r.u8();
    h.mapFirst = r.u16le();
    h.mapLength = r.u16le();
    h.mapEntryBits = r.u8();
    r.skip(4);  // x and y origin
    h.width = r.u16le();
    h.height = r.u16le();
    h.depth = r.u8();
    h.descriptor = r.u8();
    return h;
}

bool depthAllowed(std::uint8_t type, std::uint8_t depth) {
    switch (type) {
        case kMapped:
        case kRleMapped:
            return depth == 8;
        case kTrueColour:
        case kRleTrueColour:
            return depth == 15 || depth == 16 || depth == 24 || depth == 32;
        case kGray:
        case kRleGray:
            return depth == 8 || depth == 16;  // 16: gray and alpha
        default:
            return false;
    }
}

// One colour-map entry of 15, 16, 24 or 32 bits as red, green, blue.
void mapEntryToRgb(const std::uint8_t* e, std::uint8_t bits, std::uint8_t* rgb) {
    if (bits <= 16) {
        const unsigned v = e[0] | (e[1] << 8);
        rgb[0] = raster::expand5(v >> 10);
        rgb[1] = raster::expand5(v >> 5);
        rgb[2] = raster::expand5(v);
    } else {
        rgb[0] = e[2];
        rgb[1] = e[1];
        rgb[2] = e[0];
    }
}

}  // namespace

Status TgaReader::ReadHeader() {
    if (m_failed) return m_error;
    std::uint8_t bytes[kHeaderSize];
    if (!m_input.read(bytes, sizeof bytes)) return fail(DecodeError::Truncated);
    ByteReader r(bytes, sizeof bytes);
    const TgaHeader h = parseHeader(r);

    if (!depthAllowed(h.imageType, h.depth)) {
        const bool knownType = h.imageType == kMapped || h.imageType == kTrueColour ||
                               h.imageType == kGray || h.imageType == kRleMapped ||
                               h.imageType == kRleTrueColour || h.imageType == kRleGray;
        return fail(knownType ? DecodeError::Unsupported : DecodeError::BadSignature);
    }
    if (!validImageSide(h.width) || !validImageSide(h.height)) return fail(DecodeError::Corrupt);
    m_type = h.imageType;
    m_depth = h.depth;
    m_descriptor = h.descriptor;
    m_width = h.width;
    m_height = h.height;
    m_bytesPerPixel = (h.depth + 7) / 8;
    m_rle = h.imageType >= kRleMapped;
    m_mapped = h.imageType == kMapped || h.imageType == kRleMapped;
    m_gray = h.imageType == kGray || h.imageType == kRleGray;

    m_input.skip(h.idLength);
    const std::size_t entryBytes = (h.mapEntryBits + 7u) / 8u;
    m_mapHasAlpha = false;
    if (m_mapped) {
        // Pixel values index the map directly, so the map has to lie within 0 ... 255.
        if (h.mapType != 1 || h.mapLength == 0 || h.mapFirst + h.mapLength > 256)
            return fail(DecodeError::Corrupt);
        if (h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 &&
            h.mapEntryBits != 32)
            return fail(DecodeError::Unsupported);
        std::uint8_t map[256 * 4];
        m_input.read(map, h.mapLength * entryBytes);
        m_mapAlpha.fill(255);
        for (std::size_t i = 0; i < h.mapLength; ++i) {
            mapEntryToRgb(map + i * entryBytes, h.mapEntryBits, &m_table[(h.mapFirst + i) * 3]);
            if (h.mapEntryBits == 32) {
                m_mapAlpha[h.mapFirst + i] = map[i * 4 + 3];
                m_mapHasAlpha = m_mapHasAlpha || map[i * 4 + 3] != 0;
            }
        }
        if (!m_mapHasAlpha) m_mapAlpha.fill(255);
    } else if (h.mapType == 1) {
        m_input.skip(static_cast<std::uint64_t>(h.mapLength) * entryBytes);
    }
    if (!m_input.ok()) return fail(m_input.error());
    return {};
}

std::uint32_t TgaReader::BitsPerPixel() const {
    if (m_depth == 8) return 8;
    if (m_gray) return 16;
    return 24;
}

bool TgaReader::GetPalette(Palette& palette) const {
    if (m_gray)
        raster::fillGrayRamp(palette);
    else if (m_mapped)
        palette = m_table;
    return true;
}

bool TgaReader::GetIsGray() const { return m_gray || ImageReader::GetIsGray(); }

std::string TgaReader::Description() const {
    std::string text = "TGA (Truevision Targa Image)";
    if (m_depth == 32) text += " with alpha-channel";
    return text + ", " + (m_rle ? "compressed" : "uncompressed");
}

Result<std::uint32_t> TgaReader::BeginDecode() {
    if (m_failed) return m_error;
    if (m_width <= 0) return fail(DecodeError::Corrupt);
    m_raw.assign(static_cast<std::size_t>(m_width) * m_bytesPerPixel, 0);
    m_row = 0;
    m_runLeft = 0;
    const bool hasAlpha = m_depth == 32 || (m_gray && m_depth == 16) || m_mapHasAlpha;
    if (m_settings.extractAlpha && hasAlpha) {
        // Refuse to set aside a plane for more pixels than the file can possibly hold: even a
        // run-length file needs a packet header and one pixel per 128 pixels.
        const std::size_t pixels = static_cast<std::size_t>(m_width) * m_height;
        const std::size_t leastBytes =
            m_rle ? (pixels + 127) / 128 * (1 + m_bytesPerPixel) : pixels * m_bytesPerPixel;
        if (m_input.remaining() < leastBytes) return fail(DecodeError::Truncated);
        m_alphaPlane.assign(pixels, 255);
    }
    return 0u;
}

Status TgaReader::readPackedRow() {
    const std::size_t bpp = m_bytesPerPixel;
    const std::size_t width = static_cast<std::size_t>(m_width);
    std::size_t x = 0;
    while (x < width) {
        if (m_runLeft == 0) {
            const std::uint8_t header = m_input.u8();
            m_runLeft = (header & 0x7fu) + 1;
            m_runRepeats = (header & 0x80u) != 0;
            if (m_runRepeats) m_input.read(m_runPixel.data(), bpp);
            if (!m_input.ok()) return fail(m_input.error());
        }
        // A packet may run on into the next row; whatever is left stays pending.
        const std::size_t take = std::min<std::size_t>(m_runLeft, width - x);
        std::uint8_t* dst = m_raw.data() + x * bpp;
        if (m_runRepeats) {
            for (std::size_t i = 0; i < take; ++i)
                std::memcpy(dst + i * bpp, m_runPixel.data(), bpp);
        } else if (!m_input.read(dst, take * bpp)) {
            return fail(m_input.error());
        }
        m_runLeft -= static_cast<std::uint32_t>(take);
        x += take;
    }
    return {};
}

void TgaReader::convertRow(std::uint8_t* out) {
    const std::uint8_t* src = m_raw.data();
    const std::int32_t w = m_width;
    const bool rightToLeft = (m_descriptor & 0x10) != 0;
    std::uint8_t* alpha = nullptr;
    if (!m_alphaPlane.empty()) {
        const std::int32_t planeRow = IsBottomUp() ? m_height - 1 - m_row : m_row;
        alpha = m_alphaPlane.data() + static_cast<std::size_t>(planeRow) * w;
    }
    const bool blendAlpha = m_settings.blendAlpha;

    if (m_mapped) {
        raster::expandIndexed(src, 8, w, m_table, out);
        for (std::int32_t x = 0; m_mapHasAlpha && x < w; ++x) {
            const std::uint8_t a = m_mapAlpha[src[x]];
            if (alpha) alpha[x] = a;
            if (!blendAlpha || a == 255) continue;
            for (int c = 0; c < 3; ++c) out[x * 3 + c] = blend(out[x * 3 + c], a, c);
        }
    } else if (m_gray && m_depth == 8) {
        for (std::int32_t x = 0; x < w; ++x) out[x * 3] = out[x * 3 + 1] = out[x * 3 + 2] = src[x];
    } else if (m_gray) {
        for (std::int32_t x = 0; x < w; ++x) {
            std::uint8_t g = src[x * 2];
            const std::uint8_t a = src[x * 2 + 1];
            std::uint8_t* o = out + x * 3;
            if (blendAlpha) {
                o[0] = blend(g, a, 0);
                o[1] = blend(g, a, 1);
                o[2] = blend(g, a, 2);
            } else {
                o[0] = o[1] = o[2] = g;
            }
            if (alpha) alpha[x] = a;
        }
    } else if (m_bytesPerPixel == 2) {
        // The top bit is an attribute bit that writers set inconsistently; it is not used.
        for (std::int32_t x = 0; x < w; ++x) {
            const unsigned v = src[x * 2] | (src[x * 2 + 1] << 8);
            out[x * 3] = raster::expand5(v >> 10);
            out[x * 3 + 1] = raster::expand5(v >> 5);
            out[x * 3 + 2] = raster::expand5(v);
        }
    } else if (m_bytesPerPixel == 3) {
        for (std::int32_t x = 0; x < w; ++x) {
            out[x * 3] = src[x * 3 + 2];
            out[x * 3 + 1] = src[x * 3 + 1];
            out[x * 3 + 2] = src[x * 3];
        }
    } else {
        for (std::int32_t x = 0; x < w; ++x) {
            const std::uint8_t* p = src + x * 4;
            std::uint8_t* o = out + x * 3;
            const std::uint8_t a = p[3];
            if (blendAlpha) {
                o[0] = blend(p[2], a, 0);
                o[1] = blend(p[1], a, 1);
                o[2] = blend(p[0], a, 2);
            } else {
                o[0] = p[2];
                o[1] = p[1];
                o[2] = p[0];
            }
            if (alpha) alpha[x] = a;
        }
    }
    if (rightToLeft) {
        raster::mirrorRow(out, w);
        if (alpha) std::reverse(alpha, alpha + w);
    }
}

Status TgaReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (m_raw.empty() || m_row >= m_height) return fail(DecodeError::Corrupt);
    if (skip && !m_rle && m_alphaPlane.empty()) {
        m_input.skip(m_raw.size());
        if (!m_input.ok()) return fail(m_input.error());
    } else {
        if (m_rle) {
            KALDER_TRY(readPackedRow());
        } else if (!m_input.read(m_raw.data(), m_raw.size())) {
            return fail(m_input.error());
        }
        convertRow(out);
    }
    ++m_row;
    return rowDelivered(m_height, m_row);
}

std::unique_ptr<ImageReader> makeTgaReader() { return std::make_unique<TgaReader>(); }

}  // namespace kalder::image
