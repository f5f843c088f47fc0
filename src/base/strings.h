#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalder::base {

// Spaces and tabs: the blanks of key=value lines.
inline constexpr std::string_view kBlanks = " \t";
// The same plus the carriage return a file with CRLF line ends leaves on each line.
inline constexpr std::string_view kLineBlanks = " \t\r";

// `s` without the characters of `chars` at its start, its end, or both.
std::string_view trimLeft(std::string_view s, std::string_view chars = kBlanks);
std::string_view trimRight(std::string_view s, std::string_view chars = kBlanks);
std::string_view trim(std::string_view s, std::string_view chars = kBlanks);

// Case folding of ASCII letters only, whatever the locale: file formats, protocols and file-name
// extensions are ASCII, and a byte of a UTF-8 sequence must never change.
char toLowerAscii(char c);
std::string toLowerAscii(std::string_view s);
std::string toUpperAscii(std::string_view s);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool lessIgnoringCase(std::string_view a, std::string_view b);
bool containsIgnoringCase(std::string_view text, std::string_view part);

// The parts of `s` between each `separator`, empty ones included ("a,,b" gives three parts, ""
// gives one empty part). The parts point into `s`.
std::vector<std::string_view> split(std::string_view s, char separator);

}  // namespace kalder::base
