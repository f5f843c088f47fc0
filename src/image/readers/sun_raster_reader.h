#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/image_reader.h"

namespace kalder::image {

// Sun raster: 1-, 8- and 24-bit images, raw or byte-encoded (run-length).
class SunRasterReader final : public ImageReader {
public:
    Status ReadHeader() override;
    std::int32_t Width() const override { return m_width; }
    std::int32_t Height() const override { return m_height; }
    std::uint32_t BitsPerPixel() const override { return m_depth; }
    bool GetPalette(Palette& palette) const override;
    std::string Description() const override { return "Sun Raster Image"; }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;

private:
    Status readEncodedRow();

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::uint32_t m_depth = 0;
    std::uint32_t m_type = 0;
    bool m_hasPalette = false;
    Palette m_palette{};
    std::vector<std::uint8_t> m_raw;  // one row as stored, padded to 16 bits
    std::int32_t m_row = 0;
    // A byte-encoded run may continue into the next row.
    std::uint32_t m_runLeft = 0;
    std::uint8_t m_runValue = 0;
};

}  // namespace kalder::image
