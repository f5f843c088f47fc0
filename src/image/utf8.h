#pragma once

#include <string>

namespace kalder::image {

// Appends one character as UTF-8; a lone surrogate or a value past U+10FFFF becomes U+FFFD.
void appendUtf8(std::string& out, char32_t c);

}  // namespace kalder::image
