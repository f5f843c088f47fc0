#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

// Standard, placeable and enhanced metafiles, played at the 100 x 100 size OpenMemory asks for.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kalder::fuzz::decodeAllFrames(kalder::image::FormatCode::Metafile, data, size);
    return 0;
}
