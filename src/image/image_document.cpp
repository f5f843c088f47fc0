#include "image/image_document.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "image/checked.h"
#include "image/color_space.h"
#include "image/image_reader.h"
#include "image/orientation.h"
#include "image/row_pipeline.h"
#include "image/sinks.h"
#include "image/target_size.h"
#include "image/thumbnail_placeholder.h"

namespace kalder::image {

ImageDocument::ImageDocument() : m_exif(std::make_unique<ExifBlock>()) {}

ImageDocument::~ImageDocument() {
    // The reader goes first, then the pages in index order, then the Exif block and thumbnail.
    m_reader.reset();
    for (auto& page : m_pages) page.reset();
}

bool ImageDocument::failWith(DecodeError error) {
    m_lastError = error;
    return false;
}

void ImageDocument::destroyReader() { m_reader.reset(); }

bool ImageDocument::Open(const LoadOptions& options, const CancelSink* cancel,
                         ProgressSink* progress) {
    destroyReader();
    const std::int32_t index = DetectFormat(options.path, DetectMode::ByContent);
    if (index < 0) return failWith(DecodeError::BadSignature);
    auto reader = createReaderForCode(formatTable()[static_cast<std::size_t>(index)].code);
    if (!reader) return failWith(DecodeError::NoReader);
    return openWithReader(std::move(reader), options, cancel, progress);
}

bool ImageDocument::openWithReader(std::unique_ptr<ImageReader> reader, const LoadOptions& options,
                                   const CancelSink* cancel, ProgressSink* progress) {
    m_cancel = cancel;
    destroyReader();
    if (!reader) return failWith(DecodeError::NoReader);
    m_reader = std::move(reader);
    m_options = options;
    m_exif = std::make_unique<ExifBlock>();

    ReaderSettings settings;
    settings.requestedWidth = options.limitWidth;
    settings.requestedHeight = options.limitHeight;
    settings.cancel = cancel;
    settings.progress = progress;
    settings.blendAlpha = options.blendAlpha;
    settings.backgroundColour = options.backgroundColour;
    settings.extractAlpha = options.extractAlpha;
    settings.exif = m_exif.get();
    settings.comments = options.comments;
    settings.commentsLock = options.commentsLock;

    Status s = m_reader->OpenFile(options.path, settings);
    if (s) s = m_reader->ReadHeader();
    if (!s) {
        destroyReader();
        return failWith(s.error());
    }
    m_isVector = m_reader->IsVector();
    m_description = m_reader->Description();
    m_preferredPage = std::max(0, m_reader->PreferredPage());
    m_dpiX = m_reader->DpiX();
    m_dpiY = m_reader->DpiY();
    return true;
}

void ImageDocument::orientUpright() { orientLoadOptions(m_options, m_exif->orientation()); }

bool ImageDocument::AddPage() {
    if (!m_reader) return failWith(DecodeError::NoMoreFrames);
    const std::int32_t count = PageCount();
    if (count >= kMaxPages) return failWith(DecodeError::TooLarge);

    std::uint32_t delay = 0;
    if (!m_reader->IsSingleImage()) {
        auto begun = m_reader->BeginDecode();
        if (!begun) {
            destroyReader();
            return failWith(begun.error());
        }
        delay = *begun;
    }

    const std::int32_t sourceW = m_reader->Width();
    const std::int32_t sourceH = m_reader->Height();
    const bool quarter = (m_options.rotation & 1) != 0;
    const PixelSize rotated = quarter ? PixelSize{sourceH, sourceW} : PixelSize{sourceW, sourceH};
    if (!validImageSide(rotated.width) || !validImageSide(rotated.height))
        return failWith(DecodeError::TooLarge);

    PixelSize target = rotated;
    if (!m_isVector) {
        FitRules rules;
        rules.autoFit = m_options.autoFit;
        rules.fitWidth = m_options.fitWidth;
        rules.fitHeight = m_options.fitHeight;
        rules.zoomRule = m_options.zoomRule;
        rules.limitWidth = m_options.limitWidth;
        rules.limitHeight = m_options.limitHeight;
        target = computeTargetSize(rotated, rules);
        // Before the decode begins, so a reader that can skip detail knows how much it needs.
        if (quarter)
            m_reader->hintDecodeSize(target.height, target.width);
        else
            m_reader->hintDecodeSize(target.width, target.height);
    }

    auto page = std::make_unique<ImagePage>();
    page->delay = delay;
    page->width = static_cast<std::uint32_t>(sourceW);
    page->height = static_cast<std::uint32_t>(sourceH);
    page->bitsPerPixel = m_reader->BitsPerPixel();
    page->palette.fill(0);
    const bool paletteOk = m_reader->GetPalette(page->palette);
    page->transparentIndex = m_reader->TransparentIndex();
    page->isGray = m_reader->GetIsGray();
    m_reader->GetHotSpot(page->hotSpotX, page->hotSpotY);
    if (page->bitsPerPixel == 0 || !paletteOk) {
        destroyReader();
        return failWith(DecodeError::Unsupported);
    }
    if (!page->bitmap.Create(target.width, target.height)) {
        destroyReader();
        return failWith(DecodeError::OutOfMemory);
    }

    m_currentTarget = &page->bitmap;
    m_pages[static_cast<std::size_t>(count)] = std::move(page);
    m_pageCount.store(count + 1, std::memory_order_release);

    if (ColorTransform* transform = m_options.colorTransform) {
        ColorSpace space;
        if (m_reader->GetColorSpace(space)) {
            transform->setSource(&space);
        } else {
            transform->setSource(nullptr);
        }
    }
    return true;
}

bool ImageDocument::DecodePage() {
    if (!m_reader || !m_currentTarget) return failWith(DecodeError::NoMoreFrames);
    const bool single = m_reader->IsSingleImage();
    // A picture taken at its own size, upright and with its own colours, may be decoded
    // straight into the page's layout: one pass over the pixels fewer.
    const Bitmap32& target = *m_currentTarget;
    const bool ownLayout = (m_options.rotation & 3) == 0 && !m_options.flipHorizontal &&
                           !m_options.colorTransform && !m_options.gammaTable &&
                           target.width() == m_reader->Width() &&
                           target.height() == m_reader->Height();
    const bool bgrx = single && ownLayout && m_reader->deliverBgrx();
    if (single) {
        auto begun = m_reader->BeginDecode();
        if (!begun) {
            destroyReader();
            return failWith(begun.error());
        }
    }

    PipelineSettings ps;
    ps.sourceWidth = m_reader->Width();
    ps.sourceHeight = m_reader->Height();
    ps.bottomUp = m_reader->IsBottomUp();
    ps.rotation = m_options.rotation & 3;
    ps.flipHorizontal = m_options.flipHorizontal;
    ps.flipVertical = m_options.flipVertical;
    ps.smoothShrink = m_options.smoothShrink;
    ps.smoothEnlarge = m_options.smoothEnlarge;
    ps.smoothEnlargeMinSize = m_options.smoothEnlargeMinSize;
    ps.colorTransform = m_options.colorTransform;
    ps.gammaTable = m_options.gammaTable;
    ps.sourceBgrx = bgrx;

    ImageReader& reader = *m_reader;
    // Rows land from the bottom when a bottom-up source is not turned over, or a top-down one is.
    const bool upright = ps.rotation == 0 || ps.rotation == 2;
    const bool turned = (ps.rotation == 2) != ps.flipVertical;
    PageWarmer warmer(*m_currentTarget, upright && ps.bottomUp != turned);
    Status s = runRowPipeline(ps, *m_currentTarget, [&reader](std::uint8_t* rgb, bool skip) {
        return reader.ReadRow(rgb, skip);
    });
    m_reader->EndDecode();

    if (s) {
        ImagePage& page = PageAt(PageCount() - 1);
        const auto& alpha = m_reader->alphaPlane();
        const std::size_t expected = static_cast<std::size_t>(page.width) * page.height;
        if (!alpha.empty() && alpha.size() == expected) page.alphaPlane = alpha;
        page.dataEndsAtRow = m_reader->dataEndsAtRow();
    }

    const bool cancelled = m_cancel && m_cancel->isCancelled();
    if (single || !s || cancelled) destroyReader();
    if (!s) return failWith(s.error());
    if (cancelled) return failWith(DecodeError::Cancelled);
    return true;
}

bool ImageDocument::loadAll(const LoadOptions& options, bool allPages, const CancelSink* cancel,
                            ProgressSink* progress) {
    if (!Open(options, cancel, progress)) return false;
    bool any = false;
    while (AddPage()) {
        if (!DecodePage()) break;
        any = true;
        if (!allPages) break;
    }
    if (!allPages) destroyReader();
    return any;
}

void ImageDocument::ReleasePages() {
    const std::int32_t count = PageCount();
    m_pageCount.store(0, std::memory_order_release);
    m_currentTarget = nullptr;
    for (std::int32_t i = 0; i < count; ++i) m_pages[static_cast<std::size_t>(i)].reset();
}

namespace {

// Decodes a reader's frame at its own size into bitmap (red, green, blue -> blue, green, red).
Status decodeAtOwnSize(ImageReader& reader, Bitmap32& bitmap, const CancelSink* cancel) {
    const std::int32_t w = reader.Width(), h = reader.Height();
    if (!validImageSide(w) || !validImageSide(h)) return DecodeError::TooLarge;
    if (!bitmap.Create(w, h)) return DecodeError::OutOfMemory;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 3);
    const bool bottomUp = reader.IsBottomUp();
    for (std::int32_t k = 0; k < h; ++k) {
        KALDER_TRY(reader.ReadRow(row.data(), false));
        if (cancel && cancel->isCancelled()) return DecodeError::Cancelled;
        const std::int32_t y = bottomUp ? h - 1 - k : k;
        std::lock_guard lock(bitmap.pixelLock());
        std::uint8_t* d = bitmap.row(y);
        for (std::int32_t x = 0; x < w; ++x) {
            d[x * 4] = row[x * 3 + 2];
            d[x * 4 + 1] = row[x * 3 + 1];
            d[x * 4 + 2] = row[x * 3];
        }
    }
    return {};
}

// Turns src by a quarter turn into dst.
bool quarterTurn(const Bitmap32& src, Bitmap32& dst, bool clockwise) {
    const std::int32_t w = src.width(), h = src.height();
    if (!dst.Create(h, w)) return false;
    for (std::int32_t y = 0; y < h; ++y) {
        const auto* s = reinterpret_cast<const std::uint32_t*>(src.row(y));
        for (std::int32_t x = 0; x < w; ++x) {
            // Clockwise: (x, y) -> (h - 1 - y, x); counter-clockwise: (x, y) -> (y, w - 1 - x).
            const std::int32_t dx = clockwise ? h - 1 - y : y;
            const std::int32_t dy = clockwise ? x : w - 1 - x;
            std::memcpy(dst.row(dy) + dx * 4, &s[x], 4);
        }
    }
    return true;
}

// The source interval [first, first + count) a destination pixel covers along one side, with
// the weight of each source pixel in it (its covered fraction).
struct Coverage {
    std::int32_t first = 0;
    std::vector<float> weights;
};

std::vector<Coverage> coverage(std::int32_t source, std::int32_t target) {
    std::vector<Coverage> out(static_cast<std::size_t>(target));
    const double step = static_cast<double>(source) / target;
    for (std::int32_t j = 0; j < target; ++j) {
        const double a = j * step, b = std::min<double>(source, (j + 1) * step);
        Coverage& c = out[static_cast<std::size_t>(j)];
        c.first = static_cast<std::int32_t>(a);
        for (std::int32_t i = c.first; i < source && i < b; ++i)
            c.weights.push_back(
                static_cast<float>((std::min<double>(b, i + 1) - std::max(a, i * 1.0)) / (b - a)));
    }
    return out;
}

// Scales so that the longer side is exactly size: by the mean over the covered area when
// shrinking (any point sample would alias fine detail), by repeating pixels when enlarging.
bool scaleToLongerSide(const Bitmap32& src, Bitmap32& dst, std::int32_t size) {
    const std::int32_t w = src.width(), h = src.height();
    std::int32_t tw, th;
    if (w >= h) {
        tw = size;
        th = std::max(1, static_cast<std::int32_t>(static_cast<double>(h) * size / w + 0.5));
    } else {
        th = size;
        tw = std::max(1, static_cast<std::int32_t>(static_cast<double>(w) * size / h + 0.5));
    }
    if (!dst.Create(tw, th)) return false;
    std::lock_guard lock(dst.pixelLock());
    if (tw >= w && th >= h) {
        for (std::int32_t y = 0; y < th; ++y) {
            const std::int32_t sy =
                static_cast<std::int32_t>(static_cast<std::int64_t>(y) * h / th);
            const auto* s = reinterpret_cast<const std::uint32_t*>(src.row(sy));
            auto* d = reinterpret_cast<std::uint32_t*>(dst.row(y));
            for (std::int32_t x = 0; x < tw; ++x) d[x] = s[static_cast<std::int64_t>(x) * w / tw];
        }
        dst.markAllDone();
        return true;
    }
    // Columns first, into a float band of h x tw, then rows.
    const auto columns = coverage(w, tw), rows = coverage(h, th);
    std::vector<float> band(static_cast<std::size_t>(h) * tw * 4, 0.0f);
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint8_t* s = src.row(y);
        float* b = band.data() + static_cast<std::size_t>(y) * tw * 4;
        for (const Coverage& c : columns) {
            const std::uint8_t* p = s + static_cast<std::size_t>(c.first) * 4;
            for (float weight : c.weights) {
                for (int ch = 0; ch < 4; ++ch) b[ch] += weight * p[ch];
                p += 4;
            }
            b += 4;
        }
    }
    std::vector<float> acc(static_cast<std::size_t>(tw) * 4);
    for (std::int32_t y = 0; y < th; ++y) {
        const Coverage& c = rows[static_cast<std::size_t>(y)];
        std::fill(acc.begin(), acc.end(), 0.0f);
        for (std::size_t k = 0; k < c.weights.size(); ++k) {
            const float* b = band.data() + (static_cast<std::size_t>(c.first) + k) * tw * 4;
            for (std::size_t i = 0; i < acc.size(); ++i) acc[i] += c.weights[k] * b[i];
        }
        std::uint8_t* d = dst.row(y);
        for (std::size_t i = 0; i < acc.size(); ++i)
            d[i] = static_cast<std::uint8_t>(std::clamp(acc[i] + 0.5f, 0.0f, 255.0f));
    }
    dst.markAllDone();
    return true;
}

