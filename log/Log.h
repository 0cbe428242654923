// The log: "%s(%d) [ERR] %s" and "%s(%d) [WAR] %s" lines (function name, source line,
// message) to the destinations the front end chose (log/LogRouting.h) and to syslog.
// "%s(%d) [DBG] %s" lines are written nowhere unless debugging is on (KDU_DEBUG=1 in the
// environment, or setDebugLogEnabled). The lowest library: it includes nothing of ours.
#pragma once

#include <functional>
#include <string>

namespace kdulog {

enum class LogLevel { Error, Warning, Debug };

void logLine(LogLevel level, const char* function, int line, const std::string& message);
// printf-style message.
void logFormat(LogLevel level, const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Tests: every log line (as written, without the trailing newline) also goes to this sink.
using LogSink = std::function<void(LogLevel, const std::string& line)>;
void setLogSink(LogSink sink);
// Turns syslog off (tests) or on.
void setSyslogEnabled(bool enabled);
// Debug lines on or off; the default comes from KDU_DEBUG. Off, they reach no sink either.
void setDebugLogEnabled(bool enabled);
bool debugLogEnabled();

}  // namespace kdulog

// Use __func__ for plain functions; pass the qualified name for class operations.
#define KDU_LOG_ERR(function, ...) ::kdulog::logFormat(::kdulog::LogLevel::Error, function, __LINE__, __VA_ARGS__)
#define KDU_LOG_WAR(function, ...) ::kdulog::logFormat(::kdulog::LogLevel::Warning, function, __LINE__, __VA_ARGS__)
#define KDU_LOG_DBG(function, ...)                                                             \
    do {                                                                                       \
        if (::kdulog::debugLogEnabled())                                                       \
            ::kdulog::logFormat(::kdulog::LogLevel::Debug, function, __LINE__, __VA_ARGS__);   \
    } while (false)
