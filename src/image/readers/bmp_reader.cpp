#include "image/readers/bmp_reader.h"

#include <cstdio>

#include "image/image_reader.h"
#include "image/readers/dib_decoder_p.h"

namespace kalder::image {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;

std::int32_t dpiFromPelsPerMeter(std::int32_t pels) {
    return static_cast<std::int32_t>(pels / 39.37 + 0.5);
}

class BmpReader final : public ImageReader {
public:
    Status ReadHeader() override;
    std::int32_t Width() const override { return m_headerRead ? m_dib.width() : 0; }
    std::int32_t Height() const override { return m_headerRead ? m_dib.height() : 0; }
    std::uint32_t BitsPerPixel() const override { return m_headerRead ? m_dib.reportedBits() : 0; }
    bool GetPalette(Palette& palette) const override;
    std::string Description() const override;
    std::int32_t DpiX() const override { return dpi(m_dib.xPelsPerMeter()); }
    std::int32_t DpiY() const override { return dpi(m_dib.yPelsPerMeter()); }
    bool IsBottomUp() const override { return m_dib.bottomUp(); }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;

private:
    std::int32_t dpi(std::int32_t pels) const {
        // The OS/2 core header has no resolution.
        if (!m_headerRead || m_dib.isCoreHeader()) return -1;
        return dpiFromPelsPerMeter(pels);
    }

    DibDecoder m_dib;
    std::uint64_t m_pixelStart = 0;
    std::int32_t m_row = 0;
    bool m_headerRead = false;
};

Status BmpReader::ReadHeader() {
    if (m_failed) return m_error;
    m_input.rewind();
    const std::uint8_t b = m_input.u8();
    const std::uint8_t m = m_input.u8();
    if (!m_input.ok()) return fail(m_input.error());
    if (b != 'B' || m != 'M') return fail(DecodeError::BadSignature);
    (void)m_input.u32le();  // file size: often wrong, never needed
    (void)m_input.u32le();  // reserved
    const std::uint32_t pixelOffset = m_input.u32le();
    if (!m_input.ok()) return fail(m_input.error());

    DibHeaderOptions options;
    // The data offset is honoured when it lies past the colour table (files with gaps exist).
    options.pixelOffset = pixelOffset > kFileHeaderSize ? pixelOffset : 0;
    if (auto s = m_dib.readHeader(m_input, options); !s) return fail(s.error());
    m_pixelStart = m_input.position();
    m_headerRead = true;
    return {};
}

bool BmpReader::GetPalette(Palette& palette) const {
    if (m_headerRead && m_dib.bitCount() <= 8) {
        const Palette& source = m_dib.palette();
        const std::size_t n = static_cast<std::size_t>(m_dib.paletteEntries()) * 3;
        std::copy(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(n), palette.begin());
    }
    return true;
}

std::string BmpReader::Description() const {
    const bool compressed =
        m_dib.compression() == DibDecoder::kRle8 || m_dib.compression() == DibDecoder::kRle4;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %s", "Windows Bitmap",
                  compressed ? "compressed" : "uncompressed");
    return text;
}

Result<std::uint32_t> BmpReader::BeginDecode() {
    if (m_failed) return m_error;
    if (!m_headerRead) return fail(DecodeError::Corrupt);
    m_input.seek(m_pixelStart);
    if (!m_input.ok()) return fail(m_input.error());
    m_dib.beginFrame();
    m_row = 0;
    return 0u;
}

Status BmpReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (!m_headerRead || m_row >= m_dib.height()) return fail(DecodeError::Corrupt);
    Status s = skip ? m_dib.skipRow(m_input) : m_dib.decodeRow(m_input, out, nullptr);
    if (!s) return fail(s.error());
    ++m_row;
    return rowDelivered(m_dib.height(), m_row);
}

}  // namespace

std::unique_ptr<ImageReader> makeBmpReader() { return std::make_unique<BmpReader>(); }

}  // namespace kalder::image
