// The window's translated messages (ID-based), from the resource folder or built in, and
// Qt's own (the sheets' standard buttons).
#pragma once

#include <QLocale>

class QCoreApplication;

// English first, as the fallback for IDs the user's language lacks, then the user's language.
// A second call replaces what the first installed.
void installTranslations(QCoreApplication& app, const QLocale& locale = QLocale());
