#include "base/md5.h"

#include <glib.h>

#include <algorithm>

namespace kalder::base {

std::string md5Hex(std::string_view data) {
    GChecksum* checksum = g_checksum_new(G_CHECKSUM_MD5);
    // g_checksum_update takes a signed length: feed very long input in parts.
    constexpr std::size_t kPart = std::size_t{1} << 30;
    for (std::size_t at = 0; at < data.size(); at += kPart) {
        const std::size_t n = std::min(kPart, data.size() - at);
        g_checksum_update(checksum, reinterpret_cast<const guchar*>(data.data() + at),
                          static_cast<gssize>(n));
    }
    std::string hex = g_checksum_get_string(checksum);
    g_checksum_free(checksum);
    return hex;
}

}  // namespace kalder::base
