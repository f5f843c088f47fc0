#include "tools/convert/page_preparation.h"

#include <algorithm>
#include <filesystem>

#include "base/strings.h"
#include "image/image_page.h"
#include "image/load_options.h"

namespace kalder::tools {

std::vector<std::uint8_t> alphaForBitmap(const image::ImagePage& page,
                                         const image::LoadOptions& o) {
    const auto& bitmap = page.bitmap;
    const std::int32_t Wt = bitmap.width(), Ht = bitmap.height();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(Wt) * Ht, 255);
    const std::int64_t w = page.width, h = page.height;
    if (w <= 0 || h <= 0 || page.alphaPlane.size() != static_cast<std::size_t>(w * h)) return out;
    const bool quarter = o.rotation & 1;
    const std::int64_t Ws = quarter ? Ht : Wt;  // target size in source orientation
    const std::int64_t Hs = quarter ? Wt : Ht;
    for (std::int32_t y = 0; y < Ht; ++y) {
        for (std::int32_t x = 0; x < Wt; ++x) {
            const std::int64_t fx = o.flipHorizontal ? Wt - 1 - x : x;
            const std::int64_t fy = o.flipVertical ? Ht - 1 - y : y;
            std::int64_t u, v;  // in source orientation, target scale
            switch (o.rotation & 3) {
                case 0:
                    u = fx;
                    v = fy;
                    break;
                case 1:
                    u = fy;
                    v = Wt - 1 - fx;
                    break;
                case 2:
                    u = Wt - 1 - fx;
                    v = Ht - 1 - fy;
                    break;
                default:
                    u = Ht - 1 - fy;
                    v = fx;
                    break;
            }
            const std::int64_t su = std::min(w - 1, u * w / Ws);
            const std::int64_t sv = std::min(h - 1, v * h / Hs);
            out[static_cast<std::size_t>(y) * Wt + x] =
                page.alphaPlane[static_cast<std::size_t>(sv * w + su)];
        }
    }
    return out;
}

std::int32_t bitsForColours(std::int32_t colours) {
    std::int32_t bits = 1;
    while ((1 << bits) < colours && bits < 8) ++bits;
    return bits;
}

std::string writeErrorMessage(image::DecodeError error) {
    switch (error) {
        case image::DecodeError::NoReader:
            return "the codec module is not available";
        case image::DecodeError::Unsupported:
            return "the image cannot be stored in this format";
        case image::DecodeError::TooLarge:
            return "the image is too large for this format";
        case image::DecodeError::OutOfMemory:
            return "out of memory";
        case image::DecodeError::Cancelled:
            return "cancelled";
        default:
            return "the file cannot be written";
    }
}

std::string lowerExtension(std::string_view path) {
    return base::toLowerAscii(std::filesystem::path(path).extension().string());
}

namespace {

// A copy of the rectangle (x, y, w, h) of `source`; false when it does not fit or no memory.
bool copyRect(const image::Bitmap32& source, std::int32_t x, std::int32_t y, std::int32_t w,
              std::int32_t h, image::Bitmap32& out) {
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || x > source.width() - w || y > source.height() - h ||
        !out.Create(w, h))
        return false;
    for (std::int32_t row = 0; row < h; ++row)
        std::copy_n(source.row(y + row) + static_cast<std::size_t>(x) * 4,
                    static_cast<std::size_t>(w) * 4, out.row(row));
    return true;
}

}  // namespace

std::string prepareErrorMessage(PrepareError error) {
    switch (error) {
        case PrepareError::CannotCrop:
            return "cannot crop the image";
        case PrepareError::TooLarge:
            return "cannot resample to that size";
        case PrepareError::CannotResample:
            return "cannot resample";
        case PrepareError::Cancelled:
            return "cancelled";
        case PrepareError::CannotReduceColours:
            return "cannot reduce the colours";
    }
    return "cannot prepare the image";
}

