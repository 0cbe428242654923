// printf formatting into a string, for the log's own printf-style entry points.
#pragma once

#include <cstdarg>
#include <string>

namespace kdulog {

// The whole formatted text, however long; empty when formatting fails. `args` is used up.
std::string vformat(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace kdulog
