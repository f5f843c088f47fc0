#include "base/strings.h"

#include <algorithm>

namespace kalder::base {

std::string_view trimLeft(std::string_view s, std::string_view chars) {
    const std::size_t first = s.find_first_not_of(chars);
    return first == std::string_view::npos ? std::string_view{} : s.substr(first);
}

std::string_view trimRight(std::string_view s, std::string_view chars) {
    const std::size_t last = s.find_last_not_of(chars);
    return last == std::string_view::npos ? std::string_view{} : s.substr(0, last + 1);
}

std::string_view trim(std::string_view s, std::string_view chars) {
    return trimRight(trimLeft(s, chars), chars);
}

char toLowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string toLowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = toLowerAscii(c);
    return out;
}

std::string toUpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return toLowerAscii(x) == toLowerAscii(y); });
}

bool lessIgnoringCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(toLowerAscii(x)) <
               static_cast<unsigned char>(toLowerAscii(y));
    });
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    if (part.size() > text.size()) return false;
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i)
        if (equalsIgnoringCase(text.substr(i, part.size()), part)) return true;
    return false;
}

std::vector<std::string_view> split(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t end = s.find(separator);
        parts.push_back(s.substr(0, end));
        if (end == std::string_view::npos) break;
        s.remove_prefix(end + 1);
    }
    return parts;
}

}  // namespace kalder::base
