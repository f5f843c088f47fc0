#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kalder::base {

// The "file://" URI of a path, built by GLib, so that it is byte for byte the URI every GLib
// program computes for the same file: that URI is a key other programs look things up by (the
// shared thumbnail cache names entries by its MD5). A relative path is taken against the current
// folder. Bytes that are not UTF-8 stay as they are in the path, percent-encoded.
std::string fileUri(const std::filesystem::path& path);

// Percent-encodes every byte except ASCII letters, digits, "-._~" and the characters in `keep`.
std::string percentEncode(std::string_view text, std::string_view keep);

}  // namespace kalder::base
