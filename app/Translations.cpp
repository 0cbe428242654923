#include "app/Translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include "model/Util.h"

namespace {

constexpr char kBaseName[] = "kestory-drive-updater";

// A copy in the resource folder wins, so translations can be replaced after installation.
bool loadInto(QTranslator& translator, const QLocale& locale) {
    if (const OptionalText folder = Util::resourceDirectory()) {
        if (translator.load(locale, kBaseName, QStringLiteral("_"),
                            QString::fromStdString(*folder) + QStringLiteral("/translations"))) {
            return true;
        }
    }
    return translator.load(locale, kBaseName, QStringLiteral("_"), QStringLiteral(":/i18n"));
}

}  // namespace

void installTranslations(QCoreApplication& app) {
    auto* english = new QTranslator(&app);
    if (loadInto(*english, QLocale(QLocale::English))) {
        QCoreApplication::installTranslator(english);
    }
    const QLocale locale;
    if (locale.language() == QLocale::English || locale.language() == QLocale::C) {
        return;
    }
    auto* local = new QTranslator(&app);
    if (loadInto(*local, locale)) {
        QCoreApplication::installTranslator(local);
    }
}
