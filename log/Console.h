// The drive command layer's console diagnostics (request lines, "taskStatus[...]", sense
// lines, dumps, "write..(%d)"...): their texts as they are, their destination chosen by the
// front end (log/LogRouting.h). Unrouted, they go where they always went: stdout or stderr.
#pragma once

namespace kdulog {

// Texts that went to the standard output.
void consoleOut(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Texts that went to the standard error stream.
void consoleErr(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kdulog