PrepareStatus resamplePreparedPage(const image::Bitmap32& source, std::vector<std::uint8_t> alpha,
                                   const PageOutputOptions& c, PreparedPage& out) {
    out.bitmap = &source;
    out.alpha = std::move(alpha);
    out.resampled = false;
    if (c.resamplePercent <= 0 && c.resampleWidth <= 0 && c.resampleHeight <= 0)
        return std::monostate{};
    const image::Bitmap32* from = &source;
    image::Bitmap32 cropped;
    std::vector<std::uint8_t> croppedAlpha;
    if (c.cropWidth > 0 && (c.cropWidth != source.width() || c.cropHeight != source.height())) {
        if (!copyRect(source, c.cropX, c.cropY, c.cropWidth, c.cropHeight, cropped)) {
            return PrepareError::CannotCrop;
        }
        if (!out.alpha.empty()) {
            croppedAlpha.reserve(static_cast<std::size_t>(c.cropWidth) * c.cropHeight);
            for (std::int32_t y = 0; y < c.cropHeight; ++y) {
                const auto* row =
                    out.alpha.data() + static_cast<std::size_t>(c.cropY + y) * source.width();
                croppedAlpha.insert(croppedAlpha.end(), row + c.cropX, row + c.cropX + c.cropWidth);
            }
            out.alpha = std::move(croppedAlpha);
        }
        from = &cropped;
    }
    std::int32_t w = c.resampleWidth, h = c.resampleHeight;
    if (c.resamplePercent > 0) {
        w = static_cast<std::int32_t>(std::max<std::int64_t>(
            1, (std::int64_t{from->width()} * c.resamplePercent + 50) / 100));
        h = static_cast<std::int32_t>(std::max<std::int64_t>(
            1, (std::int64_t{from->height()} * c.resamplePercent + 50) / 100));
    }
    if (w <= 0) w = from->width();
    if (h <= 0) h = from->height();
    if (w > 32767 || h > 32767 || !out.scaled.Create(w, h)) {
        return PrepareError::TooLarge;
    }
    if (auto s = image::Resample(*from, out.scaled, c.resample); !s) {
        return s.error() == image::DecodeError::Cancelled ? PrepareError::Cancelled
                                                          : PrepareError::CannotResample;
    }
    if (!out.alpha.empty()) {
        std::vector<std::uint8_t> scaledAlpha(static_cast<std::size_t>(w) * h);
        if (!image::ResampleAlpha(out.alpha, from->width(), from->height(), scaledAlpha, w, h,
                                  c.resample)) {
            return PrepareError::CannotResample;
        }
        out.alpha = std::move(scaledAlpha);
    }
    out.bitmap = &out.scaled;
    out.resampled = true;
    return std::monostate{};
}

image::Bitmap32* editablePixels(PreparedPage& out) {
    if (out.bitmap != &out.scaled) {
        if (!out.bitmap ||
            !copyRect(*out.bitmap, 0, 0, out.bitmap->width(), out.bitmap->height(), out.scaled))
            return nullptr;
        out.bitmap = &out.scaled;
    }
    return &out.scaled;
}

PrepareStatus preparePage(const image::ImagePage& page, const image::Bitmap32& source,
                          std::vector<std::uint8_t> alpha, std::int32_t dpiX, std::int32_t dpiY,
                          const PageOutputOptions& c, PreparedPage& out) {
    KALDER_TRY(resamplePreparedPage(source, std::move(alpha), c, out));
    return finishPreparedPage(page, dpiX, dpiY, c, out);
}

PrepareStatus finishPreparedPage(const image::ImagePage& page, std::int32_t dpiX, std::int32_t dpiY,
                                 const PageOutputOptions& c, PreparedPage& out) {
    const image::Bitmap32* bitmap = out.bitmap ? out.bitmap : &page.bitmap;
    // The physical size is no longer known after resampling, unless the caller decided it.
    if (out.resampled && !c.keepResolution) dpiX = dpiY = 0;
    image::WriterImage& img = out.image;
    img = c.format;
    const bool seeThrough =
        std::any_of(out.alpha.begin(), out.alpha.end(), [](std::uint8_t a) { return a < 128; });
    if (c.palette) {
        image::ColourReduceOptions ro = c.reduce;
        // A palette source keeps its own table when nothing changed its colours.
        if (page.bitsPerPixel >= 1 && page.bitsPerPixel <= 8 && !c.coloursChanged &&
            bitmap == &page.bitmap) {
            ro.sourceDepth = static_cast<std::int32_t>(page.bitsPerPixel);
            ro.sourcePalette = page.palette;
        }
        ro.reserveTransparent = seeThrough && c.transparentEntry;
        image::ColourReducer reducer;
        const image::Bitmap32* images[] = {bitmap};
        if (!reducer.Setup(images, ro) || !reducer.BuildPalette()) {
            return PrepareError::CannotReduceColours;
        }
        auto mapped = reducer.MapImage(0);
        if (!mapped) {
            return PrepareError::CannotReduceColours;
        }
        out.indexes = std::move(*mapped);
        reducer.fillWriterImage(img, out.indexes);
        img.transparent = ro.reserveTransparent && reducer.transparentIndex() >= 0;
        img.transparentIndex = std::max(0, reducer.transparentIndex());
        img.alphaPlane = img.transparent ? out.alpha.data() : nullptr;
    } else {
        img.pixels = bitmap->pixels();
        img.width = bitmap->width();
        img.height = bitmap->height();
        img.bits = 32;
        img.alphaPlane = out.alpha.empty() ? nullptr : out.alpha.data();
    }
    img.dpiX = std::max(0, dpiX);
    img.dpiY = std::max(0, dpiY);
    img.gifDelay = page.delay;
    // Pages are whole composed frames; one with holes must not show the frame before it.
    img.gifDisposal = img.transparent ? 2 : 0;
    return std::monostate{};
}

}  // namespace kalder::tools
