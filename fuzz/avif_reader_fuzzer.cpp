// AVIF files through the codec extension module, sequences above all: libheif judges the file
// and its still first, then libavif decodes the frames of the track.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "image/image_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kalder::image::FormatCode;
    auto reader = kalder::image::createReaderForCode(FormatCode::Avif);
    if (!reader || !reader->OpenMemory({data, size}) || !reader->ReadHeader()) return 0;
    if (std::int64_t{reader->Width()} * reader->Height() > 4 * 1024 * 1024) return 0;
    kalder::fuzz::decodeAllFrames(FormatCode::Avif, data, size);
    return 0;
}
