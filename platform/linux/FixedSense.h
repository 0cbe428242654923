// Sense data in the fixed 18-byte form the layers above decode. Drives and adapters may
// answer in descriptor form (response codes 0x72/0x73); it is rewritten here, once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scsi/Sense.h"

namespace platform::sgio {

// The `length` bytes at `sense` in fixed form: fixed sense is copied (at most 18 bytes),
// descriptor sense converted (key, ASC, ASCQ, information from descriptor 0x00 where it
// fits in 32 bits, sense-key-specific bytes from descriptor 0x02). Never reads past
// `length`; what is not there stays zero.
scsi::Sense toFixedSense(const std::uint8_t* sense, std::size_t length);

}  // namespace platform::sgio
