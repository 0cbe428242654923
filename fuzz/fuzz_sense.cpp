// Fixed-format sense data as a drive returns it: the sense line in both forms, the
// message lookup and the disc presence judged from it. Short input is zero-filled, as
// the task's sense buffer is.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "drive/STUCMethod.h"
#include "drive/SenseMessages.h"
#include "model/Util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    scsi::Sense sense{};
    std::memcpy(sense.data(), data, std::min(size, sense.size()));

    PrintSenseString(&sense, false);
    PrintSenseString(&sense, true);
    if (const char* message = drive::additionalSenseMessage(sense[12], sense[13])) {
        if (std::strlen(message) == 0) __builtin_trap();  // every entry has a text
    }
    const bool present = Util::isPresenceOfDisc(sense);
    if (present == (sense[12] == 0x3A)) __builtin_trap();
    return 0;
}