bool exifThumbnail(const ImageInfo& info, const std::filesystem::path& path, Bitmap32& work,
                   bool rotateClockwise, const CancelSink* cancel) {
    auto jpeg = info.exif.thumbnailJpeg();
    if (jpeg.empty()) return false;
    auto reader = CreateReader(path);
    if (!reader) return false;
    if (!reader->OpenMemory(jpeg) || !reader->ReadHeader() || !reader->BeginDecode()) return false;
    Bitmap32 decoded;
    if (!decodeAtOwnSize(*reader, decoded, cancel)) return false;
    reader->EndDecode();
    const bool thumbLandscape = decoded.width() > decoded.height();
    const bool thumbPortrait = decoded.width() < decoded.height();
    const bool imageLandscape = info.width > info.height;
    const bool imagePortrait = info.width < info.height;
    if ((thumbLandscape && imagePortrait) || (thumbPortrait && imageLandscape))
        return quarterTurn(decoded, work, rotateClockwise);
    return decoded.CopyTo(work);
}

}  // namespace

bool ImageDocument::MakeThumbnail(const std::filesystem::path& path, std::int32_t size,
                                  ColorRef backgroundColour, ColorTransform* colorTransform,
                                  bool useExifThumbnail, bool rotateClockwise,
                                  const CancelSink* cancel, bool upright) {
    m_thumbnailIsPlaceholder = false;
    if (size <= 0) return false;
    ImageInfo info;
    ReadImageInfo(path, info, true);
    Bitmap32 work;
    bool made = useExifThumbnail && exifThumbnail(info, path, work, rotateClockwise, cancel);
    if (!made) {
        auto reader = CreateReader(path);
        if (reader && reader->MakeThumbnail(path, work, size, backgroundColour, cancel)) {
            made = true;
            if (colorTransform) {
                ColorSpace space;
                colorTransform->setSource(reader->GetColorSpace(space) ? &space : nullptr);
                for (std::int32_t y = 0; y < work.height(); ++y)
                    colorTransform->translateRow(work.row(y),
                                                 static_cast<std::size_t>(work.width()));
            }
        } else if (cancel && cancel->isCancelled()) {
            return false;
        }
    }
    if (!made) {
        drawThumbnailPlaceholder(m_thumbnail, size);
        m_thumbnailIsPlaceholder = true;
        return !m_thumbnail.isEmpty();
    }
    // The Exif thumbnail lies as the main picture's pixels do, so the same turn puts it upright.
    if (const ExifOrientation o = uprightTransform(info.exif.orientation());
        upright && (o.rotation != 0 || o.flipH || o.flipV)) {
        Bitmap32 turned;
        if (!orientBitmap(work, turned, o)) return false;
        return scaleToLongerSide(turned, m_thumbnail, size);
    }
    return scaleToLongerSide(work, m_thumbnail, size);
}

