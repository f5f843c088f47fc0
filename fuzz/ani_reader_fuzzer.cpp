// The animated-cursor reader straight from memory: header, every frame, every row (some skipped).
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kalder::fuzz::decodeAllFrames(kalder::image::FormatCode::Ani, data, size);
    return 0;
}
