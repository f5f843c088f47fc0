// Every reader behind content detection, through the document's scaling and placement.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kalder::fuzz::decodeThroughDocument(data, size);
    return 0;
}
