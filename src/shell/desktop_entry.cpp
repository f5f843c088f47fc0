#include "shell/desktop_entry.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <system_error>

#include "base/read_file.h"
#include "base/strings.h"

namespace kalder::shell {

namespace fs = std::filesystem;

namespace {

// String escapes. In a list `\;` stays escaped so that the split can tell it from a separator.
std::string unescape(std::string_view s, bool keepSemicolonEscape) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        switch (const char c = s[++i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            case ';':
                if (keepSemicolonEscape) out += '\\';
                out += ';';
                break;
            default:  // not an escape: keep both characters
                out += '\\';
                out += c;
        }
    }
    return out;
}

std::vector<std::string> splitList(std::string_view raw) {
    const std::string s = unescape(raw, true);
    std::vector<std::string> items;
    std::string item;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == ';') {
            item += ';';
            ++i;
        } else if (s[i] == ';') {
            items.push_back(std::move(item));
            item.clear();
        } else {
            item += s[i];
        }
    }
    if (!item.empty()) items.push_back(std::move(item));
    return items;
}

bool parseBool(std::string_view v) { return v == "true" || v == "1"; }

// The locale suffixes to look for, best first: lang_COUNTRY@MODIFIER, lang_COUNTRY, lang@MODIFIER,
// lang (the encoding part never takes part).
std::vector<std::string> localeCandidates(std::string_view locale) {
    std::string_view modifier;
    if (const auto at = locale.find('@'); at != std::string_view::npos) {
        modifier = locale.substr(at + 1);
        locale = locale.substr(0, at);
    }
    if (const auto dot = locale.find('.'); dot != std::string_view::npos)
        locale = locale.substr(0, dot);
    std::string_view lang = locale, country;
    if (const auto us = locale.find('_'); us != std::string_view::npos) {
        lang = locale.substr(0, us);
        country = locale.substr(us + 1);
    }
    std::vector<std::string> out;
    if (lang.empty() || lang == "C" || lang == "POSIX") return out;
    const std::string base(lang);
    if (!country.empty() && !modifier.empty())
        out.push_back(base + "_" + std::string(country) + "@" + std::string(modifier));
    if (!country.empty()) out.push_back(base + "_" + std::string(country));
    if (!modifier.empty()) out.push_back(base + "@" + std::string(modifier));
    out.push_back(base);
    return out;
}

}  // namespace

std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, std::string_view locale) {
    // Keys of the main group: plain keys, and localized ones by their bracketed locale.
    std::map<std::string, std::string, std::less<>> keys;
    std::map<std::string, std::map<std::string, std::string, std::less<>>, std::less<>> localized;
    bool inGroup = false, sawGroup = false;
    for (const std::string_view part : base::split(text, '\n')) {
        const std::string_view line = base::trim(part, base::kLineBlanks);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return std::nullopt;
            // Other groups are actions and the like; the main one should come first, but a
            // launcher that puts it later still works on every desktop.
            inGroup = line == "[Desktop Entry]" && keys.empty();
            sawGroup = true;
            continue;
        }
        if (!inGroup) {
            if (!sawGroup) return std::nullopt;  // a key before any group: not a desktop entry
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = base::trim(line.substr(0, eq), base::kLineBlanks);
        const std::string value(base::trim(line.substr(eq + 1), base::kLineBlanks));
        if (key.empty()) continue;
        if (const auto open = key.find('['); open != std::string_view::npos) {
            if (key.back() != ']' || open == 0) continue;
            const std::string_view tag = key.substr(open + 1, key.size() - open - 2);
            localized[std::string(key.substr(0, open))].emplace(std::string(tag), value);
        } else {
            keys.emplace(std::string(key), value);  // the first of duplicate keys wins
        }
    }
    if (!sawGroup || keys.empty()) return std::nullopt;

    const std::vector<std::string> candidates = localeCandidates(locale);
    const auto raw = [&](std::string_view key, bool localizable) -> const std::string* {
        if (localizable)
            if (const auto it = localized.find(key); it != localized.end())
                for (const std::string& tag : candidates)
                    if (const auto hit = it->second.find(tag); hit != it->second.end())
                        return &hit->second;
        const auto it = keys.find(key);
        return it == keys.end() ? nullptr : &it->second;
    };
    const auto str = [&](std::string_view key, bool localizable = false) {
        const std::string* v = raw(key, localizable);
        return v ? unescape(*v, false) : std::string();
    };
    const auto list = [&](std::string_view key) {
        const std::string* v = raw(key, false);
        return v ? splitList(*v) : std::vector<std::string>{};
    };
    const auto flag = [&](std::string_view key) {
        const std::string* v = raw(key, false);
        return v && parseBool(*v);
    };

    DesktopEntry entry;
    const std::string type = str("Type");
    entry.type = type == "Application" ? DesktopEntry::Type::Application
                 : type == "Link"      ? DesktopEntry::Type::Link
                 : type == "Directory" ? DesktopEntry::Type::Directory
                                       : DesktopEntry::Type::Unknown;
    entry.name = str("Name", true);
    if (entry.name.empty()) return std::nullopt;
    entry.genericName = str("GenericName", true);
    entry.comment = str("Comment", true);
    entry.icon = str("Icon", true);
    entry.exec = str("Exec");
    entry.tryExec = str("TryExec");
    entry.url = str("URL");
    entry.categories = list("Categories");
    entry.onlyShowIn = list("OnlyShowIn");
    entry.notShowIn = list("NotShowIn");
    entry.noDisplay = flag("NoDisplay");
    entry.hidden = flag("Hidden");
    entry.terminal = flag("Terminal");
    return entry;
}

