#pragma once

#include <string>
#include <string_view>

namespace kalder::view {

class EntryList;
class ImageEntry;

struct FindOptions {
    bool matchCase = false;            // findOptions entry 0
    bool wholeWords = false;           // entry 1
    bool searchDescriptions = false;   // entry 2
    bool namesWithExtensions = false;  // entry 3
};

// Whether `text` holds `find` (see FindOptions for case and whole words).
bool findTextMatches(std::string_view text, std::string_view find, bool matchCase, bool wholeWords);

// Find Image and Find Next Image over the folder's list.
class ImageFinder {
public:
    enum class Outcome {
        Nothing,   // empty find text, or Find Next without a previous Find
        Found,     // entry becomes current
        NotFound,  // "No image found." (warning)
        Complete,  // entry becomes current, then "Search is complete." (information)
    };
    struct Result {
        Outcome outcome = Outcome::Nothing;
        const ImageEntry* entry = nullptr;
        // The message to show after making the entry current, or empty.
        std::string message() const;
    };

    // Searches from the current entry itself.
    Result find(const EntryList& list, const ImageEntry* current, std::string_view text,
                const FindOptions& options);
    // Searches from the entry after the current one, with the last Find's text and options.
    Result findNext(const EntryList& list, const ImageEntry* current);
    bool canFindNext() const { return m_haveSearch; }
    // The list changed under the finder (reload): the round's start is gone.
    void forgetStart() { m_roundStart = nullptr; }

private:
    const ImageEntry* search(const EntryList& list, std::size_t from) const;
    bool entryMatches(const ImageEntry& entry) const;

    std::string m_text;
    FindOptions m_options;
    bool m_haveSearch = false;
    const ImageEntry* m_roundStart = nullptr;
};

}  // namespace kalder::view
