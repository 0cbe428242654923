// Tells the kernel's own commands to a bridge drive from a program's: the scan at attach,
// media checks and probes of the block driver are answered by the drive but are not what a
// program sent, so they take no part in faults, counts or the trace.
#pragma once

#include <cstdint>

#include "simdrive/DriveUnit.h"

namespace bridge {

class KernelHousekeeping {
public:
    // Call once per command, in the order they arrive. Before the drive counts as attached
    // every command is the kernel's.
    sim::DriveUnit::Origin originOf(const std::uint8_t* cdb, bool attached);

private:
    bool previousWasKernel_ = true;
};

}  // namespace bridge
