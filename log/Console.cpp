#include "log/Console.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "log/LogRouting.h"

namespace kdulog {
namespace {

std::string formatted(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.pop_back();
    return text;
}

}  // namespace

void consoleOut(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = formatted(format, args);
    va_end(args);
    writeRouted(Origin::Out, text);
}

void consoleErr(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = formatted(format, args);
    va_end(args);
    writeRouted(Origin::Err, text);
}

}  // namespace kdulog
