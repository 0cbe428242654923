// The update's report in the reader's language: the same parts, and in English the same
// words, as the line kdu prints.
#pragma once

#include <QString>

#include "drive/UpdateReport.h"

QString updateStepLabel(UpdateStep step);
QString driveStateLabel(DriveState state);
QString updateCauseLabel(const UpdateCause& cause);
// "R7360501.121: truncated (...)": the file and what is wrong with it.
QString imageFaultLabel(const ImageFault& fault);
// "<step>: <cause>; <state>." after a failure, "<state>." after success.
QString updateReportText(const UpdateReport& report);
