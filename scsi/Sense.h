// Sense data in the fixed 18-byte form (descriptor sense is converted where it arrives),
// indexed as the drive sends it.
#pragma once

#include <array>
#include <cstdint>

namespace scsi {

struct Sense : std::array<std::uint8_t, 18> {
    std::uint8_t key() const { return (*this)[2] & 0x0F; }
    std::uint8_t asc() const { return (*this)[12]; }
    std::uint8_t ascq() const { return (*this)[13]; }
};

}  // namespace scsi
