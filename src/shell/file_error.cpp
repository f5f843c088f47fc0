#include "shell/file_error.h"

#include <cerrno>
#include <utility>

#include "base/translatable.h"

namespace kalder::shell {
namespace {

// The errno values that have a code of their own; the first of a code is its usual one.
constexpr std::pair<FileErrorCode, int> kErrnoCodes[] = {
    {FileErrorCode::NotFound, ENOENT},   {FileErrorCode::Exists, EEXIST},
    {FileErrorCode::Permission, EACCES}, {FileErrorCode::Permission, EPERM},
    {FileErrorCode::CrossDevice, EXDEV},
};

int usualErrno(FileErrorCode code) {
    // EINVAL has no code of its own: the system gives it for more than names.
    if (code == FileErrorCode::InvalidName) return EINVAL;
    for (const auto& [c, e] : kErrnoCodes)
        if (c == code) return e;
    return EIO;
}

}  // namespace

FileError fileErrorFromErrno(int error, std::filesystem::path path) {
    FileErrorCode code = FileErrorCode::System;
    for (const auto& [c, e] : kErrnoCodes)
        if (e == error) code = c;
    return {code, error, std::move(path)};
}

FileError fileErrorFrom(const std::error_code& error, std::filesystem::path path) {
    // Both categories hold errno values on Linux; anything else has no errno to keep.
    const bool isErrno =
        error.category() == std::generic_category() || error.category() == std::system_category();
    return fileErrorFromErrno(isErrno && error.value() != 0 ? error.value() : EIO, std::move(path));
}

std::string_view fileErrorTemplate(const FileError& error) {
    switch (error.code) {
        case FileErrorCode::TrashUnusable:
            return QT_TRANSLATE_NOOP("Messages", "Cannot use the trash folder %1");
        case FileErrorCode::NoTrash:
            return QT_TRANSLATE_NOOP("Messages", "No usable trash folder on the device of %1");
        case FileErrorCode::TrashCrowded:
            return QT_TRANSLATE_NOOP("Messages", "Too many items of this name in the trash %1");
        case FileErrorCode::InvalidDestination:
            return QT_TRANSLATE_NOOP("Messages", "Invalid destination folder.");
        case FileErrorCode::IntoOwnSubfolder:
            return QT_TRANSLATE_NOOP("Messages",
                                     "The folder cannot be moved/copied to its own sub-folder.");
        case FileErrorCode::SameFile:
            return QT_TRANSLATE_NOOP("Messages",
                                     "The source and destination file names are the same. %1");
        case FileErrorCode::CannotCreateFolder:
            return QT_TRANSLATE_NOOP("Messages", "Cannot create the folder.");
        default:
            return {};
    }
}

std::string fileErrorMessage(const FileError& error) {
    const std::string path = error.path.string();
    if (const std::string_view text = fileErrorTemplate(error); !text.empty()) {
        std::string message(text);
        if (const auto at = message.find("%1"); at != std::string::npos)
            message.replace(at, 2, path);
        return message;
    }
    const int sys = error.sysError != 0 ? error.sysError : usualErrno(error.code);
    return std::generic_category().message(sys) + " " + path;
}

}  // namespace kalder::shell
