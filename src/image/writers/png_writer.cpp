#include "image/writers/png_writer.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "image/bitmap32.h"
#include "image/cdx_loader.h"
#include "image/writers/image_writer.h"
#include "image/writers/jpeg_writer.h"
#include "image/writers/writer_factory_lib.h"

namespace kalder::image {

std::uint8_t pngPaletteDepth(std::int32_t bits) {
    if (bits == 1 || bits == 2 || bits == 4) return static_cast<std::uint8_t>(bits);
    if (bits == 3) return 4;
    return 8;
}

namespace {

constexpr std::uint8_t kGray = 0, kRgb = 2, kPalette = 3, kGrayAlpha = 4, kRgbAlpha = 6;
constexpr int kAdam7Passes = 7;

// A keyword the PNG rules accept (1..79 printable Latin-1 characters, no leading, trailing or
// double blanks), or empty when the text cannot be made into one.
std::string pngKeyword(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        const bool printable = (c >= 32 && c <= 126) || c >= 161;
        if (!printable) continue;
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out.push_back(static_cast<char>(c));
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (out.size() > 79) out.resize(79);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

class PngWriter final : public ImageWriter {
public:
    Status Write(const WriterImage& image) override {
        if (m_written) return DecodeError::Unsupported;
        if (!image.pixels || image.width < 1 || image.height < 1 ||
            !(image.bits == 32 || (image.bits >= 1 && image.bits <= 8)))
            return DecodeError::Unsupported;
        const CdxPngApi* api = cdx::pngApi(cdx::Group::Writers);
        if (!api) return DecodeError::NoReader;

        m_image = &image;
        CdxPngOptions o{};
        o.width = static_cast<std::uint32_t>(image.width);
        o.height = static_cast<std::uint32_t>(image.height);
        o.interlaced = image.pngInterlaced;
        o.fastCompression = image.pngFast;
        std::vector<std::uint8_t> transparency;
        if (image.bits <= 8) {
            o.bitDepth = pngPaletteDepth(image.bits);
            o.colorType = kPalette;
            o.packed = 1;
            o.palette = image.palette.data();
            o.paletteSize = 1u << image.bits;
            m_indexMask = static_cast<std::uint8_t>(o.paletteSize - 1);
            m_useTransparent = image.transparent && image.transparentIndex >= 0 &&
                               static_cast<std::uint32_t>(image.transparentIndex) < o.paletteSize;
            if (m_useTransparent) {
                transparency.assign(static_cast<std::size_t>(image.transparentIndex) + 1, 255);
                transparency.back() = 0;
                o.transparency = transparency.data();
                o.transparencySize = static_cast<std::uint32_t>(transparency.size());
            }
        } else {
            m_gray = allPixelsGray(image);
            const bool alpha = image.alphaPlane != nullptr;
            o.bitDepth = 8;
            o.colorType = m_gray ? (alpha ? kGrayAlpha : kGray) : (alpha ? kRgbAlpha : kRgb);
        }
        m_colorType = o.colorType;

        std::vector<std::string> keys, texts;
        const std::size_t pairs = std::min(image.pngKeywords.size(), image.pngTexts.size());
        for (std::size_t i = 0; i < pairs; ++i) {
            std::string key = pngKeyword(image.pngKeywords[i]);
            if (key.empty()) continue;
            keys.push_back(std::move(key));
            texts.push_back(image.pngTexts[i]);
        }
        for (const std::string& c : comments()) {
            keys.emplace_back("Comment");
            texts.push_back(c);
        }
        const std::size_t latin1 = keys.size();
        for (const auto& [keyword, text] : image.pngUtf8Texts) {
            std::string key = pngKeyword(keyword);
            if (key.empty()) continue;
            keys.push_back(std::move(key));
            texts.push_back(text);
        }
        std::vector<CdxPngText> chunks;
        for (std::size_t i = 0; i < keys.size(); ++i)
            chunks.push_back({keys[i].c_str(), texts[i].c_str(),
                              i >= latin1 ? std::uint8_t{1} : std::uint8_t{0}});
        o.texts = chunks.data();
        o.textCount = chunks.size();

        if (image.dpiX > 0 || image.dpiY > 0) {
            const double x = image.dpiX > 0 ? image.dpiX : image.dpiY;
            const double y = image.dpiY > 0 ? image.dpiY : image.dpiX;
            o.pixelsPerMetreX = static_cast<std::uint32_t>(std::lround(std::min(x, 1e6) * 39.37));
            o.pixelsPerMetreY = static_cast<std::uint32_t>(std::lround(std::min(y, 1e6) * 39.37));
        }
        o.hasOffset = image.pngOffset ? 1 : 0;
        o.offsetX = image.pngOffsetX;
        o.offsetY = image.pngOffsetY;
        // The range libpng accepts for a gAMA value.
        if (std::isfinite(image.pngGamma) && image.pngGamma >= 0.0002 && image.pngGamma <= 6000)
            o.gamma = image.pngGamma;

        m_passes = image.pngInterlaced ? kAdam7Passes : 1;
        CdxMessage message{};
        const int status = api->write(&o, &PngWriter::row, &PngWriter::sink, this, &message);
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
    static int row(void* user, std::uint32_t y, std::uint32_t pass, std::uint8_t* out) {
        auto* self = static_cast<PngWriter*>(user);
        const WriterImage& image = *self->m_image;
        const std::int32_t w = image.width;
        const std::uint8_t* src = image.row(static_cast<std::int32_t>(y));
        const std::uint8_t* alpha =
            image.alphaPlane ? image.alphaPlane + static_cast<std::size_t>(y) * w : nullptr;
        switch (self->m_colorType) {
            case kPalette:
                for (std::int32_t x = 0; x < w; ++x) {
                    std::uint8_t index = src[x] & self->m_indexMask;
                    if (alpha && self->m_useTransparent && alpha[x] < 128)
                        index = static_cast<std::uint8_t>(image.transparentIndex);
                    out[x] = index;
                }
                break;
            case kGray:
                for (std::int32_t x = 0; x < w; ++x) out[x] = src[x * 4];
                break;
            case kGrayAlpha:
                for (std::int32_t x = 0; x < w; ++x) {
                    out[x * 2] = src[x * 4];
                    out[x * 2 + 1] = alpha[x];
                }
                break;
            case kRgb:
                bgrxToRgb(src, out, w);
                break;
            default:
                for (std::int32_t x = 0; x < w; ++x, out += 4, src += 4) {
                    out[0] = src[2];
                    out[1] = src[1];
                    out[2] = src[0];
                    out[3] = alpha[x];
                }
                break;
        }
        self->reportProgress(static_cast<std::int64_t>(image.height) * self->m_passes,
                             static_cast<std::int64_t>(pass) * image.height + y + 1);
        return 0;
    }

    static int sink(void* user, const std::uint8_t* data, std::size_t size) {
        auto* self = static_cast<PngWriter*>(user);
        self->put(data, size);
        return self->status() ? 0 : 1;
    }

    const WriterImage* m_image = nullptr;
    std::uint8_t m_colorType = kRgb;
    std::uint8_t m_indexMask = 0xff;
    bool m_gray = false;
    bool m_useTransparent = false;
    bool m_written = false;
    int m_passes = 1;
};

}  // namespace

std::unique_ptr<ImageWriter> makePngWriter() { return std::make_unique<PngWriter>(); }

}  // namespace kalder::image
