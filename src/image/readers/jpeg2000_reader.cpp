#include "image/readers/jpeg2000_reader.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "base/limits.h"
#include "image/bitmap32.h"
#include "image/cdx_loader.h"
#include "image/checked.h"
#include "image/image_reader.h"
#include "image/readers/jp2_boxes_p.h"
#include "image/readers/reader_factory.h"
#include "image/sinks.h"

namespace kalder::image {
namespace {

// Decoded component buffers (32-bit samples) above this are refused before decoding; a
// thumbnail gets less.
constexpr std::uint64_t kMaxThumbnailSampleBytes = std::uint64_t{64} << 20;
constexpr std::uint32_t kMaxComponents = 4;
constexpr std::uint32_t kMaxPrecision = 16;

struct ImageReleaser {
    const CdxJ2kApi* api = nullptr;
    void operator()(CdxJ2kImage* image) const {
        if (api && image) api->release(image);
    }
};

// One component as ReadRow needs it: the samples, the column of every pixel, and the mapping of
// its values to 8 bits.
struct Plane {
    CdxJ2kComponent info{};
    std::vector<std::uint32_t> column;  // sample index for each output x
    std::vector<std::uint8_t> lut;      // precision < 8: value -> 8 bits
    std::int32_t maxValue = 255;
    int shift = 0;  // precision > 8: drop low bits

    std::uint8_t to8(std::int32_t v) const {
        v = std::clamp(v, 0, maxValue);
        if (!lut.empty()) return lut[static_cast<std::size_t>(v)];
        return static_cast<std::uint8_t>(v >> shift);
    }
};

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

class Jpeg2000Reader final : public ImageReader {
public:
    Status OpenFile(const std::filesystem::path& path, const ReaderSettings& settings) override {
        KALDER_TRY(ImageReader::OpenFile(path, settings));
        return openCommon();
    }
    // Memory sources are read the same way (Exif previews, fuzzing).
    Status OpenMemory(std::span<const std::uint8_t> bytes) override {
        KALDER_TRY(ImageReader::OpenMemory(bytes));
        return openCommon();
    }

    Status ReadHeader() override;
    // The image's own size until BeginDecode, then the size decoded (smaller when a target
    // size let resolution levels be left out).
    std::int32_t Width() const override { return static_cast<std::int32_t>(m_info.x1 - m_info.x0); }
    std::int32_t Height() const override {
        return static_cast<std::int32_t>(m_info.y1 - m_info.y0);
    }
    void hintDecodeSize(std::int32_t width, std::int32_t height) override {
        m_targetWidth = width;
        m_targetHeight = height;
    }
    std::uint32_t BitsPerPixel() const override { return m_info.components <= 2 ? 8 : 24; }
    bool GetPalette(Palette& palette) const override {
        if (BitsPerPixel() == 8)
            for (int i = 0; i < 256; ++i)
                palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] =
                    static_cast<std::uint8_t>(i);
        return true;
    }
    std::string Description() const override {
        std::string text = m_signature.isJp2 ? "JP2 (JPEG-2000)" : "JPEG-2000 Codestream";
        text += m_info.components < 2 || m_info.components == 2 ? ", gray-scale" : ", color";
        if (m_info.components == 4 || m_info.components == 2) text += " with alpha-channel";
        return text;
    }
    std::int32_t DpiX() const override { return m_layout.dpiX; }
    std::int32_t DpiY() const override { return m_layout.dpiY; }
    Result<std::uint32_t> BeginDecode() override {
        if (m_failed) return m_error;
        if (!m_headerRead) return fail(DecodeError::Corrupt);
        if (!m_image) KALDER_TRY(decode());
        m_row = 0;
        if (m_settings.extractAlpha && (m_info.components == 2 || m_info.components == 4)) {
            auto bytes = checkedMul(Width(), Height());
            if (!bytes) return fail(DecodeError::TooLarge);
            m_alphaPlane.assign(*bytes, 255);
        }
        return 0u;
    }
    Status ReadRow(std::uint8_t* out, bool skip) override;
    Status MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap, std::int32_t size,
                         ColorRef backgroundColour, const CancelSink* cancel) override;

private:
    Status openCommon();
    Status decode();
    std::uint32_t reductionForTarget() const;
    Status setUpPlanes();

