#include "image/readers/iff_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "image/byte_reader.h"
#include "image/checked.h"
#include "image/image_reader.h"
#include "image/readers/packbits_p.h"

namespace kalder::image {
namespace {

constexpr std::uint32_t kForm = base::fourCcBe("FORM");
constexpr std::uint32_t kIlbm = base::fourCcBe("ILBM");
constexpr std::uint32_t kBmhd = base::fourCcBe("BMHD");
constexpr std::uint32_t kCmap = base::fourCcBe("CMAP");
constexpr std::uint32_t kCamg = base::fourCcBe("CAMG");
constexpr std::uint32_t kBody = base::fourCcBe("BODY");

// Display-mode bits of the CAMG chunk.
constexpr std::uint32_t kCamgHam = 0x800;
constexpr std::uint32_t kCamgHalfBrite = 0x80;

enum class Masking : std::uint8_t { None = 0, Plane = 1, TransparentColour = 2, Lasso = 3 };

enum class Kind { Indexed, Ham, Deep };

// Spreads the eight bits of a byte over eight bytes, most significant bit in the first byte
// (memory order), so eight pixels of one plane are merged with one shift and one or.
struct BitSpread {
    std::array<std::uint64_t, 256> table{};
    BitSpread() {
        for (int b = 0; b < 256; ++b) {
            std::uint8_t bytes[8];
            for (int k = 0; k < 8; ++k) bytes[k] = (b >> (7 - k)) & 1;
            std::memcpy(&table[b], bytes, 8);
        }
    }
};
const BitSpread kSpread;

// Merges one plane row (bit `shift` of every pixel) into chunky bytes; dst holds rowBytes * 8.
inline void mergePlane(const std::uint8_t* plane, std::size_t rowBytes, int shift,
                       std::uint8_t* dst) {
    for (std::size_t i = 0; i < rowBytes; ++i) {
        std::uint64_t v;
        std::memcpy(&v, dst + 8 * i, 8);
        v |= kSpread.table[plane[i]] << shift;
        std::memcpy(dst + 8 * i, &v, 8);
    }
}

class IffReader final : public ImageReader {
public:
    Status ReadHeader() override;
    std::int32_t Width() const override { return m_width; }
    std::int32_t Height() const override { return m_height; }
    std::uint32_t BitsPerPixel() const override;
    bool GetPalette(Palette& palette) const override;
    std::string Description() const override;
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;

private:
    Status readChunks();
    void buildColourTable();
    void indexedRow(std::uint8_t* out);
    void hamRow(std::uint8_t* out);
    void deepRow(std::uint8_t* out);

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    int m_planes = 0;
    Masking m_masking = Masking::None;
    bool m_compressed = false;
    std::uint16_t m_transparentColour = 0;
    std::uint32_t m_camg = 0;
    bool m_haveCamg = false;
    int m_mapEntries = 0;  // colours given by CMAP (0 = no CMAP)
    Palette m_cmap{};
    Palette m_colours{};  // the colour table used for decoding
    Kind m_kind = Kind::Indexed;
    int m_hamBits = 4;

