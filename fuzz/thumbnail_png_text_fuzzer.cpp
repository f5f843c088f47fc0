// The shared thumbnail cache's PNG text reader, fed what another program (or damage) may have left
// in the cache folder. Every text it returns must be a tEXt chunk of the bytes given, keyword and
// text split at the first NUL, and it never reads past the end.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

#include "view/thumbnail_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto texts = kalder::view::pngTextChunks(std::span<const std::uint8_t>(data, size));
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const auto& [keyword, text] : texts) {
        if (keyword.find('\0') != std::string::npos) __builtin_trap();
        const std::string chunk = "tEXt" + keyword + std::string(1, '\0') + text;
        if (bytes.find(chunk) == std::string::npos) __builtin_trap();
    }
    return 0;
}
