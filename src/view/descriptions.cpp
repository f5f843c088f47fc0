#include "view/descriptions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <system_error>

#include "base/limits.h"
#include "base/read_file.h"
#include "view/browser_sort.h"
#include "view/image_entry.h"

namespace kalder::view {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Writes all bytes to a new file and moves it over the old one, so a failed write never
// leaves a half-written description file behind.
bool replaceFile(const std::filesystem::path& target, const std::string& bytes) {
    std::filesystem::path temp = target;
    temp += ".tmp-XXXXXX";
    std::string pattern = temp.string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    ok = ::fchmod(fd, 0644) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(pattern.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(pattern.c_str());
    return ok;
}

}  // namespace

std::filesystem::path descriptionFilePath(const std::filesystem::path& folder) {
    return folder / kDescriptionFileName;
}

std::vector<std::pair<std::string, std::string>> parseDescriptions(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (true) {
        while (i < n && isLineSpace(text[i])) ++i;
        if (i >= n) break;
        std::string name;
        if (text[i] == '"') {
            const std::size_t close = text.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? n : close;
            name = std::string(text.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? n : close + 1;
        } else {
            // A name also ends at the line's end, so a line without a description cannot
            // swallow the next line's name.
            const std::size_t start = i;
            while (i < n && !isLineSpace(text[i])) ++i;
            name = std::string(text.substr(start, i - start));
        }
        while (i < n && isBlank(text[i])) ++i;
        const std::size_t start = i;
        while (i < n && text[i] != '\n' && text[i] != '\r') ++i;
        out.emplace_back(std::move(name), std::string(text.substr(start, i - start)));
    }
    return out;
}

std::string descriptionLine(std::string_view name, std::string_view description) {
    std::string line;
    // Tabs end an unquoted name as blanks do, so they need the quotes too.
    const bool quote = name.find_first_of(" \t") != std::string_view::npos;
    if (quote) line += '"';
    line += name;
    if (quote) line += '"';
    line += ' ';
    // One line per file: a line break inside a description would start a bogus entry.
    for (char c : description) line += (c == '\r' || c == '\n') ? ' ' : c;
    line += "\r\n";
    return line;
}

void readDescriptions(const std::filesystem::path& folder, EntryList& entries) {
    const auto text = base::readTextFile(descriptionFilePath(folder), base::kMaxDataFileBytes);
    if (!text.ok()) return;
    std::map<std::wstring, std::vector<ImageEntry*>> byName;
    for (std::size_t i = 0; i < entries.size(); ++i)
        byName[toLowerLocale(widenUtf8(entries.at(i)->name()))].push_back(entries.at(i));
    for (auto& [name, description] : parseDescriptions(*text)) {
        const auto it = byName.find(toLowerLocale(widenUtf8(name)));
        if (it == byName.end()) continue;
        for (ImageEntry* e : it->second) e->description = description;
    }
}

bool writeDescriptions(const std::filesystem::path& folder, const EntryList& entries) {
    std::string text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ImageEntry* e = entries.at(i);
        if (!e->description.empty()) text += descriptionLine(e->name(), e->description);
    }
    const std::filesystem::path path = descriptionFilePath(folder);
    if (text.empty()) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return !ec;
    }
    return replaceFile(path, text);
}

}  // namespace kalder::view
