// The Exif parser over arbitrary bytes: as a bare TIFF structure and as an APP1 payload, then
// every lookup, the thumbnail range and the properties report.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/exif/exif_block.h"
#include "image/exif/exif_report.h"
#include "image/image_document.h"

namespace {

using namespace kalder::image;

volatile std::uint64_t g_sink;

void touch(std::span<const std::uint8_t> bytes) {
    std::uint64_t sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    g_sink = g_sink + sum;
}

void exercise(const ExifBlock& block) {
    for (auto kind : {ExifIfdKind::Ifd0, ExifIfdKind::Ifd1, ExifIfdKind::Exif, ExifIfdKind::Interop,
                      ExifIfdKind::Gps}) {
        for (const ExifEntry& e : block.ifd(kind).entries) {
            touch(block.rawBytes(e));
            g_sink = g_sink + block.asciiText(e).size();
            // The first few elements and the last one; an entry may hold billions.
            for (std::uint32_t k = 0; k < e.count && k < 8; ++k) {
                const ExifValue v = block.value(e, k);
                g_sink = g_sink + v.unsignedNumerator + v.unsignedDenominator +
                         static_cast<std::uint64_t>(v.real == v.real);
            }
            if (e.count > 0) g_sink = g_sink + block.value(e, e.count - 1).signedNumerator;
            if (auto text = exifValueText(block, e)) g_sink = g_sink + text->size();
            g_sink = g_sink + block.valueFilePosition(e);
            (void)block.getShort(kind, e.tag, 1);
            (void)block.getLong(kind, e.tag);
            (void)block.getRational(kind, e.tag);
            (void)block.getAscii(kind, e.tag);
        }
    }
    g_sink = g_sink + static_cast<std::uint64_t>(block.orientation());
    touch(block.thumbnailJpeg());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);

    ImageInfo info;
    info.exif.setData({bytes.begin(), bytes.end()}, 100);
    exercise(info.exif);
    const PropertiesReport report = buildPropertiesReport("/fuzz/input.jpg", info);
    g_sink = g_sink + reportText(report).size();

    ExifBlock payload;
    payload.setPayload(bytes, 0);
    exercise(payload);
    for (const auto& line : commentLines({reinterpret_cast<const char*>(data), size}))
        g_sink = g_sink + line.size();
    return 0;
}
