#pragma once

#include <memory>
#include <string_view>

namespace kalder::image {

class ImageWriter;

std::unique_ptr<ImageWriter> makeBmpWriter();
std::unique_ptr<ImageWriter> makePcxWriter();
std::unique_ptr<ImageWriter> makeTgaWriter();
std::unique_ptr<ImageWriter> makeGifWriter();

// The writer for a file extension ("bmp", ".PNG", "tiff" ...), or null for a format we do not
// write. Covers BMP, PCX, TGA, GIF, JPEG, PNG and TIFF.
std::unique_ptr<ImageWriter> createWriterForExtension(std::string_view ext);

}  // namespace kalder::image
