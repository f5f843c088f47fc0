// One file of a run: load, resample, effects and overlay, colour form, write.
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <system_error>

#include "image/image_document.h"
#include "image/image_page.h"
#include "image/load_options.h"
#include "image/orientation.h"
#include "image/sinks.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"
#include "image/writers/writer_options.h"
#include "tools/convert/batch_convertor.h"
#include "tools/convert/batch_files_p.h"
#include "tools/convert/page_preparation.h"

namespace kalder::tools {
namespace fs = std::filesystem;

namespace {

bool cancelled(const image::CancelSink* cancel) { return cancel && cancel->isCancelled(); }

// A page's depth as the depth lists count it: palette depths as they are, 32 with an alpha plane
// that is used, 24 for any other true colour.
std::int32_t pageDepth(const image::ImagePage& page, bool alphaUsed) {
    if (alphaUsed) return 32;
    if (page.bitsPerPixel >= 1 && page.bitsPerPixel <= 8)
        return static_cast<std::int32_t>(page.bitsPerPixel);
    return 24;
}

const image::TransparencyOptions* transparencyOf(const BatchSettings& s) {
    if (s.format == BatchFormat::Gif) return &s.formatOptions.gif.transparency;
    if (s.format == BatchFormat::Png) return &s.formatOptions.png.transparency;
    return nullptr;
}

void applyFormatOptions(const BatchSettings& s, image::WriterImage& img) {
    const WriterOptionsSet& o = s.formatOptions;
    switch (s.format) {
        case BatchFormat::Bmp:
            image::applyBmpOptions(o.bmp, img);
            break;
        case BatchFormat::Gif:
            image::applyGifOptions(o.gif, img);
            break;
        case BatchFormat::Jpeg:
            image::applyJpegOptions(o.jpeg, img);
            break;
        case BatchFormat::Png:
            image::applyPngOptions(o.png, img);
            break;
        case BatchFormat::Tiff:
            image::applyTiffOptions(o.tiff, img);
            break;
        case BatchFormat::Tga:
            image::applyTgaOptions(o.tga, img);
            break;
        default:
            break;
    }
}

// Temporary files of the extra pages, removed unless they were put in place.
struct PageFiles {
    std::vector<std::pair<fs::path, fs::path>> files;  // temporary, final
    ~PageFiles() {
        std::error_code ec;
        for (const auto& f : files) fs::remove(f.first, ec);
    }
};

class Converter {
public:
    Converter(const fs::path& source, const fs::path& finalPath, const BatchSettings& s,
              const OverlayLayer* overlay, const std::function<void(std::int32_t)>& stage,
              const image::CancelSink* cancel, std::string& message)
        : m_source(source),
          m_final(finalPath),
          m_s(s),
          m_overlay(overlay),
          m_stage(stage),
          m_cancel(cancel),
          m_message(message) {}

    int run(const fs::path& temporaryPath);

private:
    int fail(const char* text, const fs::path& path) {
        m_message = std::string(text) + " " + path.string();
        return kBatchFileFailed;
    }
    void stage(std::int32_t n) {
        if (m_stage) m_stage(n);
    }
    int writePage(const image::ImagePage& page, std::int32_t index, const fs::path& target);

    const fs::path& m_source;
    const fs::path& m_final;
    const BatchSettings& m_s;
    const OverlayLayer* m_overlay;
    const std::function<void(std::int32_t)>& m_stage;
    const image::CancelSink* m_cancel;
    std::string& m_message;

