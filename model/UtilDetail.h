// Shared between the Util sources; not for other layers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace util_detail {
std::optional<std::string> textOfField(const std::uint8_t* bytes, std::size_t length);
}
