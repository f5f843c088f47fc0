// The texts of this layer's tables that the GUI shows are marked for lupdate (see
// base/translatable.h). Texts the GUI shows as they are get looked up there under the same
// context; texts this layer assembles (command paths, toolbar labels, key names) go through the
// lookup the GUI installs, which leaves them in English until it does.
#pragma once

#include <string>
#include <string_view>

#include "base/translatable.h"

namespace kalder::app {

// The contexts of the marked texts.
inline constexpr char kCommandsContext[] = "Commands";
inline constexpr char kDialogHelpContext[] = "DialogHelp";
inline constexpr char kKeyNamesContext[] = "KeyNames";
inline constexpr char kStatusBarContext[] = "StatusBar";
// The names the engines below give their choices (layouts, methods, compressions).
inline constexpr char kChoicesContext[] = "Choices";
// The batch convertor's effect descriptions, translated whole before they are taken apart.
inline constexpr char kEffectsContext[] = "Effects";
// Messages the layers below hand up as they are.
inline constexpr char kMessagesContext[] = "Messages";
// The questions asked at start-up.
inline constexpr char kStartupContext[] = "Startup";
// The names in the file dialogs' filter lists.
inline constexpr char kFiltersContext[] = "Filters";

// Answers the user's-language form of a marked `text` of `context`.
using TextLookup = std::string (*)(const char* context, std::string_view text);
void setTextLookup(TextLookup lookup);
std::string translatedText(const char* context, std::string_view text);

}  // namespace kalder::app
