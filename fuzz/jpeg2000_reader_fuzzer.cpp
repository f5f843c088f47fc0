// JPEG-2000 codestreams and JP2 files: our box walk, then the codestream through the module.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kalder::fuzz::decodeAllFrames(kalder::image::FormatCode::Jpeg2000, data, size);
    return 0;
}
