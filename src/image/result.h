#pragma once

#include <cstdint>
#include <string_view>

#include "base/result.h"

namespace kalder::image {

// Every way a reader or writer can fail. Bad input is an ordinary outcome, never an exception.
enum class DecodeError : std::uint8_t {
    Truncated,     // the file ended before the data it announced
    BadSignature,  // not this format at all
    Unsupported,   // a valid variant we do not read
    Corrupt,       // an impossible value inside the data
    TooLarge,      // dimensions or sizes beyond what we accept
    OutOfMemory,
    Io,            // the operating system refused a read
    Cancelled,     // the cancel sink said stop
    NoMoreFrames,  // a multi-frame reader has nothing left
    NoReader,      // the format is recognised but no reader is available
};

std::string_view decodeErrorMessage(DecodeError error);

// A value or a DecodeError.
template <typename T>
using Result = base::Result<T, DecodeError>;

// Success or a DecodeError.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(DecodeError error) : m_failed(true), m_error(error) {}
    template <typename T>
    Status(const Result<T>& r) : m_failed(!r.ok()), m_error(r.ok() ? DecodeError{} : r.error()) {}

    static Status success() { return {}; }
    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    DecodeError error() const { return m_error; }

private:
    bool m_failed = false;
    DecodeError m_error = DecodeError::Corrupt;
};

}  // namespace kalder::image
