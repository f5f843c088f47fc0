// mimeapps.list files are written by every program that offers "open with" and by hand; the
// association engine reads and rewrites the user's ones and must keep what it does not touch.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/associations.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    using namespace kalder::shell;
    MimeAppsList list;
    list.parse(text);
    // What we read unchanged is written back byte for byte.
    if (list.serialize() != text) std::abort();
    for (std::string_view type : {std::string_view("image/png"), std::string_view("image/gif")}) {
        const auto before = list.defaultValue(type);
        if (before) (void)firstDesktopId(*before);
        list.setDefaultValue(type, kDesktopFileId);
        if (list.defaultValue(type) != std::string(kDesktopFileId)) std::abort();
        if (!list.removeDefault(type)) std::abort();
        if (before) list.setDefaultValue(type, *before);
    }
    (void)list.serialize();
    (void)firstDesktopId(text);
    return 0;
}