    image::LoadOptions m_load;
    std::vector<std::string> m_comments;
    image::ImageInfo m_info;
    std::vector<std::uint8_t> m_exif;  // what a JPEG output carries
    std::string m_damage;              // of the first page that ended early
    std::int32_t m_dpiX = 0, m_dpiY = 0;
    bool m_sourceDpi = false;
};

int Converter::run(const fs::path& temporaryPath) {
    stage(0);
    m_load.path = m_source;
    m_load.rotation = m_s.rotation & 3;
    m_load.flipHorizontal = m_s.mirrorH;
    m_load.flipVertical = m_s.mirrorV;
    m_load.extractAlpha = true;
    m_load.comments = &m_comments;
    image::ImageDocument doc;
    if (!doc.Open(m_load, m_cancel)) {
        if (cancelled(m_cancel)) return kBatchFileStopped;
        return fail(kCantReadImageMessage, m_source);
    }
    const bool turned = m_s.autoOrient && doc.exif().orientation() > 1;
    if (turned) doc.orientUpright();
    // The alpha plane is mapped as the pixels were placed.
    m_load = doc.options();
    if (!doc.AddPage() || !doc.DecodePage()) {
        if (cancelled(m_cancel)) return kBatchFileStopped;
        return fail(kCantReadImageMessage, m_source);
    }

    // The file information again: its resolution and, for JPEG outputs, its Exif block.
    const bool haveInfo = image::ReadImageInfo(m_source, m_info, true);
    if (!m_s.originalResolution) {
        m_dpiX = m_s.dpiX;
        m_dpiY = m_s.dpiY;
    } else if (haveInfo && m_info.dpiX >= 1 && m_info.dpiY >= 1) {
        m_dpiX = m_info.dpiX;
        m_dpiY = m_info.dpiY;
        m_sourceDpi = true;
    } else {
        m_dpiX = m_s.defaultDpiX;
        m_dpiY = m_s.defaultDpiY;
    }
    if (m_s.format == BatchFormat::Jpeg)
        m_exif = turned ? image::exifWithOrientationReset(m_info.exif)
                        : std::vector<std::uint8_t>(m_info.exif.data().begin(),
                                                    m_info.exif.data().end());
    if (!m_s.keepOriginal) {
        m_comments.clear();
        if (m_s.setComments && !m_s.comments.empty()) m_comments.push_back(m_s.comments);
    }

    PageFiles extra;
    for (std::int32_t k = 0;; ++k) {
        fs::path target = temporaryPath;
        if (k > 0) {
            if (!detail::makeTemporary(m_final.parent_path(), target))
                return fail(kFailedToWriteMessage, batchPagePath(m_final, k));
            extra.files.emplace_back(target, batchPagePath(m_final, k));
        }
        const image::ImagePage& page = doc.PageAt(doc.PageCount() - 1);
        if (m_damage.empty()) m_damage = image::pageDamageText(page);
        if (const int r = writePage(page, k, target); r != kBatchFileWritten) return r;
        // Frames come composed; each is dropped once written, so long animations stay small.
        doc.ReleasePages();
        if (k + 1 >= image::ImageDocument::kMaxPages || !doc.AddPage() || !doc.DecodePage()) break;
    }
    if (cancelled(m_cancel)) return kBatchFileStopped;
    struct stat st {};
    const bool haveStatus = ::stat(m_source.c_str(), &st) == 0;
    for (auto it = extra.files.begin(); it != extra.files.end(); it = extra.files.erase(it)) {
        std::error_code ec;
        fs::rename(it->first, it->second, ec);
        if (ec) return fail(kFailedToWriteMessage, it->second);
        if (haveStatus) detail::applySourceStatus(it->second, st, m_s.preserveDate);
    }
    if (!m_damage.empty()) {
        m_message = m_damage;
        return kBatchFileDamaged;
    }
    return kBatchFileWritten;
}

int Converter::writePage(const image::ImagePage& page, std::int32_t index, const fs::path& target) {
    const fs::path shownPath = index == 0 ? m_final : batchPagePath(m_final, index);
    std::vector<std::uint8_t> alpha;
    if (!page.alphaPlane.empty()) {
        alpha = alphaForBitmap(page, m_load);
        if (std::all_of(alpha.begin(), alpha.end(), [](std::uint8_t a) { return a == 255; }))
            alpha.clear();
    }
    const std::int32_t depth = batchOutputDepth(m_s, pageDepth(page, !alpha.empty()));
    if (depth == 0) {
        m_message = kPaletteNotSupportedMessage;
        return kBatchFileFailed;
    }
    const image::TransparencyOptions* transparency = transparencyOf(m_s);
    const auto mode = transparency ? transparency->mode : image::TransparencyMode::Retain;
    if (mode != image::TransparencyMode::Retain) alpha.clear();
    // 24 bits chosen where 32 could be: the user asked for no alpha.
    if (depth == 24 && m_s.colorDepth == 24) alpha.clear();

    stage(1);
    const BatchResampleSize size =
        batchResampleSize(m_s, page.bitmap.width(), page.bitmap.height(), m_dpiX, m_dpiY);
    if (size.tooLarge) return fail(kResampledTooLargeMessage, m_source);
    PageOutputOptions options;
    if (size.resample) {
        options.resampleWidth = size.width;
        options.resampleHeight = size.height;
        options.cropX = size.cropX;
        options.cropY = size.cropY;
        options.cropWidth = size.cropWidth;
        options.cropHeight = size.cropHeight;
    }
    options.keepResolution = true;
    options.resample.method = static_cast<image::ResampleMethod>(std::clamp(m_s.method, 0, 4));
    options.resample.shrinkAveraging = true;
    options.resample.cancel = m_cancel;
    // Several files at once share the cores already.
    options.resample.threads = m_s.jobs == 1 ? 0 : 1;
    PreparedPage prepared;
    if (!resamplePreparedPage(page.bitmap, std::move(alpha), options, prepared)) {
        if (cancelled(m_cancel)) return kBatchFileStopped;
        return fail(kCantReadImageMessage, m_source);
    }

    stage(2);
    if (m_s.effects.anyChecked() || (m_overlay && m_s.overlay.mode != OverlayMode::None)) {
        image::Bitmap32* pixels = editablePixels(prepared);
        if (!pixels) return fail(kCantReadImageMessage, m_source);
        if (m_s.effects.anyChecked() &&
            !m_s.effects.ApplyChain(pixels->pixels(), pixels->pixels(), pixels->width(),
                                    pixels->height(), static_cast<std::ptrdiff_t>(pixels->stride()),
                                    static_cast<std::ptrdiff_t>(pixels->stride()), m_cancel))
            return kBatchFileStopped;
        if (m_overlay && m_s.overlay.mode != OverlayMode::None)
            Overlay::Stamp(*pixels, prepared.alpha.empty() ? nullptr : prepared.alpha.data(),
                           *m_overlay, m_s.overlay);
    }
    if (cancelled(m_cancel)) return kBatchFileStopped;

    // A transparent colour: the pixels of that colour, as they are now, become see-through.
    if (mode == image::TransparencyMode::Color) {
        const image::Bitmap32& b = *prepared.bitmap;
        prepared.alpha.assign(static_cast<std::size_t>(b.width()) * b.height(), 255);
        const std::uint32_t c = transparency->color;
        for (std::int32_t y = 0; y < b.height(); ++y) {
            const std::uint8_t* p = b.row(y);
            for (std::int32_t x = 0; x < b.width(); ++x, p += 4)
                if (p[2] == image::redOf(c) && p[1] == image::greenOf(c) &&
                    p[0] == image::blueOf(c))
                    prepared.alpha[static_cast<std::size_t>(y) * b.width() + x] = 0;
        }
    }

    options.palette = depth <= 8;
    options.reduce.palette = static_cast<image::PaletteType>(std::clamp(m_s.palette, 0, 4));
    options.reduce.dither = static_cast<image::DitherType>(std::clamp(m_s.dithering, 0, 4));
    options.reduce.targetDepth = depth;
    options.reduce.cancel = m_cancel;
    // The two-entry black-and-white palette has no entry to spare for transparency.
    options.transparentEntry = transparency && mode != image::TransparencyMode::Remove &&
                               mode != image::TransparencyMode::PaletteIndex && m_s.palette != 2;
    if (!finishPreparedPage(page, m_dpiX, m_dpiY, options, prepared)) {
        if (cancelled(m_cancel)) return kBatchFileStopped;
        return fail(kFailedToWriteMessage, shownPath);
    }
    image::WriterImage& img = prepared.image;
    if (mode == image::TransparencyMode::PaletteIndex && img.bits <= 8 &&
        transparency->paletteIndex < (1 << img.bits)) {
        img.transparent = true;
        img.transparentIndex = transparency->paletteIndex;
        img.alphaPlane = nullptr;
    }
    // The source's own resolution; else none at "[original]" unless a unit other than pixels
    // sized the page; else the one asked for.
    std::int32_t dpiX = m_dpiX, dpiY = m_dpiY;
    if (!m_sourceDpi && m_s.originalResolution &&
        !(size.resample && !m_s.percents && m_s.unit != 0))
        dpiX = dpiY = 0;
    img.dpiX = std::max(0, dpiX);
    img.dpiY = std::max(0, dpiY);
    if (m_s.format == BatchFormat::Jpeg) img.exif = m_exif;
    applyFormatOptions(m_s, img);
    if (m_s.format == BatchFormat::Tiff && m_s.tiffCompressionTag > 0 &&
        image::tiffCompressionIndex(m_s.tiffCompressionTag, img.bits))
        img.tiffCompression = m_s.tiffCompressionTag;

    stage(3);
    auto writer = image::createWriterForExtension(batchFormatExtension(m_s.format));
    if (!writer) return fail(kFailedToWriteMessage, shownPath);
    if (!writer->Open(target, &m_comments) || !writer->Write(img) || !writer->Close()) {
        if (cancelled(m_cancel)) return kBatchFileStopped;
        return fail(kFailedToWriteMessage, shownPath);
    }
    return kBatchFileWritten;
}

}  // namespace

int BatchConvertor::ConvertFile(const fs::path& sourcePath, const fs::path& temporaryPath,
                                const fs::path& finalPath, const BatchSettings& settings,
                                const OverlayLayer* overlay,
                                const std::function<void(std::int32_t)>& stage,
                                const image::CancelSink* cancel, std::string& message) {
    Converter converter(sourcePath, finalPath, settings, overlay, stage, cancel, message);
    return converter.run(temporaryPath);
}

}  // namespace kalder::tools
