// What the kernel writes back into an SG_IO request (status, host and driver codes,
// residual, sense length and bytes), mapped onto a task's outcome.
#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/linux/SgIo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<std::uint8_t> buffer(input.ConsumeIntegralInRange<std::size_t>(0, 512));

    platform::ScsiCommand command;
    command.cdbLength = input.ConsumeIntegral<std::uint8_t>();
    for (auto& byte : command.cdb) byte = input.ConsumeIntegral<std::uint8_t>();
    command.direction = input.ConsumeIntegralInRange<std::uint8_t>(0, 3);
    command.data = input.ConsumeBool() ? buffer.data() : nullptr;
    command.dataLength = static_cast<std::uint32_t>(buffer.size());
    command.transferCount = input.ConsumeIntegral<std::uint64_t>();
    command.timeoutMs = input.ConsumeIntegral<std::uint32_t>();

    std::uint8_t sense[platform::sgio::kSenseBufferLength];
    sg_io_hdr_t header;
    if (platform::sgio::buildHeader(command, sense, header) == platform::kIOReturnSuccess) {
        if (header.dxfer_len > command.dataLength) __builtin_trap();
        if (header.dxfer_direction != SG_DXFER_NONE && header.dxferp == nullptr) __builtin_trap();
    }

    // The kernel's side of the request.
    header.status = input.ConsumeIntegral<unsigned char>();
    header.masked_status = input.ConsumeIntegral<unsigned char>();
    header.host_status = input.ConsumeIntegral<unsigned short>();
    header.driver_status = input.ConsumeIntegral<unsigned short>();
    header.sb_len_wr = input.ConsumeIntegral<unsigned char>();
    header.resid = input.ConsumeIntegral<int>();
    header.info = input.ConsumeIntegral<unsigned>();
    for (auto& byte : sense) byte = input.ConsumeIntegral<std::uint8_t>();
    header.mx_sb_len = platform::sgio::kSenseBufferLength;
    header.sbp = sense;
    const int ioctlResult = input.ConsumeBool() ? -1 : 0;
    const int error = input.ConsumeIntegralInRange<int>(0, 200);

    platform::ScsiOutcome outcome;
    if (platform::sgio::mapResult(ioctlResult, error, header, outcome) == platform::kIOReturnSuccess &&
        outcome.realizedCount > header.dxfer_len)
        __builtin_trap();
    return 0;
}
