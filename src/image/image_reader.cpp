#include "image/image_reader.h"

#include <algorithm>
#include <memory>

#include "image/bitmap32.h"
#include "image/checked.h"
#include "image/color_space.h"
#include "image/sinks.h"

namespace kalder::image {

ImageReader::ImageReader() = default;
ImageReader::~ImageReader() = default;

Status ImageReader::OpenFile(const std::filesystem::path& path, const ReaderSettings& settings) {
    m_settings = settings;
    buildBlendTables();
    if (auto s = m_input.openFile(path); !s) return fail(s.error());
    return {};
}

Status ImageReader::OpenMemory(std::span<const std::uint8_t> bytes) {
    m_settings = ReaderSettings{};
    buildBlendTables();
    m_input.openMemory(bytes);
    return {};
}

Status ImageReader::openMemoryWith(std::span<const std::uint8_t> bytes,
                                   const ReaderSettings& settings) {
    KALDER_TRY(OpenMemory(bytes));
    m_settings = settings;
    buildBlendTables();
    return {};
}

bool ImageReader::GetPalette(Palette&) const { return false; }

bool ImageReader::GetIsGray() const {
    std::uint32_t bits = BitsPerPixel();
    if (bits == 0 || bits > 8) return false;
    Palette palette{};
    if (!GetPalette(palette)) return false;
    for (std::uint32_t i = 0; i < (1u << bits); ++i) {
        if (palette[i * 3] != palette[i * 3 + 1] || palette[i * 3] != palette[i * 3 + 2])
            return false;
    }
    return true;
}

bool ImageReader::GetColorSpace(ColorSpace&) const { return false; }

void ImageReader::GetHotSpot(std::int32_t& x, std::int32_t& y) const { x = y = -1; }

Status ImageReader::ReadRow(std::uint8_t*, bool) { return fail(DecodeError::Unsupported); }

Status ImageReader::MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap,
                                  std::int32_t size, ColorRef backgroundColour,
                                  const CancelSink* cancel) {
    return makeDecimatedThumbnail(*this, path, bitmap, size, backgroundColour, cancel);
}

Status ImageReader::rowDelivered(std::int64_t total, std::int64_t done) {
    if (isCancelled()) return fail(DecodeError::Cancelled);
    if (m_settings.progress) m_settings.progress->Progress(total, done);
    return {};
}

bool ImageReader::isCancelled() const {
    return m_settings.cancel && m_settings.cancel->isCancelled();
}

void ImageReader::buildBlendTables() {
    const std::uint8_t bg[3] = {redOf(m_settings.backgroundColour),
                                greenOf(m_settings.backgroundColour),
                                blueOf(m_settings.backgroundColour)};
    for (int c = 0; c < 3; ++c)
        for (std::uint32_t a = 0; a < 256; ++a) m_blendTable[c][a] = bg[c] * (255 - a);
}

void ImageReader::appendComment(std::string text) {
    if (!m_settings.comments) return;
    std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return;
    text.erase(0, start);
    std::unique_lock<std::mutex> lock;
    if (m_settings.commentsLock) lock = std::unique_lock(*m_settings.commentsLock);
    m_settings.comments->push_back(std::move(text));
}

DecodeError ImageReader::fail(DecodeError error) {
    if (!m_failed) m_error = error;
    m_failed = true;
    return m_error;
}

std::int32_t thumbnailStep(std::int32_t longer, std::int32_t size) {
    if (size <= 0) return 1;
    if (longer / 2 < size) return 1;
    // The largest n with longer / n >= size.
    std::int32_t n = longer / size;
    while (n > 1 && longer / n < size) --n;
    return std::max(n, 1);
}

Status openForThumbnail(ImageReader& reader, const std::filesystem::path& path, std::int32_t size,
                        ColorRef backgroundColour, const CancelSink* cancel) {
    ReaderSettings settings;
    settings.requestedWidth = size;
    settings.requestedHeight = size;
    settings.cancel = cancel;
    settings.blendAlpha = true;
    settings.backgroundColour = backgroundColour;
    KALDER_TRY(reader.OpenFile(path, settings));
    return reader.ReadHeader();
}

