#include "app/CommandLine.h"

#include <QCommandLineParser>

QString programVersion() { return QStringLiteral(KDU_PROGRAM_VERSION); }

QString appSummary() { return QStringLiteral("Installs firmware into BD-RW KVL-MT38 drives."); }

QList<AppOptionDoc> appOptionDocs() {
    return {
        {QStringLiteral("simulate"), QString(), QStringLiteral("FOLDER"), true,
         QStringLiteral("use simulated drives (default: the demo folder)")},
        {QStringLiteral("verbose"), QStringLiteral("v"), QString(), false,
         QStringLiteral("also show the log lines on the standard error stream")},
        {QStringLiteral("help"), QStringLiteral("h"), QString(), false, QStringLiteral("show the options and exit")},
        {QStringLiteral("version"), QString(), QString(), false, QStringLiteral("show the version and exit")},
    };
}

ParsedOptions parseAppOptions(const QStringList& arguments) {
    // The parser has no options with an optional value, so --simulate is taken out first.
    AppOptions options;
    QStringList rest;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--simulate")) {
            options.backend.simulate = true;
        } else if (argument.startsWith(QLatin1String("--simulate="))) {
            const QString folder = argument.mid(static_cast<int>(qstrlen("--simulate=")));
            if (folder.isEmpty()) {
                return {std::nullopt, 2, QStringLiteral("--simulate= needs a folder")};
            }
            options.backend.simulate = true;
            options.backend.folder = folder.toStdString();
        } else {
            rest.append(argument);
        }
    }

    QCommandLineParser parser;
    // The options with a value that may be left out are described by hand; the parser
    // describes its own.
    QString description = appSummary();
    for (const AppOptionDoc& doc : appOptionDocs()) {
        if (doc.valueOptional) {
            description += QStringLiteral("\n  --%1[=%2]  %3").arg(doc.name, doc.valueName, doc.description);
        }
    }
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("show the version and exit"));
    parser.addOption(version);
    const QCommandLineOption verbose({QStringLiteral("v"), QStringLiteral("verbose")},
                                     QStringLiteral("Also show the log lines on the standard error stream."));
    parser.addOption(verbose);
    QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("DIR"));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(screenshot);
    if (!parser.parse(rest)) {
        return {std::nullopt, 2, parser.errorText()};
    }
    if (parser.isSet(QStringLiteral("help"))) {
        return {std::nullopt, 0, parser.helpText()};
    }
    if (parser.isSet(version)) {
        return {std::nullopt, 0, QStringLiteral("kestory-drive-updater %1").arg(programVersion())};
    }
    if (!parser.positionalArguments().isEmpty()) {
        return {std::nullopt, 2, QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first())};
    }
    options.verbose = parser.isSet(verbose);
    if (parser.isSet(screenshot)) {
        options.screenshotDir = parser.value(screenshot);
    }
    return {options, 0, QString()};
}