    static std::size_t streamRead(void* user, std::uint8_t* out, std::size_t size);
    static int streamSeek(void* user, std::uint64_t position);
    static std::uint64_t streamTell(void* user);
    static int streamProgress(void* user, std::uint64_t done, std::uint64_t total);

    const CdxJ2kApi* m_api = nullptr;
    Jp2Signature m_signature;
    Jp2Layout m_layout;
    std::unique_ptr<CdxJ2kImage, ImageReleaser> m_image;
    CdxJ2kInfo m_info{};
    bool m_headerRead = false;
    std::int32_t m_targetWidth = 0;  // 0: decode every resolution level
    std::int32_t m_targetHeight = 0;
    std::uint64_t m_maxSampleBytes = base::kMaxBufferBytes;
    std::array<Plane, kMaxComponents> m_planes;
    std::int32_t m_row = 0;
};

Status Jpeg2000Reader::openCommon() {
    auto signature = findJp2Signature(m_input);
    if (!signature) return fail(signature.error());
    m_signature = *signature;
    m_api = cdx::j2kApi(cdx::Group::Readers);
    if (!m_api) return fail(DecodeError::NoReader);
    return {};
}

std::size_t Jpeg2000Reader::streamRead(void* user, std::uint8_t* out, std::size_t size) {
    auto* self = static_cast<Jpeg2000Reader*>(user);
    const std::uint64_t position = streamTell(user);
    const std::uint64_t left =
        self->m_layout.codestreamLength - std::min(position, self->m_layout.codestreamLength);
    return self->m_input.readUpTo(out,
                                  static_cast<std::size_t>(std::min<std::uint64_t>(size, left)));
}

int Jpeg2000Reader::streamSeek(void* user, std::uint64_t position) {
    auto* self = static_cast<Jpeg2000Reader*>(user);
    if (position > self->m_layout.codestreamLength) return 0;
    self->m_input.seek(self->m_layout.codestreamStart + position);
    return self->m_input.ok() ? 1 : 0;
}

std::uint64_t Jpeg2000Reader::streamTell(void* user) {
    auto* self = static_cast<Jpeg2000Reader*>(user);
    const std::uint64_t p = self->m_input.position();
    return p > self->m_layout.codestreamStart ? p - self->m_layout.codestreamStart : 0;
}

int Jpeg2000Reader::streamProgress(void* user, std::uint64_t done, std::uint64_t total) {
    auto* self = static_cast<Jpeg2000Reader*>(user);
    if (self->isCancelled()) return 1;
    if (self->m_settings.progress)
        self->m_settings.progress->Progress(static_cast<std::int64_t>(total),
                                            static_cast<std::int64_t>(done));
    return 0;
}

// Only the size marker is read here, and weighed against the codestream's length; the
// pixels are decoded by BeginDecode, at the resolution the target size needs.
Status Jpeg2000Reader::ReadHeader() {
    if (m_failed) return m_error;
    if (m_headerRead) return {};
    if (!m_api) return fail(DecodeError::NoReader);
    if (m_signature.isJp2) {
        auto layout = readJp2Layout(m_input, m_signature.offset);
        if (!layout) return fail(layout.error());
        m_layout = *layout;
    } else {
        m_layout.codestreamStart = m_signature.offset;
        m_layout.codestreamLength = m_input.size() - m_signature.offset;
    }
    auto size = readJ2kSize(m_input, m_layout.codestreamStart, m_layout.codestreamLength);
    if (!size) return fail(size.error());
    if (!validImageSide(size->x1 - size->x0) || !validImageSide(size->y1 - size->y0))
        return fail(DecodeError::TooLarge);
    // One (gray), two (gray and alpha), three (RGB) or four (RGB and alpha) components.
    if (size->components > kMaxComponents) return fail(DecodeError::Unsupported);
    m_info = CdxJ2kInfo{size->x0, size->y0, size->x1, size->y1, size->components, 0};
    m_headerRead = true;
    return {};
}

