// The window's translated messages (ID-based), from the resource folder or built in.
#pragma once

class QCoreApplication;

// English first, as the fallback for IDs the user's language lacks, then the user's language.
void installTranslations(QCoreApplication& app);
