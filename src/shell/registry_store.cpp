#include "shell/registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <set>
#include <system_error>

#include "base/read_file.h"
#include "base/strings.h"

namespace kalder::shell {
namespace fs = std::filesystem;

namespace {

// Every part non-empty, nothing that would break a "[...]" header line.
bool validKeyPath(std::string_view key) {
    if (key.empty() || key.front() == '\\' || key.back() == '\\') return false;
    char previous = 0;
    for (char c : key) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '[' || c == ']') return false;
        if (c == '\\' && previous == '\\') return false;
        previous = c;
    }
    return true;
}

// True when `key` lies below `parent`; `rest` then gets the part after "parent\".
bool isBelow(std::string_view key, std::string_view parent, std::string_view* rest) {
    if (key.size() <= parent.size() + 1 || key[parent.size()] != '\\') return false;
    if (!base::equalsIgnoringCase(key.substr(0, parent.size()), parent)) return false;
    if (rest) *rest = key.substr(parent.size() + 1);
    return true;
}

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\0':
                out += "\\0";
                break;
            case '=':
                out += "\\=";
                break;
            case '[':
            case ';':
            case '#':
                // Only at the start of a line would these be read as a header or a comment.
                if (i == 0) out += '\\';
                out += c;
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            c = text[++i];
            if (c == 'n')
                c = '\n';
            else if (c == 'r')
                c = '\r';
            else if (c == '0')
                c = '\0';
        }
        out += c;
    }
    return out;
}

fs::path homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir) {
        return found->pw_dir;
    }
    return {};
}

bool writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

fs::path kalderConfigDirectory() {
    // The XDG rules: an unset, empty or relative XDG_CONFIG_HOME means ~/.config.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        return fs::path(xdg) / "kalder";
    }
    const fs::path home = homeDirectory();
    if (home.empty()) return {};
    return home / ".config" / "kalder";
}

bool replaceFileContents(const fs::path& target, std::string_view bytes) {
    if (target.empty() || !target.has_filename()) return false;
    std::error_code ec;
    const fs::path folder = target.parent_path();
    if (!folder.empty()) fs::create_directories(folder, ec);

    const fs::path base = folder.empty() ? fs::path(".") : folder;
    std::string pattern = (base / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return false;

    struct stat old {};
    mode_t mode = 0644;
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) mode = old.st_mode & 07777;
    bool ok = ::fchmod(fd, mode) == 0;
    ok = ok && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(pattern.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(pattern.c_str());
    return ok;
}

fs::path RegistryStore::defaultPath() {
    const fs::path folder = kalderConfigDirectory();
    return folder.empty() ? fs::path() : folder / "kalder.conf";
}

bool RegistryStore::load() {
    m_keys.clear();
    if (m_file.empty()) return false;
    // Our own file holds a few short lines; a huge one is not ours.
    constexpr std::size_t kMaxSize = 4 << 20;
    const auto text = base::readTextFile(m_file, kMaxSize, base::OverLimit::Truncate);
    if (!text.ok()) return text.error() == base::FileError::Missing;
    parse(*text);
    return true;
}

bool RegistryStore::save() const {
    if (m_file.empty()) return false;
    return replaceFileContents(m_file, serialize());
}

void RegistryStore::parse(std::string_view text) {
    m_keys.clear();
    std::string current;  // empty: outside any valid section, values are skipped
    for (std::string_view line : base::split(text, '\n')) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;

        if (line.front() == '[') {
            current.clear();
            if (line.size() >= 2 && line.back() == ']') {
                const std::string_view key = line.substr(1, line.size() - 2);
                if (createKey(key)) current = key;
            }
            continue;
        }
        if (current.empty()) continue;

        // The first "=" that no backslash escapes ends the name.
        std::size_t split = std::string_view::npos;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\') {
                ++i;
            } else if (line[i] == '=') {
                split = i;
                break;
            }
        }
        if (split == std::string_view::npos) continue;
        setValue(current, unescape(line.substr(0, split)), unescape(line.substr(split + 1)));
    }
}

std::string RegistryStore::serialize() const {
    std::string out;
    for (const Key& key : m_keys) {
        if (!out.empty()) out += '\n';
        out += '[';
        out += key.path;
        out += "]\n";
        for (const Value& v : key.values) {
            out += escape(v.name);
            out += '=';
            out += escape(v.data);
            out += '\n';
        }
    }
    return out;
}

RegistryStore::Key* RegistryStore::findKey(std::string_view key) {
    auto it = std::find_if(m_keys.begin(), m_keys.end(),
                           [&](const Key& k) { return base::equalsIgnoringCase(k.path, key); });
    return it == m_keys.end() ? nullptr : &*it;
}

const RegistryStore::Key* RegistryStore::findKey(std::string_view key) const {
    return const_cast<RegistryStore*>(this)->findKey(key);
}

bool RegistryStore::hasKey(std::string_view key) const {
    if (!validKeyPath(key)) return false;
    return std::any_of(m_keys.begin(), m_keys.end(), [&](const Key& k) {
        return base::equalsIgnoringCase(k.path, key) || isBelow(k.path, key, nullptr);
    });
}

bool RegistryStore::createKey(std::string_view key) {
    if (!validKeyPath(key)) return false;
    if (!findKey(key)) m_keys.push_back(Key{std::string(key), {}});
    return true;
}

bool RegistryStore::deleteKey(std::string_view key) {
    if (!validKeyPath(key) || subKeyCount(key) != 0) return false;
    auto it = std::find_if(m_keys.begin(), m_keys.end(),
                           [&](const Key& k) { return base::equalsIgnoringCase(k.path, key); });
    if (it == m_keys.end()) return false;
    m_keys.erase(it);
    return true;
}

std::size_t RegistryStore::subKeyCount(std::string_view key) const {
    if (!validKeyPath(key)) return 0;
    std::set<std::string> children;
    for (const Key& k : m_keys) {
        std::string_view rest;
        if (!isBelow(k.path, key, &rest)) continue;
        children.insert(base::toLowerAscii(rest.substr(0, rest.find('\\'))));
    }
    return children.size();
}

std::optional<std::string> RegistryStore::value(std::string_view key, std::string_view name) const {
    const Key* k = findKey(key);
    if (!k) return std::nullopt;
    for (const Value& v : k->values) {
        if (base::equalsIgnoringCase(v.name, name)) return v.data;
    }
    return std::nullopt;
}

bool RegistryStore::setValue(std::string_view key, std::string_view name, std::string_view data) {
    if (!createKey(key)) return false;
    Key* k = findKey(key);
    for (Value& v : k->values) {
        if (base::equalsIgnoringCase(v.name, name)) {
            v.data = data;
            return true;
        }
    }
    k->values.push_back(Value{std::string(name), std::string(data)});
    return true;
}

bool RegistryStore::removeValue(std::string_view key, std::string_view name) {
    Key* k = findKey(key);
    if (!k) return false;
    auto it = std::find_if(k->values.begin(), k->values.end(),
                           [&](const Value& v) { return base::equalsIgnoringCase(v.name, name); });
    if (it == k->values.end()) return false;
    k->values.erase(it);
    return true;
}

}  // namespace kalder::shell
