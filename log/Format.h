// printf formatting into a string, for the log's own printf-style entry points, and the one
// rule for showing text that came from outside (a drive, a disc, a file) to a person.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace kdulog {

// The whole formatted text, however long; empty when formatting fails. `args` is used up.
std::string vformat(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// A text from a drive, a disc or a file, with every byte a terminal could act on shown as
// \xNN: control characters (C0, DEL, and C1 in either encoding) and bytes that are not
// UTF-8. Printable UTF-8 stays as it is, so escaping an escaped text changes nothing.
// `keepLineBreaks` leaves '\n' alone, for texts of whole lines.
std::string escapeControls(std::string_view text, bool keepLineBreaks = false);

// "2026-12-06T22:15:03.123Z": the time now in UTC.
std::string rfc3339Now();
// Without the blanks that pad a fixed-width field.
std::string trimmed(std::string_view text);

}  // namespace kdulog
