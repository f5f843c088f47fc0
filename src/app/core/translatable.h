// The texts of this layer's tables that the GUI shows are marked for lupdate, which collects them
// into the translation template. The layer stays free of Qt: without Qt the marker is the text
// itself. Texts the GUI shows as they are get looked up there under the same context; texts this
// layer assembles (command paths, toolbar labels, key names) go through the lookup the GUI
// installs, which leaves them in English until it does.
#pragma once

#include <string>
#include <string_view>

#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace kalder::app {

// The contexts of the marked texts.
inline constexpr char kCommandsContext[] = "Commands";
inline constexpr char kDialogHelpContext[] = "DialogHelp";
inline constexpr char kKeyNamesContext[] = "KeyNames";

// Answers the user's-language form of a marked `text` of `context`.
using TextLookup = std::string (*)(const char* context, std::string_view text);
void setTextLookup(TextLookup lookup);
std::string translatedText(const char* context, std::string_view text);

}  // namespace kalder::app
