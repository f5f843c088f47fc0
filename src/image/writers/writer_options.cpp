#include "image/writers/writer_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/strings.h"
#include "base/translatable.h"
#include "image/writers/image_writer.h"

namespace kalder::image {
namespace {

constexpr TiffCompressionChoice kTiffCompressions[] = {
    {QT_TRANSLATE_NOOP("Choices", "No compression"), 1},
    {QT_TRANSLATE_NOOP("Choices", "CCITT 1D Huffman"), 2},
    {QT_TRANSLATE_NOOP("Choices", "CCITT Group 3 Facsimile"), 3},
    {QT_TRANSLATE_NOOP("Choices", "CCITT Group 4 Facsimile"), 4},
    {QT_TRANSLATE_NOOP("Choices", "Lempel-Ziv & Welch (LZW)"), 5},
    {QT_TRANSLATE_NOOP("Choices", "Baseline JPEG"), 7},
    {QT_TRANSLATE_NOOP("Choices", "PackBits"), 32773},
    {QT_TRANSLATE_NOOP("Choices", "Deflate"), 32946},
};

bool offered(const TiffCompressionChoice& c, std::int32_t bits) {
    if (c.value >= 2 && c.value <= 4) return bits == 1;
    if (c.value == 7) return bits > 8;
    return true;
}

}  // namespace

std::vector<TiffCompressionChoice> tiffCompressionChoices(std::int32_t bits) {
    std::vector<TiffCompressionChoice> out;
    for (const auto& c : kTiffCompressions)
        if (offered(c, bits)) out.push_back(c);
    return out;
}

std::int32_t tiffCompressionFor(std::int32_t index, std::int32_t bits) {
    const auto choices = tiffCompressionChoices(bits);
    if (index < 0 || static_cast<std::size_t>(index) >= choices.size()) return 1;
    return choices[static_cast<std::size_t>(index)].value;
}

std::optional<std::int32_t> tiffCompressionIndex(std::int32_t value, std::int32_t bits) {
    const auto choices = tiffCompressionChoices(bits);
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (choices[i].value == value) return static_cast<std::int32_t>(i);
    return std::nullopt;
}

const std::vector<std::string>& pngKeywordChoices() {
    static const std::vector<std::string> keywords = {"Title",      "Author",        "Description",
                                                      "Copyright",  "Creation Time", "Software",
                                                      "Disclaimer", "Warning",       "Source"};
    return keywords;
}

PaletteIndexCheck checkPaletteIndex(std::string_view text) {
    text = base::trim(text);
    std::int64_t v = -1;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc{} || p != text.data() + text.size() || v < 0 || v > 255)
        return {std::nullopt, kPaletteIndexRangeMessage};
    return {static_cast<std::int32_t>(v), {}};
}

GammaCheck parseGammaText(std::string_view text) {
    text = base::trim(text);
    if (text.empty() || text == kDefaultGammaText) return {0.0, {}};
    const std::string s(text);
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    // A gamma must be a finite positive number; 0 written out means "none".
    if (end != s.c_str() + s.size() || !std::isfinite(v) || v < 0)
        return {std::nullopt, kInvalidGammaMessage};
    return {v, {}};
}

std::string gammaText(double gamma) {
    if (gamma == 0) return kDefaultGammaText;
    char buffer[32];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, gamma);
        if (std::strtod(buffer, nullptr) == gamma) break;
    }
    return buffer;
}

void applyBmpOptions(const BmpOptions& o, WriterImage& image) { image.bmpRle = o.rle; }

void applyTgaOptions(const TgaOptions& o, WriterImage& image) { image.tgaRle = o.rle; }

void applyJpegOptions(const JpegOptions& o, WriterImage& image) {
    image.jpegQuality = std::clamp(o.quality, 0, 100);
    image.jpegSmoothing = std::clamp(o.smoothing, 0, 100);
    image.jpegSampling = std::clamp(o.sampling, 0, 2);
    image.jpegProgressive = o.progressive;
    image.jpegGray = o.gray;
    if (!o.copyExif) image.exif = {};
}

void applyPngOptions(const PngOptions& o, WriterImage& image) {
    image.pngInterlaced = o.interlaced;
    image.pngGamma = o.gamma;
    image.pngKeywords.clear();
    image.pngTexts.clear();
    for (const auto& t : o.texts) {
        image.pngKeywords.push_back(t.keyword);
        image.pngTexts.push_back(t.text);
    }
}

void applyTiffOptions(const TiffOptions& o, WriterImage& image) {
    image.tiffCompression = tiffCompressionFor(o.compressionIndex, image.bits);
}

void applyGifOptions(const GifOptions& o, WriterImage& image) {
    image.gifInterlaced = o.interlaced;
}

}  // namespace kalder::image
