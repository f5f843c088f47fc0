#include "shell/file_error.h"

#include <cerrno>

namespace kalder::shell {
namespace {

int usualErrno(FileErrorCode code) {
    switch (code) {
        case FileErrorCode::NotFound:
            return ENOENT;
        case FileErrorCode::Exists:
            return EEXIST;
        case FileErrorCode::Permission:
            return EACCES;
        case FileErrorCode::CrossDevice:
            return EXDEV;
        case FileErrorCode::InvalidName:
            return EINVAL;
        default:
            return EIO;
    }
}

}  // namespace

FileError fileErrorFromErrno(int error, std::filesystem::path path) {
    FileErrorCode code = FileErrorCode::System;
    switch (error) {
        case ENOENT:
            code = FileErrorCode::NotFound;
            break;
        case EEXIST:
            code = FileErrorCode::Exists;
            break;
        case EACCES:
        case EPERM:
            code = FileErrorCode::Permission;
            break;
        case EXDEV:
            code = FileErrorCode::CrossDevice;
            break;
        default:
            break;
    }
    return {code, error, std::move(path)};
}

FileError fileErrorFrom(const std::error_code& error, std::filesystem::path path) {
    // Both categories hold errno values on Linux; anything else has no errno to keep.
    const bool isErrno =
        error.category() == std::generic_category() || error.category() == std::system_category();
    return fileErrorFromErrno(isErrno && error.value() != 0 ? error.value() : EIO, std::move(path));
}

std::string fileErrorMessage(const FileError& error) {
    const std::string path = error.path.string();
    switch (error.code) {
        case FileErrorCode::TrashUnusable:
            return "Cannot use the trash folder " + path;
        case FileErrorCode::NoTrash:
            return "No usable trash folder on the device of " + path;
        case FileErrorCode::TrashCrowded:
            return "Too many items of this name in the trash " + path;
        case FileErrorCode::InvalidDestination:
            return "Invalid destination folder.";
        case FileErrorCode::IntoOwnSubfolder:
            return "The folder cannot be moved/copied to its own sub-folder.";
        case FileErrorCode::SameFile:
            return "The source and destination file names are the same. " + path;
        case FileErrorCode::CannotCreateFolder:
            return "Cannot create the folder.";
        default:
            break;
    }
    const int sys = error.sysError != 0 ? error.sysError : usualErrno(error.code);
    return std::generic_category().message(sys) + " " + path;
}

}  // namespace kalder::shell
