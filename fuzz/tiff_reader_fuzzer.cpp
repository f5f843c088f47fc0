// TIFF through the codec extension module: every directory, every row.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kalder::fuzz::decodeAllFrames(kalder::image::FormatCode::Tiff, data, size);
    return 0;
}
