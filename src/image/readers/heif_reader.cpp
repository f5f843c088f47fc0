#include "image/readers/heif_reader.h"

#include "image/cdx_loader.h"
#include "image/format_table.h"
#include "image/readers/library_raster_reader_p.h"
#include "image/readers/reader_factory.h"

namespace kalder::image {
namespace {

std::string describe(std::span<const std::uint8_t> head, const CdxRasterInfo& info) {
    const std::int32_t index =
        detectFormatInMemory(head.first(std::min<std::size_t>(head.size(), 1024)));
    const bool avif =
        index >= 0 && formatTable()[static_cast<std::size_t>(index)].code == FormatCode::Avif;
    std::string text = avif ? "AVIF" : "HEIF";
    text += info.isGray ? ", gray-scale" : ", color";
    if (info.hasAlpha) text += " with alpha-channel";
    if (info.bitDepth > 8) text += ", " + std::to_string(info.bitDepth) + " bits";
    if (info.isAnimated) text += ", sequence of " + std::to_string(info.frameCount) + " frames";
    return text;
}

const CdxRasterApi* api() { return cdx::heifApi(cdx::Group::Readers); }

}  // namespace

std::unique_ptr<ImageReader> makeHeifReader() {
    return std::make_unique<LibraryRasterReader>(LibraryRasterFormat{&api, &describe});
}

}  // namespace kalder::image
