#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/translatable.h"
#include "image/result.h"

namespace kalder::image {

class Bitmap32;
class CancelSink;
class ProgressSink;

// The five methods in the order every method list shows them; the value is the list index.
enum class ResampleMethod : std::uint8_t {
    Lanczos = 0,
    Bicubic = 1,
    Bilinear = 2,
    Cosine = 3,
    Box = 4
};

inline constexpr std::array<std::string_view, 5> kResampleMethodNames = {
    QT_TRANSLATE_NOOP("Choices", "Lanczos"), QT_TRANSLATE_NOOP("Choices", "Bicubic"),
    QT_TRANSLATE_NOOP("Choices", "Bilinear"), QT_TRANSLATE_NOOP("Choices", "Cosine"),
    QT_TRANSLATE_NOOP("Choices", "Box")};

std::string_view resampleMethodName(ResampleMethod method);
// "lanczos", "BOX", ...: any case. Nullopt for anything else.
std::optional<ResampleMethod> resampleMethodFromName(std::string_view name);
std::optional<ResampleMethod> resampleMethodFromIndex(int index);

struct ResampleOptions {
    ResampleMethod method = ResampleMethod::Lanczos;
    // When shrinking, average about one interpolated sample per source pixel into each
    // destination pixel instead of sampling once per destination pixel. Box always samples.
    bool shrinkAveraging = true;
    // Told (source height, source row) after every destination row.
    ProgressSink* progress = nullptr;
    // Polled after every destination row; a stop leaves the rows written so far.
    const CancelSink* cancel = nullptr;
    // Worker threads over bands of destination rows; 0 = one per hardware thread. The result
    // is the same for every count.
    int threads = 0;
};

// Scales source into destination, which the caller has created at the target size. Only the
// blue, green and red bytes are written; the fourth byte keeps what the destination held. Both
// pixel locks are held for the call. Fails with Cancelled on a stop request, with Corrupt when
// either bitmap is empty or both are the same bitmap, with OutOfMemory when scratch rows cannot
// be had.
Status Resample(const Bitmap32& source, Bitmap32& destination, const ResampleOptions& options = {});

// The same on an opacity plane of width * height bytes, rows top-down.
Status ResampleAlpha(std::span<const std::uint8_t> source, std::int32_t sourceWidth,
                     std::int32_t sourceHeight, std::span<std::uint8_t> destination,
                     std::int32_t width, std::int32_t height, const ResampleOptions& options = {});

}  // namespace kalder::image
