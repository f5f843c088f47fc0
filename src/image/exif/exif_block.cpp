#include "image/exif/exif_block.h"

namespace kalder::image {

bool ExifBlock::setData(std::vector<std::uint8_t> tiff, std::uint64_t fileOffset) {
    m_data = std::move(tiff);
    m_fileOffset = fileOffset;
    return !m_data.empty();
}

void ExifBlock::clear() {
    m_data.clear();
    m_fileOffset = 0;
}

std::span<const std::uint8_t> ExifBlock::thumbnailJpeg() const { return {}; }

}  // namespace kalder::image
