#include "image/writers/gif_writer.h"

#include <algorithm>

#include "image/writers/gif_lzw_encoder_p.h"

namespace kalder::image {
namespace {

constexpr std::size_t kSubBlock = 255;

// Rows of an interlaced frame in the order they are stored: every 8th from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1.
std::vector<std::int32_t> rowOrder(std::int32_t height, bool interlaced) {
    std::vector<std::int32_t> rows;
    rows.reserve(static_cast<std::size_t>(height));
    if (!interlaced) {
        for (std::int32_t y = 0; y < height; ++y) rows.push_back(y);
        return rows;
    }
    static constexpr std::int32_t kStart[4] = {0, 4, 2, 1};
    static constexpr std::int32_t kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (std::int32_t y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
    return rows;
}

void appendSubBlocks(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t n) {
    out.reserve(out.size() + n + n / kSubBlock + 2);
    for (std::size_t at = 0; at < n; at += kSubBlock) {
        const std::size_t len = std::min(kSubBlock, n - at);
        out.push_back(static_cast<std::uint8_t>(len));
        out.insert(out.end(), data + at, data + at + len);
    }
    out.push_back(0);
}

}  // namespace

Status GifWriter::Write(const WriterImage& image) {
    return writeFrame(image, {0, 0, image.width, image.height});
}

Status GifWriter::writeScreen(const WriterImage& image) {
    m_screenWidth = image.width;
    m_screenHeight = image.height;
    m_globalBits = image.gifGlobalPalette ? image.bits : 0;
    const std::uint32_t depth = static_cast<std::uint32_t>(image.bits - 1);
    put("GIF89a", 6);
    u16le(static_cast<std::uint32_t>(image.width));
    u16le(static_cast<std::uint32_t>(image.height));
    u8((depth << 4) | (m_globalBits ? 0x80 : 0) | depth);
    u8(0);  // background
    u8(0);  // aspect
    if (m_globalBits) put(image.palette.data(), (std::size_t{3}) << image.bits);
    if (m_loops) {
        static constexpr std::uint8_t kHead[] = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C',
                                                 'A',  'P',  'E', '2', '.', '0', 3,   1};
        put(kHead, sizeof kHead);
        u16le(m_repeats);
        u8(0);
    }
    return status();
}

Status GifWriter::writeFrame(const WriterImage& image, const GifFrameRect& rect) {
    if (m_failed) return DecodeError::Io;
    // GIF stores palette indexes only; callers reduce true colour first.
    if (image.bits < 1 || image.bits > 8) return DecodeError::Unsupported;
    if (!image.pixels || image.width < 1 || image.height < 1) return DecodeError::Corrupt;
    if (image.width > 65535 || image.height > 65535) return DecodeError::TooLarge;
    if (rect.width < 1 || rect.height < 1 || rect.left < 0 || rect.top < 0 ||
        rect.left > image.width - rect.width || rect.top > image.height - rect.height)
        return DecodeError::Corrupt;
    m_failed = true;  // until this frame is complete
    if (m_frames == 0) KALDER_TRY(writeScreen(image));

    // Frames that do not fit the global table carry their own.
    const bool local = !(image.gifGlobalPalette && m_globalBits >= image.bits);
    const std::int32_t bits = local ? image.bits : m_globalBits;
    const bool transparent =
        image.transparent && image.transparentIndex >= 0 && image.transparentIndex < (1 << bits);
    const std::uint32_t disposal = static_cast<std::uint32_t>(std::clamp(image.gifDisposal, 0, 7));
    if (transparent || image.gifDelay != 0 || disposal != 0) {
        const std::uint8_t gce[8] = {
            0x21,
            0xF9,
            0x04,
            static_cast<std::uint8_t>((disposal << 2) | (transparent ? 1 : 0)),
            static_cast<std::uint8_t>(image.gifDelay),
            static_cast<std::uint8_t>(image.gifDelay >> 8),
            static_cast<std::uint8_t>(transparent ? image.transparentIndex : 0),
            0};
        put(gce, sizeof gce);
    }
    u8(0x2C);
    u16le(static_cast<std::uint32_t>(rect.left));
    u16le(static_cast<std::uint32_t>(rect.top));
    u16le(static_cast<std::uint32_t>(rect.width));
    u16le(static_cast<std::uint32_t>(rect.height));
    u8((image.gifInterlaced ? 0x40 : 0) | (local ? 0x80 : 0) |
       static_cast<std::uint32_t>(bits - 1));
    if (local) put(image.palette.data(), (std::size_t{3}) << bits);
    // A one-bit image still needs a code size of two.
    const int minCodeSize = std::max(2, bits);
    u8(static_cast<std::uint32_t>(minCodeSize));
    KALDER_TRY(status());

    const std::size_t w = static_cast<std::size_t>(rect.width);
    m_code.clear();
    m_code.reserve(w * static_cast<std::size_t>(rect.height) / 2 + 64);
    GifLzwEncoder encoder;
    encoder.begin(minCodeSize, m_code);
    const bool maskAlpha = transparent && image.alphaPlane;
    const std::vector<std::int32_t> rows = rowOrder(rect.height, image.gifInterlaced);
    m_indexes.resize(w);
    std::int32_t done = 0;
    for (const std::int32_t y : rows) {
        const std::int32_t sy = rect.top + y;
        const std::uint8_t* src = image.row(sy) + rect.left;
        if (maskAlpha) {
            // Pixels that are mostly transparent take the transparent index.
            const std::uint8_t* a =
                image.alphaPlane +
                static_cast<std::size_t>(sy) * static_cast<std::size_t>(image.width) +
                static_cast<std::size_t>(rect.left);
            const auto t = static_cast<std::uint8_t>(image.transparentIndex);
            for (std::size_t x = 0; x < w; ++x) m_indexes[x] = a[x] < 128 ? t : src[x];
            encoder.add(m_indexes.data(), w);
        } else {
            encoder.add(src, w);
        }
        reportProgress(rect.height, ++done);
    }
    encoder.finish();
    m_blocks.clear();
    appendSubBlocks(m_blocks, m_code.data(), m_code.size());
    put(m_blocks.data(), m_blocks.size());
    KALDER_TRY(status());
    ++m_frames;
    m_failed = false;
    return {};
}

Status GifWriter::onClose() {
    if (m_failed || m_frames == 0) return DecodeError::NoMoreFrames;
    for (const std::string& comment : comments()) {
        if (comment.empty()) continue;
        std::vector<std::uint8_t> block = {0x21, 0xFE};
        appendSubBlocks(block, reinterpret_cast<const std::uint8_t*>(comment.data()),
                        comment.size());
        put(block.data(), block.size());
    }
    u8(';');
    return status();
}

}  // namespace kalder::image
