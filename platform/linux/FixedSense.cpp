#include "platform/linux/FixedSense.h"

#include <algorithm>

namespace platform::sgio {
namespace {

constexpr std::uint8_t kResponseCodeMask = 0x7F;
constexpr std::uint8_t kDescriptorCurrent = 0x72;
constexpr std::uint8_t kDescriptorDeferred = 0x73;
constexpr std::uint8_t kFixedCurrent = 0x70;
constexpr std::uint8_t kFixedDeferred = 0x71;
constexpr std::uint8_t kValidBit = 0x80;
constexpr std::size_t kDescriptorHeader = 8;
constexpr std::uint8_t kInformationDescriptor = 0x00;
constexpr std::uint8_t kSenseKeySpecificDescriptor = 0x02;
constexpr std::uint8_t kFixedAdditionalLength = 18 - 8;

void takeInformation(const std::uint8_t* descriptor, std::size_t size, scsi::Sense& fixed) {
    // Type, length, VALID, reserved, then eight bytes of information.
    if (size < 12) return;
    const std::uint8_t* info = descriptor + 4;
    // The fixed form holds 32 bits: a larger value is left out rather than cut.
    if (std::any_of(info, info + 4, [](std::uint8_t b) { return b != 0; })) return;
    std::copy(info + 4, info + 8, fixed.begin() + 3);
    if ((descriptor[2] & kValidBit) != 0) fixed[0] |= kValidBit;
}

void takeSenseKeySpecific(const std::uint8_t* descriptor, std::size_t size, scsi::Sense& fixed) {
    // Type, length, two reserved bytes, then the three bytes the fixed form keeps at 15-17.
    if (size < 7) return;
    std::copy(descriptor + 4, descriptor + 7, fixed.begin() + 15);
}

}  // namespace

scsi::Sense toFixedSense(const std::uint8_t* sense, std::size_t length) {
    scsi::Sense fixed{};
    if (sense == nullptr || length == 0) return fixed;
    const std::uint8_t code = sense[0] & kResponseCodeMask;
    if (code != kDescriptorCurrent && code != kDescriptorDeferred) {
        std::copy(sense, sense + std::min(length, fixed.size()), fixed.begin());
        return fixed;
    }

    fixed[0] = code == kDescriptorCurrent ? kFixedCurrent : kFixedDeferred;
    fixed[7] = kFixedAdditionalLength;
    if (length > 1) fixed[2] = sense[1] & 0x0F;
    if (length > 2) fixed[12] = sense[2];
    if (length > 3) fixed[13] = sense[3];
    if (length <= kDescriptorHeader) return fixed;

    // Descriptors end where the additional length says, or where the bytes run out.
    const std::size_t end = std::min(length, kDescriptorHeader + sense[7]);
    std::size_t at = kDescriptorHeader;
    while (at + 2 <= end) {
        const std::size_t size = 2 + static_cast<std::size_t>(sense[at + 1]);
        if (size > end - at) break;
        if (sense[at] == kInformationDescriptor) takeInformation(sense + at, size, fixed);
        if (sense[at] == kSenseKeySpecificDescriptor) takeSenseKeySpecific(sense + at, size, fixed);
        at += size;
    }
    return fixed;
}

}  // namespace platform::sgio
