#include "tools/tcmu/KernelHousekeeping.h"

#include <utility>

namespace bridge {
namespace {

constexpr std::uint8_t kOpTestUnitReady = 0x00;
constexpr std::uint8_t kOpInquiry = 0x12;
constexpr std::uint8_t kOpWriteBuffer = 0x3B;
constexpr std::uint8_t kOpReadBuffer = 0x3C;

}  // namespace

sim::DriveUnit::Origin KernelHousekeeping::originOf(const std::uint8_t* cdb, bool attached) {
    using Origin = sim::DriveUnit::Origin;
    const bool afterKernel = std::exchange(previousWasKernel_, true);
    if (!attached) return Origin::Housekeeping;
    switch (cdb[0]) {
    case kOpInquiry:
        if (cdb[1] & 0x01) return Origin::Housekeeping;  // vital product data: the kernel's
        break;
    // Opening the block node checks for media: an event status request, TEST UNIT READY,
    // and another when the medium seems to have changed. A program's own TEST UNIT READY
    // never comes first after its open.
    case kOpTestUnitReady:
        if (afterKernel) return Origin::Housekeeping;
        break;
    case kOpReadBuffer:
    case kOpWriteBuffer: break;
    default: return Origin::Housekeeping;  // nothing a program of ours sends
    }
    previousWasKernel_ = false;
    return Origin::Program;
}

}  // namespace bridge