Status makeDecimatedThumbnail(ImageReader& reader, const std::filesystem::path& path,
                              Bitmap32& bitmap, std::int32_t size, ColorRef backgroundColour,
                              const CancelSink* cancel) {
    Status s = openForThumbnail(reader, path, size, backgroundColour, cancel);
    const std::int64_t w = reader.Width();
    const std::int64_t h = reader.Height();
    if (s && (w <= 0 || h <= 0 || w * h > kMaxGenericThumbnailPixels)) s = DecodeError::TooLarge;
    if (!s) {
        bitmap.Release();
        return s;
    }
    return decimateIntoThumbnail(reader, bitmap, size, cancel);
}

Status decimateIntoThumbnail(ImageReader& reader, Bitmap32& bitmap, std::int32_t size,
                             const CancelSink* cancel) {
    auto failed = [&bitmap](DecodeError e) {
        bitmap.Release();
        return Status{e};
    };
    auto begun = reader.BeginDecode();
    if (!begun) return failed(begun.error());
    const std::int64_t w = reader.Width();
    const std::int64_t h = reader.Height();
    if (w <= 0 || h <= 0 || w * h > kMaxGenericThumbnailPixels)
        return failed(DecodeError::TooLarge);

    const std::int32_t n = thumbnailStep(static_cast<std::int32_t>(std::max(w, h)), size);
    const std::int32_t tw = std::max<std::int32_t>(1, static_cast<std::int32_t>(w / n));
    const std::int32_t th = std::max<std::int32_t>(1, static_cast<std::int32_t>(h / n));
    if (!bitmap.Create(tw, th)) return failed(DecodeError::OutOfMemory);

    // Every thumbnail pixel is the mean of the n x n source pixels it stands for: sampling one
    // of them turns fine detail (a one-pixel checkerboard) into a flat colour. A side shorter
    // than the step is one block of its own length.
    const std::int32_t nx = static_cast<std::int32_t>(std::min<std::int64_t>(n, w));
    const std::int32_t ny = static_cast<std::int32_t>(std::min<std::int64_t>(n, h));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 3);
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(tw) * 3);
    const std::size_t block = 3 * static_cast<std::size_t>(nx);
    const std::size_t used = static_cast<std::size_t>(tw) * block;  // the columns that count
    const std::uint32_t cell = static_cast<std::uint32_t>(nx) * static_cast<std::uint32_t>(ny);
    const bool bottomUp = reader.IsBottomUp();
    for (std::int32_t j = 0; j < th; ++j) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (std::int32_t k = 0; k < ny; ++k) {
            if (auto s = reader.ReadRow(row.data(), false); !s) return failed(s.error());
            if (cancel && cancel->isCancelled()) return failed(DecodeError::Cancelled);
            std::uint32_t* sum = sums.data();
            for (std::size_t i = 0; i < used; i += block, sum += 3)
                for (std::size_t p = i; p < i + block; p += 3) {
                    sum[0] += row[p];
                    sum[1] += row[p + 1];
                    sum[2] += row[p + 2];
                }
        }
        const std::int32_t y = bottomUp ? th - 1 - j : j;
        {
            std::lock_guard lock(bitmap.pixelLock());
            std::uint8_t* dst = bitmap.row(y);
            for (std::int32_t x = 0; x < tw; ++x) {
                const std::uint32_t* sum = sums.data() + static_cast<std::size_t>(x) * 3;
                dst[x * 4 + 0] = static_cast<std::uint8_t>((sum[2] + cell / 2) / cell);
                dst[x * 4 + 1] = static_cast<std::uint8_t>((sum[1] + cell / 2) / cell);
                dst[x * 4 + 2] = static_cast<std::uint8_t>((sum[0] + cell / 2) / cell);
            }
        }
        bitmap.MarkRowDone(y);
    }
    reader.EndDecode();
    return {};
}

}  // namespace kalder::image
