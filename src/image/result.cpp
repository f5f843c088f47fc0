#include "image/result.h"

namespace kalder::image {

std::string_view decodeErrorMessage(DecodeError error) {
    switch (error) {
        case DecodeError::Truncated:
            return "the file ends too early";
        case DecodeError::BadSignature:
            return "not a file of this format";
        case DecodeError::Unsupported:
            return "unsupported variant of the format";
        case DecodeError::Corrupt:
            return "the file is damaged";
        case DecodeError::TooLarge:
            return "the image is too large";
        case DecodeError::OutOfMemory:
            return "out of memory";
        case DecodeError::Io:
            return "the file cannot be read";
        case DecodeError::Cancelled:
            return "cancelled";
        case DecodeError::NoMoreFrames:
            return "no further frame";
        case DecodeError::NoReader:
            return "no reader for this format";
    }
    return "unknown error";
}

}  // namespace kalder::image
