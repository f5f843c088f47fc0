#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace kalder::base {

enum class FileError : std::uint8_t {
    Missing,   // nothing at that path
    NotAFile,  // a folder, device or pipe: reading it could block or never end
    TooLarge,  // longer than the caller's limit
    Io,        // the system refused to open or read it
};

std::string_view fileErrorMessage(FileError error);

// What a file longer than the limit gives.
enum class OverLimit : std::uint8_t {
    Fail,      // FileError::TooLarge
    Truncate,  // its first maxBytes bytes
    Salvage,   // the same, and a read error part-way ends the file there instead of failing
};

// The whole of a regular file, read to its end (files in /proc report no size, so the size is
// only a hint). Pipes and devices are refused, never waited on.
Result<std::vector<std::uint8_t>, FileError> readFile(const std::filesystem::path& path,
                                                      std::size_t maxBytes,
                                                      OverLimit overLimit = OverLimit::Fail);
// The same as text, bytes unchanged.
Result<std::string, FileError> readTextFile(const std::filesystem::path& path, std::size_t maxBytes,
                                            OverLimit overLimit = OverLimit::Fail);

}  // namespace kalder::base
