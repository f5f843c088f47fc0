#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::view {

enum class FilterMode : std::int32_t { Default = 0, JpegOnly = 1, AllFiles = 2, Custom = 3 };

// The filter string a mode stands for; `custom` is used only by FilterMode::Custom.
std::string filterString(FilterMode mode, std::string_view custom);

// One name-part/extension-part matcher; "*" takes the rest, "?" one character.
bool matchFilterPart(std::string_view pattern, std::string_view text);

// A compiled file filter: pattern pairs tried in order, the last matching pair decides.
class FileFilter {
public:
    // The pattern area of the browser's model holds this many bytes of compiled pairs.
    static constexpr std::size_t kPatternArea = 2048;

    struct Pattern {
        std::string name;       // before the token's first "."
        std::string extension;  // after it
        bool exclude = false;
    };

    // Compiles the filter string. Pairs that no longer fit the pattern area are dropped and
    // the answer is false (the filter then works with the pairs that fit).
    bool compile(std::string_view filter);
    bool matches(std::string_view fileName) const;

    const std::vector<Pattern>& patterns() const { return m_patterns; }

private:
    std::vector<Pattern> m_patterns;
};

}  // namespace kalder::view
