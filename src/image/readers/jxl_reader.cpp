#include "image/readers/jxl_reader.h"

#include "image/cdx_loader.h"
#include "image/readers/library_raster_reader_p.h"
#include "image/readers/reader_factory.h"

namespace kalder::image {
namespace {

std::string describe(std::span<const std::uint8_t>, const CdxRasterInfo& info) {
    std::string text = "JPEG XL";
    text += info.isGray ? ", gray-scale" : ", color";
    if (info.hasAlpha) text += " with alpha-channel";
    if (info.bitDepth > 8) text += ", " + std::to_string(info.bitDepth) + " bits";
    if (info.isAnimated) text += ", animated";
    return text;
}

const CdxRasterApi* api() { return cdx::jxlApi(cdx::Group::Readers); }

}  // namespace

std::unique_ptr<ImageReader> makeJxlReader() {
    return std::make_unique<LibraryRasterReader>(LibraryRasterFormat{&api, &describe});
}

}  // namespace kalder::image
