#include "view/find_image.h"

#include "base/strings.h"
#include "view/browser_sort.h"
#include "view/image_entry.h"

namespace kalder::view {
namespace {

bool isSeparator(wchar_t c) {
    static constexpr std::wstring_view kSeparators = L" \t\n\f\r!\"'()*+,-./:;<=>?[\\]_{|}~@";
    return kSeparators.find(c) != std::wstring_view::npos;
}

// The round's start may have been deleted since, so it is compared, never dereferenced.
bool listHolds(const EntryList& list, const ImageEntry* e) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list.at(i) == e) return true;
    return false;
}

}  // namespace

bool findTextMatches(std::string_view textUtf8, std::string_view findUtf8, bool matchCase,
                     bool wholeWords) {
    std::wstring text = widenUtf8(textUtf8), find = widenUtf8(findUtf8);
    if (find.empty() || text.size() < find.size()) return false;
    if (!matchCase) {
        text = toUpperLocale(text);
        find = toUpperLocale(find);
    }
    for (std::size_t at = text.find(find); at != std::wstring::npos; at = text.find(find, at + 1)) {
        if (!wholeWords) return true;
        const wchar_t before = at == 0 ? L' ' : text[at - 1];
        const std::size_t end = at + find.size();
        const wchar_t after = end >= text.size() ? L' ' : text[end];
        if (isSeparator(before) && isSeparator(after)) return true;
    }
    return false;
}

std::string ImageFinder::Result::message() const {
    switch (outcome) {
        case Outcome::NotFound:
            return "No image found.";
        case Outcome::Complete:
            return "Search is complete.";
        default:
            return {};
    }
}

bool ImageFinder::entryMatches(const ImageEntry& entry) const {
    std::string_view name = entry.name();
    if (!m_options.namesWithExtensions) {
        const std::size_t dot = name.rfind('.');
        if (dot != std::string_view::npos) name = name.substr(0, dot);
    }
    if (findTextMatches(name, m_text, m_options.matchCase, m_options.wholeWords)) return true;
    return m_options.searchDescriptions && !entry.description.empty() &&
           findTextMatches(entry.description, m_text, m_options.matchCase, m_options.wholeWords);
}

const ImageEntry* ImageFinder::search(const EntryList& list, std::size_t from) const {
    const std::size_t n = list.size();
    for (std::size_t k = 0; k < n; ++k) {
        const ImageEntry* e = list.at((from + k) % n);
        if (entryMatches(*e)) return e;
    }
    return nullptr;
}

ImageFinder::Result ImageFinder::find(const EntryList& list, const ImageEntry* current,
                                      std::string_view text, const FindOptions& options) {
    const std::string_view what = base::trim(text, " \t\r\n\f");
    if (what.empty()) return {};
    m_text = std::string(what);
    m_options = options;
    m_haveSearch = true;
    if (list.empty()) return {Outcome::NotFound, nullptr};
    const std::size_t from = list.contains(current) ? current->index() : 0;
    const ImageEntry* hit = search(list, from);
    if (!hit) return {Outcome::NotFound, nullptr};
    m_roundStart = hit;
    return {Outcome::Found, hit};
}

ImageFinder::Result ImageFinder::findNext(const EntryList& list, const ImageEntry* current) {
    if (!m_haveSearch) return {};
    if (list.empty()) return {Outcome::NotFound, nullptr};
    const std::size_t from = list.contains(current) ? current->index() + 1 : 0;
    const ImageEntry* hit = search(list, from);
    if (!hit) return {Outcome::NotFound, nullptr};
    if (!listHolds(list, m_roundStart))
        m_roundStart = hit;
    else if (hit == m_roundStart)
        return {Outcome::Complete, hit};
    return {Outcome::Found, hit};
}

}  // namespace kalder::view
