// The platform log: "%s(%d) [ERR] %s" and "%s(%d) [WAR] %s" lines (function name,
// source line, message) to the standard error stream and to syslog.
#pragma once

#include <functional>
#include <string>

namespace platform {

enum class LogLevel { Error, Warning };

void logLine(LogLevel level, const char* function, int line, const std::string& message);
// printf-style message.
void logFormat(LogLevel level, const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Tests: every log line (as written, without the trailing newline) also goes to this sink.
using LogSink = std::function<void(LogLevel, const std::string& line)>;
void setLogSink(LogSink sink);
// Turns syslog off (tests) or on.
void setSyslogEnabled(bool enabled);

}  // namespace platform

// Use __func__ for plain functions; pass the qualified name for class operations.
#define KDU_LOG_ERR(function, ...) ::platform::logFormat(::platform::LogLevel::Error, function, __LINE__, __VA_ARGS__)
#define KDU_LOG_WAR(function, ...) ::platform::logFormat(::platform::LogLevel::Warning, function, __LINE__, __VA_ARGS__)
