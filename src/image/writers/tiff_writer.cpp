#include "image/writers/tiff_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "image/cdx_loader.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory_lib.h"

namespace kalder::image {

namespace {

constexpr std::uint16_t kNone = 1, kCcittRle = 2, kCcittFax3 = 3, kCcittFax4 = 4, kLzw = 5,
                        kJpeg = 7, kPackBits = 32773, kDeflate = 32946;
constexpr std::uint16_t kMinIsBlack = 1, kRgb = 2, kPaletteColour = 3;

int luminance(const std::uint8_t* c) { return c[0] * 299 + c[1] * 587 + c[2] * 114; }

}  // namespace

std::uint16_t tiffCompressionFor(const WriterImage& image) {
    const auto c = static_cast<std::uint16_t>(std::clamp(image.tiffCompression, 0, 65535));
    switch (c) {
        case kNone:
        case kLzw:
        case kPackBits:
        case kDeflate:
            return c;
        case kCcittRle:
        case kCcittFax3:
        case kCcittFax4:
            return image.bits == 1 ? c : kLzw;
        case kJpeg:
            return image.bits == 32 ? c : kLzw;
        default:
            return kLzw;
    }
}

namespace {

class TiffWriter final : public ImageWriter {
public:
    Status Write(const WriterImage& image) override {
        if (!image.pixels || image.width < 1 || image.height < 1 ||
            !(image.bits == 32 || (image.bits >= 1 && image.bits <= 8)))
            return DecodeError::Unsupported;
        const CdxTiffApi* api = cdx::tiffApi(cdx::Group::Writers);
        if (!api) return DecodeError::NoReader;
        // libtiff writes by path: our stream steps aside, the temporary file stays.
        releaseStream();
        KALDER_TRY(status());

        m_image = &image;
        CdxTiffPage page{};
        page.width = static_cast<std::uint32_t>(image.width);
        page.height = static_cast<std::uint32_t>(image.height);
        page.compression = tiffCompressionFor(image);
        std::vector<std::uint16_t> colorMap;
        m_invert = false;
        if (image.bits == 32) {
            m_alpha = image.alphaPlane != nullptr && page.compression != kJpeg;
            page.photometric = kRgb;
            page.bitsPerSample = 8;
            page.samplesPerPixel = m_alpha ? 4 : 3;
            page.extraSamples = m_alpha ? 1 : 0;
        } else {
            m_alpha = false;
            page.samplesPerPixel = 1;
            // Depths other readers know: 1, 2, 4 and 8.
            page.bitsPerSample = image.bits <= 2   ? static_cast<std::uint16_t>(image.bits)
                                 : image.bits <= 4 ? 4
                                                   : 8;
            const std::uint8_t* c0 = &image.palette[0];
            const std::uint8_t* c1 = &image.palette[3];
            const bool blackAndWhite = image.bits == 1 && c0[0] == c0[1] && c0[1] == c0[2] &&
                                       c1[0] == c1[1] && c1[1] == c1[2];
            if (blackAndWhite) {
                // Photometric 1: 0 is black. A palette with white first is written inverted.
                page.photometric = kMinIsBlack;
                m_invert = luminance(c0) > luminance(c1);
            } else {
                page.photometric = kPaletteColour;
                const std::size_t n = std::size_t{1} << page.bitsPerSample;
                colorMap.assign(n * 3, 0);
                for (std::size_t i = 0; i < n; ++i)
                    for (std::size_t k = 0; k < 3; ++k)
                        colorMap[k * n + i] =
                            static_cast<std::uint16_t>(image.palette[i * 3 + k] * 257);
                page.colorMap = colorMap.data();
            }
        }
        m_bitsPerSample = page.bitsPerSample;
        m_indexMask = static_cast<std::uint8_t>(image.bits >= 8 ? 0xff : (1u << image.bits) - 1);
        if (image.dpiX > 0 || image.dpiY > 0) {
            page.xResolution = image.dpiX > 0 ? image.dpiX : image.dpiY;
            page.yResolution = image.dpiY > 0 ? image.dpiY : image.dpiX;
        }
        if (!comments().empty()) page.description = comments().front().c_str();

        CdxMessage message{};
        CdxTiff* raw = nullptr;
        if (api->open(tempPath().c_str(), "a", &raw, &message) != CDX_OK || !raw)
            return DecodeError::Io;
        const int status = api->writePage(raw, &page, &TiffWriter::row, this);
        api->close(raw);
        m_image = nullptr;
        if (status != CDX_OK)
            return status == CDX_NO_MEMORY ? DecodeError::OutOfMemory : DecodeError::Io;
        ++m_pages;
        return {};
    }

protected:
    Status onClose() override { return m_pages > 0 ? Status{} : Status{DecodeError::Io}; }

private:
    static int row(void* user, std::uint32_t y, std::uint32_t, std::uint8_t* out) {
        auto* self = static_cast<TiffWriter*>(user);
        const WriterImage& image = *self->m_image;
        const std::int32_t w = image.width;
        const std::uint8_t* src = image.row(static_cast<std::int32_t>(y));
        if (image.bits == 32) {
            const std::uint8_t* alpha =
                self->m_alpha ? image.alphaPlane + static_cast<std::size_t>(y) * w : nullptr;
            for (std::int32_t x = 0; x < w; ++x, src += 4) {
                *out++ = src[2];
                *out++ = src[1];
                *out++ = src[0];
                if (alpha) *out++ = alpha[x];
            }
        } else {
            // Indexes packed most significant bits first.
            const int bits = self->m_bitsPerSample;
            const std::size_t lineBytes = (static_cast<std::size_t>(w) * bits + 7) / 8;
            std::memset(out, 0, lineBytes);
            for (std::int32_t x = 0; x < w; ++x) {
                unsigned v = src[x] & self->m_indexMask;
                if (self->m_invert) v ^= 1;
                const std::size_t bit = static_cast<std::size_t>(x) * bits;
                out[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
            }
        }
        self->reportProgress(image.height, static_cast<std::int64_t>(y) + 1);
        return 0;
    }

    const WriterImage* m_image = nullptr;
    int m_bitsPerSample = 8;
    std::uint8_t m_indexMask = 0xff;
    bool m_alpha = false;
    bool m_invert = false;
    int m_pages = 0;
};

}  // namespace

std::unique_ptr<ImageWriter> makeTiffWriter() { return std::make_unique<TiffWriter>(); }

}  // namespace kalder::image
