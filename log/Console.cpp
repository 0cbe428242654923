#include "log/Console.h"

#include <cstdarg>

#include "log/Format.h"
#include "log/LogRouting.h"

namespace kdulog {
namespace {

__attribute__((format(printf, 2, 0))) void console(Origin origin, const char* format, va_list args) {
    writeRouted(origin, vformat(format, args));
}

}  // namespace

void consoleOut(const char* format, ...) {
    va_list args;
    va_start(args, format);
    console(Origin::Out, format, args);
    va_end(args);
}

void consoleErr(const char* format, ...) {
    va_list args;
    va_start(args, format);
    console(Origin::Err, format, args);
    va_end(args);
}

}  // namespace kdulog
