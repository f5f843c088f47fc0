// Effect descriptions come with the effects, but their labels are formatted with numbers the user
// sets: the parser must keep every character accounted for and labels must stay bounded.
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "tools/convert/effects.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalder::tools;
    std::int32_t chosen = 0;
    if (size >= 4) {
        std::memcpy(&chosen, data, 4);
        data += 4;
        size -= 4;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const EffectDescription d = parseEffectDescription(text);

    // Every byte is in the name, a title or an item, or is one of the separators between them
    // (item separators count only in groups: the name may hold them).
    std::size_t bars = 0, separators = 0;
    for (const char c : text) {
        bars += c == '|';
        separators += bars > 0 && (c == '~' || c == '#');
    }
    if (d.groups.size() != bars) __builtin_trap();
    std::size_t kept = d.name.size(), items = 0;
    for (const auto& group : d.groups) {
        kept += group.title.size();
        items += group.items.size();
        for (const auto& item : group.items) kept += item.size();
    }
    if (items != separators || kept + bars + separators != size) __builtin_trap();

    const std::int32_t values[] = {chosen,
                                   -1,
                                   0,
                                   1,
                                   std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max()};
    for (const auto& group : d.groups)
        for (const auto& item : group.items)
            for (const std::int32_t value : values)
                // A number is at most 11 characters and replaces at least 2.
                if (sliderLabel(item, value).size() > item.size() * 6 + 11) __builtin_trap();
    return 0;
}
