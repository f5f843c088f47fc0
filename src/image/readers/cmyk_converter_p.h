#pragma once

// CMYK to RGB for readers of CMYK documents: through the document's own ICC profile when it has
// a usable one, else by the plain formula channel = (255 - ink) * (255 - black) / 255.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace kalder::image {

class CmykConverter {
public:
    // `icc` may be empty or unusable; the plain formula is used then.
    explicit CmykConverter(std::span<const std::uint8_t> icc);
    ~CmykConverter();
    CmykConverter(const CmykConverter&) = delete;
    CmykConverter& operator=(const CmykConverter&) = delete;

    bool usesProfile() const { return m_transform != nullptr; }
    // `count` pixels of four planes of ink coverage (0 none, 255 full) to interleaved red,
    // green, blue.
    void convert(const std::uint8_t* const ink[4], std::uint8_t* rgb, std::size_t count) const;

private:
    void* m_transform = nullptr;
};

}  // namespace kalder::image