std::string pageDamageText(const ImagePage& page) {
    if (page.dataEndsAtRow < 0) return {};
    return "data ends at row " + std::to_string(page.dataEndsAtRow);
}

bool ReadImageInfo(const std::filesystem::path& path, ImageInfo& info, bool withImage) {
    info = ImageInfo{};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    info.fileSize = static_cast<std::uint64_t>(st.st_size);
    info.modificationTime = st.st_mtime;
    // Linux keeps no portable creation time; the change time is the closest we have.
    info.creationTime = std::min<std::int64_t>(st.st_ctime, st.st_mtime);
    if (S_ISDIR(st.st_mode))
        info.attributes |= ImageInfo::kAttrDirectory;
    else
        info.attributes |= ImageInfo::kAttrArchive;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        info.attributes |= ImageInfo::kAttrReadOnly;
    if (path.filename().string().starts_with('.')) info.attributes |= ImageInfo::kAttrHidden;
    if (!withImage) return true;

    info.formatIndex = DetectFormat(path, DetectMode::ByContent);
    if (info.formatIndex < 0) return true;
    auto reader =
        createReaderForCode(formatTable()[static_cast<std::size_t>(info.formatIndex)].code);
    if (!reader) return true;
    ReaderSettings settings;
    settings.requestedWidth = 256;
    settings.requestedHeight = 256;
    settings.exif = &info.exif;
    if (!reader->OpenFile(path, settings) || !reader->ReadHeader()) return true;
    info.width = reader->Width();
    info.height = reader->Height();
    info.bitsPerPixel = reader->BitsPerPixel();
    info.isGray = reader->GetIsGray();
    info.isVector = reader->IsVector();
    info.description = reader->Description();
    info.dpiX = reader->DpiX();
    info.dpiY = reader->DpiY();
    return true;
}

