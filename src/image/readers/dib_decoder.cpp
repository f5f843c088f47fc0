#include <algorithm>
#include <bit>
#include <cstring>

#include "image/checked.h"
#include "image/format_table.h"
#include "image/image_reader.h"
#include "image/readers/dib_decoder_p.h"

namespace kalder::image {
namespace {

constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kMasksInHeaderSize = 52;  // V2 and later carry red, green, blue masks
constexpr std::uint32_t kAlphaInHeaderSize = 56;  // V3 and later also carry the alpha mask

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool validBitCount(std::uint32_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

}  // namespace

DibField DibField::fromMask(std::uint32_t mask) {
    DibField f;
    f.mask = mask;
    if (mask == 0) return f;
    f.shift = std::countr_zero(mask);
    f.bits = 32 - std::countl_zero(mask >> f.shift);
    return f;
}

Status DibDecoder::readHeader(BufferedInput& in, const DibHeaderOptions& options) {
    const std::uint64_t headerStart = in.position();
    const std::uint32_t headerSize = in.u32le();
    std::int64_t width = 0, height = 0;
    std::uint32_t planes = 0;
    std::array<std::uint32_t, 4> masks{};
    std::uint32_t coloursUsed = 0;
    m_core = headerSize == kCoreHeaderSize;
    if (m_core) {
        width = in.u16le();
        height = in.u16le();
        planes = in.u16le();
        m_bitCount = in.u16le();
        m_compression = kRgb;
        m_xPels = m_yPels = 0;
    } else {
        if (headerSize < kInfoHeaderSize) return DecodeError::Unsupported;
        width = static_cast<std::int32_t>(in.u32le());
        height = static_cast<std::int32_t>(in.u32le());
        planes = in.u16le();
        m_bitCount = in.u16le();
        m_compression = in.u32le();
        (void)in.u32le();  // image size: unreliable, and not needed
        m_xPels = static_cast<std::int32_t>(in.u32le());
        m_yPels = static_cast<std::int32_t>(in.u32le());
        coloursUsed = in.u32le();
        (void)in.u32le();  // colours important
        if (headerSize >= kMasksInHeaderSize) {
            masks[0] = in.u32le();
            masks[1] = in.u32le();
            masks[2] = in.u32le();
            if (headerSize >= kAlphaInHeaderSize) masks[3] = in.u32le();
        }
        in.seek(headerStart + headerSize);
        if (headerSize < kMasksInHeaderSize &&
            (m_compression == kBitFields || m_compression == kAlphaBitFields)) {
            masks[0] = in.u32le();
            masks[1] = in.u32le();
            masks[2] = in.u32le();
            if (m_compression == kAlphaBitFields) masks[3] = in.u32le();
        }
    }
    if (!in.ok()) return in.error();
    if (options.requireOnePlane && planes != 1) return DecodeError::Corrupt;
    if (!validBitCount(m_bitCount)) return DecodeError::Unsupported;
    if (m_compression > kBitFields && m_compression != kAlphaBitFields)
        return DecodeError::Unsupported;
    if (options.iconImage) {
        if (height <= 0) return DecodeError::Corrupt;
        height /= 2;
        m_bottomUp = true;
    } else {
        m_bottomUp = height > 0;
        height = height < 0 ? -height : height;
    }
    if (!validImageSide(width) || !validImageSide(height)) return DecodeError::TooLarge;
    m_width = static_cast<std::int32_t>(width);
    m_height = static_cast<std::int32_t>(height);

    // Pixel layouts: bit fields when the file gives them, else the fixed ones of each depth.
    const bool fields = m_compression == kBitFields || m_compression == kAlphaBitFields;
    m_alphaDeclared = masks[3] != 0 && (fields || m_bitCount == 32);
    if (!fields || (masks[0] | masks[1] | masks[2]) == 0) {
        if (m_bitCount == 16)
            masks = {0x7C00, 0x03E0, 0x001F, 0};
        else
            masks = {0xFF0000, 0x00FF00, 0x0000FF, fields ? masks[3] : 0xFF000000u};
    }
    m_red = DibField::fromMask(masks[0]);
    m_green = DibField::fromMask(masks[1]);
    m_blue = DibField::fromMask(masks[2]);
    m_alpha = DibField::fromMask(masks[3]);

    // The colour table. Its size comes from the header; a pixel-data offset that lies inside it
    // cuts it short (small OS/2 palettes, inflated colour counts).
    const std::uint64_t tableStart = in.position();
    const std::uint64_t entrySize = m_core ? 3 : 4;
    std::uint64_t entries = coloursUsed;
    if (entries == 0 && m_bitCount <= 8) entries = std::uint64_t{1} << m_bitCount;
    const bool offsetValid = options.pixelOffset >= tableStart && options.pixelOffset < in.size();
    if (offsetValid && entries * entrySize > options.pixelOffset - tableStart)
        entries = (options.pixelOffset - tableStart) / entrySize;
    if (entries * entrySize > in.remaining()) return DecodeError::Truncated;
    m_palette.fill(0);
    const std::uint64_t kept = std::min<std::uint64_t>(entries, 256);
    for (std::uint64_t i = 0; i < kept; ++i) {
        std::uint8_t e[4] = {};
        in.read(e, entrySize);
        m_palette[i * 3] = e[2];
        m_palette[i * 3 + 1] = e[1];
        m_palette[i * 3 + 2] = e[0];
    }
    in.skip((entries - kept) * entrySize);
    m_paletteEntries = m_bitCount <= 8 ? static_cast<std::uint32_t>(kept) : 0;
    if (!in.ok()) return in.error();
    if (offsetValid && options.pixelOffset > in.position()) in.seek(options.pixelOffset);

    m_rowBytes.assign(stride(), 0);
    m_indexes.assign(static_cast<std::size_t>(m_width), 0);
    beginFrame();
    return in.status();
}

bool DibDecoder::hasAlphaChannel() const {
    return (m_bitCount == 32 || m_bitCount == 16) && m_alpha.bits > 0 &&
           (m_compression == kBitFields || m_compression == kAlphaBitFields || m_bitCount == 32);
}

std::size_t DibDecoder::stride() const {
    return (static_cast<std::size_t>(m_width) * m_bitCount + 31) / 32 * 4;
}

std::size_t DibDecoder::maskStride() const {
    return (static_cast<std::size_t>(m_width) + 31) / 32 * 4;
}

void DibDecoder::beginFrame() {
    m_row = 0;
    m_rleX = 0;
    m_rleY = 0;
    m_rleDone = false;
}

void DibDecoder::indexesToRgb(std::uint8_t* rgb) const {
    for (std::int32_t x = 0; x < m_width; ++x) {
        const std::uint8_t* p = &m_palette[m_indexes[x] * 3u];
        rgb[x * 3] = p[0];
        rgb[x * 3 + 1] = p[1];
        rgb[x * 3 + 2] = p[2];
    }
}

Status DibDecoder::decodeRow(BufferedInput& in, std::uint8_t* rgb, std::uint8_t* alpha) {
    if (alpha) std::memset(alpha, 255, static_cast<std::size_t>(m_width));
    if (isRunLength()) {
        KALDER_TRY(decodeRunLengthRow(in));
        indexesToRgb(rgb);
        return {};
    }
    if (!in.read(m_rowBytes.data(), m_rowBytes.size())) return in.error();
    ++m_row;
    const std::uint8_t* src = m_rowBytes.data();
    const std::int32_t w = m_width;
    switch (m_bitCount) {
        case 1:
        case 2:
        case 4:
        case 8: {
            const std::uint32_t bits = m_bitCount;
            const std::uint32_t perByte = 8 / bits;
            const std::uint32_t valueMask = (1u << bits) - 1;
            for (std::int32_t x = 0; x < w; ++x) {
                const std::uint32_t byte = src[static_cast<std::uint32_t>(x) / perByte];
                const std::uint32_t shift =
                    8 - bits * (static_cast<std::uint32_t>(x) % perByte + 1);
                m_indexes[x] = static_cast<std::uint8_t>((byte >> shift) & valueMask);
            }
            indexesToRgb(rgb);
            break;
        }
        case 24:
            for (std::int32_t x = 0; x < w; ++x) {
                rgb[x * 3] = src[x * 3 + 2];
                rgb[x * 3 + 1] = src[x * 3 + 1];
                rgb[x * 3 + 2] = src[x * 3];
            }
            break;
        case 16:
        case 32: {
            const bool wide = m_bitCount == 32;
            const bool withAlpha = alpha && hasAlphaChannel();
            for (std::int32_t x = 0; x < w; ++x) {
                std::uint32_t v;
                if (wide) {
                    const std::uint8_t* p = src + x * 4;
                    v = p[0] | (p[1] << 8) | (p[2] << 16) |
                        (static_cast<std::uint32_t>(p[3]) << 24);
                } else {
                    v = src[x * 2] | (src[x * 2 + 1] << 8);
                }
                rgb[x * 3] = m_red(v);
                rgb[x * 3 + 1] = m_green(v);
                rgb[x * 3 + 2] = m_blue(v);
                if (withAlpha) alpha[x] = m_alpha(v);
            }
            break;
        }
        default:
            return DecodeError::Unsupported;
    }
    return {};
}

Status DibDecoder::skipRow(BufferedInput& in) {
    if (isRunLength()) return decodeRunLengthRow(in);
    in.skip(m_rowBytes.size());
    ++m_row;
    return in.status();
}

Status DibDecoder::readMaskRow(BufferedInput& in, std::uint8_t* opacity) {
    const std::size_t n = maskStride();
    if (m_rowBytes.size() < n) m_rowBytes.resize(n);
    if (!in.read(m_rowBytes.data(), n)) return in.error();
    for (std::int32_t x = 0; x < m_width; ++x) {
        const bool transparent =
            (m_rowBytes[static_cast<std::size_t>(x) >> 3] >> (7 - (x & 7))) & 1;
        opacity[x] = transparent ? 0 : 255;
    }
    return {};
}

// Decodes run-length data up to the end of file row m_row into m_indexes. The stream's own
// position (m_rleX, m_rleY) may be ahead of the row being delivered after a delta; pixels the
// stream skips show palette entry 0.
Status DibDecoder::decodeRunLengthRow(BufferedInput& in) {
    std::fill(m_indexes.begin(), m_indexes.end(), std::uint8_t{0});
    const std::int32_t row = m_row++;
    if (m_rleDone || m_rleY > row) return {};
    const bool rle4 = m_compression == kRle4;
    const std::int32_t w = m_width;
    std::int32_t x = m_rleX;
    auto nextRow = [&](std::int32_t rows, std::int32_t column) {
        m_rleY = row + rows;
        m_rleX = std::min(column, w);
    };
    // A row ends with end of line, end of bitmap or a delta downwards; pixels past the right
    // edge (some writers pad rows to four pixels) are dropped until then.
    while (true) {
        const std::uint8_t n = in.u8();
        const std::uint8_t c = in.u8();
        if (!in.ok()) return in.error();
        if (n > 0) {
            const std::int32_t run = std::min<std::int32_t>(n, w - x);
            for (std::int32_t i = 0; i < run; ++i) {
                m_indexes[x + i] =
                    rle4 ? static_cast<std::uint8_t>((i & 1) ? (c & 15) : (c >> 4)) : c;
            }
            x += run;
            continue;
        }
        if (c == 0) {  // end of line
            nextRow(1, 0);
            return {};
        }
        if (c == 1) {  // end of bitmap: the rest stays at entry 0
            m_rleDone = true;
            return {};
        }
        if (c == 2) {  // delta: right dx, then down dy rows
            const std::uint8_t dx = in.u8();
            const std::uint8_t dy = in.u8();
            if (!in.ok()) return in.error();
            x = std::min<std::int32_t>(x + dx, w);
            if (dy > 0) {
                nextRow(dy, x);
                return {};
            }
            continue;
        }
        // Absolute run of c indexes, padded to a 16-bit boundary. What does not fit is dropped.
        const std::uint32_t bytes = rle4 ? (c + 1u) / 2 : c;
        for (std::uint32_t i = 0; i < c; ++i) {
            std::uint8_t v;
            if (rle4) {
                if ((i & 1) == 0) m_rowBytes[0] = in.u8();
                v = (i & 1) ? (m_rowBytes[0] & 15) : (m_rowBytes[0] >> 4);
            } else {
                v = in.u8();
            }
            if (x < w) m_indexes[x++] = v;
        }
        if (bytes & 1) (void)in.u8();
        if (!in.ok()) return in.error();
    }
}

// ---------------------------------------------------------------------------------------------

IconImage::IconImage() = default;
IconImage::~IconImage() = default;
IconImage::IconImage(IconImage&&) noexcept = default;
IconImage& IconImage::operator=(IconImage&&) noexcept = default;

Status IconImage::probe(BufferedInput& in, std::uint64_t offset, std::uint64_t size) {
    release();
    m_png.reset();
    m_pngBytes.clear();
    if (offset >= in.size()) return DecodeError::Truncated;
    size = std::min<std::uint64_t>(size, in.size() - offset);
    in.seek(offset);
    std::uint8_t head[8] = {};
    const bool haveHead = size >= 8 && in.read(head, 8);
    in.seek(offset);
    if (!in.ok()) return in.error();
    if (haveHead && std::memcmp(head, kPngSignature, 8) == 0) {
        m_png = createReaderForCode(FormatCode::Png);
        if (!m_png) return DecodeError::NoReader;
        m_pngBytes.resize(static_cast<std::size_t>(size));
        if (!in.read(m_pngBytes.data(), m_pngBytes.size())) return in.error();
        // The icon composites the alpha itself, so the embedded image hands it over unblended.
        ReaderSettings pngSettings;
        pngSettings.extractAlpha = true;
        KALDER_TRY(m_png->openMemoryWith(m_pngBytes, pngSettings));
        KALDER_TRY(m_png->ReadHeader());
        m_width = m_png->Width();
        m_height = m_png->Height();
        m_pngPalette.fill(0);
        if (!m_png->GetPalette(m_pngPalette)) return DecodeError::Unsupported;
    } else {
        DibHeaderOptions options;
        options.requireOnePlane = false;
        options.iconImage = true;
        KALDER_TRY(m_dib.readHeader(in, options));
        m_width = m_dib.width();
        m_height = m_dib.height();
        m_pixelStart = in.position();
    }
    if (!validImageSide(m_width) || !validImageSide(m_height)) return DecodeError::TooLarge;
    if (std::int64_t{m_width} * m_height > kMaxPixels) return DecodeError::TooLarge;
    return {};
}

std::uint32_t IconImage::bitsPerPixel() const {
    return m_png ? m_png->BitsPerPixel() : m_dib.reportedBits();
}

const Palette& IconImage::palette() const { return m_png ? m_pngPalette : m_dib.palette(); }

void IconImage::release() {
    m_rgb.clear();
    m_rgb.shrink_to_fit();
    m_alpha.clear();
    m_alpha.shrink_to_fit();
    m_alphaIsMask = false;
}

Status IconImage::decode(BufferedInput& in, bool wantMask, const std::function<Status()>& rowDone) {
    release();
    if (m_width <= 0 || m_height <= 0) return DecodeError::Corrupt;
    if (m_png) return decodePng(rowDone);
    const std::size_t w = static_cast<std::size_t>(m_width);
    const std::size_t h = static_cast<std::size_t>(m_height);
    // Uncompressed pixel data must be there before anything is allocated for it.
    if (!m_dib.isRunLength() && m_pixelStart + m_dib.stride() * h > in.size())
        return DecodeError::Truncated;
    in.seek(m_pixelStart);
    m_dib.beginFrame();
    m_rgb.assign(w * h * 3, 0);
    const bool channel = m_dib.hasAlphaChannel();
    if (channel) m_alpha.assign(w * h, 255);
    for (std::size_t y = 0; y < h; ++y) {
        KALDER_TRY(m_dib.decodeRow(in, m_rgb.data() + y * w * 3,
                                   channel ? m_alpha.data() + y * w : nullptr));
        KALDER_TRY(rowDone());
    }
    if (channel || !wantMask) return {};
    // The AND mask follows the colour rows, bottom row first like them.
    m_alpha.assign(w * h, 255);
    m_alphaIsMask = true;
    for (std::size_t y = 0; y < h; ++y) KALDER_TRY(m_dib.readMaskRow(in, m_alpha.data() + y * w));
    return {};
}

Status IconImage::decodePng(const std::function<Status()>& rowDone) {
    // The embedded reader must agree with the size it announced.
    if (m_png->Width() != m_width || m_png->Height() != m_height) return DecodeError::Corrupt;
    auto begun = m_png->BeginDecode();
    if (!begun) return begun.error();
    const std::size_t w = static_cast<std::size_t>(m_width);
    const std::size_t h = static_cast<std::size_t>(m_height);
    m_rgb.assign(w * h * 3, 0);
    const bool bottomUp = m_png->IsBottomUp();
    for (std::size_t i = 0; i < h; ++i) {
        // Icon rows are kept bottom row first.
        const std::size_t y = bottomUp ? i : h - 1 - i;
        KALDER_TRY(m_png->ReadRow(m_rgb.data() + y * w * 3, false));
        KALDER_TRY(rowDone());
    }
    m_png->EndDecode();
    const auto& plane = m_png->alphaPlane();
    if (plane.size() == w * h) {
        m_alpha.resize(w * h);
        for (std::size_t y = 0; y < h; ++y)
            std::memcpy(m_alpha.data() + (h - 1 - y) * w, plane.data() + y * w, w);
    }
    return {};
}

}  // namespace kalder::image
