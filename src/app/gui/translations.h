// The catalogues that translate the viewer's texts into the user's language.
#pragma once

#include <QString>
#include <string_view>

class QLocale;

namespace kalder::gui {

// A marked text of app/core's tables (see app/core/translatable.h) in the user's language.
QString coreText(const char* context, std::string_view text);

// Lets the layers below translate the texts they put together through the installed catalogues.
void routeCoreTextsThroughQt();

// Installs Qt's own catalogue and ours for `locale` into the application; a language without
// a catalogue keeps the English texts. Call before the first window is made, since widgets take
// their texts when they are built. Routes app/core's texts through them too.
void installTranslations(const QLocale& locale);

}  // namespace kalder::gui
