#pragma once

#include <cstdint>
#include <vector>

#include "image/writers/image_writer.h"

namespace kalder::image {

// Appends one row of `count` pixels of `pixelBytes` each as TGA run-length packets (at most 128
// pixels per packet; packets never cross rows).
void appendTgaRle(std::vector<std::uint8_t>& out, const std::uint8_t* pixels, std::size_t count,
                  std::size_t pixelBytes);

// Writes one TGA image, bottom-up: 8-bit colour-mapped with a 256-entry map, 24-bit, or 32-bit
// when an alpha plane is given; run-length encoded with `tgaRle`.
class TgaWriter final : public ImageWriter {
public:
    Status Write(const WriterImage& image) override;

protected:
    Status onClose() override;

private:
    bool m_written = false;
};

}  // namespace kalder::image
