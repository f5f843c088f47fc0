#pragma once

#include "image/writers/writer_options.h"

namespace kalder::tools {

// The options of every writer, as the tools hand them on: one record per output format.
struct WriterOptionsSet {
    image::BmpOptions bmp;
    image::TgaOptions tga;
    image::JpegOptions jpeg;
    image::PngOptions png;
    image::TiffOptions tiff;
    image::GifOptions gif;
    bool operator==(const WriterOptionsSet&) const = default;
};

}  // namespace kalder::tools
