#include "app/gui/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/core/translatable.h"
#include "kalder_config.h"

namespace kalder::gui {

namespace {

// Loads the first catalogue named `name` found in `dirs` and installs it; the translator lives
// as long as the application.
void installFirst(const QLocale& locale, const QString& name, const QStringList& dirs) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    for (const QString& dir : dirs) {
        if (translator->load(locale, name, QStringLiteral("_"), dir)) {
            QCoreApplication::installTranslator(translator);
            return;
        }
    }
    delete translator;
}

std::string lookUp(const char* context, std::string_view text) {
    return coreText(context, text).toStdString();
}

}  // namespace

QString coreText(const char* context, std::string_view text) {
    if (text.empty()) return {};
    // The catalogue is keyed by the source text, which must end where the view does.
    const std::string source(text);
    return QCoreApplication::translate(context, source.c_str());
}

void routeCoreTextsThroughQt() { base::setTextLookup(&lookUp); }

void installTranslations(const QLocale& locale) {
    routeCoreTextsThroughQt();
    // Standard dialogs and buttons come with Qt's own texts.
    installFirst(locale, QStringLiteral("qtbase"),
                 {QLibraryInfo::path(QLibraryInfo::TranslationsPath)});
    // Beside the program in the build tree, then relative to it (a moved installation), then
    // where it was configured to be installed.
    const QDir exeDir(QCoreApplication::applicationDirPath());
    const QString data = QString::fromUtf8(config::kDataDir);
    installFirst(
        locale, QStringLiteral("kalder"),
        {exeDir.filePath(QStringLiteral("translations")),
         exeDir.filePath(QStringLiteral("../%1/kalder/translations").arg(data)),
         QString::fromUtf8(config::kFullDataDir) + QStringLiteral("/kalder/translations")});
}

}  // namespace kalder::gui
