#include "view/drop_rules.h"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "base/file_uri.h"
#include "shell/file_operations.h"
#include "shell/trash.h"

namespace kalder::view {
namespace fs = std::filesystem;
namespace {

// Path components without empty ones, so "/a/b/" and "/a/b" compare equal.
std::vector<std::string> components(const fs::path& p) {
    std::vector<std::string> parts;
    for (const fs::path& part : p.lexically_normal())
        if (!part.empty()) parts.push_back(part.string());
    return parts;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(x) == lower(y);
    });
}

bool isLocalHost(std::string_view host) {
    if (host.empty() || equalsIgnoringCase(host, "localhost")) return true;
    std::array<char, HOST_NAME_MAX + 1> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) return false;
    return equalsIgnoringCase(host, name.data());
}

}  // namespace

DropEffect dropEffect(DropModifiers modifiers, bool explorerLike) {
    if (explorerLike) return modifiers.ctrl ? DropEffect::Copy : DropEffect::Move;
    return modifiers.shift || modifiers.alt ? DropEffect::Move : DropEffect::Copy;
}

DropEffect dropEffect(DropModifiers modifiers, bool explorerLike, bool copyAllowed,
                      bool moveAllowed) {
    const DropEffect wanted = dropEffect(modifiers, explorerLike);
    const bool wantedAllowed = wanted == DropEffect::Copy ? copyAllowed : moveAllowed;
    if (wantedAllowed) return wanted;
    if (wanted == DropEffect::Copy) return moveAllowed ? DropEffect::Move : DropEffect::None;
    return copyAllowed ? DropEffect::Copy : DropEffect::None;
}

bool mayDropOn(const fs::path& target, bool targetIsFolder, const fs::path& draggedFolder) {
    if (!targetIsFolder || target.empty()) return false;
    if (draggedFolder.empty()) return true;
    const std::vector<std::string> dragged = components(draggedFolder);
    const std::vector<std::string> over = components(target);
    if (over == dragged) return false;
    // Its parent already holds it.
    return !(over.size() + 1 == dragged.size() &&
             std::equal(over.begin(), over.end(), dragged.begin()));
}

bool dropsIntoOwnSubFolder(const std::vector<fs::path>& sources, const fs::path& target) {
    return std::any_of(sources.begin(), sources.end(),
                       [&target](const fs::path& s) { return shell::isSameOrInside(s, target); });
}

std::string askBeforeDropQuestion(DropEffect effect, std::size_t count,
                                  const std::string& destination) {
    const char* verb = effect == DropEffect::Move ? "move" : "copy";
    return "Do you want to " + std::string(verb) + " " + std::to_string(count) + " item(s) to " +
           destination + "?";
}

std::optional<fs::path> pathFromFileUri(std::string_view uri) {
    constexpr std::string_view kScheme = "file:";
    if (uri.size() < kScheme.size() || !equalsIgnoringCase(uri.substr(0, kScheme.size()), kScheme))
        return std::nullopt;
    std::string_view rest = uri.substr(kScheme.size());
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos) return std::nullopt;
        if (!isLocalHost(rest.substr(0, slash))) return std::nullopt;
        rest.remove_prefix(slash);
    }
    if (rest.empty() || rest.front() != '/') return std::nullopt;
    const std::optional<std::string> decoded = shell::Trash::decodePath(rest);
    if (!decoded || decoded->find('\0') != std::string::npos) return std::nullopt;
    return fs::path(*decoded);
}

std::string fileUriFromPath(const fs::path& path) { return base::fileUri(path); }

std::vector<fs::path> parseUriList(std::string_view text) {
    std::vector<fs::path> paths;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#') continue;
        if (std::optional<fs::path> p = pathFromFileUri(line)) paths.push_back(std::move(*p));
    }
    return paths;
}

std::string formatUriList(const std::vector<fs::path>& paths) {
    std::string text;
    for (const fs::path& p : paths) text += fileUriFromPath(p) + "\r\n";
    return text;
}

}  // namespace kalder::view
