// Desktop entries come from folders any installed package or the user writes to; the launcher
// chooser reads every one of them.
#include <cstdint>
#include <string_view>

#include "shell/desktop_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    using namespace kalder::shell;
    if (const auto entry = parseDesktopEntry(text, "de_DE.UTF-8@euro")) {
        (void)expandExec(*entry, "/tmp/a b.png", "/tmp/x.desktop");
        (void)isShown(*entry, "GNOME:XFCE");
    }
    // The Exec splitter on its own sees quoting the entry parser would have unescaped.
    (void)splitExec(text);
    return 0;
}
