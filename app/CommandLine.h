// The program's options: --simulate[=FOLDER] and the hidden --screenshot=DIR.
#pragma once

#include <QStringList>
#include <optional>
#include <string>

#include "platform/BackendChoice.h"

struct AppOptions {
    platform::BackendChoice backend;
    std::optional<QString> screenshotDir;  // take the README screenshots there, then quit
};

struct ParsedOptions {
    std::optional<AppOptions> options;  // none: exit with `exitCode` after printing `message`
    int exitCode = 0;
    QString message;
};

// `arguments` as QCoreApplication::arguments() gives them (program name first).
ParsedOptions parseAppOptions(const QStringList& arguments);
