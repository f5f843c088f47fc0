#include <algorithm>
#include <cstring>

#include "image/bitmap32.h"
#include "image/checked.h"
#include "image/exif/exif_block.h"
#include "image/readers/library_raster_reader_p.h"
#include "image/sinks.h"

namespace kalder::image {
namespace {

DecodeError errorOf(int status) {
    switch (status) {
        case CDX_CANCELLED:
            return DecodeError::Cancelled;
        case CDX_TOO_LARGE:
            return DecodeError::TooLarge;
        case CDX_NO_MEMORY:
            return DecodeError::OutOfMemory;
        case CDX_END:
            return DecodeError::NoMoreFrames;
        default:
            return DecodeError::Corrupt;
    }
}

}  // namespace

LibraryRasterReader::~LibraryRasterReader() {
    if (m_api && m_raster) m_api->close(m_raster);
}

Status LibraryRasterReader::OpenFile(const std::filesystem::path& path,
                                     const ReaderSettings& settings) {
    KALDER_TRY(ImageReader::OpenFile(path, settings));
    return openCommon();
}

Status LibraryRasterReader::OpenMemory(std::span<const std::uint8_t> bytes) {
    KALDER_TRY(ImageReader::OpenMemory(bytes));
    return openCommon();
}

Status LibraryRasterReader::openCommon() {
    m_api = m_format.api();
    if (!m_api) return fail(DecodeError::NoReader);
    return {};
}

std::uint64_t LibraryRasterReader::pixelLimit() const {
    const std::uint64_t earned = std::uint64_t{m_file.size()} * kPixelsPerFileByte;
    return std::min(base::kMaxDecodePixels, std::max(kFreeRasterPixels, earned));
}

int LibraryRasterReader::cancelled(void* user) {
    return static_cast<const LibraryRasterReader*>(user)->isCancelled() ? 1 : 0;
}

// The libraries want the whole file at once; the header is parsed and the sizes checked here,
// the pixels are decoded by BeginDecode.
Status LibraryRasterReader::ReadHeader() {
    if (m_failed) return m_error;
    if (m_headerRead) return {};
    if (!m_api) return fail(DecodeError::NoReader);
    if (m_input.size() > base::kMaxBufferBytes) return fail(DecodeError::TooLarge);
    m_input.rewind();
    m_file = m_input.readAll(base::kMaxBufferBytes);
    if (!m_input.ok()) return fail(m_input.error());
    const CdxRasterLimits limits{static_cast<std::uint32_t>(kMaxImageSide), pixelLimit()};
    CdxMessage message{};
    const int status = m_api->open(m_file.data(), m_file.size(), &limits, &m_raster, &message);
    if (status != CDX_OK || !m_raster) {
        m_raster = nullptr;
        return fail(status == CDX_OK ? DecodeError::Corrupt : errorOf(status));
    }
    m_api->info(m_raster, &m_info);
    if (!validImageSide(m_info.width) || !validImageSide(m_info.height) ||
        std::uint64_t{m_info.width} * m_info.height > limits.maxPixels)
        return fail(DecodeError::TooLarge);
    m_width = m_info.width;
    m_height = m_info.height;

    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    m_api->iccProfile(m_raster, &data, &size);
    if (data && size > 0) {
        m_colorSpace.kind = ColorSpace::Kind::Icc;
        m_colorSpace.iccProfile.assign(data, data + size);
        m_hasColorSpace = true;
    }
    if (m_settings.exif) {
        m_api->exif(m_raster, &data, &size);
        const std::span<const std::uint8_t> block(data, data ? size : 0);
        const std::uint8_t* fileStart = m_file.data();
        const std::uint64_t offset =
            data >= fileStart && data < fileStart + m_file.size() ? data - fileStart : 0;
        if (block.size() >= 6 && std::memcmp(block.data(), "Exif\0\0", 6) == 0)
            m_settings.exif->setPayload(block, offset);
        else if (block.size() >= 8)
            m_settings.exif->setData({block.begin(), block.end()}, offset);
    }
    m_description = m_format.describe(m_file, m_info);
    m_headerRead = true;
    return {};
}

bool LibraryRasterReader::GetColorSpace(ColorSpace& space) const {
    if (!m_hasColorSpace) return false;
    space = m_colorSpace;
    return true;
}

Result<std::uint32_t> LibraryRasterReader::BeginDecode() {
    if (m_failed) return m_error;
    if (!m_headerRead) return fail(DecodeError::Corrupt);
    if (m_stillDone) return fail(DecodeError::NoMoreFrames);
    CdxRasterFrame frame{};
    CdxMessage message{};
    if (isCancelled()) return fail(DecodeError::Cancelled);
    const int status = m_useThumbnail ? m_api->thumbnail(m_raster, &frame, &message)
                                      : m_api->nextFrame(m_raster, &LibraryRasterReader::cancelled,
                                                         this, &frame, &message);
    ++m_decodes;
    if (status != CDX_OK) return fail(errorOf(status));
    KALDER_TRY(takeFrame(frame));
    if (!m_info.isAnimated) m_stillDone = true;
    m_row = 0;
    // Hundredths of a second, rounded.
    return (m_durationMs + 5) / 10;
}

Status LibraryRasterReader::takeFrame(const CdxRasterFrame& frame) {
    if (!frame.rgba || frame.width == 0 || frame.height == 0 ||
        frame.stride < std::size_t{frame.width} * 4)
        return fail(DecodeError::Corrupt);
    // The page was laid out from the header; a frame of another size cannot fill it.
    if (!m_useThumbnail && (frame.width != m_info.width || frame.height != m_info.height))
        return fail(DecodeError::Corrupt);
    if (!validImageSide(frame.width) || !validImageSide(frame.height))
        return fail(DecodeError::TooLarge);
    m_width = frame.width;
    m_height = frame.height;
    m_durationMs = frame.durationMs;
    m_pixels = frame.rgba;
    m_stride = frame.stride;
    if (m_settings.extractAlpha && m_info.hasAlpha) {
        try {
            m_alphaPlane.resize(std::size_t{m_width} * m_height);
        } catch (const std::bad_alloc&) {
            return fail(DecodeError::OutOfMemory);
        }
        std::uint8_t* alpha = m_alphaPlane.data();
        for (std::uint32_t y = 0; y < m_height; ++y) {
            const std::uint8_t* src = m_pixels + y * m_stride;
            for (std::uint32_t x = 0; x < m_width; ++x) *alpha++ = src[x * 4 + 3];
        }
    } else {
        return reduceForTarget();
    }
    return {};
}

// A still shown much smaller than its size is averaged down by a whole factor here, so the
// pipeline (and a thumbnail) works on fewer pixels. Nothing below the target is produced.
Status LibraryRasterReader::reduceForTarget() {
    if (m_info.isAnimated || m_targetWidth <= 0 || m_targetHeight <= 0) return {};
    std::uint32_t n = std::min(m_width / static_cast<std::uint32_t>(m_targetWidth),
                               m_height / static_cast<std::uint32_t>(m_targetHeight));
    if (n < 2) return {};
    const std::uint32_t w = (m_width + n - 1) / n, h = (m_height + n - 1) / n;
    std::vector<std::uint8_t> out;
    std::vector<std::uint32_t> sums;
    try {
        out.resize(std::size_t{w} * h * 4);
        sums.resize(std::size_t{w} * 4);
    } catch (const std::bad_alloc&) {
        return fail(DecodeError::OutOfMemory);
    }
    for (std::uint32_t j = 0; j < h; ++j) {
        std::fill(sums.begin(), sums.end(), 0u);
        const std::uint32_t y0 = j * n, y1 = std::min(m_height, y0 + n);
        for (std::uint32_t y = y0; y < y1; ++y) {
            const std::uint8_t* src = m_pixels + y * m_stride;
            for (std::uint32_t x = 0; x < m_width; ++x)
                for (int c = 0; c < 4; ++c) sums[(x / n) * 4 + c] += src[x * 4 + c];
        }
        for (std::uint32_t i = 0; i < w; ++i) {
            const std::uint32_t cells = (std::min(m_width, (i + 1) * n) - i * n) * (y1 - y0);
            for (int c = 0; c < 4; ++c)
                out[(std::size_t{j} * w + i) * 4 + c] =
                    static_cast<std::uint8_t>((sums[i * 4 + c] + cells / 2) / cells);
        }
    }
    m_reduced = std::move(out);
    m_pixels = m_reduced.data();
    m_stride = std::size_t{w} * 4;
    m_width = w;
    m_height = h;
    return {};
}

Status LibraryRasterReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (!m_pixels || m_row >= static_cast<std::int32_t>(m_height))
        return fail(DecodeError::Corrupt);
    if (!skip) {
        const std::uint8_t* src = m_pixels + std::size_t(m_row) * m_stride;
        if (m_settings.blendAlpha && m_info.hasAlpha) {
            for (std::uint32_t x = 0; x < m_width; ++x, src += 4, out += 3)
                for (int c = 0; c < 3; ++c) out[c] = blend(src[c], src[3], c);
        } else {
            for (std::uint32_t x = 0; x < m_width; ++x, src += 4, out += 3) {
                out[0] = src[0];
                out[1] = src[1];
                out[2] = src[2];
            }
        }
    }
    ++m_row;
    return rowDelivered(m_height, m_row);
}

