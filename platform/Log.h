// The log lives in its own lowest library (log/); these names stay for older callers.
#pragma once

#include "log/Log.h"

namespace platform {
using kdulog::debugLogEnabled;
using kdulog::LogLevel;
using kdulog::logFormat;
using kdulog::logLine;
using kdulog::LogSink;
using kdulog::setDebugLogEnabled;
using kdulog::setLogSink;
using kdulog::setSyslogEnabled;
}  // namespace platform
