// Texts the viewer shows in the user's language. A literal is marked with QT_TRANSLATE_NOOP:
// lupdate finds the marker by name and files the text under `scope` in the translation template,
// while the code here stays free of Qt and keeps the English text. The GUI looks a marked text up
// under the same scope when it shows it; a text put together below the GUI goes through
// translatedText, which answers the English text until the GUI installs its lookup.
#pragma once

#include <string>
#include <string_view>

#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace kalder::base {

// Answers the user's-language form of a marked `text` of `context`.
using TextLookup = std::string (*)(const char* context, std::string_view text);
void setTextLookup(TextLookup lookup);
std::string translatedText(const char* context, std::string_view text);

}  // namespace kalder::base
