#include <lcms2.h>

#include <algorithm>
#include <vector>

#include "image/readers/cmyk_converter_p.h"

namespace kalder::image {

CmykConverter::CmykConverter(std::span<const std::uint8_t> icc) {
    if (icc.empty() || icc.size() > 0x7fffffff) return;
    cmsHPROFILE source =
        cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
    if (!source) return;
    if (cmsGetColorSpace(source) == cmsSigCmykData) {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        if (srgb) {
            m_transform =
                cmsCreateTransform(source, TYPE_CMYK_8, srgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
            cmsCloseProfile(srgb);
        }
    }
    cmsCloseProfile(source);
}

CmykConverter::~CmykConverter() {
    if (m_transform) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(m_transform));
}

void CmykConverter::convert(const std::uint8_t* const ink[4], std::uint8_t* rgb,
                            std::size_t count) const {
    if (!m_transform) {
        for (std::size_t i = 0; i < count; ++i, rgb += 3) {
            const std::uint32_t white = 255u - ink[3][i];
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t t = (255u - ink[c][i]) * white + 128;
                rgb[c] = static_cast<std::uint8_t>((t + (t >> 8)) >> 8);
            }
        }
        return;
    }
    // The library wants the inks interleaved; a row's worth at a time.
    constexpr std::size_t kChunk = 4096;
    std::vector<std::uint8_t> pixels(kChunk * 4);
    for (std::size_t start = 0; start < count; start += kChunk) {
        const std::size_t n = std::min(kChunk, count - start);
        for (std::size_t i = 0; i < n; ++i)
            for (int c = 0; c < 4; ++c) pixels[i * 4 + c] = ink[c][start + i];
        cmsDoTransform(static_cast<cmsHTRANSFORM>(m_transform), pixels.data(), rgb + start * 3,
                       static_cast<cmsUInt32Number>(n));
    }
}

}  // namespace kalder::image
