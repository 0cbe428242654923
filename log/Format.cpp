#include "log/Format.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace kdulog {

std::string vformat(const char* format, va_list args) {
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

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text` whose code point is
// printable (not C1), or 0.
std::size_t printableSequence(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t point = 0;
    if (lead >= 0xc2 && lead <= 0xdf) length = 2, point = lead & 0x1f;
    else if (lead >= 0xe0 && lead <= 0xef) length = 3, point = lead & 0x0f;
    else if (lead >= 0xf0 && lead <= 0xf4) length = 4, point = lead & 0x07;
    if (length == 0 || text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xc0) != 0x80) return 0;
        point = (point << 6) | (byte(i) & 0x3f);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kLeast[length] || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff)) return 0;
    if (point <= 0x9f) return 0;  // C1: 0x9b is CSI to many terminals
    return length;
}

}  // namespace

std::string escapeControls(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text.front());
        std::size_t keep = 0;
        if (byte >= 0x80) keep = printableSequence(text);
        else if ((byte >= 0x20 && byte != 0x7f) || (keepLineBreaks && byte == '\n')) keep = 1;
        if (keep > 0) {
            out.append(text.substr(0, keep));
            text.remove_prefix(keep);
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        out += escaped;
        text.remove_prefix(1);
    }
    return out;
}

std::string rfc3339Now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    return text;
}

std::string trimmed(std::string_view text) {
    const auto start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) return {};
    return std::string(text.substr(start, text.find_last_not_of(' ') - start + 1));
}

}  // namespace kdulog
