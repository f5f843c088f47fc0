// The PSD reader on arbitrary bytes: header, every row (some skipped).
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kalder::fuzz::decodeAllFrames(kalder::image::FormatCode::Psd, data, size);
    return 0;
}
