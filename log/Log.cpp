#include "log/Log.h"

#include <syslog.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

#include "log/Format.h"
#include "log/LogRouting.h"

namespace kdulog {
namespace {

std::mutex sinkMutex;
LogSink& sink() {
    static LogSink instance;
    return instance;
}
std::atomic<bool> syslogEnabled{true};

bool debugFromEnvironment() {
    const char* value = std::getenv("KDU_DEBUG");
    return value != nullptr && std::strcmp(value, "1") == 0;
}
std::atomic<bool>& debugEnabled() {
    static std::atomic<bool> instance{debugFromEnvironment()};
    return instance;
}

const char* levelTag(LogLevel level) {
    switch (level) {
        case LogLevel::Error: return "[ERR]";
        case LogLevel::Warning: return "[WAR]";
        case LogLevel::Debug: return "[DBG]";
    }
    return "[???]";
}

}  // namespace

void logLine(LogLevel level, const char* function, int line, const std::string& message) {
    if (level == LogLevel::Debug && !debugLogEnabled()) return;
    std::string_view text = message;
    while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    char prefix[256];
    std::snprintf(prefix, sizeof prefix, "%s(%d) %s ", function ? function : "?", line,
                  levelTag(level));
    // Messages quote drives and files; one line each, whatever they hold.
    const std::string full = prefix + escapeControls(text);
    writeRouted(Origin::Err, full + "\n");
    if (syslogEnabled.load() && level != LogLevel::Debug) syslog(level == LogLevel::Error ? LOG_ERR : LOG_WARNING, "%s", full.c_str());
    std::lock_guard lock(sinkMutex);
    if (sink()) sink()(level, full);
}

void logFormat(LogLevel level, const char* function, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = vformat(format, args);
    va_end(args);
    logLine(level, function, line, message.c_str());  // up to a NUL, as a C string
}

void setLogSink(LogSink newSink) {
    std::lock_guard lock(sinkMutex);
    sink() = std::move(newSink);
}

void setSyslogEnabled(bool enabled) { syslogEnabled = enabled; }

void setDebugLogEnabled(bool enabled) { debugEnabled() = enabled; }

bool debugLogEnabled() { return debugEnabled().load(); }

}  // namespace kdulog
