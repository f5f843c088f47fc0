// The contexts under which the layers below the GUI mark their texts (see base/translatable.h),
// and under which the GUI looks them up.
#pragma once

#include "base/translatable.h"

namespace kalder::app {

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
// The file facts the status bar and the browser's tooltips show.
inline constexpr char kFileInfoContext[] = "FileInfo";

using base::translatedText;

}  // namespace kalder::app
