#include "model/Utf8.h"

#include <cstdint>

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        std::size_t extra;
        std::uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the first continuation byte
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            if (lead == 0xE0)
                lo = 0xA0;  // overlong
            if (lead == 0xED)
                hi = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            if (lead == 0xF0)
                lo = 0x90;  // overlong
            if (lead == 0xF4)
                hi = 0x8F;  // above U+10FFFF
        } else {
            return false;
        }
        if (n - i <= extra)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto c = static_cast<std::uint8_t>(text[i + k]);
            const std::uint8_t min = (k == 1) ? lo : 0x80;
            const std::uint8_t max = (k == 1) ? hi : 0xBF;
            if (c < min || c > max)
                return false;
        }
        i += extra + 1;
    }
    return true;
}
