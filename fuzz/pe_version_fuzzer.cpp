// Any file named like the companion's executable is opened and its version resource read.
#include <cstdint>
#include <span>

#include "shell/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto info = kalder::shell::readPeVersionInfo(std::span(data, size)))
        for (const auto& t : info->translations) (void)info->value(t, "ProductName");
    return 0;
}
