#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>

#include "base/result.h"

namespace kalder::shell {

// Why a file operation or a trash step failed.
enum class FileErrorCode : std::uint8_t {
    NotFound,            // ENOENT
    Exists,              // EEXIST: something is at the target, and targets are never replaced
    Permission,          // EACCES, EPERM
    CrossDevice,         // EXDEV
    InvalidName,         // a name no file may take
    System,              // any other errno
    TrashUnusable,       // the home trash folder cannot be made, or is not ours
    NoTrash,             // no usable trash folder on the device of the path
    TrashCrowded,        // every numbered trash name of the item is taken
    InvalidDestination,  // not an existing folder we may enter
    IntoOwnSubfolder,    // a folder copied or moved into itself or below
    SameFile,            // source and target are one file
    CannotCreateFolder,  // every name a new folder may take failed
};

struct FileError {
    FileErrorCode code = FileErrorCode::System;
    int sysError = 0;            // the errno behind it; 0 takes the usual one of the code
    std::filesystem::path path;  // the file the message names
};

// The code for an errno value, keeping the value for the message.
FileError fileErrorFromErrno(int error, std::filesystem::path path);
FileError fileErrorFrom(const std::error_code& error, std::filesystem::path path);
// The text for the user: the system's words and the path for errno codes.
std::string fileErrorMessage(const FileError& error);
// The fixed text of a code, marked for translation, with "%1" where the path goes; empty for
// the codes whose text is the system's own words for the errno.
std::string_view fileErrorTemplate(const FileError& error);

template <typename T>
using FileResult = base::Result<T, FileError>;
// Success or a FileError.
using FileStatus = FileResult<std::monostate>;

}  // namespace kalder::shell
