// The pure rules of a run: output names, depths per format, the resample size and the page
// checks. No file is touched here.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "base/limits.h"
#include "tools/convert/batch_convertor.h"

namespace kalder::tools {
namespace fs = std::filesystem;

namespace {

std::size_t formatIndex(BatchFormat format) {
    const auto i = static_cast<std::size_t>(format);
    return i < static_cast<std::size_t>(BatchFormat::Count) ? i : 3;  // PNG for nonsense
}

// A field's text: nullopt for "[original]" or blank; NaN for anything that is not a number.
std::optional<double> fieldValue(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos || text == "[original]") return std::nullopt;
    const auto last = text.find_last_not_of(" \t");
    const std::string trimmed = text.substr(first, last - first + 1);
    if (trimmed == "[original]") return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(trimmed.c_str(), &end);
    if (end != trimmed.c_str() + trimmed.size() || !std::isfinite(v)) return std::nan("");
    return v;
}

// Inches per unit, in the order of the "Units" list (index 0, pixels, is not used).
constexpr std::array<double, 9> kUnitFactors = {1,  1,  0.03937,  0.3937, 39.37,
                                                12, 36, 1.0 / 72, 1.0 / 6};

std::int32_t roundSide(double v) {
    if (!(v > 0)) return 0;
    if (v > 1e9) return base::kMaxImageSide + 1;
    return static_cast<std::int32_t>(std::lround(v));
}

std::int32_t truncSide(double v) {
    if (!(v > 0)) return 0;
    if (v > 1e9) return base::kMaxImageSide + 1;
    return static_cast<std::int32_t>(v);
}

}  // namespace

const char* batchFormatExtension(BatchFormat format) {
    static constexpr std::array<const char*, 7> extensions = {".bmp", ".gif", ".jpg", ".png",
                                                              ".tif", ".tga", ".pcx"};
    return extensions[formatIndex(format)];
}

std::span<const std::int32_t> batchFormatDepths(BatchFormat format) {
    static constexpr std::int32_t bmp[] = {1, 4, 8, 24};
    static constexpr std::int32_t gif[] = {1, 2, 3, 4, 5, 6, 7, 8};
    static constexpr std::int32_t jpeg[] = {24};
    static constexpr std::int32_t png[] = {1, 2, 4, 8, 24, 32};
    static constexpr std::int32_t tiff[] = {1, 4, 8, 24};
    static constexpr std::int32_t tga[] = {8, 24};
    static constexpr std::int32_t pcx[] = {1, 4, 8, 24};
    static constexpr std::array<std::span<const std::int32_t>, 7> lists = {bmp,  gif, jpeg, png,
                                                                           tiff, tga, pcx};
    return lists[formatIndex(format)];
}

std::int32_t batchOutputDepth(const BatchSettings& s, std::int32_t pageDepth) {
    const auto depths = batchFormatDepths(s.format);
    auto listed = [&](std::int32_t d) {
        return std::find(depths.begin(), depths.end(), d) != depths.end() ? d : 0;
    };
    switch (s.palette) {
        case 1:  // web-safe: 216 colours
        case 4:  // system
            return listed(8);
        case 2:
            return listed(1);
        case 3:
            return listed(4);
        default:
            break;
    }
    if (s.colorDepth != 0) return listed(s.colorDepth);
    for (std::int32_t d : depths)
        if (d >= pageDepth) return d;
    return depths.back();
}

fs::path batchOutputPath(const BatchSettings& s, const fs::path& root, const fs::path& source) {
    fs::path out;
    if (s.placeInFolder) {
        out = s.outputFolder;
        if (s.copySubfolders && !root.empty()) {
            // Below the root means: the source's folder starts with every part of the root.
            // Absolute first, so a relative root matches an absolute source and back.
            std::error_code ec;
            const fs::path from = fs::absolute(source, ec).parent_path().lexically_normal();
            const fs::path rel = from.lexically_relative(fs::absolute(root, ec).lexically_normal());
            if (!rel.empty() && *rel.begin() != ".." && rel != ".") out /= rel;
        }
        out /= source.filename();
    } else {
        out = source;
    }
    std::string name = out.filename().string();
    if (!s.namePrefix.empty()) name = s.namePrefix + name;
    if (!s.nameSuffix.empty()) {
        const auto dot = name.rfind('.');
        if (dot == std::string::npos)
            name += s.nameSuffix;
        else
            name.insert(dot, s.nameSuffix);
    }
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    name += batchFormatExtension(s.format);
    return out.parent_path() / name;
}

