#include "image/readers/webp_reader.h"

#include "image/cdx_loader.h"
#include "image/readers/library_raster_reader_p.h"
#include "image/readers/reader_factory.h"

namespace kalder::image {
namespace {

std::string describe(std::span<const std::uint8_t>, const CdxRasterInfo& info) {
    std::string text = "WebP";
    if (info.isLossless == 1) text += ", lossless";
    if (info.isLossless == 0) text += ", lossy";
    if (info.hasAlpha) text += " with alpha-channel";
    if (info.isAnimated) text += ", animated";
    return text;
}

const CdxRasterApi* api() { return cdx::webpApi(cdx::Group::Readers); }

}  // namespace

std::unique_ptr<ImageReader> makeWebpReader() {
    return std::make_unique<LibraryRasterReader>(LibraryRasterFormat{&api, &describe});
}

}  // namespace kalder::image