// The most levels that keep both sides at least the target's; none when the opacity is kept,
// as it is handed out at the image's own size.
std::uint32_t Jpeg2000Reader::reductionForTarget() const {
    if (m_targetWidth <= 0 || m_targetHeight <= 0 || m_settings.extractAlpha) return 0;
    const std::uint64_t w = Width(), h = Height();
    std::uint32_t r = 0;
    while (r < 16 && ceilDiv(w, std::uint64_t{2} << r) >= std::uint64_t(m_targetWidth) &&
           ceilDiv(h, std::uint64_t{2} << r) >= std::uint64_t(m_targetHeight))
        ++r;
    return r;
}

Status Jpeg2000Reader::decode() {
    m_input.seek(m_layout.codestreamStart);
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    CdxJ2kStream stream{};
    stream.user = this;
    stream.length = m_layout.codestreamLength;
    stream.read = &Jpeg2000Reader::streamRead;
    stream.seek = &Jpeg2000Reader::streamSeek;
    stream.tell = &Jpeg2000Reader::streamTell;
    stream.progress = &Jpeg2000Reader::streamProgress;
    const CdxJ2kLimits limits{static_cast<std::uint32_t>(kMaxImageSide), kMaxComponents,
                              m_maxSampleBytes, reductionForTarget()};
    CdxMessage message{};
    CdxJ2kImage* raw = nullptr;
    const int status = m_api->decode(&stream, &limits, &raw, &message);
    m_image = std::unique_ptr<CdxJ2kImage, ImageReleaser>(raw, ImageReleaser{m_api});
    switch (status) {
        case CDX_OK:
            break;
        case CDX_CANCELLED:
            return fail(DecodeError::Cancelled);
        case CDX_TOO_LARGE:
            return fail(DecodeError::TooLarge);
        case CDX_NO_MEMORY:
            return fail(DecodeError::OutOfMemory);
        default:
            return fail(DecodeError::Corrupt);
    }
    if (!m_image) return fail(DecodeError::Corrupt);
    const CdxJ2kInfo declared = m_info;
    m_api->info(m_image.get(), &m_info);
    // The codec read the same size marker; anything else means the bytes changed under us.
    const std::uint64_t scale = std::uint64_t{1} << std::min(m_info.reduce, 31u);
    if (m_info.components != declared.components || m_info.x0 != ceilDiv(declared.x0, scale) ||
        m_info.y0 != ceilDiv(declared.y0, scale) || m_info.x1 != ceilDiv(declared.x1, scale) ||
        m_info.y1 != ceilDiv(declared.y1, scale))
        return fail(DecodeError::Corrupt);
    return setUpPlanes();
}

Status Jpeg2000Reader::MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap,
                                     std::int32_t size, ColorRef backgroundColour,
                                     const CancelSink* cancel) {
    if (auto s = openForThumbnail(*this, path, size, backgroundColour, cancel); !s) {
        bitmap.Release();
        return s;
    }
    const std::int64_t w = Width(), h = Height(), longer = std::max(w, h);
    if (size > 0)
        hintDecodeSize(static_cast<std::int32_t>(std::max<std::int64_t>(1, w * size / longer)),
                       static_cast<std::int32_t>(std::max<std::int64_t>(1, h * size / longer)));
    m_maxSampleBytes = kMaxThumbnailSampleBytes;
    return decimateIntoThumbnail(*this, bitmap, size, cancel);
}

