// The program's options: --simulate[=FOLDER], --help, --version and the hidden --screenshot=DIR.
// Parsed before any window exists, so --help and --version need no display.
#pragma once

#include <QList>
#include <QStringList>
#include <optional>
#include <string>

#include "platform/BackendChoice.h"

struct AppOptions {
    platform::BackendChoice backend;
    std::optional<QString> screenshotDir;  // take the README screenshots there, then quit
    bool verbose = false;                  // -v: the log lines on stderr too
};

struct ParsedOptions {
    std::optional<AppOptions> options;  // none: exit with `exitCode` after printing `message`
    int exitCode = 0;
    QString message;
};

// One option a person may give, as the help and the manual page show it.
struct AppOptionDoc {
    QString name;       // without the dashes
    QString shortName;  // empty: none
    QString valueName;  // empty: a flag
    bool valueOptional = false;
    QString description;
};

// The program's version, "1.0.0".
QString programVersion();
// What the program does, in one sentence.
QString appSummary();
// Every option but the hidden ones.
QList<AppOptionDoc> appOptionDocs();

// `arguments` as QCoreApplication::arguments() gives them (program name first).
ParsedOptions parseAppOptions(const QStringList& arguments);