fs::path batchPagePath(const fs::path& output, std::int32_t page) {
    char number[16];
    std::snprintf(number, sizeof number, "_%04i", static_cast<int>(page));
    std::string name = output.filename().string();
    const auto dot = name.rfind('.');
    if (dot == std::string::npos)
        name += number;
    else
        name.insert(dot, number);
    return output.parent_path() / name;
}

BatchResampleSize batchResampleSize(const BatchSettings& s, std::int32_t srcW, std::int32_t srcH,
                                    std::int32_t dpiX, std::int32_t dpiY) {
    BatchResampleSize r;
    r.cropWidth = srcW;
    r.cropHeight = srcH;
    double w = s.width > 0 ? s.width : 0, h = s.height > 0 ? s.height : 0;
    if (w == 0 && h == 0) return r;
    r.resample = true;
    if (s.swapForVertical && srcW < srcH) std::swap(w, h);

    std::int32_t newW = 0, newH = 0;
    if (s.percents) {
        if (w == 0) w = h;
        if (h == 0) h = w;
        newW = roundSide(w * srcW / 100.0);
        newH = roundSide(h * srcH / 100.0);
    } else {
        if (s.unit > 0 && s.unit < static_cast<std::int32_t>(kUnitFactors.size())) {
            const double f = kUnitFactors[static_cast<std::size_t>(s.unit)];
            newW = roundSide(w * std::max(1, dpiX) * f);
            newH = roundSide(h * std::max(1, dpiY) * f);
        } else {
            newW = truncSide(w);
            newH = truncSide(h);
        }
        if (!s.keepAspect) {
            if (newW == 0) newW = srcW;
            if (newH == 0) newH = srcH;
        } else if (newW > 0 && newH > 0) {
            const double ratio = static_cast<double>(newW) / newH;
            if (static_cast<double>(srcW) / srcH < ratio) {
                r.cropHeight = std::clamp(roundSide(srcW / ratio), 1, srcH);
            } else {
                r.cropWidth = std::clamp(roundSide(srcH * ratio), 1, srcW);
            }
            r.cropX = (srcW - r.cropWidth) / 2;
            r.cropY = (srcH - r.cropHeight) / 2;
        } else if (newW > 0) {
            newH = roundSide(static_cast<double>(newW) * srcH / srcW);
        } else {
            newW = roundSide(static_cast<double>(newH) * srcW / srcH);
        }
    }
    r.tooLarge = newW > base::kMaxImageSide || newH > base::kMaxImageSide;
    r.width = std::max(1, newW);
    r.height = std::max(1, newH);
    return r;
}

std::string BatchConvertor::checkResampleTexts(const std::string& width, const std::string& height,
                                               std::int32_t unit, bool percents, bool keepAspect) {
    const auto w = fieldValue(width), h = fieldValue(height);
    if (w && !(*w > 0)) return "Width value is invalid.";
    if (h && !(*h > 0)) return "Height value is invalid.";
    if (unit != 0 && !percents && !keepAspect && (w.has_value() != h.has_value()))
        return "Both width and height values must be set when using units other than pixels.";
    return {};
}

std::string BatchConvertor::checkResolutionTexts(const std::string& dpiX, const std::string& dpiY) {
    auto filled = [](const std::string& t) { return t.find_first_not_of(" \t") != t.npos; };
    if (filled(dpiX) != filled(dpiY))
        return "Please clear both horizontal and vertical resolution values to use the default "
               "values or specifiy both of them explicitly.";
    return {};
}

}  // namespace kalder::tools
