#include "log/Console.h"

#include <cstdarg>

#include "log/Format.h"
#include "log/LogRouting.h"

namespace kdulog {
namespace {

__attribute__((format(printf, 2, 0))) void console(Origin origin, const char* format, va_list args) {
    // The texts quote what drives answer (class names, sense data).
    writeRouted(origin, escapeControls(vformat(format, args), true));
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
