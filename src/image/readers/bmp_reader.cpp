#include "image/readers/bmp_reader.h"

#include <algorithm>
#include <cstdio>
#include <new>

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

    Status scanForOpacity();

    DibDecoder m_dib;
    std::uint64_t m_pixelStart = 0;
    std::int32_t m_row = 0;
    bool m_headerRead = false;
    // The pixels' alpha field is honoured this decode: declared, wanted and not all zero.
    bool m_useAlpha = false;
    std::vector<std::uint8_t> m_rowAlpha;
    std::vector<std::uint8_t> m_scratch;  // a skipped row's colours while the plane is filled
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
    m_useAlpha = false;
    m_alphaPlane.clear();
    if (m_dib.declaresAlpha() && (m_settings.blendAlpha || m_settings.extractAlpha)) {
        if (auto s = scanForOpacity(); !s) return fail(s.error());
    }
    if (m_useAlpha && m_settings.extractAlpha) {
        try {
            m_alphaPlane.assign(static_cast<std::size_t>(m_dib.width()) * m_dib.height(), 255);
        } catch (const std::bad_alloc&) {
            return fail(DecodeError::OutOfMemory);
        }
    }
    m_input.seek(m_pixelStart);
    if (!m_input.ok()) return fail(m_input.error());
    m_dib.beginFrame();
    m_row = 0;
    return 0u;
}

// Many writers declare an alpha mask and leave every alpha value zero; such a picture is meant
// to be seen, so the field counts only when some pixel has a non-zero value in it.
Status BmpReader::scanForOpacity() {
    const std::size_t w = static_cast<std::size_t>(m_dib.width());
    // The data must be all there before a row buffer is sized for it.
    if (m_pixelStart + m_dib.stride() * static_cast<std::uint64_t>(m_dib.height()) > m_input.size())
        return DecodeError::Truncated;
    m_rowAlpha.assign(w, 0);
    m_scratch.assign(w * 3, 0);
    m_input.seek(m_pixelStart);
    m_dib.beginFrame();
    for (std::int32_t y = 0; y < m_dib.height() && !m_useAlpha; ++y) {
        KALDER_TRY(m_dib.decodeRow(m_input, m_scratch.data(), m_rowAlpha.data()));
        m_useAlpha = std::any_of(m_rowAlpha.begin(), m_rowAlpha.end(),
                                 [](std::uint8_t a) { return a != 0; });
        if (isCancelled()) return DecodeError::Cancelled;
    }
    return {};
}

Status BmpReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (!m_headerRead || m_row >= m_dib.height()) return fail(DecodeError::Corrupt);
    if (!m_useAlpha) {
        Status s = skip ? m_dib.skipRow(m_input) : m_dib.decodeRow(m_input, out, nullptr);
        if (!s) return fail(s.error());
    } else if (skip && m_alphaPlane.empty()) {
        if (auto s = m_dib.skipRow(m_input); !s) return fail(s.error());
    } else {
        std::uint8_t* rgb = skip ? m_scratch.data() : out;
        if (auto s = m_dib.decodeRow(m_input, rgb, m_rowAlpha.data()); !s) return fail(s.error());
        const std::size_t w = static_cast<std::size_t>(m_dib.width());
        if (m_settings.blendAlpha && !skip) {
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint8_t a = m_rowAlpha[x];
                if (a == 255) continue;  // opaque pixels keep their exact colour
                for (int c = 0; c < 3; ++c) rgb[x * 3 + c] = blend(rgb[x * 3 + c], a, c);
            }
        }
        if (!m_alphaPlane.empty()) {
            const std::size_t y =
                static_cast<std::size_t>(m_dib.bottomUp() ? m_dib.height() - 1 - m_row : m_row);
            std::copy(m_rowAlpha.begin(), m_rowAlpha.end(), m_alphaPlane.begin() + y * w);
        }
    }
    ++m_row;
    return rowDelivered(m_dib.height(), m_row);
}

}  // namespace

std::unique_ptr<ImageReader> makeBmpReader() { return std::make_unique<BmpReader>(); }

}  // namespace kalder::image
