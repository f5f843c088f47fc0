// HEIC and AVIF through the codec extension module: every frame, every row.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "image/image_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kalder::image::FormatCode;
    // The library decodes a whole frame at once, so the size is judged from the header first.
    auto reader = kalder::image::createReaderForCode(FormatCode::Heif);
    if (!reader || !reader->OpenMemory({data, size}) || !reader->ReadHeader()) return 0;
    if (std::int64_t{reader->Width()} * reader->Height() > 4 * 1024 * 1024) return 0;
    kalder::fuzz::decodeAllFrames(FormatCode::Heif, data, size);
    return 0;
}
