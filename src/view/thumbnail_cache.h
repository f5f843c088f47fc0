#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kalder::view {

// The MD5 digest of data as 32 lower-case hex digits; shared thumbnail caches name their
// entries by the digest of the file's URI.
std::string md5Hex(std::string_view data);

// "file://" and the absolute path, every byte outside the unreserved set and '/' percent-encoded.
std::string fileUri(const std::filesystem::path& absolute);

// The entry of a file in a shared cache under root for the given flavour folder ("normal",
// "large", "x-large"): root/flavour/MD5(URI).png.
std::filesystem::path cacheEntryPath(const std::filesystem::path& root, std::string_view flavour,
                                     const std::filesystem::path& file);

}  // namespace kalder::view