    std::size_t m_rowBytes = 0;           // bytes of one plane row
    int m_rowPlanes = 0;                  // planes stored per row (the mask plane included)
    std::vector<std::uint8_t> m_rowData;  // the planes of one row
    std::vector<std::uint8_t> m_chunky;   // merged pixels: per channel rowBytes * 8 bytes
    PackBitsStream m_unpack{m_input};
    std::int32_t m_row = 0;
};

Status IffReader::ReadHeader() {
    if (m_failed) return m_error;
    m_input.rewind();
    const std::uint32_t form = m_input.u32be();
    m_input.u32be();  // the FORM size: we trust the chunks and the file's end instead
    const std::uint32_t type = m_input.u32be();
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    if (form != kForm || type != kIlbm) return fail(DecodeError::BadSignature);
    KALDER_TRY(readChunks());

    if (m_width == 0 || m_height == 0) return fail(DecodeError::Corrupt);
    if (!validImageSide(m_width) || !validImageSide(m_height)) return fail(DecodeError::TooLarge);
    if (m_masking > Masking::Lasso) return fail(DecodeError::Unsupported);

    const bool ham = m_haveCamg && (m_camg & kCamgHam) && m_planes >= 5 && m_planes <= 8;
    if (ham) {
        m_kind = Kind::Ham;
        // The top two planes hold the control bits, the others the data bits.
        m_hamBits = m_planes - 2;
    } else if (m_planes >= 1 && m_planes <= 8) {
        m_kind = Kind::Indexed;
    } else if (m_planes == 24 || m_planes == 32 || m_planes == 48) {
        m_kind = Kind::Deep;
    } else {
        return fail(DecodeError::Unsupported);
    }
    buildColourTable();
    return {};
}

// Walks the chunks up to BODY, leaving the input at the start of the body data.
Status IffReader::readChunks() {
    bool haveHeader = false;
    for (;;) {
        const std::uint32_t id = m_input.u32be();
        const std::uint32_t size = m_input.u32be();
        if (!m_input.ok()) return fail(DecodeError::Truncated);
        const std::uint64_t padded = std::uint64_t{size} + (size & 1);
        if (id == kBody) {
            if (!haveHeader) return fail(DecodeError::Corrupt);
            return {};
        }
        if (id == kBmhd) {
            if (size < 20) return fail(DecodeError::Corrupt);
            m_width = m_input.u16be();
            m_height = m_input.u16be();
            m_input.skip(4);  // position
            m_planes = m_input.u8();
            m_masking = static_cast<Masking>(m_input.u8());
            const std::uint8_t compression = m_input.u8();
            m_input.skip(1);
            m_transparentColour = m_input.u16be();
            m_input.skip(padded - 14);  // aspect and page size
            if (compression > 1) return fail(DecodeError::Unsupported);
            m_compressed = compression == 1;
            haveHeader = true;
        } else if (id == kCmap) {
            const std::uint32_t take = std::min<std::uint32_t>(size / 3, 256) * 3;
            m_input.read(m_cmap.data(), take);
            m_mapEntries = static_cast<int>(take / 3);
            m_input.skip(padded - take);
        } else if (id == kCamg && size >= 4) {
            m_camg = m_input.u32be();
            m_haveCamg = true;
            m_input.skip(padded - 4);
        } else {
            m_input.skip(padded);
        }
        if (!m_input.ok()) return fail(DecodeError::Truncated);
    }
}

void IffReader::buildColourTable() {
    m_colours.fill(0);
    if (m_kind == Kind::Deep) return;
    const int bits = m_kind == Kind::Ham ? m_hamBits : m_planes;
    if (m_mapEntries == 0) {
        // No colour map: a gray ramp over the index range.
        const int top = (1 << bits) - 1;
        for (int i = 0; i <= top && i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(top ? i * 255 / top : 0);
            m_colours[i * 3] = m_colours[i * 3 + 1] = m_colours[i * 3 + 2] = v;
        }
        return;
    }
    m_colours = m_cmap;
    // Extra half-brite: indexes 32 ... 63 are the first 32 colours at half brightness. Files
    // without a CAMG chunk are recognised by their six planes and 32-colour map.
    const bool halfBrite = m_kind == Kind::Indexed && m_planes == 6 &&
                           ((m_haveCamg && (m_camg & kCamgHalfBrite)) ||
                            (!(m_haveCamg && (m_camg & kCamgHam)) && m_mapEntries <= 32));
    if (halfBrite) {
        for (int i = 0; i < 32 * 3; ++i) m_colours[32 * 3 + i] = m_colours[i] >> 1;
    }
}

std::uint32_t IffReader::BitsPerPixel() const {
    if (m_kind == Kind::Indexed) return static_cast<std::uint32_t>(m_planes);
    return m_planes == 32 ? 32 : 24;
}

bool IffReader::GetPalette(Palette& palette) const {
    if (m_kind == Kind::Indexed) palette = m_colours;
    return true;
}

std::string IffReader::Description() const {
    return std::string("IFF (Amiga Interchange File Format), ") +
           (m_compressed ? "compressed" : "uncompressed");
}

Result<std::uint32_t> IffReader::BeginDecode() {
    if (m_failed) return m_error;
    if (m_width == 0) return fail(DecodeError::Corrupt);
    m_rowBytes = static_cast<std::size_t>((m_width + 15) / 16) * 2;
    m_rowPlanes = m_planes + (m_masking == Masking::Plane ? 1 : 0);
    m_rowData.assign(m_rowBytes * m_rowPlanes, 0);
    // Chunky bytes: one channel for indexed and hold-and-modify pixels, four for deep ones,
    // plus the mask.
    m_chunky.assign(m_rowBytes * 8 * 5, 0);
    const bool hasAlpha = m_masking == Masking::Plane || m_planes == 32 ||
                          (m_masking == Masking::TransparentColour && m_kind == Kind::Indexed);
    if (m_settings.extractAlpha && hasAlpha)
        m_alphaPlane.assign(static_cast<std::size_t>(m_width) * m_height, 255);
    m_unpack.reset();
    m_row = 0;
    return 0u;
}

void IffReader::indexedRow(std::uint8_t* out) {
    std::uint8_t* idx = m_chunky.data();
    std::memset(idx, 0, m_rowBytes * 8);
    for (int p = 0; p < m_planes; ++p)
        mergePlane(m_rowData.data() + p * m_rowBytes, m_rowBytes, p, idx);
    for (std::int32_t x = 0; x < m_width; ++x) std::memcpy(out + 3 * x, &m_colours[idx[x] * 3], 3);
}

void IffReader::hamRow(std::uint8_t* out) {
    std::uint8_t* idx = m_chunky.data();
    std::memset(idx, 0, m_rowBytes * 8);
    for (int p = 0; p < m_planes; ++p)
        mergePlane(m_rowData.data() + p * m_rowBytes, m_rowBytes, p, idx);
    const int bits = m_hamBits;
    const std::uint8_t dataMask = static_cast<std::uint8_t>((1 << bits) - 1);
    const std::uint8_t keepMask = static_cast<std::uint8_t>(0xff >> bits);
    // Every row starts from colour 0, the border colour.
    std::uint8_t rgb[3] = {m_colours[0], m_colours[1], m_colours[2]};
    for (std::int32_t x = 0; x < m_width; ++x) {
        const std::uint8_t v = idx[x];
        const std::uint8_t d = v & dataMask;
        // A modify sets the top bits of one component and keeps its low bits, as the display
        // hardware does.
        const std::uint8_t high = static_cast<std::uint8_t>(d << (8 - bits));
        switch ((v >> bits) & 3) {
            case 0:
                std::memcpy(rgb, &m_colours[d * 3], 3);
                break;
            case 1:
                rgb[2] = high | (rgb[2] & keepMask);
                break;
            case 2:
                rgb[0] = high | (rgb[0] & keepMask);
                break;
            case 3:
                rgb[1] = high | (rgb[1] & keepMask);
                break;
        }
        std::memcpy(out + 3 * x, rgb, 3);
    }
}

void IffReader::deepRow(std::uint8_t* out) {
    // Planes come red first, least significant bit first; 48-plane pictures keep the high byte.
    const int perChannel = m_planes == 48 ? 16 : 8;
    const int channels = m_planes == 32 ? 4 : 3;
    const std::size_t stride = m_rowBytes * 8;
    std::memset(m_chunky.data(), 0, stride * channels);
    for (int c = 0; c < channels; ++c) {
        std::uint8_t* dst = m_chunky.data() + c * stride;
        for (int b = 0; b < 8; ++b) {
            const int plane = c * perChannel + (perChannel - 8) + b;
            mergePlane(m_rowData.data() + plane * m_rowBytes, m_rowBytes, b, dst);
        }
    }
    const std::uint8_t* r = m_chunky.data();
    const std::uint8_t* g = r + stride;
    const std::uint8_t* b = g + stride;
    for (std::int32_t x = 0; x < m_width; ++x) {
        out[3 * x] = r[x];
        out[3 * x + 1] = g[x];
        out[3 * x + 2] = b[x];
    }
}

Status IffReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (m_rowData.empty() || m_row >= m_height) return fail(DecodeError::Corrupt);
    const std::int32_t row = m_row++;
    if (m_compressed) {
        if (!m_unpack.fill(m_rowData.data(), m_rowData.size())) return fail(m_input.error());
    } else if (skip) {
        m_input.skip(m_rowData.size());
    } else {
        m_input.read(m_rowData.data(), m_rowData.size());
    }
    if (!m_input.ok()) return fail(m_input.error());
    if (!skip) {
        switch (m_kind) {
            case Kind::Indexed:
                indexedRow(out);
                break;
            case Kind::Ham:
                hamRow(out);
                break;
            case Kind::Deep:
                deepRow(out);
                break;
        }
        // Opacity: the mask plane, the fourth channel of 32-plane pictures, or the transparent
        // colour (the latter only reported, never blended: it is often just the backdrop).
        const std::uint8_t* alpha = nullptr;
        std::uint8_t* mask = m_chunky.data() + m_rowBytes * 8 * 4;
        if (m_masking == Masking::Plane) {
            const std::uint8_t* plane = m_rowData.data() + m_planes * m_rowBytes;
            for (std::size_t i = 0; i < m_rowBytes * 8; ++i)
                mask[i] = (plane[i >> 3] >> (7 - (i & 7))) & 1 ? 255 : 0;
            alpha = mask;
        } else if (m_planes == 32) {
            alpha = m_chunky.data() + m_rowBytes * 8 * 3;
        }
        const std::size_t w = static_cast<std::size_t>(m_width);
        if (alpha && m_settings.blendAlpha) {
            for (std::size_t x = 0; x < w; ++x) {
                if (alpha[x] == 255) continue;
                for (int c = 0; c < 3; ++c) out[3 * x + c] = blend(out[3 * x + c], alpha[x], c);
            }
        }
        if (!m_alphaPlane.empty()) {
            std::uint8_t* dst = m_alphaPlane.data() + static_cast<std::size_t>(row) * w;
            if (alpha) {
                std::memcpy(dst, alpha, w);
            } else if (m_masking == Masking::TransparentColour && m_kind == Kind::Indexed) {
                // The index row is still in the chunky buffer.
                for (std::size_t x = 0; x < w; ++x)
                    dst[x] = m_chunky[x] == m_transparentColour ? 0 : 255;
            }
        }
    }
    return rowDelivered(m_height, m_row);
}

}  // namespace

std::unique_ptr<ImageReader> makeIffReader() { return std::make_unique<IffReader>(); }

}  // namespace kalder::image
