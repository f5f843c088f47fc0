#pragma once

// The version resource of a Windows executable, read by our own bounds-checked parser: every
// offset in the file is checked before it is followed.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::shell {

struct PeVersionInfo {
    struct Translation {
        std::uint16_t language = 0;
        std::uint16_t codePage = 0;
    };
    struct StringTable {
        std::string key;  // "040904b0": language and code page in hex
        std::vector<std::pair<std::string, std::string>> values;  // UTF-8
    };
    std::vector<Translation> translations;  // \VarFileInfo\Translation
    std::vector<StringTable> tables;        // \StringFileInfo
    // The value of `name` in the table of `t`, if there is one.
    std::optional<std::string> value(const Translation& t, std::string_view name) const;
};

// Nothing when the bytes are not a PE image or have no readable version resource.
std::optional<PeVersionInfo> readPeVersionInfo(std::span<const std::uint8_t> file);

}  // namespace kalder::shell
