// The icon and cursor reader straight from memory: header, every frame, every row (some skipped).
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kalder::fuzz::decodeAllFrames(kalder::image::FormatCode::Ico, data, size);
    return 0;
}
