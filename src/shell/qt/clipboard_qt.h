#pragma once

#include <filesystem>
#include <memory>

class QMimeData;

namespace kalder::image {
class Bitmap32;
}

namespace kalder::shell {

// One clipboard offer for an image file: the picture as PNG (image/png) and as a 24-bit bitmap
// (image/bmp), both written by our own writers, the file's full path as text, and the file
// itself for file managers as a URI list and in the GNOME file manager's own copy format.
// Null when there is no picture or it cannot be written.
std::unique_ptr<QMimeData> makeImageMimeData(const image::Bitmap32& frame,
                                             const std::filesystem::path& file);

// Puts that offer on the system clipboard. False when there is no picture or no clipboard.
bool copyImageToClipboard(const image::Bitmap32& frame, const std::filesystem::path& file);

}  // namespace kalder::shell
