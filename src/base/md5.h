#pragma once

#include <string>
#include <string_view>

namespace kalder::base {

// The MD5 digest of `data` as 32 lower-case hex digits, computed by GLib, as other programs
// compute the names they share with us (the freedesktop thumbnail cache).
std::string md5Hex(std::string_view data);

}  // namespace kalder::base
