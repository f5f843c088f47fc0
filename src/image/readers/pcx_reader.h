#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/image_reader.h"

namespace kalder::image {

// PCX: run-length scan lines of 1-bit (1 to 4 planes), 4-bit and 8-bit indexed images and
// 8-bit red, green, blue (and alpha) planes.
class PcxReader final : public ImageReader {
public:
    Status ReadHeader() override;
    std::int32_t Width() const override { return m_width; }
    std::int32_t Height() const override { return m_height; }
    std::uint32_t BitsPerPixel() const override { return m_bits * m_planes; }
    bool GetPalette(Palette& palette) const override;
    std::string Description() const override { return "PCX (ZSoft Paintbrush Image)"; }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;

private:
    Status readScanLine();
    void convertRow(std::uint8_t* out);

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::uint32_t m_bits = 0;
    std::uint32_t m_planes = 0;
    std::size_t m_bytesPerLine = 0;
    bool m_hasPalette = false;
    Palette m_palette{};
    std::vector<std::uint8_t> m_line;  // planes * bytes per line, decoded
    std::int32_t m_row = 0;
    // A run may continue into the next scan line.
    std::uint32_t m_runLeft = 0;
    std::uint8_t m_runValue = 0;
};

}  // namespace kalder::image
