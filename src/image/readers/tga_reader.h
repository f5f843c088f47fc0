#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "image/image_reader.h"

namespace kalder::image {

// Truevision TGA: colour-mapped, true-colour and gray images, raw or run-length encoded.
class TgaReader final : public ImageReader {
public:
    Status ReadHeader() override;
    std::int32_t Width() const override { return m_width; }
    std::int32_t Height() const override { return m_height; }
    std::uint32_t BitsPerPixel() const override;
    bool GetPalette(Palette& palette) const override;
    bool GetIsGray() const override;
    std::string Description() const override;
    bool IsBottomUp() const override { return (m_descriptor & 0x20) == 0; }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;

private:
    Status readPackedRow();
    void convertRow(std::uint8_t* out);

    std::uint8_t m_type = 0;
    std::uint8_t m_depth = 0;
    std::uint8_t m_descriptor = 0;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::size_t m_bytesPerPixel = 0;
    bool m_rle = false;
    bool m_gray = false;
    bool m_mapped = false;
    Palette m_table{};
    // Opacity of each colour-map entry; used only when the map has 32-bit entries and not every
    // one of them says fully transparent (writers that leave the byte zero mean opaque).
    std::array<std::uint8_t, 256> m_mapAlpha{};
    bool m_mapHasAlpha = false;
    std::vector<std::uint8_t> m_raw;  // one row of pixels as stored
    std::int32_t m_row = 0;
    // The run-length packet still pending from the previous row.
    std::uint32_t m_runLeft = 0;
    bool m_runRepeats = false;
    std::array<std::uint8_t, 4> m_runPixel{};
};

}  // namespace kalder::image
