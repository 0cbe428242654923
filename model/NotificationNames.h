// The install's progress values, as the window and the command line show them.
#pragma once

#include <algorithm>
#include <cstdint>

// The install's progress values (UpdateProgress::indicator): what is left of
// kInstallProgressScale (the whole install), counting down to 0; a negative value ends them.
inline constexpr std::int32_t kInstallProgressScale = 65536;

// The part of the install done for such a value, in whole percent (0 to 100).
constexpr int installPercent(std::int64_t value) {
    const std::int64_t left = std::clamp<std::int64_t>(value, 0, kInstallProgressScale);
    return static_cast<int>((kInstallProgressScale - left) * 100 / kInstallProgressScale);
}
