#include "view/browser_sort.h"

#include <algorithm>
#include <stdexcept>

#include "view/image_entry.h"

namespace kalder::view {
namespace {

std::locale makeUserLocale() {
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        return std::locale::classic();
    }
}

// A collation key that orders like a case-insensitive comparison in the user's locale.
std::wstring collationKey(std::string_view text) {
    const std::wstring lowered = toLowerLocale(widenUtf8(text));
    const auto& collate = std::use_facet<std::collate<wchar_t>>(userLocale());
    return collate.transform(lowered.data(), lowered.data() + lowered.size());
}

}  // namespace

const std::locale& userLocale() {
    static const std::locale locale = makeUserLocale();
    return locale;
}

std::wstring widenUtf8(std::string_view s) {
    std::wstring out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = b < 0x80         ? 1
                          : (b >> 5) == 6  ? 2
                          : (b >> 4) == 14 ? 3
                          : (b >> 3) == 30 ? 4
                                           : 0;
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1f) : len == 3 ? (b & 0x0f) : (b & 0x07);
        bool valid = len != 0 && i + len <= s.size();
        for (std::size_t k = 1; valid && k < len; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xc0) != 0x80) valid = false;
            cp = (cp << 6) | (c & 0x3f);
        }
        if (!valid) {
            out.push_back(static_cast<wchar_t>(b));
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += len;
    }
    return out;
}

std::wstring toLowerLocale(std::wstring_view text) {
    std::wstring out(text);
    const auto& ctype = std::use_facet<std::ctype<wchar_t>>(userLocale());
    ctype.tolower(out.data(), out.data() + out.size());
    return out;
}

std::wstring toUpperLocale(std::wstring_view text) {
    std::wstring out(text);
    const auto& ctype = std::use_facet<std::ctype<wchar_t>>(userLocale());
    ctype.toupper(out.data(), out.data() + out.size());
    return out;
}

int compareNoCase(std::string_view a, std::string_view b) {
    const std::wstring ka = collationKey(a), kb = collationKey(b);
    return ka < kb ? -1 : kb < ka ? 1 : 0;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return toLowerLocale(widenUtf8(a)) == toLowerLocale(widenUtf8(b));
}

std::string extensionSortKey(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return std::string(name);
    std::string key(name.substr(dot + 1));
    key += name.substr(0, dot);
    return key;
}

bool nameMatchesFilter(std::string_view name, std::string_view filter) {
    if (filter.empty()) return true;
    return toLowerLocale(widenUtf8(name)).find(toLowerLocale(widenUtf8(filter))) !=
           std::wstring::npos;
}

void sortEntries(std::vector<ImageEntry*>& entries, SortKey key, SortOrder order) {
    // Keys are computed once; a stable sort gives the same order as repeated adjacent swaps.
    // Descending swaps the operands, so equal keys stay in list order both ways.
    const bool down = order == SortOrder::Descending;
    const auto before = [down](const auto& a, const auto& b) { return down ? b < a : a < b; };
    switch (key) {
        case SortKey::Name:
        case SortKey::Extension: {
            std::vector<std::pair<std::wstring, ImageEntry*>> keyed;
            keyed.reserve(entries.size());
            for (ImageEntry* e : entries)
                keyed.emplace_back(collationKey(key == SortKey::Name ? std::string(e->name())
                                                                     : extensionSortKey(e->name())),
                                   e);
            std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
                return before(a.first, b.first);
            });
            for (std::size_t i = 0; i < keyed.size(); ++i) entries[i] = keyed[i].second;
            break;
        }
        case SortKey::Size:
            for (ImageEntry* e : entries) e->refreshStatus();
            std::stable_sort(entries.begin(), entries.end(),
                             [&](const ImageEntry* a, const ImageEntry* b) {
                                 return before(a->fileSize(), b->fileSize());
                             });
            break;
        case SortKey::Date:
            for (ImageEntry* e : entries) e->refreshStatus();
            std::stable_sort(entries.begin(), entries.end(),
                             [&](const ImageEntry* a, const ImageEntry* b) {
                                 return before(a->modificationTime(), b->modificationTime());
                             });
            break;
    }
}

}  // namespace kalder::view
