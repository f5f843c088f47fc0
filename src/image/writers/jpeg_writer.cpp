#include "image/writers/jpeg_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/bitmap32.h"
#include "image/cdx_loader.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory_lib.h"

namespace kalder::image {

bool allPixelsGray(const WriterImage& image) {
    if (image.bits == 32) {
        for (std::int32_t y = 0; y < image.height; ++y) {
            const std::uint8_t* p = image.row(y);
            for (std::int32_t x = 0; x < image.width; ++x, p += 4)
                if (p[0] != p[1] || p[1] != p[2]) return false;
        }
        return true;
    }
    bool grayEntry[256];
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t* c = &image.palette[i * 3];
        grayEntry[i] = c[0] == c[1] && c[1] == c[2];
    }
    for (std::int32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.row(y);
        for (std::int32_t x = 0; x < image.width; ++x)
            if (!grayEntry[p[x]]) return false;
    }
    return true;
}

namespace {

// JPEG cannot describe more than 65500 pixels a side.
constexpr std::int32_t kMaxJpegSide = 65500;

class JpegWriter final : public ImageWriter {
public:
    Status Write(const WriterImage& image) override {
        if (m_written) return DecodeError::Unsupported;  // one image per file
        if (!image.pixels || image.width < 1 || image.height < 1 || image.width > kMaxJpegSide ||
            image.height > kMaxJpegSide ||
            !(image.bits == 32 || (image.bits >= 1 && image.bits <= 8)))
            return DecodeError::Unsupported;
        const CdxJpegApi* api = cdx::jpegApi(cdx::Group::Writers);
        if (!api) return DecodeError::NoReader;

        m_image = &image;
        m_gray = allPixelsGray(image);
        std::vector<const char*> comments;
        for (const std::string& c : this->comments()) comments.push_back(c.c_str());

        CdxJpegOptions o{};
        o.width = static_cast<std::uint32_t>(image.width);
        o.height = static_cast<std::uint32_t>(image.height);
        o.components = m_gray ? 1 : 3;
        o.quality = std::clamp(image.jpegQuality, 0, 100);
        o.smoothing = std::clamp(image.jpegSmoothing, 0, 100);
        o.sampling = std::clamp(image.jpegSampling, 0, 2);
        o.progressive = image.jpegProgressive;
        o.forceGray = image.jpegGray;
        o.dpiX = static_cast<std::uint16_t>(std::clamp(image.dpiX, 0, 65535));
        o.dpiY = static_cast<std::uint16_t>(std::clamp(image.dpiY, 0, 65535));
        o.exif = image.exif.data();
        o.exifSize = image.exif.size();
        o.comments = comments.data();
        o.commentCount = comments.size();

        CdxMessage message{};
        const int status = api->compress(&o, &JpegWriter::row, &JpegWriter::sink, this, &message);
        m_image = nullptr;
        if (status != CDX_OK)
            return status == CDX_NO_MEMORY ? DecodeError::OutOfMemory : DecodeError::Io;
        KALDER_TRY(this->status());
        m_written = true;
        return {};
    }

protected:
    Status onClose() override { return m_written ? Status{} : Status{DecodeError::Io}; }

private:
    static int row(void* user, std::uint32_t y, std::uint32_t, std::uint8_t* out) {
        auto* self = static_cast<JpegWriter*>(user);
        const WriterImage& image = *self->m_image;
        const std::uint8_t* src = image.row(static_cast<std::int32_t>(y));
        const std::int32_t w = image.width;
        if (image.bits == 32) {
            if (self->m_gray) {
                for (std::int32_t x = 0; x < w; ++x) out[x] = src[x * 4];
            } else {
                bgrxToRgb(src, out, w);
            }
        } else if (self->m_gray) {
            for (std::int32_t x = 0; x < w; ++x) out[x] = image.palette[src[x] * 3];
        } else {
            for (std::int32_t x = 0; x < w; ++x, out += 3)
                std::memcpy(out, &image.palette[src[x] * 3], 3);
        }
        self->reportProgress(image.height, static_cast<std::int64_t>(y) + 1);
        return 0;
    }

    static int sink(void* user, const std::uint8_t* data, std::size_t size) {
        auto* self = static_cast<JpegWriter*>(user);
        self->put(data, size);
        return self->status() ? 0 : 1;
    }

    const WriterImage* m_image = nullptr;
    bool m_gray = false;
    bool m_written = false;
};

}  // namespace

std::unique_ptr<ImageWriter> makeJpegWriter() { return std::make_unique<JpegWriter>(); }

}  // namespace kalder::image