std::optional<std::vector<std::string>> splitExec(std::string_view exec) {
    std::vector<std::string> args;
    std::string arg;
    bool inArg = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inArg) args.push_back(std::move(arg));
            arg.clear();
            inArg = false;
        } else if (c == '"') {
            inArg = true;
            bool closed = false;
            for (++i; i < exec.size(); ++i) {
                const char q = exec[i];
                if (q == '"') {
                    closed = true;
                    break;
                }
                if (q == '\\' && i + 1 < exec.size() &&
                    std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos)
                    ++i;
                arg += exec[i];
            }
            if (!closed) return std::nullopt;
        } else {
            inArg = true;
            arg += c;
        }
    }
    if (inArg) args.push_back(std::move(arg));
    return args;
}

std::optional<std::vector<std::string>> expandExec(const DesktopEntry& entry,
                                                   const std::string& file,
                                                   const std::string& entryFile) {
    std::optional<std::vector<std::string>> split = splitExec(entry.exec);
    if (!split || split->empty()) return std::nullopt;
    std::vector<std::string> out;
    bool fileUsed = false;
    for (const std::string& arg : *split) {
        // Codes standing alone may become several arguments or none.
        if (arg == "%f" || arg == "%F" || arg == "%u" || arg == "%U") {
            if (!file.empty() && !fileUsed) out.push_back(file);
            fileUsed = true;
            continue;
        }
        if (arg == "%i") {
            if (!entry.icon.empty()) {
                out.push_back("--icon");
                out.push_back(entry.icon);
            }
            continue;
        }
        std::string expanded;
        bool drop = false;
        for (std::size_t i = 0; i < arg.size(); ++i) {
            if (arg[i] != '%' || i + 1 == arg.size()) {
                expanded += arg[i];
                continue;
            }
            switch (arg[++i]) {
                case '%':
                    expanded += '%';
                    break;
                case 'f':
                case 'F':
                case 'u':
                case 'U':
                    expanded += file;
                    fileUsed = true;
                    break;
                case 'c':
                    expanded += entry.name;
                    break;
                case 'k':
                    expanded += entryFile;
                    break;
                case 'i':
                    expanded += entry.icon;
                    break;
                case 'd':
                case 'D':
                case 'n':
                case 'N':
                case 'v':
                case 'm':                    // deprecated: removed
                default:                     // unknown: removed too
                    drop = arg.size() == 2;  // and an argument that was only the code goes
                    break;
            }
        }
        if (!drop) out.push_back(std::move(expanded));
    }
    if (out.empty()) return std::nullopt;
    return out;
}

bool isShown(const DesktopEntry& entry, std::string_view currentDesktop) {
    if (entry.hidden || entry.noDisplay) return false;
    std::set<std::string, std::less<>> desktops;
    for (const std::string_view name : base::split(currentDesktop, ':'))
        if (!name.empty()) desktops.emplace(name);
    const auto any = [&](const std::vector<std::string>& names) {
        return std::any_of(names.begin(), names.end(),
                           [&](const std::string& n) { return desktops.count(n) != 0; });
    };
    if (!entry.onlyShowIn.empty() && !any(entry.onlyShowIn)) return false;
    return !any(entry.notShowIn);
}

