#pragma once

#include <cstdint>
#include <vector>

#include "image/writers/image_writer.h"

namespace kalder::image {

// Appends one plane line in PCX runs: three or more equal bytes as C0 + count (at most 63) and
// the byte, a single byte of 192 or more as C1 and the byte, other bytes as they are.
void appendPcxRuns(std::vector<std::uint8_t>& out, const std::uint8_t* bytes, std::size_t n);

// Writes one PCX image: 8 bits per plane, one plane with a 256-colour trailer for palette
// images, three planes for true colour.
class PcxWriter final : public ImageWriter {
public:
    Status Write(const WriterImage& image) override;

protected:
    Status onClose() override;

private:
    bool m_written = false;
};

}  // namespace kalder::image
