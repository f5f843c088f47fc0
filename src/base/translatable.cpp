#include "base/translatable.h"

#include <atomic>

namespace kalder::base {

namespace {
std::atomic<TextLookup> g_lookup{nullptr};
}  // namespace

void setTextLookup(TextLookup lookup) { g_lookup.store(lookup); }

std::string translatedText(const char* context, std::string_view text) {
    const TextLookup lookup = g_lookup.load();
    return lookup && !text.empty() ? lookup(context, text) : std::string(text);
}

}  // namespace kalder::base
