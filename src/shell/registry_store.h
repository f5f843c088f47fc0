#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::shell {

// $XDG_CONFIG_HOME/kalder (or ~/.config/kalder): where our own configuration files live. Empty
// when neither XDG_CONFIG_HOME nor a home folder can be found.
std::filesystem::path kalderConfigDirectory();

// Writes `bytes` to a temporary file in the target's folder (created when missing) and renames
// it over `target` only after every byte was written and flushed; on failure the old file is
// left as it was and the temporary file removed. An existing target's permission bits are kept.
bool replaceFileContents(const std::filesystem::path& target, std::string_view bytes);

// A small store of string values under keys, with the registry's shape: keys are paths such as
// "Software\Brenmoor Software\Kalder" (parts separated by "\"), every key holds named string
// values, and a key implicitly contains its sub-keys. Key parts and value names compare without
// regard to ASCII case and keep the spelling they were created with.
//
// The store lives in memory; load() and save() move it to and from an INI-like text file:
//
//   [Software\Brenmoor Software\Kalder]
//   ExePath=/usr/bin/kalder
//   Version=3.0a
//
// In names and values "\\", "\n", "\r", "\0" and "\=" stand for a backslash, line feed, carriage
// return, zero byte and "=". save() writes a temporary file and renames it over the target.
class RegistryStore {
public:
    RegistryStore() = default;
    explicit RegistryStore(std::filesystem::path file) : m_file(std::move(file)) {}

    // $XDG_CONFIG_HOME/kalder/kalder.conf, or empty when there is no configuration folder.
    static std::filesystem::path defaultPath();

    const std::filesystem::path& file() const { return m_file; }

    // Replaces the contents with the file's. A missing file gives an empty store and true; false
    // when the file exists but cannot be read (the store is then empty). Lines that make no sense
    // are skipped.
    bool load();
    // Writes the whole store (creating the folder). False on any failure; the old file then
    // stays as it was.
    bool save() const;

    // The text form load() reads and save() writes.
    void parse(std::string_view text);
    std::string serialize() const;

    bool hasKey(std::string_view key) const;
    // Creates the key (and implicitly its parents). False when the key name is not valid: empty
    // parts, or characters that cannot stand in a section header ("[", "]", control characters).
    bool createKey(std::string_view key);
    // Removes a key and its values. Like the registry, refuses (false) when the key has sub-keys;
    // false too when it does not exist.
    bool deleteKey(std::string_view key);
    // Number of direct sub-keys; 0 when the key does not exist.
    std::size_t subKeyCount(std::string_view key) const;

    std::optional<std::string> value(std::string_view key, std::string_view name) const;
    // Creates the key when needed. False only for an invalid key name.
    bool setValue(std::string_view key, std::string_view name, std::string_view value);
    bool removeValue(std::string_view key, std::string_view name);

private:
    struct Value {
        std::string name;
        std::string data;
    };
    struct Key {
        std::string path;  // normalised: no leading, trailing or doubled separators
        std::vector<Value> values;
    };

    Key* findKey(std::string_view normalised);
    const Key* findKey(std::string_view normalised) const;

    std::filesystem::path m_file;
    std::vector<Key> m_keys;  // in creation order, so the file keeps a stable layout
};

}  // namespace kalder::shell
