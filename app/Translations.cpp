#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <functional>
#include <vector>

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

std::vector<QPointer<QTranslator>>& installed() {
    static std::vector<QPointer<QTranslator>> translators;
    return translators;
}

void install(QCoreApplication& app, const std::function<bool(QTranslator&)>& load) {
    auto* translator = new QTranslator(&app);
    if (load(*translator)) {
        QCoreApplication::installTranslator(translator);
        installed().emplace_back(translator);
    } else {
        delete translator;
    }
}

}  // namespace

void installTranslations(QCoreApplication& app, const QLocale& locale) {
    for (const QPointer<QTranslator>& old : installed()) {
        delete old.data();  // a deleted translator uninstalls itself
    }
    installed().clear();
    install(app, [](QTranslator& t) { return loadInto(t, QLocale(QLocale::English)); });
    if (locale.language() == QLocale::English || locale.language() == QLocale::C) {
        return;
    }
    // Installed later, asked first.
    install(app, [&locale](QTranslator& t) {
        return t.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    });
    install(app, [&locale](QTranslator& t) { return loadInto(t, locale); });
}