Status Jpeg2000Reader::setUpPlanes() {
    if (m_info.x1 <= m_info.x0 || m_info.y1 <= m_info.y0 ||
        !validImageSide(m_info.x1 - m_info.x0) || !validImageSide(m_info.y1 - m_info.y0))
        return fail(DecodeError::TooLarge);
    // One (gray), two (gray and alpha), three (RGB) or four (RGB and alpha) components.
    if (m_info.components < 1 || m_info.components > kMaxComponents)
        return fail(DecodeError::Unsupported);
    const std::uint32_t w = m_info.x1 - m_info.x0;
    for (std::uint32_t c = 0; c < m_info.components; ++c) {
        Plane& p = m_planes[c];
        if (m_api->component(m_image.get(), c, &p.info) != CDX_OK || !p.info.data)
            return fail(DecodeError::Corrupt);
        const CdxJ2kComponent& ci = p.info;
        // More than 8 bits are scaled down; signed samples would need a colour model we lack.
        if (ci.isSigned || ci.precision < 1 || ci.precision > kMaxPrecision)
            return fail(DecodeError::Unsupported);
        if (ci.dx == 0 || ci.dy == 0 || ci.width == 0 || ci.height == 0)
            return fail(DecodeError::Corrupt);
        // Every pixel must map to a sample inside the component.
        const std::uint64_t firstX = ceilDiv(m_info.x0, ci.dx), firstY = ceilDiv(m_info.y0, ci.dy);
        if ((m_info.x1 - 1) / ci.dx - firstX >= ci.width ||
            (m_info.y1 - 1) / ci.dy - firstY >= ci.height)
            return fail(DecodeError::Corrupt);
        p.column.resize(w);
        for (std::uint32_t x = 0; x < w; ++x)
            p.column[x] =
                static_cast<std::uint32_t>((m_info.x0 + std::uint64_t{x}) / ci.dx - firstX);
        p.maxValue = static_cast<std::int32_t>((1u << ci.precision) - 1);
        p.lut.clear();
        p.shift = 0;
        if (ci.precision < 8) {
            p.lut.resize(static_cast<std::size_t>(p.maxValue) + 1);
            for (std::int32_t v = 0; v <= p.maxValue; ++v)
                p.lut[static_cast<std::size_t>(v)] =
                    static_cast<std::uint8_t>((v * 255 + p.maxValue / 2) / p.maxValue);
        } else {
            p.shift = static_cast<int>(ci.precision) - 8;
        }
    }
    return {};
}

Status Jpeg2000Reader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    const std::int32_t width = Width(), height = Height();
    if (m_row >= height) return fail(DecodeError::Corrupt);
    if (!skip) {
        const std::uint32_t components = m_info.components;
        const std::int32_t* rows[kMaxComponents] = {};
        for (std::uint32_t c = 0; c < components; ++c) {
            const CdxJ2kComponent& ci = m_planes[c].info;
            const std::uint64_t sy =
                (m_info.y0 + std::uint64_t(m_row)) / ci.dy - ceilDiv(m_info.y0, ci.dy);
            rows[c] = ci.data + sy * ci.width;
        }
        const bool hasAlpha = components == 2 || components == 4;
        const std::uint32_t colours = hasAlpha ? components - 1 : components;
        std::uint8_t* alphaRow =
            m_alphaPlane.empty() ? nullptr
                                 : m_alphaPlane.data() + static_cast<std::size_t>(m_row) * width;
        for (std::int32_t x = 0; x < width; ++x, out += 3) {
            std::uint8_t v[kMaxComponents] = {0, 0, 0, 255};
            for (std::uint32_t c = 0; c < components; ++c)
                v[c] = m_planes[c].to8(rows[c][m_planes[c].column[static_cast<std::size_t>(x)]]);
            std::uint8_t alpha = 255;
            if (colours == 1) {
                if (hasAlpha) alpha = v[1];
                v[1] = v[2] = v[0];
            } else if (hasAlpha) {
                alpha = v[3];
            }
            if (hasAlpha) {
                if (alphaRow) alphaRow[x] = alpha;
                if (m_settings.blendAlpha)
                    for (int c = 0; c < 3; ++c) v[c] = blend(v[c], alpha, c);
            }
            out[0] = v[0];
            out[1] = v[1];
            out[2] = v[2];
        }
    }
    ++m_row;
    return rowDelivered(height, m_row);
}

}  // namespace

std::unique_ptr<ImageReader> makeJpeg2000Reader() { return std::make_unique<Jpeg2000Reader>(); }

}  // namespace kalder::image
