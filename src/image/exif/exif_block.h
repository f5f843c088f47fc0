#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kalder::image {

// The Exif data of a file: the APP1 payload after "Exif\0\0" (a TIFF structure) and where it
// sits in the file. Readers fill it; the properties report and thumbnails read it.
class ExifBlock {
public:
    // Keeps the TIFF structure and parses its directories; false (and empty) when it is not one.
    bool setData(std::vector<std::uint8_t> tiff, std::uint64_t fileOffset);
    void clear();
    bool isEmpty() const { return m_data.empty(); }

    std::span<const std::uint8_t> data() const { return m_data; }
    std::uint64_t fileOffset() const { return m_fileOffset; }

    // The embedded JPEG thumbnail of the thumbnail directory (compression 6 with offset and
    // length), or an empty span.
    std::span<const std::uint8_t> thumbnailJpeg() const;

private:
    std::vector<std::uint8_t> m_data;
    std::uint64_t m_fileOffset = 0;
};

}  // namespace kalder::image
