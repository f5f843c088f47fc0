#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kalder::tools {

// One MIME charset name with the code page it stands for.
struct CharsetRow {
    const char* name;
    std::int32_t codePage;
};

// Searched from the second row on; the first row is what a code page without a row gets.
extern const std::array<CharsetRow, 42> kCharsetTable;

// The MIME name of a code page: the first matching row from row 1 on, else row 0 ("unknown").
std::string charsetForCodePage(std::int32_t codePage);

// The code page of a C library codeset name ("UTF-8", "ISO-8859-2", "KOI8-R", "ANSI_X3.4-1968"),
// or 0 when we know no code page for it.
std::int32_t codePageForCodeset(std::string_view codeset);

// The charset name of the current locale (nl_langinfo(CODESET)), mapped through the table.
std::string localeCharset();

}  // namespace kalder::tools
