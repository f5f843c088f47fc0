#include "image/readers/jp2_boxes_p.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/byte_order.h"
#include "image/buffered_input.h"
#include "image/byte_reader.h"

namespace kalder::image {
namespace {

constexpr std::uint8_t kSignature[12] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0d, 0x0a, 0x87, 0x0a};
constexpr std::uint8_t kSignatureVariant[12] = {0,    0,    0,    12,   'j',  'P',
                                                0x1a, 0x1a, 0x0d, 0x0a, 0x87, 0x0a};
constexpr int kSignatureTries = 8;
constexpr std::uint64_t kSignatureStep = 128;
// The header box holds small boxes (and possibly an ICC profile); more than this is refused.
constexpr std::uint64_t kMaxHeaderBox = 16 * 1024 * 1024;

constexpr std::uint32_t kHeader = base::fourCcBe("jp2h"), kColour = base::fourCcBe("colr"),
                        kResolution = base::fourCcBe("res "), kCapture = base::fourCcBe("resc"),
                        kDisplay = base::fourCcBe("resd"), kCodestream = base::fourCcBe("jp2c"),
                        kPalette = base::fourCcBe("pclr");
constexpr std::uint32_t kSrgb = 16, kGray = 17;

struct Box {
    std::uint32_t type = 0;
    std::uint64_t contentStart = 0;
    std::uint64_t contentLength = 0;
};

// Reads the box header at `pos` of a region ending at `end`. Length 0: to the end of the region;
// 1: a 64-bit length follows; otherwise at least 8.
template <typename Source>
bool readBox(Source& src, std::uint64_t pos, std::uint64_t end, Box& box) {
    if (pos > end || end - pos < 8) return false;
    src.seek(pos);
    const std::uint64_t length = src.u32be();
    box.type = src.u32be();
    std::uint64_t header = 8;
    std::uint64_t total;
    if (length == 1) {
        if (end - pos < 16) return false;
        const std::uint64_t high = src.u32be();
        total = (high << 32) | src.u32be();
        header = 16;
        if (total < 16) return false;
    } else if (length == 0) {
        total = end - pos;
    } else {
        if (length < 8) return false;
        total = length;
    }
    if (!src.ok() || total > end - pos) return false;
    box.contentStart = pos + header;
    box.contentLength = total - header;
    return true;
}

void readResolution(ByteReader& r, const Box& res, Jp2Layout& layout) {
    std::uint64_t pos = res.contentStart;
    const std::uint64_t end = res.contentStart + res.contentLength;
    Box sub;
    while (readBox(r, pos, end, sub)) {
        if ((sub.type == kCapture || sub.type == kDisplay) && sub.contentLength >= 10) {
            r.seek(sub.contentStart);
            const std::uint16_t vn = r.u16be(), vd = r.u16be(), hn = r.u16be(), hd = r.u16be();
            const auto ve = static_cast<std::int8_t>(r.u8());
            const auto he = static_cast<std::int8_t>(r.u8());
            if (r.ok()) {
                // The later box wins.
                layout.dpiY = jp2ResolutionDpi(vn, vd, ve);
                layout.dpiX = jp2ResolutionDpi(hn, hd, he);
            }
        }
        pos = sub.contentStart + sub.contentLength;
    }
}

Status readHeaderBox(BufferedInput& in, const Box& header, Jp2Layout& layout) {
    if (header.contentLength > kMaxHeaderBox) return DecodeError::TooLarge;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(header.contentLength));
    in.seek(header.contentStart);
    if (!in.read(bytes.data(), bytes.size())) return DecodeError::Truncated;
    ByteReader r(bytes);
    std::uint64_t pos = 0;
    const std::uint64_t end = bytes.size();
    bool colourSeen = false;
    Box box;
    while (readBox(r, pos, end, box)) {
        if (box.type == kColour && !colourSeen) {
            // Only the first colour specification counts. We show sRGB and gray samples as they
            // are; anything needing a conversion (ICC, YCC, CMYK...) is refused.
            colourSeen = true;
            r.seek(box.contentStart);
            const std::uint8_t method = r.u8();
            r.skip(2);
            const std::uint32_t space = r.u32be();
            if (!r.ok() || box.contentLength < 7) return DecodeError::Corrupt;
            if (method != 1 || (space != kSrgb && space != kGray)) return DecodeError::Unsupported;
        } else if (box.type == kPalette) {
            // Palette-mapped components would be shown as their indexes.
            return DecodeError::Unsupported;
        } else if (box.type == kResolution) {
            readResolution(r, box, layout);
        }
        pos = box.contentStart + box.contentLength;
    }
    return {};
}

}  // namespace

