#include "base/file_uri.h"

#include <glib.h>

#include <memory>
#include <system_error>

namespace kalder::base {
namespace {

struct GFreeDeleter {
    void operator()(char* p) const { g_free(p); }
};
using GOwned = std::unique_ptr<char, GFreeDeleter>;

}  // namespace

std::string fileUri(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path absolute =
        path.is_absolute() ? path : std::filesystem::absolute(path, ec);
    if (ec || absolute.native().find('\0') != std::string::npos) return {};
    const GOwned uri(g_filename_to_uri(absolute.c_str(), nullptr, nullptr));
    return uri ? std::string(uri.get()) : std::string();
}

std::string percentEncode(std::string_view text, std::string_view keep) {
    // GLib works on NUL-terminated strings; a NUL inside would cut the text short.
    const std::string allowed(keep);
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t nul = text.find('\0', start);
        const std::string part(
            text.substr(start, nul == std::string_view::npos ? nul : nul - start));
        const GOwned escaped(g_uri_escape_string(part.c_str(), allowed.c_str(), FALSE));
        if (escaped) out += escaped.get();
        if (nul == std::string_view::npos) break;
        out += "%00";
        start = nul + 1;
    }
    return out;
}

}  // namespace kalder::base