Status LibraryRasterReader::MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap,
                                          std::int32_t size, ColorRef backgroundColour,
                                          const CancelSink* cancel) {
    if (auto s = openForThumbnail(*this, path, size, backgroundColour, cancel); !s) {
        bitmap.Release();
        return s;
    }
    // A thumbnail the file carries is used when it is big enough: the picture is not decoded.
    const std::uint32_t thumbLonger = std::max(m_info.thumbnailWidth, m_info.thumbnailHeight);
    if (!m_info.isAnimated && thumbLonger > 0 && size > 0 &&
        thumbLonger >= static_cast<std::uint32_t>(size)) {
        m_useThumbnail = true;
    } else {
        const std::uint64_t w = m_info.width, h = m_info.height;
        if (w * h > base::kMaxThumbnailDecodePixels) {
            bitmap.Release();
            return fail(DecodeError::TooLarge);
        }
        const std::uint64_t longer = std::max(w, h);
        if (size > 0)
            hintDecodeSize(
                static_cast<std::int32_t>(std::max<std::uint64_t>(1, w * size / longer)),
                static_cast<std::int32_t>(std::max<std::uint64_t>(1, h * size / longer)));
    }
    return decimateIntoThumbnail(*this, bitmap, size, cancel);
}

}  // namespace kalder::image
