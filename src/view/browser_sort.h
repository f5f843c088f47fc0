#pragma once

#include <cstdint>
#include <locale>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::view {

class ImageEntry;

enum class SortKey : std::int32_t { Name = 0, Extension = 1, Size = 2, Date = 3 };

// The user's locale (from the environment), or the classic one when that cannot be built.
const std::locale& userLocale();
// UTF-8 to wide characters; invalid bytes come through as themselves.
std::wstring widenUtf8(std::string_view utf8);
// Lower or upper case in the user's locale.
std::wstring toLowerLocale(std::wstring_view text);
std::wstring toUpperLocale(std::wstring_view text);

// Case-insensitive comparison in the user's locale: < 0, 0 or > 0.
int compareNoCase(std::string_view a, std::string_view b);
// True when both names are equal ignoring case.
bool equalNoCase(std::string_view a, std::string_view b);

// The extension key: the text after the last "." followed by the text before it.
std::string extensionSortKey(std::string_view name);

enum class SortOrder : std::int32_t { Ascending = 0, Descending = 1 };

// Sorts by the key; equal keys keep their order either way. Size and date read every entry's
// file status once.
void sortEntries(std::vector<ImageEntry*>& entries, SortKey key,
                 SortOrder order = SortOrder::Ascending);

// The browser's name filter: true when `filter` is empty or occurs in `name`, ignoring case
// in the user's locale.
bool nameMatchesFilter(std::string_view name, std::string_view filter);

}  // namespace kalder::view
