// The small language an effect describes its name and parameter controls in.
#include <string>

#include "tools/convert/effects.h"

namespace kalder::tools {

namespace {

constexpr std::string_view kItemSeparators = "~#";

}  // namespace

EffectDescription parseEffectDescription(std::string_view description) {
    EffectDescription out;
    std::size_t bar = description.find('|');
    out.name = std::string(description.substr(0, bar));
    // Empty groups and items are kept: a group's place is the effect's parameter group index.
    while (bar != std::string_view::npos) {
        const std::size_t start = bar + 1;
        bar = description.find('|', start);
        const std::string_view field =
            description.substr(start, bar == std::string_view::npos ? bar : bar - start);
        EffectDescription::Group& group = out.groups.emplace_back();
        std::size_t sep = field.find_first_of(kItemSeparators);
        group.title = std::string(field.substr(0, sep));
        if (sep == std::string_view::npos) continue;
        group.kind = field[sep] == '~' ? EffectDescription::Kind::Sliders
                                       : EffectDescription::Kind::CheckBoxes;
        while (sep != std::string_view::npos) {
            const std::size_t itemStart = sep + 1;
            sep = field.find_first_of(kItemSeparators, itemStart);
            group.items.emplace_back(
                field.substr(itemStart, sep == std::string_view::npos ? sep : sep - itemStart));
        }
    }
    return out;
}

// The item text is the user's or a translator's, so it is never handed to printf: only "%i",
// "%d" and "%%" are understood and every other character is copied.
std::string sliderLabel(std::string_view itemText, std::int32_t value) {
    std::size_t grave = itemText.find('`');
    if (grave != std::string_view::npos) {
        for (std::int32_t index = 0; grave != std::string_view::npos; ++index) {
            const std::size_t start = grave + 1;
            grave = itemText.find('`', start);
            if (index == value)
                return std::string(itemText.substr(
                    start, grave == std::string_view::npos ? grave : grave - start));
        }
        return std::to_string(value);  // no choice for this value
    }
    std::string out;
    out.reserve(itemText.size() + 11);
    for (std::size_t i = 0; i < itemText.size(); ++i) {
        const char c = itemText[i];
        const char next = i + 1 < itemText.size() ? itemText[i + 1] : '\0';
        if (c == '%' && (next == 'i' || next == 'd')) {
            out += std::to_string(value);
            ++i;
        } else if (c == '%' && next == '%') {
            out += '%';
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace kalder::tools
