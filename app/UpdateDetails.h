// What the result sheet's "Copy Details" puts on the clipboard: one plain text for whoever
// helps with an update, in the reader's language except for the log lines, which stay as
// they were written.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>

#include "drive/UpdateReport.h"
#include "model/DeviceData.h"

struct UpdateDetails {
    QString result;          // the sheet's title
    QString image;           // the shipped firmware, as the window shows it
    DeviceData drive;        // as the update left it
    QString revisionBefore;
    UpdateReport report;
};

inline constexpr int kDetailsLogLines = 50;

QString updateDetailsText(const UpdateDetails& details, const QStringList& logLines);
// The last `count` lines of a log file, reaching into the rotated "<file>.1" when the file
// holds fewer; none when neither can be read.
QStringList lastLogLines(const std::filesystem::path& file, int count = kDetailsLogLines);
