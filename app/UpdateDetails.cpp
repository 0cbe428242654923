#include "app/UpdateDetails.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>

#include "app/CommandLine.h"
#include "app/DriveDescription.h"
#include "app/MainWindow.h"
#include "app/UpdateReportText.h"
#include "drive/DriveList.h"

namespace {

// A log file may be megabytes long; its end is enough for the last lines.
constexpr qint64 kTailBytes = 64 * 1024;

QStringList tailLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const qint64 start = std::max<qint64>(0, file.size() - kTailBytes);
    file.seek(start);
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (start > 0 && !lines.isEmpty()) {
        lines.removeFirst();  // begins mid-line
    }
    return lines;
}

QString orUnknown(const QString& text) {
    //% "unknown"
    return text.isEmpty() ? qtTrId("DETAILS_UNKNOWN") : text;
}

}  // namespace

QStringList lastLogLines(const std::filesystem::path& file, int count) {
    const QString path = QString::fromStdString(file.string());
    QStringList lines = tailLines(path);
    if (lines.size() < count) {
        lines = tailLines(path + QStringLiteral(".1")) + lines;
    }
    return lines.mid(std::max<qsizetype>(0, lines.size() - count));
}

QString updateDetailsText(const UpdateDetails& details, const QStringList& logLines) {
    const UpdateReport& report = details.report;
    QStringList lines;
    //% "Program: %1 %2"
    lines.append(qtTrId("DETAILS_PROGRAM").arg(MainWindow::displayName(), programVersion()));
    //% "Shipped firmware: %1"
    lines.append(qtTrId("DETAILS_IMAGE").arg(orUnknown(details.image)));
    //% "Drive: %1"
    lines.append(qtTrId("DETAILS_DRIVE").arg(QString::fromStdString(DriveEntryTitle(details.drive)).trimmed()));
    lines.append(driveIdentityLines(details.drive));
    // After a failure only what the drive last reported counts, never the hoped-for revision.
    QString after;
    if (report.ok()) {
        after = QString::fromStdString(details.drive.revision().value_or(""));
    } else if (report.revisionFound) {
        after = QString::fromStdString(*report.revisionFound);
    }
    //% "Firmware revision before: %1"
    lines.append(qtTrId("DETAILS_REVISION_BEFORE").arg(orUnknown(details.revisionBefore)));
    //% "Firmware revision after: %1"
    lines.append(qtTrId("DETAILS_REVISION_AFTER").arg(orUnknown(after)));
    //% "Result: %1"
    lines.append(qtTrId("DETAILS_RESULT").arg(details.result));
    if (!report.ok()) {
        //% "Failed step: %1"
        lines.append(qtTrId("DETAILS_STEP").arg(updateStepLabel(report.step)));
    }
    //% "Drive state: %1"
    lines.append(qtTrId("DETAILS_STATE").arg(driveStateLabel(report.state)));
    if (const QString cause = updateCauseLabel(report.cause); !cause.isEmpty()) {
        //% "Message: %1"
        lines.append(qtTrId("DETAILS_MESSAGE").arg(cause));
    }
    if (report.historyProblem) {
        //% "Not recorded in the update history: %1"
        lines.append(qtTrId("DETAILS_NOT_RECORDED").arg(QString::fromStdString(*report.historyProblem)));
    }
    lines.append(QString());
    //% "Last lines of the window's log:"
    lines.append(qtTrId("DETAILS_LOG"));
    if (logLines.isEmpty()) {
        //% "(none)"
        lines.append(qtTrId("DETAILS_LOG_NONE"));
    }
    lines.append(logLines);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