std::int32_t countImagePages(const std::filesystem::path& path) {
    const std::int32_t index = DetectFormat(path, DetectMode::ByContent);
    if (index < 0) return 0;
    auto reader = createReaderForCode(formatTable()[static_cast<std::size_t>(index)].code);
    ReaderSettings settings;
    if (!reader || !reader->OpenFile(path, settings) || !reader->ReadHeader()) return 0;
    if (reader->IsSingleImage()) return 1;
    std::int32_t count = 0;
    std::vector<std::uint8_t> row;
    while (count < ImageDocument::kMaxPages && reader->BeginDecode()) {
        const std::int32_t w = reader->Width(), h = reader->Height();
        if (!validImageSide(w) || !validImageSide(h)) break;
        row.resize(static_cast<std::size_t>(w) * 3);
        bool whole = true;
        for (std::int32_t y = 0; y < h && whole; ++y)
            whole = reader->ReadRow(row.data(), true).ok();
        reader->EndDecode();
        if (!whole) break;
        ++count;
    }
    return count;
}

bool LoadResourceImage(std::span<const std::uint8_t> bytes, FormatCode format,
                       std::span<Bitmap32> bitmaps) {
    if (format != FormatCode::Bmp && format != FormatCode::Gif && format != FormatCode::Jpeg)
        return false;
    auto reader = createReaderForCode(format);
    if (!reader) return false;
    if (!reader->OpenMemory(bytes) || !reader->ReadHeader()) return false;
    for (Bitmap32& bitmap : bitmaps) {
        if (!reader->BeginDecode()) return false;
        if (!decodeAtOwnSize(*reader, bitmap, nullptr)) return false;
        bitmap.markAllDone();
        reader->EndDecode();
    }
    return true;
}

}  // namespace kalder::image