std::optional<fs::path> findProgram(std::string_view program) {
    if (program.empty()) return std::nullopt;
    const auto usable = [](const fs::path& p) {
        std::error_code ec;
        return fs::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
    };
    if (program.find('/') != std::string_view::npos) {
        const fs::path p(program);
        if (usable(p)) return p;
        return std::nullopt;
    }
    const char* path = std::getenv("PATH");
    const std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (const std::string_view part : base::split(dirs, ':')) {
        const fs::path dir(part);
        if (!dir.empty() && usable(dir / fs::path(program))) return dir / fs::path(program);
    }
    return std::nullopt;
}

std::optional<DesktopEntry> readDesktopEntry(const fs::path& file, std::string_view locale) {
    constexpr std::size_t kMaxEntryBytes = 1 << 20;
    const auto text = base::readTextFile(file, kMaxEntryBytes);
    if (!text.ok()) return std::nullopt;
    return parseDesktopEntry(*text, locale);
}

fs::path resolveLaunchable(const fs::path& file, std::string& label, std::string_view locale) {
    std::error_code ec;
    if (file.extension() == ".desktop") {
        const std::optional<DesktopEntry> entry = readDesktopEntry(file, locale);
        if (!entry || entry->type != DesktopEntry::Type::Application) return {};
        const std::optional<std::vector<std::string>> argv = splitExec(entry->exec);
        if (!argv || argv->empty()) return {};
        const std::optional<fs::path> program = findProgram(argv->front());
        if (!program) return {};
        label = entry->name;
        const bool programOnly =
            argv->size() == 1 ||
            (argv->size() == 2 && (*argv)[1].size() == 2 && (*argv)[1][0] == '%');
        return programOnly ? *program : fs::absolute(file, ec);
    }
    const fs::path target = fs::canonical(file, ec);
    if (ec || !fs::is_regular_file(target, ec) || ::access(target.c_str(), X_OK) != 0) return {};
    label = file.stem().string();
    return target;
}

std::vector<fs::path> applicationFolders() {
    std::vector<fs::path> folders;
    if (const char* home = std::getenv("XDG_DATA_HOME"); home && *home == '/')
        folders.push_back(fs::path(home) / "applications");
    else if (const char* h = std::getenv("HOME"); h && *h == '/')
        folders.push_back(fs::path(h) / ".local/share/applications");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    const std::string_view list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    for (const std::string_view dir : base::split(list, ':'))
        if (dir.starts_with('/')) folders.push_back(fs::path(dir) / "applications");
    return folders;
}

std::vector<InstalledApplication> listApplications(const std::vector<fs::path>& folders,
                                                   std::string_view locale,
                                                   std::string_view currentDesktop) {
    std::set<std::string> seen;  // IDs, shown or not: a hidden user entry masks the system one
    std::vector<InstalledApplication> apps;
    for (const fs::path& folder : folders) {
        std::error_code ec;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const fs::path& file = it->path();
            if (file.extension() != ".desktop") continue;
            std::error_code relError;
            std::string id = fs::relative(file, folder, relError).generic_string();
            if (relError) continue;
            std::replace(id.begin(), id.end(), '/', '-');
            if (!seen.insert(id).second) continue;
            std::optional<DesktopEntry> entry = readDesktopEntry(file, locale);
            if (!entry || entry->type != DesktopEntry::Type::Application ||
                !isShown(*entry, currentDesktop))
                continue;
            if (!entry->tryExec.empty() && !findProgram(entry->tryExec)) continue;
            apps.push_back({std::move(id), file, std::move(*entry)});
        }
    }
    std::sort(apps.begin(), apps.end(), [](const auto& a, const auto& b) {
        return a.entry.name != b.entry.name ? a.entry.name < b.entry.name : a.id < b.id;
    });
    return apps;
}

std::vector<TypeApplication> applicationsForType(std::string_view mimeType) {
    std::vector<TypeApplication> out;
    const std::string type(mimeType);
    if (type.empty()) return out;
    auto add = [&out](GAppInfo* info) {
        // Entries hidden from menus still open files: that is what many handlers are for.
        if (!info || !G_IS_DESKTOP_APP_INFO(info)) return;
        const char* id = g_app_info_get_id(info);
        const char* file = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info));
        if (!id || !file) return;
        for (const TypeApplication& known : out)
            if (known.id == id) return;
        const char* name = g_app_info_get_name(info);
        out.push_back({id, name ? name : id, file});
    };
    if (GAppInfo* preferred = g_app_info_get_default_for_type(type.c_str(), FALSE)) {
        add(preferred);
        g_object_unref(preferred);
    }
    GList* all = g_app_info_get_all_for_type(type.c_str());
    for (GList* i = all; i; i = i->next) add(static_cast<GAppInfo*>(i->data));
    g_list_free_full(all, g_object_unref);
    return out;
}

}  // namespace kalder::shell
