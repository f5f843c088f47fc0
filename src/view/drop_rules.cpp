#include "view/drop_rules.h"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "base/file_uri.h"
#include "base/strings.h"
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

bool isLocalHost(std::string_view host) {
    if (host.empty() || base::equalsIgnoringCase(host, "localhost")) return true;
    std::array<char, HOST_NAME_MAX + 1> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) return false;
    return base::equalsIgnoringCase(host, name.data());
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
    if (uri.size() < kScheme.size() ||
        !base::equalsIgnoringCase(uri.substr(0, kScheme.size()), kScheme))
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
    for (const std::string_view part : base::split(text, '\n')) {
        const std::string_view line = base::trimLeft(base::trimRight(part, base::kLineBlanks));
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
