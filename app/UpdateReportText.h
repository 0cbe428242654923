// The update's report in the reader's language: the same parts, and in English the same
// words, as the line kdu prints.
#pragma once

#include <QString>

#include "drive/UpdateReport.h"

QString updateStepLabel(UpdateStep step);
QString driveStateLabel(DriveState state);
QString updateCauseLabel(const UpdateCause& cause);
// "<step>: <cause>; <state>." after a failure, "<state>." after success.
QString updateReportText(const UpdateReport& report);
