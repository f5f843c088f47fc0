#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kalder::fuzz::decodeAllFrames(kalder::image::FormatCode::Pnm, data, size);
    return 0;
}
