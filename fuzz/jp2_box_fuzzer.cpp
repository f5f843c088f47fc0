// The JP2 box walk alone (our own parser), without decoding the codestream.
#include <cstddef>
#include <cstdint>

#include "image/buffered_input.h"
#include "image/readers/jp2_boxes_p.h"

namespace {
volatile std::uint64_t g_sink;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalder::image;
    BufferedInput in;
    in.openMemory(std::span<const std::uint8_t>(data, size));
    auto signature = findJp2Signature(in);
    if (!signature || !signature->isJp2) return 0;
    auto layout = readJp2Layout(in, signature->offset);
    if (!layout) return 0;
    // The codestream must lie inside the input.
    if (layout->codestreamStart > size || layout->codestreamLength > size - layout->codestreamStart)
        __builtin_trap();
    g_sink = layout->codestreamStart + layout->codestreamLength +
             std::uint64_t(layout->dpiX + layout->dpiY);
    return 0;
}
