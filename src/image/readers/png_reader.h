#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/color_space.h"
#include "image/image_reader.h"

namespace kalder::image {

struct PngSession;

// PNG files through libpng. Every image is turned into 8-bit red, green, blue (and alpha when the
// file has an alpha channel or a transparency chunk); interlaced images are read whole at
// BeginDecode so that rows can be handed out top-down.
class PngReader final : public ImageReader {
public:
    PngReader();
    ~PngReader() override;

    Status ReadHeader() override;
    std::int32_t Width() const override { return m_width; }
    std::int32_t Height() const override { return m_height; }
    std::uint32_t BitsPerPixel() const override;
    bool GetPalette(Palette& palette) const override;
    std::int32_t TransparentIndex() const override;
    bool GetColorSpace(ColorSpace& space) const override;
    std::string Description() const override;
    std::int32_t DpiX() const override { return m_dpiX; }
    std::int32_t DpiY() const override { return m_dpiY; }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;
    void EndDecode() override;

private:
    DecodeError sessionError() const;
    void convertRow(const std::uint8_t* src, std::uint8_t* out, std::int32_t y);
    void collectText();

    std::unique_ptr<PngSession> m_session;
    bool m_headerRead = false;
    bool m_begun = false;
    bool m_ended = false;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    int m_fileColorType = 0;  // as stored in the file
    int m_fileBitDepth = 0;
    bool m_interlaced = false;
    int m_passes = 1;
    int m_channels = 3;  // after the transformations: 3 or 4
    std::array<std::uint8_t, 768> m_palette{};
    int m_paletteCount = 0;
    std::array<std::uint8_t, 256> m_transparency{};
    int m_transparencyCount = 0;
    bool m_hasColorSpace = false;
    ColorSpace m_colorSpace;
    std::int32_t m_dpiX = -1;
    std::int32_t m_dpiY = -1;
    std::vector<std::uint8_t> m_image;  // interlaced images, whole
    std::vector<std::uint8_t> m_row;    // one row with alpha
    std::int32_t m_nextRow = 0;
};

}  // namespace kalder::image
