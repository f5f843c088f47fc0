#include "image/result.h"

#include "base/translatable.h"

namespace kalder::image {

std::string_view decodeErrorMessage(DecodeError error) {
    switch (error) {
        case DecodeError::Truncated:
            return QT_TRANSLATE_NOOP("Messages", "the file ends too early");
        case DecodeError::BadSignature:
            return QT_TRANSLATE_NOOP("Messages", "not a file of this format");
        case DecodeError::Unsupported:
            return QT_TRANSLATE_NOOP("Messages", "unsupported variant of the format");
        case DecodeError::Corrupt:
            return QT_TRANSLATE_NOOP("Messages", "the file is damaged");
        case DecodeError::TooLarge:
            return QT_TRANSLATE_NOOP("Messages", "the image is too large");
        case DecodeError::OutOfMemory:
            return QT_TRANSLATE_NOOP("Messages", "out of memory");
        case DecodeError::Io:
            return QT_TRANSLATE_NOOP("Messages", "the file cannot be read");
        case DecodeError::Cancelled:
            return QT_TRANSLATE_NOOP("Messages", "cancelled");
        case DecodeError::NoMoreFrames:
            return QT_TRANSLATE_NOOP("Messages", "no further frame");
        case DecodeError::NoReader:
            return QT_TRANSLATE_NOOP("Messages", "no reader for this format");
    }
    return QT_TRANSLATE_NOOP("Messages", "unknown error");
}

}  // namespace kalder::image
