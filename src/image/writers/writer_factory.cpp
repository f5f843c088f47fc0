#include "image/writers/writer_factory.h"

#include <algorithm>
#include <string>

#include "base/strings.h"
#include "image/writers/bmp_writer.h"
#include "image/writers/gif_writer.h"
#include "image/writers/pcx_writer.h"
#include "image/writers/tga_writer.h"
#include "image/writers/writer_factory_lib.h"

namespace kalder::image {

std::unique_ptr<ImageWriter> makeBmpWriter() { return std::make_unique<BmpWriter>(); }
std::unique_ptr<ImageWriter> makePcxWriter() { return std::make_unique<PcxWriter>(); }
std::unique_ptr<ImageWriter> makeTgaWriter() { return std::make_unique<TgaWriter>(); }
std::unique_ptr<ImageWriter> makeGifWriter() { return std::make_unique<GifWriter>(); }

std::unique_ptr<ImageWriter> createWriterForExtension(std::string_view ext) {
    if (!ext.empty() && ext.front() == '.') ext.remove_prefix(1);
    const std::string e = base::toLowerAscii(ext);
    if (e == "bmp" || e == "dib") return makeBmpWriter();
    if (e == "pcx") return makePcxWriter();
    if (e == "tga") return makeTgaWriter();
    if (e == "gif") return makeGifWriter();
    if (e == "jpg" || e == "jpeg" || e == "jpe" || e == "jif" || e == "jff" || e == "jfif")
        return makeJpegWriter();
    if (e == "png") return makePngWriter();
    if (e == "tif" || e == "tiff") return makeTiffWriter();
    return nullptr;
}

}  // namespace kalder::image
