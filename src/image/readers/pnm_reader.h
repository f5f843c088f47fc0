#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/image_reader.h"

namespace kalder::image {

// PBM, PGM and PPM in their text (P1-P3) and binary (P4-P6) forms, samples of up to 16 bits.
class PnmReader final : public ImageReader {
public:
    Status ReadHeader() override;
    std::int32_t Width() const override { return m_width; }
    std::int32_t Height() const override { return m_height; }
    std::uint32_t BitsPerPixel() const override;
    bool GetPalette(Palette& palette) const override;
    bool GetIsGray() const override { return m_kind != 3 && m_kind != 6; }
    std::string Description() const override { return "Portable Bitmap"; }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;

private:
    // Steps over blanks and comments, then reads a decimal number; false when none is there.
    bool readNumber(std::uint32_t& value);
    void skipComment();
    Status readTextRow(std::uint8_t* out);
    Status readBinaryRow(std::uint8_t* out);

    int m_kind = 0;  // the digit after "P"
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::uint32_t m_maxValue = 1;
    std::vector<std::uint8_t> m_scale;  // sample -> 0 ... 255
    std::vector<std::uint8_t> m_raw;    // one binary row as stored
    std::int32_t m_row = 0;
    int m_comments = 0;  // comments seen so far
};

}  // namespace kalder::image
