#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "base/limits.h"

namespace kalder::image {

// Size arithmetic on untrusted numbers: nullopt instead of a silent wrap.
inline std::optional<std::size_t> checkedMul(std::size_t a, std::size_t b) {
    std::size_t r;
    if (__builtin_mul_overflow(a, b, &r)) return std::nullopt;
    return r;
}

inline std::optional<std::size_t> checkedMul(std::size_t a, std::size_t b, std::size_t c) {
    auto ab = checkedMul(a, b);
    if (!ab) return std::nullopt;
    return checkedMul(*ab, c);
}

inline std::optional<std::size_t> checkedAdd(std::size_t a, std::size_t b) {
    std::size_t r;
    if (__builtin_add_overflow(a, b, &r)) return std::nullopt;
    return r;
}

// The largest side any image may have.
using base::kMaxImageSide;

inline bool validImageSide(std::int64_t side) { return side >= 1 && side <= kMaxImageSide; }

}  // namespace kalder::image
