// The standard meanings of additional sense code / qualifier pairs that the drive layer
// prints. Lookups are exact on both bytes: no ranges, no wildcards.
#pragma once

#include <cstdint>
#include <span>

namespace drive {

struct SenseMessage {
    std::uint16_t code;  // ASC * 256 + ASCQ
    const char* text;
};

// Every entry, sorted by code.
std::span<const SenseMessage> additionalSenseMessages();
// The message for this pair, or null when the table has none.
const char* additionalSenseMessage(std::uint8_t asc, std::uint8_t ascq);

}  // namespace drive