std::int32_t jp2ResolutionDpi(std::uint32_t numerator, std::uint32_t denominator,
                              std::int8_t exponent) {
    if (numerator == 0 || denominator == 0) return -1;
    const double perMetre = double(numerator) / double(denominator) * std::pow(10.0, exponent);
    const double dpi = perMetre / 39.37 + 0.5;
    if (!std::isfinite(dpi) || dpi < 1 || dpi > 1e6) return -1;
    return static_cast<std::int32_t>(dpi);
}

Result<Jp2Signature> findJp2Signature(BufferedInput& in) {
    for (int i = 0; i < kSignatureTries; ++i) {
        const std::uint64_t offset = kSignatureStep * static_cast<std::uint64_t>(i);
        if (offset >= in.size()) break;
        in.seek(offset);
        std::uint8_t head[12] = {};
        const std::size_t n = in.readUpTo(head, sizeof head);
        if (n >= 3 && head[0] == 0xff && head[1] == 0x4f && head[2] == 0xff)
            return Jp2Signature{false, offset};
        if (n == 12 && (std::memcmp(head, kSignature, 12) == 0 ||
                        std::memcmp(head, kSignatureVariant, 12) == 0))
            return Jp2Signature{true, offset};
    }
    return DecodeError::BadSignature;
}

Result<Jp2Layout> readJp2Layout(BufferedInput& in, std::uint64_t signatureOffset) {
    Jp2Layout layout;
    const std::uint64_t end = in.size();
    if (signatureOffset > end || end - signatureOffset < 12) return DecodeError::Truncated;
    std::uint64_t pos = signatureOffset + 12;
    int boxesBefore = 0;
    Box box;
    while (pos < end) {
        if (!readBox(in, pos, end, box)) return DecodeError::Corrupt;
        if (box.type == kCodestream) {
            if (boxesBefore == 0 || box.contentLength == 0) return DecodeError::Corrupt;
            layout.codestreamStart = box.contentStart;
            layout.codestreamLength = box.contentLength;
            return layout;
        }
        if (box.type == kHeader) KALDER_TRY(readHeaderBox(in, box, layout));
        ++boxesBefore;
        pos = box.contentStart + box.contentLength;
    }
    return DecodeError::Corrupt;  // no codestream
}

Result<J2kSize> readJ2kSize(BufferedInput& in, std::uint64_t start, std::uint64_t length) {
    // SOC, SIZ marker and length, capabilities, eight grid values, component count.
    constexpr std::uint64_t kFixed = 2 + 2 + 2 + 2 + 8 * 4 + 2;
    constexpr std::uint64_t kTilePartHeader = 14;  // SOT segment and SOD marker
    if (length < kFixed) return DecodeError::Truncated;
    in.seek(start);
    const std::uint16_t soc = in.u16be(), siz = in.u16be(), segment = in.u16be();
    (void)in.u16be();
    std::uint32_t grid[8];
    for (std::uint32_t& v : grid) v = in.u32be();
    const std::uint16_t components = in.u16be();
    if (!in.ok()) return DecodeError::Truncated;
    if (soc != 0xFF4F || siz != 0xFF51) return DecodeError::BadSignature;
    if (components == 0 || segment != 38u + 3u * components) return DecodeError::Corrupt;
    if (length < kFixed + 3u * components) return DecodeError::Truncated;
    const auto [x1, y1, x0, y0, tileW, tileH, tileX0, tileY0] = std::array<std::uint64_t, 8>{
        grid[0], grid[1], grid[2], grid[3], grid[4], grid[5], grid[6], grid[7]};
    if (x1 <= x0 || y1 <= y0 || tileW == 0 || tileH == 0 || tileX0 > x0 || tileY0 > y0 ||
        tileX0 + tileW <= x0 || tileY0 + tileH <= y0)
        return DecodeError::Corrupt;
    J2kSize out;
    out.x0 = grid[2];
    out.y0 = grid[3];
    out.x1 = grid[0];
    out.y1 = grid[1];
    out.components = components;
    // Neither factor exceeds 2^32 - 1, so the product fits.
    out.tiles = ((x1 - tileX0 + tileW - 1) / tileW) * ((y1 - tileY0 + tileH - 1) / tileH);
    if (out.tiles > length / kTilePartHeader) return DecodeError::Truncated;
    const std::uint64_t budget =
        length > UINT64_MAX / kMaxJ2kCompression ? UINT64_MAX : length * kMaxJ2kCompression;
    for (std::uint32_t c = 0; c < components; ++c) {
        (void)in.u8();  // precision and sign
        const std::uint64_t dx = in.u8(), dy = in.u8();
        if (dx == 0 || dy == 0) return DecodeError::Corrupt;
        const std::uint64_t w = (x1 + dx - 1) / dx - (x0 + dx - 1) / dx;
        const std::uint64_t h = (y1 + dy - 1) / dy - (y0 + dy - 1) / dy;
        if (w * h > budget - out.samples) return DecodeError::Truncated;
        out.samples += w * h;
    }
    if (!in.ok()) return DecodeError::Truncated;
    return out;
}

}  // namespace kalder::image
