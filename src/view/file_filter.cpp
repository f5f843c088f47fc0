#include "view/file_filter.h"

#include "base/strings.h"
#include "image/format_table.h"

namespace kalder::view {
namespace {

bool isFilterSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// Bytes one compiled pair takes: both parts with terminators and the exclusion marker.
std::size_t compiledSize(const FileFilter::Pattern& p) {
    return p.name.size() + 1 + p.extension.size() + 1 + 1;
}

}  // namespace

std::string filterString(FilterMode mode, std::string_view custom) {
    std::string out;
    auto addExtensionsOf = [&](auto accept) {
        for (const auto& e : image::extensionTable()) {
            if (!accept(e)) continue;
            if (!out.empty()) out += ' ';
            out += '*';
            out += e.extension;
        }
    };
    switch (mode) {
        case FilterMode::Default:
            addExtensionsOf([](const image::ExtensionRecord&) { return true; });
            break;
        case FilterMode::JpegOnly:
            addExtensionsOf(
                [](const image::ExtensionRecord& e) { return e.code == image::FormatCode::Jpeg; });
            break;
        case FilterMode::AllFiles:
            out = "*.*";
            break;
        case FilterMode::Custom: {
            std::size_t b = 0, e = custom.size();
            while (b < e && isFilterSpace(custom[b])) ++b;
            while (e > b && isFilterSpace(custom[e - 1])) --e;
            out = std::string(custom.substr(b, e - b));
            break;
        }
    }
    return out;
}

bool matchFilterPart(std::string_view pattern, std::string_view text) {
    for (std::size_t i = 0;; ++i) {
        if (i < pattern.size() && pattern[i] == '*') return true;
        if (i == text.size()) return i == pattern.size();
        if (i == pattern.size()) return false;
        if (pattern[i] != '?' && base::toLowerAscii(pattern[i]) != base::toLowerAscii(text[i]))
            return false;
    }
}

bool FileFilter::compile(std::string_view filter) {
    m_patterns.clear();
    std::size_t used = 0;
    bool fits = true;
    bool exclude = false;
    std::size_t i = 0;
    while (i < filter.size()) {
        const char c = filter[i];
        if (static_cast<unsigned char>(c) < '!') {
            ++i;
            continue;
        }
        if (c == '|') {
            exclude = true;
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < filter.size() && static_cast<unsigned char>(filter[end]) >= '!' &&
               filter[end] != '|')
            ++end;
        const std::string_view token = filter.substr(i, end - i);
        i = end;

        Pattern p;
        p.exclude = exclude;
        const std::size_t dot = token.find('.');
        if (dot == std::string_view::npos) {
            p.name = std::string(token);
        } else {
            p.name = dot == 0 ? std::string("*") : std::string(token.substr(0, dot));
            p.extension = std::string(token.substr(dot + 1));
        }
        if (used + compiledSize(p) > kPatternArea) {
            fits = false;
            break;
        }
        used += compiledSize(p);
        m_patterns.push_back(std::move(p));
    }
    return fits;
}

bool FileFilter::matches(std::string_view fileName) const {
    std::string_view base = fileName, ext;
    if (const std::size_t dot = fileName.rfind('.'); dot != std::string_view::npos) {
        base = fileName.substr(0, dot);
        ext = fileName.substr(dot + 1);
    }
    bool included = false;
    for (const Pattern& p : m_patterns) {
        if (matchFilterPart(p.name, base) && matchFilterPart(p.extension, ext))
            included = !p.exclude;
    }
    return included;
}

}  // namespace kalder::view
